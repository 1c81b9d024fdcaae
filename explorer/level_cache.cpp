// The render pass's level cache: levels worked out ahead of the pass by the
// flood of escape_kernels.h, opened to it row band by row band as the pass
// comes near. Runs only inside the pass's own calls (never during its yield),
// so nothing computes while the pass waits, for instance while it is paused.
#include "form1.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "escape_kernels.h"
#include "toolkit/runtime_error.h"

namespace explorer {

class Form1::CacheHelperThread : public escape::Helper {
public:
    using Helper::Helper;
};

namespace {

// Rows below the pass's current row that the flood may spread into, and rows
// whose pending pixels are all evaluated ahead of the row scan: enough to
// hand the vector lanes long batches, few enough that little is evaluated
// for regions of the set that a trace will fill first.
constexpr std::int32_t FloodLookahead = 16;
constexpr std::int32_t WholeLookahead = 0;

// Steps every pixel a segment evaluates gets at once; those still iterating
// after them are iterated to the end only if they border an escaping pixel.
constexpr std::int32_t CheapSteps = 32;

// Rows, from the pass's row on, whose pixels still iterating after the cheap
// steps keep their z, so that finishing them does not repeat those steps.
constexpr std::int32_t ResumeRows = 64; // a power of two

// Pixels in one round shared with the helper thread.
constexpr std::size_t RoundCapacity = 4096;

// Pixels the flood may have waiting at once, at least.
constexpr std::size_t PixelStackRoom = 1 << 16;

// The flood packs a pixel into 32 bits.
constexpr std::int32_t MaxCacheSide = 65535;
constexpr std::int32_t MaxCachedIterations = 1 << 16;

} // namespace

void Form1::ArmCache()
{
    ReleaseCache();
    const std::int32_t width = LastCol + 1, height = LastRow + 1;
    // Outside these bounds the pass simply iterates every pixel itself.
    if (!LevelCacheEnabled || width < 1 || height < 1 || width > MaxCacheSide ||
        height > MaxCacheSide || MaxIter < 1 || MaxIter > MaxCachedIterations || ColorCycle < 1 ||
        ColorCycle > 255 || XValues.size() != std::size_t(width) ||
        YValues.size() != std::size_t(height) || LevelGrid.cols != width ||
        DoneGrid.data.size() != std::size_t(width) * height)
        return;
    CacheWidth = width;
    CacheHeight = height;
    CacheSegmentsPerRow = (width + escape::SegmentWidth - 1) / escape::SegmentWidth;
    const std::size_t segments = std::size_t(CacheSegmentsPerRow) * std::size_t(height);
    CacheCells.assign(std::size_t(width) * std::size_t(height), escape::Unknown);
    CacheSegments.assign(segments, 0);
    CacheSegmentStack.resize(segments);
    CachePixelStack.resize(std::max<std::size_t>(PixelStackRoom, 4 * std::size_t(width)));
    CacheResumeZr.resize(std::size_t(ResumeRows) * std::size_t(width));
    CacheResumeZi.resize(std::size_t(ResumeRows) * std::size_t(width));
    CacheResumeOwner.assign(ResumeRows, -1);
    CacheResumeBase = 0;
    if (std::thread::hardware_concurrency() >= 2) {
        CacheHelper = std::make_shared<CacheHelperThread>(escape::bestIsa());
        for (auto* round : {&CacheRoundCx, &CacheRoundCy, &CacheRoundZr, &CacheRoundZi})
            round->resize(RoundCapacity);
        CacheRoundCount.resize(RoundCapacity);
        CacheRoundTag.resize(RoundCapacity);
        CacheRoundOut.resize(RoundCapacity);
    }
    CacheLevelOfCount.resize(std::size_t(MaxIter) + 1);
    for (std::int32_t count = 0; count <= MaxIter; ++count)
        CacheLevelOfCount[std::size_t(count)] =
            std::uint8_t(count >= MaxIter ? 0 : count % ColorCycle + 1);
    CacheSafeColumns = std::all_of(XValues.begin(), XValues.end(),
                                   [](double x) { return std::fabs(x) < escape::SafeCoordinate; });
    CacheSimpleLevels = CheapSteps < MaxIter;
    for (std::int32_t count = 1; count <= CheapSteps && CacheSimpleLevels; ++count)
        CacheSimpleLevels = CacheLevelOfCount[std::size_t(count)] == count + 1;
    CacheOpenRows = CacheWholeRows = 0;
    CachePixelTop = CacheSegmentTop = 0;
    CacheCheapPixels = CacheDeepPixels = CacheMisses = 0;
    CacheLive = true;
}

void Form1::ReleaseCache()
{
    // The buffers keep their memory for the next pass: allocating them anew
    // costs a page fault per page every time.
    CacheLive = false;
    CacheWidth = CacheHeight = CacheSegmentsPerRow = 0;
    CacheOpenRows = CacheWholeRows = 0;
    CachePixelTop = CacheSegmentTop = 0;
    CacheHelper.reset(); // joins the thread, which is idle outside RunFlood
}

void Form1::QueueCacheSegment(std::int32_t row, std::int32_t segment)
{
    std::uint8_t& flags =
        CacheSegments[std::size_t(row) * std::size_t(CacheSegmentsPerRow) + std::size_t(segment)];
    if (flags & (escape::SegmentQueued | escape::SegmentDone))
        return;
    flags = std::uint8_t((flags & ~escape::SegmentDeferred) | escape::SegmentQueued);
    CacheSegmentStack[CacheSegmentTop++] =
        std::uint32_t(row) * std::uint32_t(CacheSegmentsPerRow) + std::uint32_t(segment);
}

void Form1::OpenCacheRows(std::int32_t row, bool whole)
{
    const std::int32_t open =
        std::min(row + 1 + (whole ? WholeLookahead : FloodLookahead), CacheHeight);
    const std::int32_t wholeBegin = CacheWholeRows;
    if (whole) {
        CacheWholeRows = std::max(CacheWholeRows, open);
        CacheResumeBase = row;
    }
    if (open > CacheOpenRows) {
        const std::int32_t last = CacheSegmentsPerRow - 1;
        // Rows evaluated whole need no seeds.
        for (std::int32_t r = std::max(CacheOpenRows, CacheWholeRows); r < open; ++r) {
            // Outside the canvas counts as escaped, so the flood starts at
            // the edge: the first and last row whole, and both ends of every
            // row; and it goes on where it reached this row while closed.
            const std::uint8_t* flags =
                CacheSegments.data() + std::size_t(r) * std::size_t(CacheSegmentsPerRow);
            for (std::int32_t s = 0; s <= last; ++s)
                if (r == 0 || r == CacheHeight - 1 || s == 0 || s == last ||
                    (flags[s] & escape::SegmentDeferred))
                    QueueCacheSegment(r, s);
        }
        CacheOpenRows = open;
    }
    RunFlood(wholeBegin, CacheWholeRows);
}

void Form1::RunFlood(std::int32_t wholeBegin, std::int32_t wholeEnd)
{
    if (CacheSegmentTop == 0 && CachePixelTop == 0 && wholeBegin == wholeEnd)
        return;
    escape::FloodJob job{XValues.data(),
                         YValues.data(),
                         CacheWidth,
                         CacheHeight,
                         CacheSegmentsPerRow,
                         CacheOpenRows,
                         wholeBegin,
                         wholeEnd,
                         CacheCells.data(),
                         CacheSegments.data(),
                         DoneGrid.data.data(),
                         CachePixelStack.data(),
                         CachePixelTop,
                         CachePixelStack.size(),
                         CacheSegmentStack.data(),
                         CacheSegmentTop,
                         CacheLevelOfCount.data(),
                         MaxIter,
                         CheapSteps,
                         CacheSafeColumns,
                         CacheSimpleLevels,
                         CacheResumeZr.data(),
                         CacheResumeZi.data(),
                         CacheResumeOwner.data(),
                         ResumeRows,
                         CacheResumeBase,
                         CacheHelper.get(),
                         CacheRoundCx.data(),
                         CacheRoundCy.data(),
                         CacheRoundZr.data(),
                         CacheRoundZi.data(),
                         CacheRoundCount.data(),
                         CacheRoundTag.data(),
                         CacheRoundOut.data(),
                         CacheRoundCx.size()};
    escape::flood(escape::bestIsa(), job);
    CachePixelTop = job.pixelTop;
    CacheSegmentTop = job.segmentTop;
    CacheCheapPixels += job.cheapPixels;
    CacheDeepPixels += job.deepPixels;
}

std::int32_t Form1::CachedLevel(std::int32_t col, std::int32_t row)
{
    if (col >= CacheWidth || row >= CacheHeight) [[unlikely]]
        return ScalarLevel(col, row);
    const std::size_t at = std::size_t(row) * std::size_t(CacheWidth) + std::size_t(col);
    auto known = [&] {
        return CacheCells[at] >= escape::Known || CacheCells[at] == escape::CellOverflow;
    };
    if (!known()) {
        // Not worked out yet: open the rows down to it (a trace walking
        // ahead of the row scan). If the flood still has not reached it (a
        // pocket it enters from below, or a pixel of the set with no escaping
        // neighbour), evaluate its segment, and then the pixel itself to the
        // end.
        OpenCacheRows(row, false);
        if (!known() && !DoneGrid.data[at]) {
            ++CacheMisses;
            if (CacheCells[at] == escape::Unknown) {
                QueueCacheSegment(row, col / escape::SegmentWidth);
                RunFlood();
            }
            if (CacheCells[at] == escape::Deep || CacheCells[at] == escape::DeepSaved) {
                CacheCells[at] =
                    CacheCells[at] == escape::Deep ? escape::Queued : escape::QueuedSaved;
                CachePixelStack[CachePixelTop++] = std::uint32_t(row) << 16 | std::uint32_t(col);
                RunFlood();
            }
        }
        if (!known())
            return ScalarLevel(col, row); // a done pixel evaluated again
    }
    if (CacheCells[at] == escape::CellOverflow) [[unlikely]]
        tk::raiseOverflow();
    return CacheCells[at] & 0xff;
}

void Form1::EvaluatePass()
{
    PrepareGrids();
    try {
        ComputeCoordinates();
        for (std::int32_t row = 0, last = LastRow; row <= last; ++row)
            EvaluateRow(row);
    } catch (...) {
        ReleaseCache();
        throw;
    }
    ReleaseCache();
}

} // namespace explorer
