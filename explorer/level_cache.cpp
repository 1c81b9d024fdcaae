// The render pass's level cache: levels worked out ahead of the pass by the
// flood of escape_kernels.h, row by row as the pass comes to them and in a
// band below as traces walk there. Runs only inside the pass's own calls
// (never during its yield; the helper thread idles then too), so nothing
// computes while the pass waits, for instance while it is paused.
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

// Rows below a pixel a trace asks for ahead of the row scan that the flood
// may spread into: enough to hand the vector lanes long batches and to serve
// the next steps of the trace.
constexpr std::int32_t FloodLookahead = 16;

// Steps every pixel a segment evaluates gets at once; those still iterating
// after them are iterated to the end only if they border an escaping pixel.
constexpr std::int32_t CheapSteps = 48;

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
    CacheWholeRows = CacheOpenRows = 0;
    CacheWindowRowBegin = CacheWindowRowEnd = CacheWindowSegmentBegin = CacheWindowSegmentEnd = 0;
    CachePixelTop = CacheSegmentTop = 0;
    CacheCheapPixels = CacheDeepPixels = CacheSharedPixels = CacheMisses = 0;
    CacheLive = true;
}

void Form1::ReleaseCache()
{
    // The buffers keep their memory for the next pass: allocating them anew
    // costs a page fault per page every time.
    CacheLive = false;
    CacheWidth = CacheHeight = CacheSegmentsPerRow = 0;
    CacheWholeRows = CacheOpenRows = 0;
    CachePixelTop = CacheSegmentTop = 0;
    CacheHelper.reset(); // joins the thread, which is idle outside RunFlood
}

void Form1::QueueCacheSegment(std::int32_t row, std::int32_t segment)
{
    std::uint8_t& flags =
        CacheSegments[std::size_t(row) * std::size_t(CacheSegmentsPerRow) + std::size_t(segment)];
    if (flags & (escape::SegmentQueued | escape::SegmentDone))
        return;
    flags |= escape::SegmentQueued;
    CacheSegmentStack[CacheSegmentTop++] =
        std::uint32_t(row) * std::uint32_t(CacheSegmentsPerRow) + std::uint32_t(segment);
}

void Form1::EvaluateCacheRow(std::int32_t row)
{
    if (row < CacheWholeRows)
        return;
    const std::int32_t wholeBegin = CacheWholeRows;
    CacheWholeRows = row + 1;
    CacheResumeBase = row;
    CacheWindowRowBegin = std::max(CacheWindowRowBegin, CacheWholeRows);
    RunFlood(wholeBegin, CacheWholeRows);
}

void Form1::EvaluateCacheWindow(std::int32_t row)
{
    // The window: the rows from the last whole row to a few below the asked
    // pixel, whole width; widened as traces walk further down.
    const std::int32_t open = std::min(CacheHeight, row + 1 + FloodLookahead);
    if (open > CacheOpenRows) {
        const std::int32_t last = CacheSegmentsPerRow - 1;
        for (std::int32_t r = std::max(CacheOpenRows, CacheWholeRows); r < open; ++r) {
            // Outside the canvas counts as escaped, so the flood starts at
            // the edge: the first and last row whole, and both ends of every
            // row; and from the whole rows above, through the first row
            // below them; and it goes on where it reached a row while closed.
            const std::uint8_t* flags =
                CacheSegments.data() + std::size_t(r) * std::size_t(CacheSegmentsPerRow);
            for (std::int32_t s = 0; s <= last; ++s)
                if (r == CacheWholeRows || r == CacheHeight - 1 || s == 0 || s == last ||
                    (flags[s] & escape::SegmentDeferred))
                    QueueCacheSegment(r, s);
        }
        CacheOpenRows = open;
    }
    CacheWindowRowBegin = CacheWholeRows;
    CacheWindowRowEnd = CacheOpenRows;
    CacheWindowSegmentBegin = 0;
    CacheWindowSegmentEnd = CacheSegmentsPerRow;
    RunFlood();
}

void Form1::RunFlood(std::int32_t wholeBegin, std::int32_t wholeEnd)
{
    if (CacheSegmentTop == 0 && CachePixelTop == 0 && wholeBegin == wholeEnd)
        return;
    escape::FloodJob job{.xs = XValues.data(),
                         .ys = YValues.data(),
                         .width = CacheWidth,
                         .height = CacheHeight,
                         .segmentsPerRow = CacheSegmentsPerRow,
                         .wholeBegin = wholeBegin,
                         .wholeEnd = wholeEnd,
                         .windowRowBegin = CacheWindowRowBegin,
                         .windowRowEnd = CacheWindowRowEnd,
                         .windowSegmentBegin = CacheWindowSegmentBegin,
                         .windowSegmentEnd = CacheWindowSegmentEnd,
                         .cells = CacheCells.data(),
                         .segments = CacheSegments.data(),
                         .done = DoneGrid.data.data(),
                         .pixelStack = CachePixelStack.data(),
                         .pixelTop = CachePixelTop,
                         .pixelCapacity = CachePixelStack.size(),
                         .segmentStack = CacheSegmentStack.data(),
                         .segmentTop = CacheSegmentTop,
                         .levelOfCount = CacheLevelOfCount.data(),
                         .maxIter = MaxIter,
                         .cap = CheapSteps,
                         .safeColumns = CacheSafeColumns,
                         .simpleLevels = CacheSimpleLevels,
                         .resumeZr = CacheResumeZr.data(),
                         .resumeZi = CacheResumeZi.data(),
                         .resumeOwner = CacheResumeOwner.data(),
                         .resumeRows = ResumeRows,
                         .resumeBase = CacheResumeBase,
                         .helper = CacheHelper.get(),
                         .roundCx = CacheRoundCx.data(),
                         .roundCy = CacheRoundCy.data(),
                         .roundZr = CacheRoundZr.data(),
                         .roundZi = CacheRoundZi.data(),
                         .roundCount = CacheRoundCount.data(),
                         .roundTag = CacheRoundTag.data(),
                         .roundOut = CacheRoundOut.data(),
                         .roundCapacity = CacheRoundCx.size()};
    escape::flood(escape::bestIsa(), job);
    CachePixelTop = job.pixelTop;
    CacheSegmentTop = job.segmentTop;
    CacheCheapPixels += job.cheapPixels;
    CacheDeepPixels += job.deepPixels;
    CacheSharedPixels += job.sharedPixels;
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
        // Not worked out yet: a trace walking ahead of the row scan. Work
        // out the window around it; if that leaves the pixel still
        // iterating (a pixel of the set with no escaping neighbour), finish
        // it by itself.
        ++CacheMisses;
        if (CacheCells[at] == escape::Unknown && !DoneGrid.data[at])
            EvaluateCacheWindow(row);
        if (CacheCells[at] == escape::Unknown && !DoneGrid.data[at]) {
            // A pocket the flood has not reached: its segment first.
            QueueCacheSegment(row, col / escape::SegmentWidth);
            RunFlood();
        }
        if ((CacheCells[at] == escape::Deep || CacheCells[at] == escape::DeepSaved) &&
            !DoneGrid.data[at]) {
            CacheCells[at] = CacheCells[at] == escape::Deep ? escape::Queued : escape::QueuedSaved;
            CachePixelStack[CachePixelTop++] = std::uint32_t(row) << 16 | std::uint32_t(col);
            RunFlood();
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
