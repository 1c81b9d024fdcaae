// Wheel zoom and drag cancel. The zoom works from the last view a pass was
// asked to draw (the canvas's, unless a burst of notches outruns the
// passes), whatever has been typed or selected since, so that a burst of N
// notches zooms by 2^N.
#include "wheel_zoom.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>

#include <cmath>

#include "explorer_features.h"
#include "form1.h"
#include "status_line.h"
#include "toolkit/runtime_error.h"

namespace explorer {

WheelZoom::WheelZoom(Form1& form, const ExplorerFeatures& features)
    : QObject(&form), form_(form), canvas_(form.Picture1), features_(features)
{
    form.Picture1->installEventFilter(this);
    // Escape may reach whichever widget has the focus during a drag.
    qApp->installEventFilter(this);
}

void WheelZoom::zoomAt(QPointF pos, int notches)
{
    if (notches == 0 || form_.isDragging())
        return;
    // The last view asked for: during a burst the canvas may still show an
    // older one, but every notch builds on the one before.
    const PlaneView shown = features_.askedView().value_or(form_.shownView());
    const int lastCol = form_.LastCol > 0 ? form_.LastCol : 1;
    const int lastRow = form_.LastRow > 0 ? form_.LastRow : 1;
    // A deep view, or a zoom past what doubles resolve, goes on in MPFR.
    std::optional<deep::DeepView> deepShown =
        features_.askedView() ? features_.askedDeepView() : std::nullopt;
    if (!features_.askedView())
        if (const deep::DeepView* current = form_.Deep.current(form_))
            deepShown = *current;
    if (!deepShown) {
        const PlaneView next =
            shown.scaledAbout(shown.realAt(pos.x(), lastCol), shown.imagAt(pos.y(), lastRow),
                              std::pow(NotchFactor, -notches));
        if (StatusLine::beyondPrecision(next, lastCol, lastRow))
            deepShown = DeepViewState::ofDoubles(shown);
    }
    if (deepShown) {
        std::string error;
        const auto next = DeepViewState::zoomedAbout(*deepShown, pos.x(), pos.y(), lastCol, lastRow,
                                                     notches, &error);
        if (!next)
            throw tk::RuntimeError(tk::ErrBadInput, QString::fromStdString(error));
        if (DeepViewState::beyondDoubles(*next, lastCol, lastRow)) {
            ShowAndDraw(form_, *next);
            return;
        }
        // Zoomed back out to where doubles resolve: their nearest doubles.
        ShowAndDraw(form_, PlaneView{mpfr_get_d(next->xMin().get(), MPFR_RNDN),
                                     mpfr_get_d(next->xMax().get(), MPFR_RNDN),
                                     mpfr_get_d(next->yMin().get(), MPFR_RNDN),
                                     mpfr_get_d(next->yMax().get(), MPFR_RNDN)});
        return;
    }
    const double re = shown.realAt(pos.x(), lastCol);
    const double im = shown.imagAt(pos.y(), lastRow);
    const PlaneView next = shown.scaledAbout(re, im, std::pow(NotchFactor, -notches));
    for (double v : {next.xMin, next.xMax, next.yMin, next.yMax})
        if (!std::isfinite(v))
            return; // zoomed out beyond the doubles: nothing to show
    ShowAndDraw(form_, next);
}

bool WheelZoom::cancelDrag()
{
    if (!form_.isDragging())
        return false;
    form_.CornerDrag = False;
    form_.CenterDrag = False;
    // Erases the band and puts the saved view back into the bounds and
    // fields; the pen goes back to copy mode.
    form_.CancelSelection();
    form_.Picture1->setDrawMode(tk::PictureBox::CopyPen);
    form_.Picture1->setDrawStyle(tk::PictureBox::Solid);
    // A drag happens only while no pass runs or the pass is paused.
    form_.Picture1->setMousePointer(tk::PointerCross);
    return true;
}

bool WheelZoom::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && watched == canvas_) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        pendingAngle_ += wheel->angleDelta().y();
        const int notches = pendingAngle_ / 120;
        pendingAngle_ -= notches * 120;
        const QPointF pos = wheel->position() * canvas_->devicePixelRatio();
        tk::guarded([&] { zoomAt(pos, notches); });
        return true;
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && form_.isDragging()) {
        bool cancelled = false;
        tk::guarded([&] { cancelled = cancelDrag(); });
        return cancelled;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace explorer
