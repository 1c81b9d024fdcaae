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
enum class Isa { Portable, Avx2, Avx512 };
Isa bestIsa(); // the widest this processor runs
bool supported(Isa isa);
const char* name(Isa isa);

// Counts of n points (cx[i], cy[i]) into out[i], exactly as scalarCount.
void counts(Isa isa, const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
            std::int32_t* out);

// Counts of n points (cx[i], cy) of one row, giving up after cap steps: out[i]
// is the count when the point stopped within cap steps, else 0. Points that
// could overflow are not iterated and also give 0.
void cappedCounts(Isa isa, const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out);

// Points to iterate to the end, each going on from z = zr + i zi at count
// count[i] (z = 0 at count 0 for a fresh point); final counts into out.
struct PointBatch {
    const double* cx;
    const double* cy;
    const double* zr;
    const double* zi;
    const std::int64_t* count;
    std::size_t n;
    std::int32_t* out;
    std::int32_t maxIter;
    // When set, threads finishing the same batch take points from it in
    // turns of `turn` (it counts the points taken).
    std::size_t* shared = nullptr;
    std::size_t turn = 0;
};
void finish(Isa isa, const PointBatch& batch);

// A second thread that helps iterate batches handed to it, and nothing
// else: it reads the batch's arrays and writes its out array, which belong
// to the caller until wait() returns. A batch is shared (PointBatch::shared):
// the caller iterates it too, and wait() takes it back at once if the helper
// has not started on it, so the caller never waits for a helper that is not
// running. Between batches the helper sleeps (after spinning for some
// microseconds, in case the next batch follows at once). The destructor
// stops and joins it.
class Helper {
public:
    explicit Helper(Isa isa);
    ~Helper();
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    void start(const PointBatch& batch);
    void wait();

private:
    struct Shared;
    std::unique_ptr<Shared> shared_;
};

// The flood's map of a canvas: one cell per pixel, row-major.
enum Cell : std::uint16_t {
    Unknown = 0,      // not evaluated
    Queued = 1,       // on the pixel stack, to be iterated to the end
    CellOverflow = 2, // the iteration overflowed; using it must raise the error
    Deep = 3,         // still iterating after the cheap first steps
    DeepSaved = 4,    // the same, with its z after them kept in the resume rows
    QueuedSaved = 5,  // Queued, to go on from its kept z
    Known = 0x100,    // Known | level
};

// Segments: eight pixels of a row, from a column that is a multiple of 8.
constexpr std::int32_t SegmentWidth = 8;
enum SegmentFlag : std::uint8_t {
    SegmentQueued = 1,   // on the segment stack
    SegmentDone = 2,     // its pending pixels have been evaluated
    SegmentHasDeep = 4,  // it holds Deep pixels
    SegmentDeferred = 8, // reached while below the window
};

// The flood works out levels of a render pass ahead of it, in two tiers.
// Segments get the first `cap` steps of all their pending pixels at once, in
// vector lanes; the pixels that stop there are known, the others become
// Deep. Deep pixels are iterated to the end from the pixel stack, lanes
// refilled as they finish, going on from where the cheap steps left them
// when that was kept.
//
// Whole rows [wholeBegin, wholeEnd), the rows the pass scans next, are
// evaluated first: all their pending pixels, and all their Deep pixels to
// the end, since the pass evaluates nearly every pending pixel of a row it
// scans. Then the window, rows below the whole rows opened for a trace that
// walks ahead of the row scan: its segments on the segment stack get the
// cheap steps; a Deep pixel of the window that borders an escaping pixel or
// the canvas edge is iterated to the end, and when it escapes, it queues its
// Deep neighbours and the segments of its unevaluated ones in the window
// (segments below it are marked deferred). So the flood follows the escaping
// pixels and stops at the pixels of the set that border them, never
// iterating an interior to the end. Pixels done in the pass are skipped.
// Runs until both stacks are empty.
struct FloodJob {
    const double* xs;                                  // plane value per column
    const double* ys;                                  // plane value per row
    std::int32_t width, height;                        // at most 65535 each
    std::int32_t segmentsPerRow;                       // width / SegmentWidth rounded up
    std::int32_t wholeBegin, wholeEnd;                 // rows to evaluate whole, first
    std::int32_t windowRowBegin, windowRowEnd;         // rows of the window
    std::int32_t windowSegmentBegin, windowSegmentEnd; // segments of each of its rows
    std::uint16_t* cells;                              // width * height
    std::uint8_t* segments;                            // segmentsPerRow * height flags
    const std::uint8_t* done;                          // width * height, the pass's done flags
    std::uint32_t* pixelStack;                         // row << 16 | column
    std::size_t pixelTop;                              // in and out
    std::size_t pixelCapacity;        // when full, Deep pixels wait for the pass to ask
    std::uint32_t* segmentStack;      // segment numbers; room for all
    std::size_t segmentTop;           // in and out
    const std::uint8_t* levelOfCount; // maxIter + 1 entries
    std::int32_t maxIter;
    std::int32_t cap;  // steps of the cheap tier
    bool safeColumns;  // no value of xs reaches SafeCoordinate
    bool simpleLevels; // levelOfCount[c] == c + 1 for 1 <= c <= cap < maxIter
    // Resume rows: z after the cheap steps of the Deep pixels of rows
    // [resumeBase, resumeBase + resumeRows), row r kept in slot r % resumeRows
    // (whose owner is resumeOwner[slot]), width values each.
    double* resumeZr;
    double* resumeZi;
    std::int32_t* resumeOwner;
    std::int32_t resumeRows;
    std::int32_t resumeBase;
    // A helper thread to share large rounds of the pixel stack with, or
    // null; round buffers of roundCapacity points for them.
    Helper* helper;
    double* roundCx;
    double* roundCy;
    double* roundZr;
    double* roundZi;
    std::int64_t* roundCount;
    std::uint32_t* roundTag;
    std::int32_t* roundOut;
    std::size_t roundCapacity;
    std::int64_t cheapPixels = 0;  // out: pixels given the cheap steps
    std::int64_t deepPixels = 0;   // out: pixels iterated to the end
    std::int64_t sharedPixels = 0; // out: of those, in rounds shared with the helper
};
void flood(Isa isa, FloodJob& job);

} // namespace explorer::escape
