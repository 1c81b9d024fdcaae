// Escape-time kernels: the iteration of one point as the explorer defines it,
// and the same iteration over many points at once in vector lanes (AVX-512,
// AVX2 or portable code, chosen at run time), including the flood that works
// out a render pass's levels ahead of it. Pure functions of their inputs;
// nothing here touches the window.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "level_engine.h"

// The x86 vector kernels are built on x86 only; ZELMAR_PORTABLE_ONLY
// leaves them out there too, to build and test the portable code alone.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(ZELMAR_PORTABLE_ONLY)
#define ZELMAR_ESCAPE_X86 1
#endif

namespace explorer::escape {

// The count of a point whose iteration overflowed the double range.
constexpr std::int32_t Overflow = -1;

// Points whose coordinates are both below this in magnitude can never
// overflow: while iterating |z| < 2, so the last step squares at most
// 4 + |c| * sqrt(2) < 2^501, which stays finite. Larger (or non-finite)
// coordinates take the scalar path, which checks every step.
constexpr double SafeCoordinate = 1e150;

// The defining iteration: zr2 = zr * zr, zi2 = zi * zi, the new imaginary
// part (zi * zr) * 2 + cy and real part (zr2 - zi2) + cx, then count + 1;
// stop when count >= maxIter, else when zr2 + zi2 >= 4. Returns the count,
// or Overflow when the step it stopped at produced an infinity or NaN.
inline std::int32_t scalarCount(double cx, double cy, std::int32_t maxIter)
{
    double zr = 0, zi = 0, zr2, zi2, sum, newR, newI;
    std::int32_t count = 0;
    for (;;) {
        zr2 = zr * zr;
        zi2 = zi * zi;
        newI = zi * zr * 2.0 + cy;
        newR = (zr2 - zi2) + cx;
        sum = zr2 + zi2;
        ++count;
        if (count >= maxIter || sum >= 4.0)
            break;
        zr = newR;
        zi = newI;
    }
    // Any infinity makes the squared modulus infinite and stops the loop at
    // that step, so testing the last step's results is testing every step.
    if (!std::isfinite(sum) || !std::isfinite(newR) || !std::isfinite(newI)) [[unlikely]]
        return Overflow;
    return count;
}

// Instruction sets the kernels come in.
using engine::Isa;
Isa bestIsa();           // the widest this processor runs
bool supported(Isa isa); // compiled in, and run by this processor
bool compiled(Isa isa);  // compiled in
const char* name(Isa isa);

// Counts of n points (cx[i], cy[i]) into out[i], exactly as scalarCount.
void counts(Isa isa, const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
            std::int32_t* out);

// Room for the points that leave the lock-step batches of batchCounts still
// running: n entries each.
struct BatchScratch {
    std::uint32_t* index;
    double* zr;
    double* zi;
    std::int64_t* count;
};

// Counts of n points exactly as scalarCount, for points that lie close
// together (whose counts mostly differ little): in lock-step batches of all
// the lanes until most of a batch has stopped, then the rest, each going on
// from its z and count, in lanes that are refilled as they stop. Fewer than
// 2^32 points, every one safe (both coordinates below SafeCoordinate).
void batchCounts(Isa isa, const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                 std::int32_t* out, BatchScratch& scratch);

// Buffers a caller keeps for batchCounts from one call to the next.
struct BatchBuffers {
    std::vector<std::uint32_t> index;
    std::vector<double> zr, zi;
    std::vector<std::int64_t> count;
    // Room for n points.
    BatchScratch room(std::size_t n)
    {
        index.resize(n);
        zr.resize(n);
        zi.resize(n);
        count.resize(n);
        return {index.data(), zr.data(), zi.data(), count.data()};
    }
};

// Counts of n points (cx[i], cy) of one row, giving up after cap steps: out[i]
// is the count when the point stopped within cap steps, else 0. Points that
// could overflow are not iterated and also give 0.
void cappedCounts(Isa isa, const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out);

// Segments: eight pixels of a row, from a column that is a multiple of 8.
constexpr std::int32_t SegmentWidth = 8;
enum SegmentState : std::uint8_t { SegmentQueued = 1, SegmentDone = 2 };

// What the flood knows of a segment, one bit per lane (pixel), kept
// together because it looks at them together.
struct SegmentMasks {
    std::uint8_t known;   // lanes whose level is known
    std::uint8_t escaped; // lanes known to escape
    std::uint8_t deep;    // lanes still iterating after the cheap steps, not yet queued
    std::uint8_t state;   // SegmentState, or 0
};

// The flood works out the levels of a render pass's canvas before the pass
// needs them, following the escaping pixels in from the canvas edge, in two
// tiers. A segment reached by the flood gets the first `cap` steps of all its
// pixels at once, in vector lanes; the pixels that stop there are known, the
// others become Deep. A Deep pixel that borders an escaped pixel or the edge
// of the canvas is iterated to the end from the pixel stack (lanes refilled
// as they finish); when it escapes, its Deep neighbours follow, and its
// neighbours' segments get their cheap steps. So the flood stops at the
// pixels of the set that border escaping ones and never iterates the
// interior of a region of the set, which the pass fills without asking.
//
// A job works on the rows [rowBegin, rowEnd) and looks at no other row, so
// that jobs on separate bands of rows may run on separate threads at once.
// What the bands owe each other across their borders, a later job over the
// whole canvas catches up on: it starts from `borders`, the first rows of
// bands (each border row and the row above it see each other's escaped
// pixels), and spreads anywhere. Before a job on a band, the segment masks
// of its rows must be zero.
struct FloodJob {
    const double* xs;              // plane value per column; every point of the canvas is
    const double* ys;              // below SafeCoordinate, so none can overflow
    std::int32_t width, height;    // at most 65535 each
    std::int32_t segmentsPerRow;   // width / SegmentWidth rounded up
    std::int32_t rowBegin, rowEnd; // the rows this job evaluates and spreads into
    bool seedEdges;                // start from the canvas edge in those rows
    const std::int32_t* borders;   // rows to catch up on at, with the row above
    std::int32_t borderCount;
    std::uint8_t* levels;             // width * height: the level of every known pixel
    SegmentMasks* masks;              // per segment
    std::uint32_t* pixelStack;        // row << 16 | column; room for every Deep pixel
    std::size_t pixelTop;             // in and out
    std::uint32_t* segmentStack;      // row << 16 | segment; room for every segment
    std::size_t segmentTop;           // in and out
    const std::uint8_t* levelOfCount; // maxIter + 1 entries
    std::int32_t maxIter;
    std::int32_t cap;             // steps of the cheap tier
    std::int64_t cheapPixels = 0; // out: pixels given the cheap steps
    std::int64_t deepPixels = 0;  // out: pixels iterated to the end
};
void flood(Isa isa, FloodJob& job);

} // namespace explorer::escape
