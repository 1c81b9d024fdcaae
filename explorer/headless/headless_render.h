// One view drawn without a window into the PNG picture that File > Export
// View writes, and the test whether a file already holds that picture whole.
// Needs no display; one thread calls it.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

#include "traced_pass.h"

namespace explorer::headless {

struct RenderRequest {
    PlaneRect view;
    std::int32_t width, height, maxIter;
    int threads; // 1 or more
};

// Raised when the row callback asks the render to stop.
struct RenderStopped {};

// Draws the view row by row; after each row `rowDone` is called, and a false
// answer stops the render (RenderStopped). Raises ViewOverflow.
QImage RenderViewPicture(const RenderRequest& request, const std::function<bool()>& rowDone);

// Whether `fileName` is a whole PNG (its last chunk is there) of this size
// whose chunks name this very view and limit: such a frame need not be drawn
// again.
bool HoldsPicture(const QString& fileName, const RenderRequest& request);

} // namespace explorer::headless
