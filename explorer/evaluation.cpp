// Escape-time evaluation of one pixel and reads of the level grids.
#include "form1.h"

#include <cmath>

#include "toolkit/runtime_error.h"

namespace explorer {

std::int32_t Form1::ZelmarPoint(std::int32_t DoX, std::int32_t DoY)
{
    if (DoX < 0 || DoX > LastCol || DoY < 0 || DoY > LastRow)
        return 1; // a caller error; nothing outside the grids is touched
    const double cx = XValues[std::size_t(DoX)];
    const double cy = YValues[std::size_t(DoY)];
    double zr = 0, zi = 0, zr2, zi2, sum, newR, newI;
    std::int32_t count = 0;
    for (;;) {
        zr2 = zr * zr;
        zi2 = zi * zi;
        newI = zi * zr * 2.0 + cy;
        newR = (zr2 - zi2) + cx;
        sum = zr2 + zi2;
        ++count;
        if (count >= MaxIter || sum >= 4.0)
            break;
        zr = newR;
        zi = newI;
    }
    // Every operation is checked, but only the last step can overflow: any
    // infinity makes the squared modulus infinite and stops the loop there,
    // so testing that step's results once is the same as testing each.
    if (!std::isfinite(sum) || !std::isfinite(newR) || !std::isfinite(newI)) [[unlikely]]
        tk::raiseOverflow();

    const std::int32_t level = count >= MaxIter ? 0 : count % ColorCycle + 1;
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
