// The View menu's history: every view a pass draws, Back (Alt+Left),
// Forward (Alt+Right) and Home (Alt+Home); Back and Forward bring back the
// iteration limit the view was drawn with. Going back and then drawing a new
// view drops the views ahead, as a browser does. Its handlers may run nested
// in a pass's or a pause's yield; the pass they start runs inside them.
#pragma once

#include <QObject>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "explorer/engine/deep/deep_view.h"
#include "plane_view.h"

class QMenu;

namespace tk {
class MenuItem;
}

namespace explorer {

class Form1;

class ViewHistory : public QObject {
    Q_OBJECT
public:
    // Oldest views are forgotten beyond this many.
    static constexpr std::size_t Capacity = 1000;

    ViewHistory(Form1& form, QMenu* viewMenu);

    // A pass is drawing `view` (and `deepView`, when its bounds are
    // deeper than doubles resolve), which the fields show as `fields`, at
    // the iteration limit `maxIter`.
    void record(const PlaneView& view, const QStringList& fields, std::int32_t maxIter,
                const std::optional<deep::DeepView>& deepView = std::nullopt);

    void goBack();
    void goForward();
    void goHome();

    struct Entry {
        PlaneView view;
        QStringList fields;
        std::int32_t maxIter;
        std::optional<deep::DeepView> deep;
    };
    const std::vector<Entry>& views() const { return views_; }
    std::size_t current() const { return current_; }

    tk::MenuItem* BackMenu;
    tk::MenuItem* ForwardMenu;
    tk::MenuItem* HomeMenu;

private:
    void goTo(std::size_t index);
    void updateItems();

    Form1& form_;
    std::vector<Entry> views_;
    std::size_t current_ = 0;
    // The entry that the next recorded view replaces rather than follows:
    // set while Back or Forward starts its pass, so that the view as the
    // fields' rewrite left it takes that entry's place.
    bool replacePending_ = false;
};

} // namespace explorer
