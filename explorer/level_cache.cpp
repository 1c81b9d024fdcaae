// The render pass's level cache: the levels of the whole canvas, worked out
// by the flood of escape_kernels.h when the pass has its coordinates and
// before its first row, in bands of rows shared by the window's thread and a
// second one, which is joined before the pass goes on. So nothing computes
// while the pass waits in its yield, for instance while it is paused.
#include "form1.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

#include "escape_kernels.h"

namespace explorer {

namespace {

// Steps every pixel of a segment the flood reaches gets at once; those still
// iterating after them are iterated to the end only if they border an
// escaping pixel.
constexpr std::int32_t CheapSteps = 24;

// Rows per band, at least: below this a canvas is one band on one thread.
constexpr std::int32_t BandRows = 48;
constexpr std::int32_t MaxBands = 4;

// The flood packs a pixel into 32 bits.
constexpr std::int32_t MaxCacheSide = 65535;
constexpr std::int32_t MaxCachedIterations = 1 << 16;

bool safe(double v)
{
    return std::fabs(v) < escape::SafeCoordinate; // false for NaN too
}

} // namespace

void Form1::ArmCache()
{
    ReleaseCache();
    CacheCheapPixels = CacheDeepPixels = CacheHelperPixels = CacheMisses = 0;
    const std::int32_t width = LastCol + 1, height = LastRow + 1;
    // Outside these bounds the pass simply iterates every pixel itself; so
    // does a view far enough out that a point could overflow, where the
    // one-at-a-time iteration checks every step.
    if (!LevelCacheEnabled || width < 1 || height < 1 || width > MaxCacheSide ||
        height > MaxCacheSide || MaxIter < 1 || MaxIter > MaxCachedIterations || ColorCycle < 1 ||
        ColorCycle > 255 || XValues.size() != std::size_t(width) ||
        YValues.size() != std::size_t(height) || LevelGrid.cols != width ||
        DoneGrid.data.size() != std::size_t(width) * height ||
        !std::all_of(XValues.begin(), XValues.end(), safe) ||
        !std::all_of(YValues.begin(), YValues.end(), safe))
        return;
    CacheWidth = width;
    CacheHeight = height;
    CacheSegmentsPerRow = (width + escape::SegmentWidth - 1) / escape::SegmentWidth;
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    const std::size_t segments = std::size_t(CacheSegmentsPerRow) * std::size_t(height);
    // The stacks have a row to spare, so that two bands of at most half the
    // canvas rounded up fit in them side by side.
    const std::size_t pixelRoom = pixels + std::size_t(width);
    const std::size_t segmentRoom = segments + std::size_t(CacheSegmentsPerRow);
    // Every band clears its own rows' masks before its flood; a level counts
    // only where its known bit is set.
    CacheLevels.resize(pixels);
    CacheMasks.resize(segments);
    if (CachePixelRoom < pixelRoom) {
        CachePixelStack.reset(new std::uint32_t[pixelRoom]);
        CachePixelRoom = pixelRoom;
    }
    if (CacheSegmentRoom < segmentRoom) {
        CacheSegmentStack.reset(new std::uint32_t[segmentRoom]);
        CacheSegmentRoom = segmentRoom;
    }
    CacheLevelOfCount.resize(std::size_t(MaxIter) + 1);
    for (std::int32_t count = 0; count <= MaxIter; ++count)
        CacheLevelOfCount[std::size_t(count)] =
            std::uint8_t(count >= MaxIter ? 0 : count % ColorCycle + 1);
    RunFloods();
    CacheLive = true;
}

void Form1::RunFloods()
{
    const std::int32_t width = CacheWidth, height = CacheHeight;
    const std::int32_t bands =
        std::thread::hardware_concurrency() >= 2 ? std::clamp(height / BandRows, 1, MaxBands) : 1;
    std::int32_t firstRow[MaxBands + 1];
    std::int32_t bandHeight = 0;
    for (std::int32_t b = 0; b <= bands; ++b) {
        firstRow[b] = std::int32_t(std::int64_t(height) * b / bands);
        if (b > 0)
            bandHeight = std::max(bandHeight, firstRow[b] - firstRow[b - 1]);
    }

    auto jobFor = [&](std::int32_t rowBegin, std::int32_t rowEnd, std::uint32_t* pixelStack,
                      std::uint32_t* segmentStack) {
        return escape::FloodJob{.xs = XValues.data(),
                                .ys = YValues.data(),
                                .width = width,
                                .height = height,
                                .segmentsPerRow = CacheSegmentsPerRow,
                                .rowBegin = rowBegin,
                                .rowEnd = rowEnd,
                                .seedEdges = true,
                                .borders = nullptr,
                                .borderCount = 0,
                                .levels = CacheLevels.data(),
                                .masks = CacheMasks.data(),
                                .pixelStack = pixelStack,
                                .pixelTop = 0,
                                .segmentStack = segmentStack,
                                .segmentTop = 0,
                                .levelOfCount = CacheLevelOfCount.data(),
                                .maxIter = MaxIter,
                                .cap = CheapSteps};
    };

    // The bands: each thread floods its own first band (band 0 here, band 1
    // on the second thread), then the next band not taken; it clears a
    // band's rows first, and works on its own end of the stacks (a band is at
    // most half the canvas rounded up when there are two or more).
    std::atomic<std::int32_t> nextBand{2};
    const escape::Isa isa = escape::bestIsa();
    auto work = [&](int half, std::int64_t* done) {
        const std::size_t pixelOffset =
            half ? CachePixelRoom - std::size_t(bandHeight) * std::size_t(width) : 0;
        const std::size_t segmentOffset =
            half ? CacheSegmentRoom - std::size_t(bandHeight) * std::size_t(CacheSegmentsPerRow)
                 : 0;
        for (std::int32_t b = half;; b = nextBand.fetch_add(1, std::memory_order_relaxed)) {
            if (b >= bands)
                return;
            const std::int32_t r0 = firstRow[b], r1 = firstRow[b + 1];
            const std::size_t s0 = std::size_t(r0) * std::size_t(CacheSegmentsPerRow);
            const std::size_t s1 = std::size_t(r1) * std::size_t(CacheSegmentsPerRow);
            std::memset(static_cast<void*>(CacheMasks.data() + s0), 0,
                        (s1 - s0) * sizeof(escape::SegmentMasks));
            escape::FloodJob job = jobFor(r0, r1, CachePixelStack.get() + pixelOffset,
                                          CacheSegmentStack.get() + segmentOffset);
            escape::flood(isa, job);
            done[0] += job.cheapPixels;
            done[1] += job.deepPixels;
        }
    };
    std::int64_t mine[2] = {0, 0}, helper[2] = {0, 0};
    if (bands > 1) {
        std::thread second;
        try {
            second = std::thread(work, 1, helper);
        } catch (const std::system_error&) {
            // No second thread to be had: this one floods every band.
        }
        work(0, mine);
        if (second.joinable())
            second.join();
        else
            work(1, mine); // band 1, after all the others

    } else {
        work(0, mine);
    }

    // Across the borders of the bands: one flood over the whole canvas that
    // starts from what each border row owes the row across it.
    if (bands > 1) {
        escape::FloodJob job = jobFor(0, height, CachePixelStack.get(), CacheSegmentStack.get());
        job.seedEdges = false;
        job.borders = firstRow + 1;
        job.borderCount = bands - 1;
        escape::flood(isa, job);
        mine[0] += job.cheapPixels;
        mine[1] += job.deepPixels;
    }
    CacheCheapPixels = mine[0] + helper[0];
    CacheDeepPixels = mine[1] + helper[1];
    CacheHelperPixels = helper[0] + helper[1];
}

void Form1::ReleaseCache()
{
    // The buffers keep their memory for the next pass: allocating them anew
    // costs a page fault per page every time.
    CacheLive = false;
    CacheWidth = CacheHeight = CacheSegmentsPerRow = 0;
}

std::int32_t Form1::CachedLevel(std::int32_t col, std::int32_t row)
{
    if (col >= CacheWidth || row >= CacheHeight) [[unlikely]]
        return ScalarLevel(col, row);
    if (!CacheKnows(col, row)) [[unlikely]] {
        // Not reached by the flood: a pixel of the set with no escaping
        // neighbour, or an escaping one walled in by the set.
        ++CacheMisses;
        return ScalarLevel(col, row);
    }
    return CacheLevels[std::size_t(row) * std::size_t(CacheWidth) + std::size_t(col)];
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
