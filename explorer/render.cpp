// The render pass: "&Go"/"Re&start" and the row-by-row pass (the boundary
// trace is in trace.cpp). The pass yields once per row (tk::DoEvents);
// inside a row it answers only the window system (repaints, close), from the
// engine's waits and long traces. Any handler may run in either, including a
// new pass that re-creates the grids under this one and arms the render
// engine again; so nothing here holds a reference into them across a yield.
#include "form1.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <exception>

#include "engine/pixels.h"
#include "toolkit/events.h"
#include "toolkit/held_input.h"
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
        emit passWaiting();
        // Repaints, exposes, the window manager's ping and close are
        // answered here; user input waits for the end of the row, at the
        // pass's own DoEvents.
        tk::AnswerWindowSystem();
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

} // namespace explorer
