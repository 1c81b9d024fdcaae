// The view history and the View menu's three items. The views are the
// bounds each pass read when it started; a Back or Forward shows its view in
// the six fields as UpdateXY does and draws it at once.
#include "view_history.h"

#include <QMenu>

#include "explorer_features.h"
#include "form1.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"

namespace explorer {

ViewHistory::ViewHistory(Form1& form, QMenu* viewMenu) : QObject(&form), form_(form)
{
    BackMenu =
        new tk::MenuItem(QStringLiteral("&Back"), QKeySequence(Qt::ALT | Qt::Key_Left), 0, this);
    ForwardMenu = new tk::MenuItem(QStringLiteral("&Forward"),
                                   QKeySequence(Qt::ALT | Qt::Key_Right), 0, this);
    HomeMenu =
        new tk::MenuItem(QStringLiteral("&Home"), QKeySequence(Qt::ALT | Qt::Key_Home), 0, this);
    for (tk::MenuItem* item : {BackMenu, ForwardMenu, HomeMenu})
        viewMenu->addAction(item);
    tk::Handle(BackMenu, &tk::MenuItem::Click, this, &ViewHistory::goBack);
    tk::Handle(ForwardMenu, &tk::MenuItem::Click, this, &ViewHistory::goForward);
    tk::Handle(HomeMenu, &tk::MenuItem::Click, this, &ViewHistory::goHome);
    updateItems();
}

namespace {

// Deep views whose doubles agree may still differ in their later digits.
bool sameView(const ViewHistory::Entry& entry, const PlaneView& view,
              const std::optional<deep::DeepView>& deepView)
{
    if (entry.view != view || entry.deep.has_value() != deepView.has_value())
        return false;
    return !deepView || entry.deep->fields() == deepView->fields();
}

} // namespace

void ViewHistory::record(const PlaneView& view, const QStringList& fields, std::int32_t maxIter,
                         const std::optional<deep::DeepView>& deepView)
{
    if (replacePending_) {
        replacePending_ = false;
        views_[current_] = {view, fields, maxIter, deepView};
    } else if (views_.empty()) {
        views_.push_back({view, fields, maxIter, deepView});
        current_ = 0;
    } else if (!sameView(views_[current_], view, deepView) || views_[current_].maxIter != maxIter) {
        // A restart of the same view at the same limit is not a new step;
        // at another limit it is, so that Back shows the old picture.
        views_.resize(current_ + 1);
        views_.push_back({view, fields, maxIter, deepView});
        if (views_.size() > Capacity)
            views_.erase(views_.begin());
        current_ = views_.size() - 1;
    }
    updateItems();
}

void ViewHistory::goBack()
{
    if (!views_.empty() && current_ > 0)
        goTo(current_ - 1);
}

void ViewHistory::goForward()
{
    if (current_ + 1 < views_.size())
        goTo(current_ + 1);
}

void ViewHistory::goHome()
{
    // Home is a new view like any other: it follows the current one.
    ShowAndDraw(form_, StartView);
}

void ViewHistory::goTo(std::size_t index)
{
    current_ = index;
    replacePending_ = true;
    updateItems();
    // A copy: the pass started here records into the history.
    const Entry entry = views_[index];
    if (!form_.isDragging())
        form_.MaxIter = entry.maxIter; // a drag in progress keeps everything
    ShowAndDraw(form_, KeptView{entry.view, entry.deep}, &entry.fields);
    // A pass that did not start (a drag in progress) leaves nothing to
    // replace.
    replacePending_ = false;
}

void ViewHistory::updateItems()
{
    BackMenu->setEnabled(!views_.empty() && current_ > 0);
    ForwardMenu->setEnabled(current_ + 1 < views_.size());
}

} // namespace explorer
