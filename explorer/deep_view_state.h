// The view kept at any precision beside the window's double bounds: where the
// pixel spacing falls below what doubles resolve, the bounds live here as
// MPFR numbers (from the digits typed or zoomed to) and the double members
// hold only their nearest doubles. Field handlers, the selection, the lock and
// the wheel ask it; all run on the window's thread, possibly nested in yields.
#pragma once

#include <optional>
#include <string>

#include "explorer/engine/deep/deep_view.h"
#include "plane_view.h"

namespace explorer {

class Form1;

class DeepViewState {
public:
    // The deep view the bounds stand for, or null when they are a plain
    // double view (also when anything has changed the double bounds since).
    const deep::DeepView* current(const Form1& form) const;
    // The bounds become `view` (their nearest doubles in the members).
    void show(Form1& form, const deep::DeepView& view);
    void clear() { view_.reset(); }

    // Whether `view` needs more than doubles on a canvas with this last
    // column and row: the status line's precision limit.
    static bool beyondDoubles(const deep::DeepView& view, int lastCol, int lastRow);
    // The view the double bounds give, exactly (nothing if they are not one).
    static std::optional<deep::DeepView> ofDoubles(const PlaneView& view);

    // A bound field (0 XMin, 1 XMax, 2 YMin, 3 YMax) or an extent field (4
    // width, 5 height) now reads `text`. Returns whether the deep view took
    // it (the current view is deep, or the typed one is); otherwise the
    // described double handling applies. The lock reshapes in MPFR.
    bool fieldTyped(Form1& form, int which, const std::string& text);
    // Writes the six fields from the deep view; false for a double view.
    bool writeFields(Form1& form);
    // While one of these lives, the field handlers run as for a double view
    // (the rewrite of a double view's fields must stay one).
    class PlainWrite {
    public:
        explicit PlainWrite(DeepViewState& state) : state_(state), was_(state.plain_)
        {
            state.plain_ = true;
        }
        ~PlainWrite() { state_.plain_ = was_; }
        PlainWrite(const PlainWrite&) = delete;
        PlainWrite& operator=(const PlainWrite&) = delete;

    private:
        DeepViewState& state_;
        bool was_;
    };
    // The 4:3 lock switched on over a deep view; false for a double view.
    bool lockRatio(Form1& form);

    // The rubber band: the view under it kept at the press and put back on
    // cancel; the release's new bounds worked out in MPFR. selectionReleased
    // returns whether it took the release (a deep view, or a deep result).
    void saveForSelection(const Form1& form);
    void restoreSelection(Form1& form);
    bool selectionReleased(Form1& form, int left, int right, int top, int bottom);

    // `shown` zoomed by 2^notches about canvas position (x, y), in MPFR.
    static std::optional<deep::DeepView> zoomedAbout(const deep::DeepView& shown, double x,
                                                     double y, int lastCol, int lastRow,
                                                     int notches, std::string* error);

private:
    // The four bounds reshaped to 4:3 about their centre: the other axis
    // follows the given one (0: y follows x, 1: x follows y).
    static std::optional<deep::DeepView> reshaped(const deep::DeepView& view, int follow);
    bool writing_ = false; // the fields are being written from the view
    bool plain_ = false;   // a double view's fields are being written
    std::optional<deep::DeepView> view_, saved_;
    PlaneView shadow_, savedShadow_; // the doubles each stood for
};

} // namespace explorer
