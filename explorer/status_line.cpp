// The status line's texts and its place under the canvas, which follows the
// canvas wherever the layout puts it.
#include "status_line.h"

#include <QCursor>
#include <QEvent>
#include <QLabel>

#include <algorithm>
#include <cmath>

#include "explorer_features.h"
#include "form1.h"

namespace explorer {

namespace {
constexpr int Gap = 4; // pixels between the canvas and the line
}

StatusLine::StatusLine(Form1& form, const ExplorerFeatures& features)
    : QObject(&form), form_(form), features_(features), canvas_(form.Picture1)
{
    label_ = new QLabel(form.Picture1->parentWidget());
    label_->setAccessibleName(QStringLiteral("Status"));
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_->setWordWrap(false);
    form.Picture1->installEventFilter(this);
    connect(form.Picture1, &tk::PictureBox::MouseMove, this,
            [this](std::int16_t, std::int16_t, float x, float y) { pointerAt(x, y); });
    // Until a pass reports, its place says how to start one.
    pass_ = startHint();
    place();
    refresh();
    label_->show();
}

QString StatusLine::progressText(int rowsDone, int rows, double seconds)
{
    return QStringLiteral("drawing row %1 of %2, %3 s")
        .arg(rowsDone)
        .arg(rows)
        .arg(QString::number(seconds, 'f', 1));
}

double StatusLine::activeSeconds(const Timing& timing) const
{
    qint64 ns = timing.timer.nsecsElapsed() - timing.pausedNs;
    if (pausedSince_)
        ns -= pausedSince_->nsecsElapsed();
    return double(std::max<qint64>(ns, 0)) * 1e-9;
}

void StatusLine::passPaused()
{
    // A paused pass shows how far it got, however short it has run.
    if (newestPassRuns() && rowsDrawn_ > 0)
        showProgress(rowsDrawn_);
    if (!pausedSince_) {
        pausedSince_.emplace();
        pausedSince_->start();
    }
}

void StatusLine::passResumed()
{
    endPause();
}

void StatusLine::endPause()
{
    if (!pausedSince_)
        return;
    // Every pass on the stack was there when the pause began: a new pass
    // ends the pause before it starts.
    const qint64 ns = pausedSince_->nsecsElapsed();
    for (Timing& t : timings_)
        t.pausedNs += ns;
    pausedSince_.reset();
}

bool StatusLine::newestPassRuns() const
{
    // Only the newest pass reports; an outer one re-plotting after it does
    // not.
    return !timings_.empty() && timings_.back().id == lastStarted_;
}

void StatusLine::rowDrawn(std::int32_t row)
{
    if (!newestPassRuns())
        return;
    rowsDrawn_ = row + 1;
    // The first report waits until the pass has run for an interval: a pass
    // that ends sooner goes straight to its time, which nobody could have
    // told from a progress line shown for a few milliseconds. Once shown,
    // the progress reaches the last row.
    if (progressDue() || (lastProgress_.isValid() && row == form_.LastRow))
        showProgress(rowsDrawn_);
}

void StatusLine::passWaiting()
{
    // A row can take seconds at a high limit (its trace waits for levels
    // far down the canvas): the line tells which row is under way rather
    // than the last pass's time. A deep pass reports its own waits.
    if (newestPassRuns() && !form_.DeepPass.active() && progressDue())
        showProgress(std::min(rowsDrawn_ + 1, form_.LastRow + 1));
}

bool StatusLine::progressDue() const
{
    const qint64 since =
        lastProgress_.isValid() ? lastProgress_.elapsed() : timings_.back().timer.elapsed();
    return since >= ProgressInterval;
}

void StatusLine::showProgress(int rowsShown)
{
    const int rows = form_.LastRow + 1;
    lastProgress_.start();
    // A deep pass draws its rows as their levels come: both are told.
    pass_ = form_.DeepPass.active() ? deepRowsText(form_.DeepPass.readyRows(), rowsShown, rows,
                                                   activeSeconds(timings_.back()))
                                    : progressText(rowsShown, rows, activeSeconds(timings_.back()));
    refresh();
}

QString StatusLine::pointText(double re, double im)
{
    return QStringLiteral("x %1   y %2")
        .arg(QString::number(re, 'g', 15), QString::number(im, 'g', 15));
}

bool StatusLine::beyondPrecision(const PlaneView& v, int lastCol, int lastRow)
{
    const double largest =
        std::max({std::fabs(v.xMin), std::fabs(v.xMax), std::fabs(v.yMin), std::fabs(v.yMax)});
    const double dx = std::fabs(v.xMax - v.xMin) / std::max(lastCol, 1);
    const double dy = std::fabs(v.yMax - v.yMin) / std::max(lastRow, 1);
    return dx < PrecisionLimit * largest || dy < PrecisionLimit * largest;
}

QString StatusLine::viewText(const PlaneView& v, int lastCol, int lastRow)
{
    const double width = std::fabs(v.xMax - v.xMin);
    QString text =
        width > 0 ? QStringLiteral("magnification %1")
                        .arg(QString::number((StartView.xMax - StartView.xMin) / width, 'g', 4))
                  : QStringLiteral("magnification unbounded");
    if (beyondPrecision(v, lastCol, lastRow))
        text += QStringLiteral("   ") + precisionWarning();
    return text;
}

QString StatusLine::text() const
{
    return label_->text();
}

void StatusLine::passStarting()
{
    endPause();
    lastProgress_.invalidate();
    rowsDrawn_ = 0;
    referenceShown_ = -1;
    timings_.push_back({QElapsedTimer(), ++lastStarted_});
    timings_.back().timer.start();
}

void StatusLine::passEnded()
{
    if (timings_.empty())
        return;
    const Timing t = timings_.back();
    timings_.pop_back();
    if (t.id != lastStarted_)
        return; // a newer pass has drawn over this one's view
    pass_ = QStringLiteral("last pass %1 s at %2 iterations")
                .arg(QString::number(activeSeconds(t), 'f', 3))
                .arg(features_.drawnMaxIter());
    pointerAgain();
    refresh();
}

void StatusLine::viewDrawn()
{
    if (const auto& deepView = features_.drawnDeepView())
        view_ = deepViewText(*deepView, form_.LastCol, form_.LastRow);
    else if (const auto& v = features_.drawnView())
        view_ = viewText(*v, form_.LastCol, form_.LastRow);
    pointerAgain();
    refresh();
}

void StatusLine::pointerAgain()
{
    if (!pointer_)
        return;
    const QPoint at = canvas_->mapFromGlobal(QCursor::pos());
    if (!canvas_->rect().contains(at)) {
        // The canvas has not seen the pointer leave (a pass held the
        // events), but it is elsewhere now.
        pointer_.reset();
        point_.clear();
        return;
    }
    const double ratio = canvas_->devicePixelRatio();
    pointerAt(float(at.x() * ratio), float(at.y() * ratio));
}

void StatusLine::pointerAt(float x, float y)
{
    pointer_ = {x, y};
    if (const auto& deepView = features_.drawnDeepView()) {
        point_ = deepPointText(*deepView, x, y, form_.LastCol, form_.LastRow);
        refresh();
        return;
    }
    const PlaneView shown = features_.drawnView().value_or(form_.shownView());
    const int col = int(std::lround(x)), row = int(std::lround(y));
    // On a drawn canvas the pass's own plane values; else worked out from
    // the view.
    const bool drawn = features_.drawnView().has_value() && col >= 0 && row >= 0 &&
                       std::size_t(col) < form_.XValues.size() &&
                       std::size_t(row) < form_.YValues.size();
    point_ = drawn ? pointText(form_.XValues[std::size_t(col)], form_.YValues[std::size_t(row)])
                   : pointText(shown.realAt(x, std::max(form_.LastCol, 1)),
                               shown.imagAt(y, std::max(form_.LastRow, 1)));
    refresh();
}

void StatusLine::refresh()
{
    QStringList second;
    for (const QString& part : {pass_, view_})
        if (!part.isEmpty())
            second << part;
    label_->setText(point_ + QLatin1Char('\n') + second.join(QStringLiteral("   ")));
}

void StatusLine::place()
{
    const QWidget* canvas = canvas_;
    const int lines = 2 * label_->fontMetrics().lineSpacing() + 2;
    label_->setGeometry(canvas->x() + Gap, canvas->y() + canvas->height() + Gap,
                        canvas->width() - Gap, lines);
}

bool StatusLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == canvas_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        place();
    if (watched == canvas_ && event->type() == QEvent::Leave && pointer_) {
        pointer_.reset();
        point_.clear();
        refresh();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace explorer
