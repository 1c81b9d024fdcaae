// What the explorer offers beyond its designed controls: the iteration
// limit, the view history, wheel zoom, PNG export of views, the status line
// and the field labels. Created with the window, owned by it; each feature
// hooks into the window only through its signals, its menus and its public
// handlers.
#pragma once

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <optional>

#include "explorer/engine/deep/deep_view.h"
#include "plane_view.h"

namespace tk {
class MenuItem;
}

namespace explorer {

class Form1;
class ViewHistory;
class WheelZoom;
class ViewExport;
class StatusLine;
class FieldLabels;

// Shows `view` in the six fields as UpdateXY does (with the lock's
// reshaping) and draws it at once: a new pass when none runs, a restart of
// the running one, and a paused pass resumes with it. Given the six texts
// the fields showed when the view was drawn before, it puts those back
// instead and the bounds exactly as they were: a rewrite by UpdateXY can
// move the last digits, and a view taken back must be the very same.
void ShowAndDraw(Form1& form, const PlaneView& view, const QStringList* fields = nullptr);
// The same for a view deeper than doubles resolve: the bounds keep every
// digit, and the fields show the digits the view needs.
void ShowAndDraw(Form1& form, const deep::DeepView& view);
// A view as the features keep it: its doubles, and the deep view when the
// bounds stood for one.
struct KeptView {
    PlaneView plane;
    std::optional<deep::DeepView> deep;
};
// Draws a kept view: the deep one if there is one, else the doubles (with
// the fields' texts, if given).
void ShowAndDraw(Form1& form, const KeptView& view, const QStringList* fields);

// The six fields' texts, Text1 to Text6.
QStringList FieldTexts(const Form1& form);

class ExplorerFeatures : public QObject {
    Q_OBJECT
public:
    explicit ExplorerFeatures(Form1& form);

    // Options > Iterations...
    void chooseIterations();

    // The view the last pass started drawing (what the canvas shows once the
    // pass is through), and the iteration limit it used; empty before the
    // first pass.
    const std::optional<PlaneView>& drawnView() const { return drawnView_; }
    const QStringList& drawnFields() const { return drawnFields_; }
    std::int32_t drawnMaxIter() const { return drawnMaxIter_; }
    // The last view a pass was asked to draw: the drawn view, or a newer one
    // whose restart was coalesced and has not begun yet. Zooms build on it,
    // so that none asked for during a pass is lost.
    const std::optional<PlaneView>& askedView() const { return askedView_; }
    // The deep views of those two, when they were deep.
    const std::optional<deep::DeepView>& drawnDeepView() const { return drawnDeep_; }
    const std::optional<deep::DeepView>& askedDeepView() const { return askedDeep_; }

    tk::MenuItem* IterationsMenu;
    ViewHistory* History;
    WheelZoom* Wheel;
    ViewExport* Export;
    StatusLine* Status;
    FieldLabels* Labels;

private:
    void viewChosen();
    void restartMerged();

    Form1& form_;
    std::optional<PlaneView> drawnView_, askedView_;
    std::optional<deep::DeepView> drawnDeep_, askedDeep_;
    QStringList drawnFields_;
    std::int32_t drawnMaxIter_ = 0;
};

} // namespace explorer
