// The render pass: "&Go"/"Re&start", the row-by-row pass and the boundary
// trace. The pass yields once per row (tk::DoEvents), and any handler may run
// there, including a new pass that re-creates the grids and the level cache
// under this one; so nothing here holds a reference into them across that
// yield.
#include "form1.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "toolkit/events.h"
#include "toolkit/runtime_error.h"

namespace explorer {

void Form1::Command1_Click()
{
    CenterDrag = False;
    CornerBox = False;
    CenterBox = False;
    Running = True;
    Picture1->setMousePointer(12);
    Command1->setCaption(QStringLiteral("Re&start"));
    Command2->setCaption(QStringLiteral("&Pause"));
    try {
        DoIt();
    } catch (...) {
        // A pass ended by an error must not leave the window in a running
        // state that refuses every zoom: back to Idle, then report.
        setMousePointer(0);
        Command1->setCaption(QStringLiteral("&Go"));
        Running = False;
        Picture1->setMousePointer(2);
        throw;
    }
    Command1->setCaption(QStringLiteral("&Go"));
    Running = False;
    Picture1->setMousePointer(2);
}

void Form1::PrepareGrids()
{
    // The cache of an earlier pass (this may run nested inside one) belongs
    // to its coordinates: it goes before anything of this pass exists.
    ReleaseCache();
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
    ArmCache();
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

std::uint64_t spreadBits(unsigned bits)
{
    return SpreadTable[bits & 0xff];
}

} // namespace

void Form1::EvaluateRow(std::int32_t row)
{
    const std::int32_t lastCol = LastCol;
    std::int32_t col = 0;
    if (CacheLive && row < CacheHeight && row <= LastRow && lastCol < CacheWidth) {
        // Levels the cache already holds are taken here directly, with the
        // same effect as ZelmarPoint: the level stored and the pixel done.
        // Eight pixels at a time, as long as none of the pending ones among
        // them is of the set (which starts a trace) or not worked out.
        const std::size_t base = std::size_t(row) * std::size_t(CacheWidth);
        const std::uint8_t* cached = CacheLevels.data() + base;
        const escape::SegmentMasks* masks =
            CacheMasks.data() + std::size_t(row) * std::size_t(CacheSegmentsPerRow);
        const std::int32_t lastSegment = CacheSegmentsPerRow - 1;
        // Known bits of the eight pixels from col on.
        auto knownFrom = [&](std::int32_t at) {
            const std::int32_t seg = at / 8, shift = at % 8;
            unsigned bits = masks[seg].known >> shift;
            if (shift && seg < lastSegment)
                bits |= unsigned(masks[seg + 1].known) << (8 - shift);
            return bits & 0xff;
        };
        for (;;) {
            std::uint8_t* done = &DoneGrid(0, row);
            std::uint8_t* levels = &LevelGrid(0, row);
            for (; col + 8 <= lastCol + 1; col += 8) {
                std::uint64_t flags;
                std::memcpy(&flags, done + col, 8);
                if (flags == 0x0101010101010101u)
                    continue; // all done already
                // One byte per pixel, 0 or 1: pending, escaped (a level of 1
                // or more), known.
                constexpr std::uint64_t ones = 0x0101010101010101u;
                constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
                std::uint64_t level8;
                std::memcpy(&level8, cached + col, 8);
                const std::uint64_t pending = flags ^ ones;
                const std::uint64_t escaped = ((((level8 & low7) + low7) | level8) >> 7) & ones;
                const std::uint64_t known8 = spreadBits(knownFrom(col));
                if (pending & ~(escaped & known8))
                    break;
                std::uint64_t old8;
                std::memcpy(&old8, levels + col, 8);
                const std::uint64_t take = pending * 0xff; // 0xff where pending
                const std::uint64_t merged = (old8 & ~take) | (level8 & take);
                std::memcpy(levels + col, &merged, 8);
                std::memset(done + col, 1, 8);
            }
            if (col > lastCol)
                return;
            // One pixel the slow way; a trace may change everything around.
            if (done[col] == 0) {
                if (ZelmarPoint(col, row) == 0) {
                    TraceSet(col, row);
                    if (!CacheLive)
                        break; // cannot happen: a trace does not yield
                }
            }
            ++col;
        }
    }
    for (; col <= lastCol; ++col) {
        if (DoneGrid(col, row) == 0 && ZelmarPoint(col, row) == 0)
            TraceSet(col, row);
    }
}

void Form1::DoIt()
{
    PrepareGrids();
    Picture1->setFocus();
    Picture1->Cls();
    try {
        ComputeCoordinates();
        std::vector<std::int32_t> colours;
        const std::int32_t lastRow = LastRow;
        for (std::int32_t row = 0; row <= lastRow; ++row) {
            EvaluateRow(row);
            // The row's colours go into the canvas's scan line at once.
            const std::int32_t lastCol = LastCol;
            colours.resize(std::size_t(lastCol) + 1);
            const std::uint8_t* levels = &LevelGrid(0, row);
            for (std::int32_t col = 0; col <= lastCol; ++col)
                colours[std::size_t(col)] = Palette[levels[col]];
            Picture1->PSetRow(row, colours.data(), lastCol + 1);
            tk::DoEvents();
            Picture1->Refresh();
        }
    } catch (...) {
        ReleaseCache();
        throw;
    }
    ReleaseCache();
}

void Form1::TraceSet(std::int32_t StartX, std::int32_t StartY)
{
    setMousePointer(11);

    // GetFlag and GetPixel, inline: outside the canvas both read 1.
    const std::int32_t lastCol = LastCol, lastRow = LastRow;
    auto inside = [&](std::int32_t a, std::int32_t b) {
        return std::uint32_t(a) <= std::uint32_t(lastCol) &&
               std::uint32_t(b) <= std::uint32_t(lastRow);
    };
    auto flag = [&](std::int32_t a, std::int32_t b) {
        return inside(a, b) ? std::int32_t(DoneGrid(a, b)) : 1;
    };
    auto pixel = [&](std::int32_t a, std::int32_t b) {
        return inside(a, b) ? std::int32_t(LevelGrid(a, b)) : 1;
    };

    // A trace does not yield, so the cache stays as it is while it runs.
    const bool cached = CacheLive && CacheWidth == lastCol + 1 && CacheHeight == lastRow + 1;

    std::int32_t x = StartX, y = StartY;
    std::int32_t d = 7;
    std::int32_t leftmost = StartX, rightmost = StartX, lowest = StartY;

    // The walk is a fixed function of position and direction over levels
    // that do not change while it runs, so more moves than there are
    // (pixel, direction) states means it is circling without ever reaching
    // the start again: stop rather than hang the window.
    const std::int64_t moveLimit = std::int64_t(PicW) * PicH * 8 + 8;
    std::int64_t moves = 0;
    do {
        std::int32_t nx = x, ny = y, level = 1;
        for (int tries = 0; tries < 8 && level != 0; ++tries) {
            d = (d + 1) & 7;
            nx = x + DirTable[d];
            ny = y + DirTable[d + 6];
            if (flag(nx, ny) == 0) {
                // The cache's level, inline: what ZelmarPoint would take.
                if (cached && CacheKnows(nx, ny)) {
                    LevelGrid(nx, ny) =
                        CacheLevels[std::size_t(ny) * std::size_t(lastCol + 1) + std::size_t(nx)];
                    DoneGrid(nx, ny) = 1;
                } else {
                    ZelmarPoint(nx, ny);
                }
            }
            level = pixel(nx, ny);
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
    for (std::int32_t r = StartY; r <= lowest; ++r) {
        std::uint8_t* done = &DoneGrid(0, r);
        const std::uint8_t* levels = &LevelGrid(0, r);
        std::int32_t k = leftmost;
        while (k <= rightmost) {
            while (k <= rightmost && !(done[k] && levels[k] == 0))
                ++k; // scan for a done pixel of the set
            if (k > rightmost)
                break;
            for (++k; k <= rightmost; ++k) {
                done[k] = 1;
                if (levels[k] != 0)
                    break; // the first escaped pixel ends the run
            }
            ++k; // the scan resumes beyond it
        }
    }

    setMousePointer(0);
}

} // namespace explorer
