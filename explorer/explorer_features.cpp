// Creates the explorer's additional features and connects them to the
// window's pass signals. Runs once, from the window's constructor.
#include "explorer_features.h"

#include <QMenu>

#include "field_labels.h"
#include "field_room.h"
#include "form1.h"
#include "iteration_dialog.h"
#include "status_line.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"
#include "view_export.h"
#include "view_history.h"
#include "wheel_zoom.h"

namespace explorer {

QStringList FieldTexts(const Form1& form)
{
    return {form.Text1->Text(), form.Text2->Text(), form.Text3->Text(),
            form.Text4->Text(), form.Text5->Text(), form.Text6->Text()};
}

void ShowAndDraw(Form1& form, const PlaneView& view, const QStringList* fields)
{
    // A drag in progress owns the canvas until its release.
    if (form.isDragging())
        return;
    form.Deep.clear();
    const auto setBounds = [&] {
        form.XMin = view.xMin;
        form.XMax = view.xMax;
        form.YMin = view.yMin;
        form.YMax = view.yMax;
    };
    setBounds();
    if (fields && fields->size() == 6) {
        // Each write runs its field's handler, as UpdateXY's do; the bounds
        // the handlers leave are then replaced by the view itself.
        tk::TextBox* boxes[] = {form.Text1, form.Text2, form.Text3,
                                form.Text4, form.Text5, form.Text6};
        const DeepViewState::PlainWrite plain(form.Deep);
        for (int i = 0; i < 6; ++i)
            boxes[i]->setText((*fields)[i]);
        setBounds();
        form.FieldsStale = False;
    } else {
        form.FieldsStale = True;
        form.UpdateXY();
    }
    // As "Re&start" does: nested in a running pass's yield, this runs the
    // new pass to its end, and the old one only re-plots its rows; a paused
    // pass's wait ends once the new pass has set "&Pause".
    form.Command1_Click();
}

void ShowAndDraw(Form1& form, const deep::DeepView& view)
{
    if (form.isDragging())
        return;
    form.Deep.show(form, view);
    form.FieldsStale = True;
    form.UpdateXY();
    form.Command1_Click();
}

void ShowAndDraw(Form1& form, const KeptView& view, const QStringList* fields)
{
    if (view.deep)
        ShowAndDraw(form, *view.deep);
    else
        ShowAndDraw(form, view.plane, fields);
}

namespace {

std::optional<deep::DeepView> deepOf(const Form1& form)
{
    const deep::DeepView* current = form.Deep.current(form);
    return current ? std::optional<deep::DeepView>(*current) : std::nullopt;
}

} // namespace

ExplorerFeatures::ExplorerFeatures(Form1& form) : QObject(&form), form_(form)
{
    IterationsMenu = new tk::MenuItem(QStringLiteral("&Iterations..."), QKeySequence(), 0, &form);
    form.OptionsMenu->addAction(IterationsMenu);
    tk::Handle(IterationsMenu, &tk::MenuItem::Click, this, &ExplorerFeatures::chooseIterations);

    QMenu* viewMenu = form.addMenu(QStringLiteral("&View"));
    History = new ViewHistory(form, viewMenu);
    Wheel = new WheelZoom(form, *this);
    Export = new ViewExport(form, *this);
    Status = new StatusLine(form, *this);
    Labels = new FieldLabels(form);
    new FieldEnter(form);

    // A deep view's fields hold as many digits as it needs, far beyond a
    // line edit's default limit (which would cut them silently).
    for (tk::TextBox* box :
         {form.Text1, form.Text2, form.Text3, form.Text4, form.Text5, form.Text6})
        box->setMaxLength(int(deep::MaxFieldCharacters));
    form.DeepPass.onProgress = [this](const DeepRender::Progress& p) { Status->deepProgress(p); };
    form.DeepPass.onLevels = [this](const deep::DeepLevels& l) { Status->deepLevelsDone(l); };
    connect(&form, &Form1::viewChosen, this, &ExplorerFeatures::viewChosen);
    connect(&form, &Form1::restartMerged, this, &ExplorerFeatures::restartMerged);
    connect(&form, &Form1::passStarting, Status, &StatusLine::passStarting);
    connect(&form, &Form1::passEnded, Status, &StatusLine::passEnded);
    connect(&form, &Form1::rowDrawn, Status, &StatusLine::rowDrawn);
    connect(&form, &Form1::passWaiting, Status, &StatusLine::passWaiting);
    connect(&form, &Form1::passPaused, Status, &StatusLine::passPaused);
    connect(&form, &Form1::passResumed, Status, &StatusLine::passResumed);
    // A paused deep pass leaves no core busy.
    connect(&form, &Form1::passPaused, this, [&form] { form.DeepPass.hold(true); });
    connect(&form, &Form1::passResumed, this, [&form] { form.DeepPass.hold(false); });
}

void ExplorerFeatures::chooseIterations()
{
    if (const auto limit = IterationDialog::ask(form_.MaxIter, &form_))
        form_.MaxIter = *limit;
}

void ExplorerFeatures::viewChosen()
{
    drawnView_ = form_.shownView();
    askedView_ = drawnView_;
    drawnDeep_ = deepOf(form_);
    askedDeep_ = drawnDeep_;
    drawnFields_ = FieldTexts(form_);
    drawnMaxIter_ = form_.MaxIter;
    History->record(*drawnView_, drawnFields_, drawnMaxIter_, drawnDeep_);
    Status->viewDrawn();
}

void ExplorerFeatures::restartMerged()
{
    askedView_ = form_.shownView();
    askedDeep_ = deepOf(form_);
}

} // namespace explorer
