// The boundary trace and its fill: from a pixel of the set found by the row
// scan, the walk along its region's border, evaluating the pixels it looks
// at, then the fill of the region the walk closed. The walk may run the
// engine's wait hook, where a nested pass can re-create the grids: it then
// ends at once, holding nothing into them.
#include "form1.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>

#include "toolkit/runtime_error.h"

namespace explorer {

namespace {

// One bit in the top of each byte of a word where the byte is 0.
constexpr std::uint64_t zeroBytes(std::uint64_t v)
{
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
    return ~(((v & low7) + low7) | v) & ~low7;
}

// The first column in [from, to) whose level is not 0, else `to`.
std::int32_t firstEscaped(const std::uint8_t* levels, std::int32_t from, std::int32_t to)
{
    for (; from + 8 <= to; from += 8) {
        std::uint64_t v;
        std::memcpy(&v, levels + from, 8);
        if (const std::uint64_t escaped = ~zeroBytes(v) & ~0x7f7f7f7f7f7f7f7fu)
            return from + __builtin_ctzll(escaped) / 8;
    }
    while (from < to && levels[from] == 0)
        ++from;
    return from;
}

// The first column in [from, to) that is done and of level 0, else `to`.
std::int32_t firstDoneInSet(const std::uint8_t* done, const std::uint8_t* levels, std::int32_t from,
                            std::int32_t to)
{
    for (; from + 8 <= to; from += 8) {
        std::uint64_t d, v;
        std::memcpy(&d, done + from, 8); // 0 or 1 each
        std::memcpy(&v, levels + from, 8);
        if (const std::uint64_t hit = zeroBytes(v) & (d << 7))
            return from + __builtin_ctzll(hit) / 8;
    }
    while (from < to && !(done[from] == 1 && levels[from] == 0))
        ++from;
    return from;
}

} // namespace

void Form1::TraceSet(std::int32_t StartX, std::int32_t StartY)
{
    setMousePointer(tk::PointerHourglass);

    std::int32_t x = StartX, y = StartY;
    std::int32_t d = 7;
    std::int32_t leftmost = StartX, rightmost = StartX, lowest = StartY;

    // The walk is a fixed function of position and direction over levels
    // that do not change while it runs, so more moves than there are
    // (pixel, direction) states means it is circling without ever reaching
    // the start again: stop rather than hang the window.
    const std::int64_t moveLimit = std::int64_t(PicW) * PicH * 8 + 8;
    std::int64_t moves = 0;
    // A long walk answers the window system as the engine's waits do (in a
    // window's pass, which sets the hook). A pass nested in that answer
    // makes new grids: this walk then ends where it is, without its fill.
    // The clock is first read 64 moves in: most walks are shorter (tens of
    // thousands a pass on a view full of small regions), and a reading costs
    // about as much as a dozen moves.
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastAnswer{};
    const std::uint64_t generation = Engine.generation();
    // The grids and the canvas stay as they are while this walk runs (a
    // nested pass that re-creates them ends it, above and below): held here
    // rather than read through the window at every neighbour. A pending
    // pixel whose level the engine knows is stored here as ZelmarPoint
    // stores it (the common case, about every other move); the rest go
    // through ZelmarPoint.
    std::uint8_t* const done = DoneGrid.data.data();
    std::uint8_t* const levels = LevelGrid.data.data();
    const std::size_t cols = std::size_t(DoneGrid.cols);
    const std::int32_t lastCol = LastCol, lastRow = LastRow;
    const bool fromEngine = !DeepPass.active();
    std::int32_t dx[8], dy[8];
    for (int k = 0; k < 8; ++k) {
        dx[k] = DirTable[k];
        dy[k] = DirTable[k + 6];
    }
    do {
        if ((moves & 63) == 63 && Engine.waitHook()) {
            const Clock::time_point now = Clock::now();
            if (lastAnswer == Clock::time_point{}) {
                lastAnswer = now;
            } else if (now - lastAnswer >= engine::LevelEngine::WaitSlice) {
                const std::function<void()> hook = Engine.waitHook(); // a nested pass sets its own
                hook();
                if (Engine.generation() != generation) {
                    setMousePointer(tk::PointerDefault);
                    return;
                }
                lastAnswer = Clock::now();
            }
        }
        std::int32_t nx = x, ny = y, level = 1;
        for (int tries = 0; tries < 8 && level != 0; ++tries) {
            d = (d + 1) & 7;
            nx = x + dx[d];
            ny = y + dy[d];
            if (nx < 0 || nx > lastCol || ny < 0 || ny > lastRow) {
                level = 1; // outside the canvas reads as escaped
                continue;
            }
            const std::size_t at = std::size_t(ny) * cols + std::size_t(nx);
            if (done[at] == 0) {
                if (fromEngine && Engine.known(nx, ny)) {
                    levels[at] = Engine.level(nx, ny);
                    done[at] = 1;
                } else {
                    ZelmarPoint(nx, ny);
                    // A deep level waited for may have let a newer pass run.
                    if (Engine.generation() != generation) [[unlikely]] {
                        setMousePointer(tk::PointerDefault);
                        return;
                    }
                }
            }
            level = levels[at];
        }
        if (level == 0) {
            x = nx < 0 ? 0 : (nx >= PicW ? LastCol : nx);
            y = ny < 0 ? 0 : (ny >= PicH ? LastRow : ny);
            lowest = std::max(lowest, y);
            leftmost = std::min(leftmost, x);
            rightmost = std::max(rightmost, x);
            d = (d - 4) & 7;
        }
        if (++moves > moveLimit) [[unlikely]]
            throw tk::RuntimeError(tk::ErrInvalidCall,
                                   QStringLiteral("The boundary trace did not close."));
    } while (!(x == StartX && y == StartY));

    // Fill: runs start at a done pixel of level 0 and pass through pending
    // pixels, marking them as in the set (a pending pixel's level is 0). A
    // run stops at the rightmost column reached by the walk; the pixel
    // beyond it is left pending, to be evaluated, rather than marked without
    // being looked at. The walk keeps every position inside the canvas, so
    // the rows and columns here are all inside it.
    // Both loops look at eight pixels at a time where they can: a large
    // region's fill would otherwise cost more than its trace.
    for (std::int32_t r = StartY; r <= lowest; ++r) {
        const std::uint8_t* levels = &LevelGrid(0, r);
        std::uint8_t* done = &DoneGrid(0, r);
        std::int32_t k = leftmost;
        while (k <= rightmost) {
            k = firstDoneInSet(done, levels, k, rightmost + 1); // a done pixel of the set
            if (k > rightmost)
                break;
            // The run marks every pixel up to and including the first
            // escaped one, which ends it.
            const std::int32_t end = firstEscaped(levels, k + 1, rightmost + 1);
            std::memset(done + k + 1, 1, std::size_t(std::min(end, rightmost) - k));
            k = end + 1; // the scan resumes beyond it
        }
    }

    setMousePointer(tk::PointerDefault);
}

} // namespace explorer
