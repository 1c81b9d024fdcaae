// The render engine's arm: the levels of the whole canvas, worked out by the
// flood of escape.h in bands of rows shared by the calling thread and a
// second one, which is joined before arm returns. So nothing computes while
// the pass waits in its yield, for instance while it is paused.
#include "level_engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "escape.h"

namespace explorer::engine {

namespace {

// Steps every pixel of a segment the flood reaches gets at once; those still
// iterating after them are iterated to the end only if they border an
// escaping pixel.
constexpr std::int32_t CheapSteps = 24;

// Rows per band, at least: below this a canvas is one band on one thread.
constexpr std::int32_t BandRows = 48;
constexpr std::int32_t MaxBands = 4;

// The flood packs a pixel into 32 bits.
constexpr std::int32_t MaxSide = 65535;
constexpr std::int32_t MaxIterations = 1 << 16;

bool safe(double v)
{
    return std::fabs(v) < escape::SafeCoordinate; // false for NaN too
}

// Buffers that keep their memory from one pass to the next: allocating them
// anew costs a page fault per page every time.
template <class T> struct Stack {
    std::unique_ptr<T[]> data; // left uninitialised: only what is pushed is read
    std::size_t room = 0;
    void reserve(std::size_t n)
    {
        if (room < n) {
            data.reset(new T[n]);
            room = n;
        }
    }
};

} // namespace

struct LevelEngine::Work {
    std::vector<double> xs, ys; // the pass's plane values, copied
    std::int32_t maxIter = 0;
    std::vector<std::uint8_t> levels;        // per pixel, row-major; valid where known
    std::vector<escape::SegmentMasks> masks; // per segment of eight pixels
    Stack<std::uint32_t> pixelStack, segmentStack;
    std::vector<std::uint8_t> levelOfCount;
};

LevelEngine::LevelEngine() : work_(std::make_unique<Work>()), isa_(escape::bestIsa()) {}

LevelEngine::~LevelEngine() = default;

bool LevelEngine::arm(std::span<const double> xs, std::span<const double> ys, std::int32_t maxIter,
                      std::int32_t colorCycle)
{
    release();
    stats_ = {};
    const std::size_t width = xs.size(), height = ys.size();
    // Outside these bounds the pass simply iterates every pixel itself; so
    // does a view far enough out that a point could overflow, where the
    // one-at-a-time iteration checks every step.
    if (!enabled_ || width < 1 || height < 1 || width > MaxSide || height > MaxSide ||
        maxIter < 1 || maxIter > MaxIterations || colorCycle < 1 || colorCycle > 255 ||
        !std::all_of(xs.begin(), xs.end(), safe) || !std::all_of(ys.begin(), ys.end(), safe))
        return false;
    Work& w = *work_;
    w.xs.assign(xs.begin(), xs.end());
    w.ys.assign(ys.begin(), ys.end());
    w.maxIter = maxIter;
    const std::size_t segmentsPerRow = (width + escape::SegmentWidth - 1) / escape::SegmentWidth;
    const std::size_t pixels = width * height, segments = segmentsPerRow * height;
    // Every band clears its own rows' masks before its flood; a level counts
    // only where its known bit is set.
    w.levels.resize(pixels);
    w.masks.resize(segments);
    // The stacks have a row to spare, so that two bands of at most half the
    // canvas rounded up fit in them side by side.
    w.pixelStack.reserve(pixels + width);
    w.segmentStack.reserve(segments + segmentsPerRow);
    w.levelOfCount.resize(std::size_t(maxIter) + 1);
    for (std::int32_t count = 0; count <= maxIter; ++count)
        w.levelOfCount[std::size_t(count)] =
            std::uint8_t(count >= maxIter ? 0 : count % colorCycle + 1);
    segmentsPerRow_ = segmentsPerRow;
    width_ = std::int32_t(width);
    height_ = std::int32_t(height);
    flood();
    levels_ = w.levels.data();
    known_ = &w.masks.data()->known;
    knownStride_ = sizeof(escape::SegmentMasks);
    return true;
}

void LevelEngine::release()
{
    width_ = height_ = 0;
    segmentsPerRow_ = 0;
    levels_ = known_ = nullptr;
}

void LevelEngine::flood()
{
    Work& w = *work_;
    const std::int32_t width = width_, height = height_;
    const std::int32_t segmentsPerRow = std::int32_t(segmentsPerRow_);
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
        return escape::FloodJob{.xs = w.xs.data(),
                                .ys = w.ys.data(),
                                .width = width,
                                .height = height,
                                .segmentsPerRow = segmentsPerRow,
                                .rowBegin = rowBegin,
                                .rowEnd = rowEnd,
                                .seedEdges = true,
                                .borders = nullptr,
                                .borderCount = 0,
                                .levels = w.levels.data(),
                                .masks = w.masks.data(),
                                .pixelStack = pixelStack,
                                .pixelTop = 0,
                                .segmentStack = segmentStack,
                                .segmentTop = 0,
                                .levelOfCount = w.levelOfCount.data(),
                                .maxIter = w.maxIter,
                                .cap = CheapSteps};
    };

    // The bands: each thread floods its own first band (band 0 here, band 1
    // on the second thread), then the next band not taken; it clears a
    // band's rows first, and works on its own end of the stacks (a band is at
    // most half the canvas rounded up when there are two or more).
    std::atomic<std::int32_t> nextBand{2};
    const Isa isa = isa_;
    auto work = [&](int half, std::int64_t* done) {
        const std::size_t pixelOffset =
            half ? w.pixelStack.room - std::size_t(bandHeight) * std::size_t(width) : 0;
        const std::size_t segmentOffset =
            half ? w.segmentStack.room - std::size_t(bandHeight) * std::size_t(segmentsPerRow) : 0;
        for (std::int32_t b = half;; b = nextBand.fetch_add(1, std::memory_order_relaxed)) {
            if (b >= bands)
                return;
            const std::int32_t r0 = firstRow[b], r1 = firstRow[b + 1];
            std::fill(w.masks.begin() + std::ptrdiff_t(r0) * segmentsPerRow,
                      w.masks.begin() + std::ptrdiff_t(r1) * segmentsPerRow,
                      escape::SegmentMasks{});
            escape::FloodJob job = jobFor(r0, r1, w.pixelStack.data.get() + pixelOffset,
                                          w.segmentStack.data.get() + segmentOffset);
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
        escape::FloodJob job =
            jobFor(0, height, w.pixelStack.data.get(), w.segmentStack.data.get());
        job.seedEdges = false;
        job.borders = firstRow + 1;
        job.borderCount = bands - 1;
        escape::flood(isa, job);
        mine[0] += job.cheapPixels;
        mine[1] += job.deepPixels;
    }
    stats_.cheapPixels = mine[0] + helper[0];
    stats_.deepPixels = mine[1] + helper[1];
    stats_.helperPixels = helper[0] + helper[1];
}

} // namespace explorer::engine
