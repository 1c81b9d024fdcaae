// The headless render pass (see traced_pass.h): the same coordinates, levels,
// walk and fill as the window's pass, so the same picture.
#include "traced_pass.h"

#include <algorithm>
#include <cmath>

#include "explorer/engine/deep/deep_levels.h"
#include "explorer/engine/escape.h"

namespace explorer::headless {

namespace {

double checked(double v)
{
    if (!std::isfinite(v))
        throw ViewOverflow();
    return v;
}

// The eight neighbour steps, clockwise from east (rows grow downwards).
constexpr std::int32_t StepX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr std::int32_t StepY[8] = {0, 1, 1, 1, 0, -1, -1, -1};

} // namespace

ViewOverflow::ViewOverflow() : std::runtime_error("the view overflows the range of the arithmetic")
{
}

TracedPass::TracedPass(std::int32_t width, std::int32_t height, std::int32_t maxIter,
                       PassLevels& levels)
    : width_(width), height_(height), maxIter_(maxIter), levels_(levels)
{
}

TracedPass::~TracedPass()
{
    levels_.release();
}

void TracedPass::beginDeep(const deep::DeepLevels& levels)
{
    if (levels.width != width_ || levels.height != height_)
        throw std::logic_error("deep levels of another canvas");
    levels_.release();
    deep_ = &levels;
    level_.assign(std::size_t(width_) * std::size_t(height_), 0);
    done_.assign(level_.size(), 0);
}

void TracedPass::begin(const PlaneRect& view)
{
    levels_.release();
    deep_ = nullptr;
    level_.assign(std::size_t(width_) * std::size_t(height_), 0);
    done_.assign(level_.size(), 0);
    const double dx = checked(checked(view.xMax - view.xMin) / (width_ - 1));
    const double dy = checked(checked(view.yMin - view.yMax) / (height_ - 1));
    // Running sums, not i * step: the window's plane values are these.
    ys_.assign(std::size_t(height_), 0.0);
    double t = view.yMax;
    for (std::int32_t row = 0; row < height_; ++row) {
        ys_[std::size_t(row)] = t;
        t = checked(t + dy);
    }
    xs_.assign(std::size_t(width_), 0.0);
    double u = view.xMin;
    for (std::int32_t col = 0; col < width_; ++col) {
        xs_[std::size_t(col)] = u;
        u = checked(u + dx);
    }
    levels_.arm(xs_, ys_, maxIter_, ColorCycle);
}

std::int32_t TracedPass::evaluate(std::int32_t col, std::int32_t row)
{
    if (deep_) [[unlikely]] {
        const std::int32_t level = deep_->level(col, row); // worked out before the rows
        level_[at(col, row)] = std::uint8_t(level);
        done_[at(col, row)] = 1;
        return level;
    }
    std::int32_t level = levels_.level(col, row);
    if (level < 0) {
        const std::int32_t count =
            escape::scalarCount(xs_[std::size_t(col)], ys_[std::size_t(row)], maxIter_);
        if (count == escape::Overflow) [[unlikely]]
            throw ViewOverflow();
        level = count >= maxIter_ ? 0 : count % ColorCycle + 1;
    }
    level_[at(col, row)] = std::uint8_t(level);
    done_[at(col, row)] = 1;
    return level;
}

void TracedPass::evaluateRow(std::int32_t row)
{
    if (!deep_)
        levels_.prepareRows(row + 1);
    for (std::int32_t col = 0; col < width_; ++col)
        if (done_[at(col, row)] == 0 && evaluate(col, row) == 0)
            trace(col, row);
}

void TracedPass::trace(std::int32_t startX, std::int32_t startY)
{
    std::int32_t x = startX, y = startY, d = 7;
    std::int32_t leftmost = startX, rightmost = startX, lowest = startY;
    // The walk is a function of position and direction over levels that do
    // not change while it runs: more moves than there are such states means
    // it circles without reaching the start, which must end, not hang.
    const std::int64_t moveLimit = std::int64_t(width_) * height_ * 8 + 8;
    std::int64_t moves = 0;
    do {
        std::int32_t nx = x, ny = y, level = 1;
        for (int tries = 0; tries < 8 && level != 0; ++tries) {
            d = (d + 1) & 7;
            nx = x + StepX[d];
            ny = y + StepY[d];
            if (flag(nx, ny) == 0)
                evaluate(nx, ny);
            level = pixel(nx, ny);
        }
        if (level == 0) {
            x = std::clamp(nx, 0, width_ - 1);
            y = std::clamp(ny, 0, height_ - 1);
            lowest = std::max(lowest, y);
            leftmost = std::min(leftmost, x);
            rightmost = std::max(rightmost, x);
            d = (d - 4) & 7;
        }
        if (++moves > moveLimit) [[unlikely]]
            throw std::logic_error("the boundary walk did not close");
    } while (!(x == startX && y == startY));

    // Runs start at a done pixel of the set and mark the pending pixels they
    // pass as in the set, up to the first escaped pixel and never beyond the
    // rightmost column the walk reached (as the window's fill does).
    for (std::int32_t r = startY; r <= lowest; ++r) {
        std::int32_t k = leftmost;
        while (k <= rightmost) {
            while (k <= rightmost && !(flag(k, r) == 1 && pixel(k, r) == 0))
                ++k;
            if (k > rightmost)
                break;
            for (++k; k <= rightmost; ++k) {
                done_[at(k, r)] = 1;
                if (pixel(k, r) != 0)
                    break;
            }
            ++k;
        }
    }
}

} // namespace explorer::headless
