// The view the command line draws, from the four bounds as typed: plain
// doubles when they hold it, as they always were, else the deep view with
// every digit, decided by the window's own rules. Pure functions; any thread.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "explorer/engine/deep/deep_view.h"
#include "traced_pass.h"

namespace explorer::headless {

// XMIN XMAX YMIN YMAX as given.
using BoundTexts = std::array<std::string, 4>;

struct ChosenView {
    // The bounds as doubles (the nearest ones for a deep view).
    PlaneRect doubles{};
    // Kept when doubles do not hold the view: more digits than they carry,
    // or pixels closer than they tell apart on the canvas.
    std::optional<deep::DeepView> deep;
    // The doubles are the bounds as typed, each read whole (17 significant
    // digits or fewer): a zoom between two such views keeps its double
    // frames as they always were.
    bool typedAsDoubles = false;
};

// The nearest double of a decimal number of any length, when it is one and
// within the doubles' range; "1e-400" reads as 0 here but is a number.
std::optional<double> NearestDouble(const std::string& text);
// Whether the text is a finite decimal number (of any length).
bool IsDecimalNumber(const std::string& text);
// Whether the text says more than a double holds: more than 17 significant
// digits, or a number the doubles cannot read (beyond their range).
bool LongerThanDoubles(const std::string& text);

// The view for a canvas of width x height. Bounds doubles read in full stay
// doubles (exactly as they always were drawn) unless the canvas needs more;
// a view the explorer cannot take (too deep, no extent, over-long texts)
// gives nothing and the reason in `error`.
std::optional<ChosenView> ChooseView(const BoundTexts& texts, int width, int height,
                                     std::string* error);
// The same rules for a view worked out in MPFR (a frame of a deep zoom): its
// shown digits are what is drawn and written, so that a reopened picture
// names the very same view.
std::optional<ChosenView> ChooseView(const deep::DeepView& view, int width, int height,
                                     std::string* error);

// Whether its pass takes the deep library's levels.
bool TakesDeepPass(const ChosenView& view, int width, int height);

} // namespace explorer::headless
