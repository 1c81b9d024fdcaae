// One part of the canvas worked out by one thread: its border ring first,
// then, wherever a ring holds a point that is not of the set, the part is
// split and the lines along the split iterated, down to blocks small enough
// to iterate whole. A block whose ring is all level 0 is left alone (the pass
// fills such regions without asking; a pixel it does ask for is iterated
// then). Writes only the pixels of its own rectangle; not re-entrant per part.
#pragma once

#include <atomic>
#include <memory>
#include <new>
#include <utility>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "escape.h"
#include "level_engine.h"

namespace explorer::engine {

struct PartRect {
    std::int32_t x0, y0, x1, y1; // pixels [x0, x1) x [y0, y1)
};

// What every job of one arm shares, read-only while jobs run.
struct PartCanvas {
    const double* xs;
    const double* ys;
    std::int32_t width, height;
    std::int32_t maxIter;
    const std::uint8_t* levelOfCount; // maxIter + 1 entries
    std::uint8_t* levels;             // per pixel, row-major
    std::uint8_t* known;              // per pixel: 1 once its level is stored
    Isa isa;
    const std::atomic<bool>* stop; // set: a job may end early, its part unfinished
};

// An allocator whose resize leaves new elements uninitialised: the gathered
// points are written right after each resize, and zeroing them first cost
// as much as gathering them.
template <class T> struct UninitialisedAllocator : std::allocator<T> {
    template <class U> struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <class T> using GatherVector = std::vector<T, UninitialisedAllocator<T>>;

// Buffers a thread keeps from one job to the next.
struct PartScratch {
    std::vector<PartRect> blocks, next;
    GatherVector<std::uint32_t> pixels; // row-major indices
    GatherVector<double> cx, cy;
    GatherVector<std::int32_t> counts;
    // Points still running after their lock-step batch.
    escape::BatchBuffers kept;
};

struct PartJobCounts {
    std::int64_t borderPixels = 0; // on rings and split lines
    std::int64_t blockPixels = 0;  // inside the smallest blocks
};

// Works out the part `rect` (whose pixels nobody else writes meanwhile).
// Returns false when it stopped early for canvas.stop.
bool workOutPart(const PartCanvas& canvas, PartRect rect, PartScratch& scratch,
                 PartJobCounts& counts);

// The parts, of `parts` in row order, whose sampled points hold both points
// of the set (count maxIter) and escaping ones: where the set's border runs.
// partOfSample[i] is the part sample i lies in, counts[i] its count.
std::vector<std::size_t> edgeParts(std::span<const std::uint32_t> partOfSample,
                                   std::span<const std::int32_t> counts, std::int32_t maxIter,
                                   std::size_t parts);

// Per part of `parts` (partsPerRow to a row), 1 where the pass most likely
// fills the part without asking for any of its levels: it is not on the
// canvas's edge (where traces walk along the border), and its sampled
// points and every sampled point next to one of them are of the set.
// counts[i] is the count of sample i, row-major with sampleColumns to a row;
// partOfSample[i] the part it lies in.
std::vector<std::uint8_t> innerParts(std::span<const std::uint32_t> partOfSample,
                                     std::span<const std::int32_t> counts,
                                     std::size_t sampleColumns, std::int32_t maxIter,
                                     std::size_t partsPerRow, std::size_t parts);

// The level of one pixel, iterated here and stored.
std::uint8_t workOutPixel(const PartCanvas& canvas, std::int32_t col, std::int32_t row);

} // namespace explorer::engine
