// The explorer's render pass without a window: row by row from the top, each
// pending pixel evaluated, each pixel of the set starting a boundary walk and
// an interior fill, exactly as the window draws a view. Plain C++ over the
// engine adapter (pass_levels.h) and the scalar iteration; one thread calls
// it, nothing re-enters it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "pass_levels.h"

namespace explorer::deep {
struct DeepLevels;
}

namespace explorer::headless {

struct PlaneRect {
    double xMin, xMax, yMin, yMax;
};

// The view's arithmetic or a point's iteration left the double range.
class ViewOverflow : public std::runtime_error {
public:
    ViewOverflow();
};

class TracedPass {
public:
    // A canvas of width x height pixels (both 2 or more) at the limit maxIter;
    // levels cycle through 255 colours as in the window.
    TracedPass(std::int32_t width, std::int32_t height, std::int32_t maxIter, PassLevels& levels);
    ~TracedPass();

    // The plane value of every column and row, by repeated addition of the
    // step as the window works them out; raises ViewOverflow.
    void begin(const PlaneRect& view);
    // A deep view's pass: every level comes from `levels` (the deep
    // library's, of this canvas), as the window's pass takes them from its
    // deep render; the walk and fill run over them as over any levels.
    // `levels` must outlive the pass.
    void beginDeep(const deep::DeepLevels& levels);
    // Evaluates, traces and fills what row `row` needs; rows in order from 0.
    // Raises ViewOverflow when a point's iteration overflows.
    void evaluateRow(std::int32_t row);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Levels row by row (width() per row); a row is final once evaluated.
    const std::vector<std::uint8_t>& levels() const { return level_; }
    const std::vector<std::uint8_t>& done() const { return done_; }

    static constexpr std::int32_t ColorCycle = 255;

private:
    std::size_t at(std::int32_t col, std::int32_t row) const
    {
        return std::size_t(row) * std::size_t(width_) + std::size_t(col);
    }
    bool inside(std::int32_t col, std::int32_t row) const
    {
        return col >= 0 && col < width_ && row >= 0 && row < height_;
    }
    // Off the canvas both read 1, so a walk never leaves it.
    int flag(std::int32_t col, std::int32_t row) const
    {
        return inside(col, row) ? done_[at(col, row)] : 1;
    }
    int pixel(std::int32_t col, std::int32_t row) const
    {
        return inside(col, row) ? level_[at(col, row)] : 1;
    }
    std::int32_t evaluate(std::int32_t col, std::int32_t row);
    void trace(std::int32_t startX, std::int32_t startY);

    std::int32_t width_, height_, maxIter_;
    PassLevels& levels_;
    const deep::DeepLevels* deep_ = nullptr;
    std::vector<double> xs_, ys_;
    std::vector<std::uint8_t> level_, done_;
};

} // namespace explorer::headless
