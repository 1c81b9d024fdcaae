// The render pass: "&Go"/"Re&start", the row-by-row pass and the boundary
// trace. The pass yields once per row (tk::DoEvents); inside a row it answers
// only the window system (repaints, close), from the engine's waits and long
// traces. Any handler may run in either, including a new pass that re-creates
// the grids under this one and arms the render engine again; so nothing here
// holds a reference into them across a yield.
#include "form1.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <exception>

#include "engine/pixels.h"
#include "toolkit/events.h"
#include "toolkit/runtime_error.h"
#include "toolkit/scope_exit.h"

namespace explorer {

void Form1::Command1_Click()
{
    if (!ViewFitsCanvas({XMin, XMax, YMin, YMax}))
        tk::raiseOverflow();
    CenterDrag = False;
    CornerBox = False;
    CenterBox = False;
    Running = True;
    Picture1->setMousePointer(tk::PointerNoDrop);
    Command1->setCaption(QStringLiteral("Re&start"));
    Command2->setCaption(QStringLiteral("&Pause"));
    if (Passes.atLimit()) {
        // Clicks faster than passes end would pile passes onto the stack
        // without limit. This deep, the innermost pass starts over instead,
        // after its row, with the view as it is then; the outer passes go on
        // as they would after a nested pass.
        Passes.requestRestart();
        emit restartMerged();
        return;
    }
    const PassNesting::Pass pass(Passes);
    emit passStarting();
    {
        // A pass ended by an error must not leave the window in a running
        // state that refuses every zoom, nor with the trace's hourglass:
        // back to Idle either way, then the error is reported.
        const int errorsBefore = std::uncaught_exceptions();
        const tk::ScopeExit idle{[&] {
            if (std::uncaught_exceptions() > errorsBefore)
                setMousePointer(tk::PointerDefault);
            Command1->setCaption(QStringLiteral("&Go"));
            Running = False;
            Picture1->setMousePointer(tk::PointerCross);
            emit passEnded();
        }};
        DoIt();
    }
}

void Form1::PrepareGrids()
{
    // The engine's levels of an earlier pass (this may run nested inside
    // one) belong to its coordinates: they go before anything of this pass
    // exists.
    Engine.release();
    LevelGrid.recreate(LastCol + 1, LastRow + 1);
    DoneGrid.recreate(LastCol + 1, LastRow + 1);
    XValues.assign(std::size_t(LastCol) + 1, 0.0);
    YValues.assign(std::size_t(LastRow) + 1, 0.0);
}

void Form1::ComputeCoordinates()
{
    const double dx = tk::Divide(tk::CheckFloat(XMax - XMin), LastCol);
    const double dy = tk::Divide(tk::CheckFloat(YMin - YMax), LastRow);

    // Repeated addition, not i * step: the plane values are defined by the
    // running sum and its roundings.
    double t = YMax;
    for (std::int32_t row = 0, last = LastRow; row <= last; ++row) {
        YValues[std::size_t(row)] = t;
        t = tk::CheckFloat(t + dy);
    }
    double u = XMin;
    for (std::int32_t col = 0, last = LastCol; col <= last; ++col) {
        XValues[std::size_t(col)] = u;
        u = tk::CheckFloat(u + dx);
    }
    if (!DeepPass.takesPass(*this))
        Engine.arm(XValues, YValues, MaxIter, ColorCycle);
}

namespace {

// Eight bits spread over the bytes of a word, bit i to byte i (0 or 1).
constexpr auto SpreadTable = [] {
    std::array<std::uint64_t, 256> table{};
    for (unsigned bits = 0; bits < 256; ++bits)
        for (int i = 0; i < 8; ++i)
            table[bits] |= std::uint64_t(bits >> i & 1) << (8 * i);
    return table;
}();

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

// The window's answers to the window system while the pass is busy inside a
// row (waiting for levels, walking a long trace): repaints, exposes, the
// window manager's ping and close. User input waits for the end of the row,
// at the pass's own DoEvents.
// The longest a drawn row waits to reach the screen while a pass runs.
constexpr std::chrono::milliseconds RepaintInterval{16};

// Rows reach the screen together, at most once a display frame, counted from
// the pass's start (where the canvas is erased): a repaint per row, or per
// wait for levels, would cost more than drawing the rows on a large canvas
// (a pass of a few milliseconds would paint the whole canvas twice), and no
// eye tells the difference.
class RepaintPacer {
public:
    void start() { last_ = std::chrono::steady_clock::now(); }
    bool due()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < RepaintInterval)
            return false;
        last_ = now;
        return true;
    }

private:
    std::chrono::steady_clock::time_point last_{};
};

void answerWindowSystem()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

void Form1::EvaluateRow(std::int32_t row)
{
    const std::int32_t lastCol = LastCol;
    std::int32_t col = 0;
    // Levels the engine already knows are taken eight pixels at a time, with
    // the same effect as ZelmarPoint: the level stored and the pixel done;
    // as long as none of the pending ones among them is of the set (which
    // starts a trace) or unknown. The rest goes pixel by pixel.
    // The bands of the engine down to the row below this one are ready
    // first (a trace started here mostly looks no further).
    Engine.prepareRows(row + 1);
    while (col <= lastCol) {
        // Asked afresh after each pixel the slow way: a pass nested inside
        // the wait hook may have armed the engine anew, or released it.
        if (row < Engine.readyRows() && lastCol < Engine.width()) {
            // A trace may have marked pixels anywhere below: the grid rows
            // are read afresh after each one.
            std::uint8_t* done = &DoneGrid(0, row);
            std::uint8_t* levels = &LevelGrid(0, row);
            for (; col + 8 <= lastCol + 1; col += 8) {
                constexpr std::uint64_t ones = 0x0101010101010101u;
                constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
                std::uint64_t flags;
                std::memcpy(&flags, done + col, 8);
                if (flags == ones)
                    continue; // all done already
                // One byte per pixel, 0 or 1: pending, escaped (a level of 1
                // or more), known.
                const engine::LevelEngine::Eight e = Engine.eight(col, row);
                const std::uint64_t pending = flags ^ ones;
                const std::uint64_t escaped = ((((e.levels & low7) + low7) | e.levels) >> 7) & ones;
                const std::uint64_t known = SpreadTable[e.known];
                if (pending & ~(escaped & known))
                    break;
                std::uint64_t old;
                std::memcpy(&old, levels + col, 8);
                const std::uint64_t take = pending * 0xff; // 0xff where pending
                const std::uint64_t merged = (old & ~take) | (e.levels & take);
                std::memcpy(levels + col, &merged, 8);
                std::memset(done + col, 1, 8);
            }
            if (col > lastCol)
                return;
        }
        // One pixel the slow way; a trace may change everything around.
        if (DoneGrid(col, row) == 0 && ZelmarPoint(col, row) == 0)
            TraceSet(col, row);
        ++col;
    }
}

void Form1::DoIt()
{
    const tk::ScopeExit release{[&] {
        Engine.release();
        DeepPass.release();
        // However the pass ends, the rows it drew reach the screen.
        Picture1->Refresh();
    }};
    // Inside a row the window answers the window system from the engine's
    // waits and the trace's walk; an outer pass's hook comes back after.
    // Rows drawn but not yet repainted show while the pass waits (once a
    // display frame).
    const std::function<void()> outerHook = Engine.waitHook();
    RepaintPacer repaints;
    Engine.setWaitHook([this, &repaints] {
        if (repaints.due())
            Picture1->Refresh();
        answerWindowSystem();
    });
    const tk::ScopeExit restoreHook{[&] { Engine.setWaitHook(outerHook); }};
    for (bool startOver = true; startOver;) {
        startOver = false;
        PrepareGrids();
        Picture1->setFocus();
        Picture1->ClsUntilRefresh();
        repaints.start();
        ComputeCoordinates();
        emit viewChosen();
        // A deep view's levels are worked out on other threads, row by row,
        // while this pass draws the rows already done.
        const bool deep = DeepPass.start(*this);
        // The palette as canvas pixels, converted once; each row then goes
        // from its levels into the canvas's scan line in one step, and
        // reaches the screen at the pacer's next frame (the last at once).
        std::array<std::uint32_t, 256> pixelOfLevel;
        for (std::size_t level = 0; level < pixelOfLevel.size(); ++level)
            pixelOfLevel[level] = tk::PictureBox::toRgb(Palette[level]);
        const std::int32_t lastRow = LastRow;
        for (std::int32_t row = 0; row <= lastRow; ++row) {
            // The deep levels down to the row below this one are ready
            // first, and those of the regions of the set this row's traces
            // will walk as far as they can be told; the window answers
            // every event meanwhile, and a newer pass may start there.
            if (deep) {
                Picture1->Refresh(); // the rows drawn so far show while it waits
                if (!DeepPass.awaitRows(*this, row + 2, row))
                    return; // a newer pass has drawn over this one's canvas
                if (Passes.takeRestart()) {
                    startOver = true;
                    break;
                }
            }
            EvaluateRow(row);
            int n = LastCol + 1;
            if (QRgb* line = Picture1->RowForRefresh(row, n))
                engine::levelsToPixels(&LevelGrid(0, row), pixelOfLevel.data(), line,
                                       std::size_t(n));
            emit rowDrawn(row);
            tk::DoEvents();
            // A restart coalesced in that yield (the passes were nested as
            // deep as they may be): this, the innermost pass, draws the view
            // anew from its first row.
            if (Passes.takeRestart()) {
                startOver = true;
                break;
            }
            if (repaints.due() || row == lastRow)
                Picture1->Refresh();
        }
    }
}

void Form1::EvaluatePass()
{
    PrepareGrids();
    const tk::ScopeExit release{[&] { Engine.release(); }};
    ComputeCoordinates();
    for (std::int32_t row = 0, last = LastRow; row <= last; ++row)
        EvaluateRow(row);
}

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
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastAnswer = Clock::now();
    const std::uint64_t generation = Engine.generation();
    do {
        if ((moves & 15) == 15 && Engine.waitHook() &&
            Clock::now() - lastAnswer >= engine::LevelEngine::WaitSlice) {
            const std::function<void()> hook = Engine.waitHook(); // a nested pass sets its own
            hook();
            if (Engine.generation() != generation) {
                setMousePointer(tk::PointerDefault);
                return;
            }
            lastAnswer = Clock::now();
        }
        std::int32_t nx = x, ny = y, level = 1;
        for (int tries = 0; tries < 8 && level != 0; ++tries) {
            d = (d + 1) & 7;
            nx = x + DirTable[d];
            ny = y + DirTable[d + 6];
            if (GetFlag(nx, ny) == 0) {
                ZelmarPoint(nx, ny);
                // A deep level waited for may have let a newer pass run.
                if (Engine.generation() != generation) [[unlikely]] {
                    setMousePointer(tk::PointerDefault);
                    return;
                }
            }
            level = GetPixel(nx, ny);
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
