// Escape-time evaluation of one pixel. While a pass runs, a pixel's level
// comes from the render engine (worked out by the same iteration in vector
// lanes); otherwise, or where the engine does not know it, it is iterated
// here. The grid reads GetFlag and GetPixel are inline in form1.h.
#include "form1.h"

#include "engine/escape.h"
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
    std::int32_t level;
    if (DeepPass.active()) [[unlikely]] {
        // A deep view's pass: a level not yet worked out is waited for,
        // answering the window system as the engine's waits do.
        level = DeepPass.level(DoX, DoY, Engine.waitHook());
        if (level < 0)
            return 1; // a newer pass took the canvas over meanwhile: nothing is stored
    } else if (Engine.known(DoX, DoY) || Engine.settle(DoX, DoY)) {
        level = Engine.level(DoX, DoY);
    } else {
        if (Engine.armed()) [[unlikely]]
            Engine.noteMiss(); // a pixel the flood did not reach
        // An overflow raises before anything is stored.
        level = ScalarLevel(DoX, DoY);
    }
    LevelGrid(DoX, DoY) = std::uint8_t(level);
    DoneGrid(DoX, DoY) = 1;
    return level;
}

} // namespace explorer
