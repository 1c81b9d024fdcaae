// One view drawn without a window into the PNG picture that File > Export
// View writes, and the test whether a file already holds that picture whole.
// Needs no display; one thread calls it.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "explorer/engine/deep/deep_levels.h"
#include "traced_pass.h"

namespace explorer::headless {

struct RenderRequest {
    PlaneRect view; // for a deep view, its nearest doubles
    std::int32_t width, height, maxIter;
    int threads; // 1 or more
    // A view kept with every digit (chosen_view.h): written into the
    // picture's deep chunks, and drawn from the deep library's levels where
    // doubles do not resolve it on this canvas.
    std::optional<deep::DeepView> deep = std::nullopt;
};

// Raised when the row callback asks the render to stop.
struct RenderStopped {};

// A deep view that cannot be drawn (the deep library's refusal).
class DeepViewRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// While a deep view's levels are worked out (before the rows): the stage
// and the fraction of it done, a few times a second; a false answer stops
// the render (RenderStopped).
using DeepStageDone = std::function<bool(deep::DeepStage, double)>;

// Draws the view row by row; after each row `rowDone` is called, and a false
// answer stops the render (RenderStopped). Raises ViewOverflow, and
// DeepViewRefused.
QImage RenderViewPicture(const RenderRequest& request, const std::function<bool()>& rowDone,
                         const DeepStageDone& stageDone = {});

// The levels of a deep pass: the deep library's, worked out on a thread of
// their own while the caller's thread reports; `stageDone` as above.
deep::DeepLevels DeepPassLevels(const RenderRequest& request, const DeepStageDone& stageDone);

// Whether `fileName` is a whole PNG (its last chunk is there) of this size
// whose chunks name this very view and limit: such a frame need not be drawn
// again.
bool HoldsPicture(const QString& fileName, const RenderRequest& request);

} // namespace explorer::headless
