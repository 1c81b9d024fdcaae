// Escape-time evaluation of one pixel and reads of the level grids. While a
// pass runs, a pixel's level comes from the pass's level cache (worked out
// by the same iteration in vector lanes); otherwise it is iterated here.
#include "form1.h"

#include "escape_kernels.h"
#include "toolkit/runtime_error.h"

namespace explorer {

std::int32_t Form1::ScalarLevel(std::int32_t col, std::int32_t row) const
{
    const std::int32_t count =
        escape::scalarCount(XValues[std::size_t(col)], YValues[std::size_t(row)], MaxIter);
    if (count == escape::Overflow) [[unlikely]]
        tk::raiseOverflow();
    return count >= MaxIter ? 0 : count % ColorCycle + 1;
}

std::int32_t Form1::ZelmarPoint(std::int32_t DoX, std::int32_t DoY)
{
    if (DoX < 0 || DoX > LastCol || DoY < 0 || DoY > LastRow)
        return 1; // a caller error; nothing outside the grids is touched
    // An overflow raises before anything is stored.
    const std::int32_t level = CacheLive ? CachedLevel(DoX, DoY) : ScalarLevel(DoX, DoY);
    LevelGrid(DoX, DoY) = std::uint8_t(level);
    DoneGrid(DoX, DoY) = 1;
    return level;
}

std::int32_t Form1::GetFlag(std::int32_t a, std::int32_t b) const
{
    if (a < 0 || a > LastCol || b < 0 || b > LastRow)
        return 1;
    return DoneGrid(a, b);
}

std::int32_t Form1::GetPixel(std::int32_t a, std::int32_t b) const
{
    if (a < 0 || a > LastCol || b < 0 || b > LastRow)
        return 1;
    return LevelGrid(a, b);
}

} // namespace explorer
