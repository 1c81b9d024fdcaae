// What the render engine keeps between its calls, for its two ways of
// working out levels; shared by level_engine.cpp, part_pool.cpp and
// band_flood.cpp only. The pass's thread owns everything outside the
// mutexes; the helper threads read the plane values and write the pixels
// of the parts or bands they took.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "escape.h"
#include "helper_crew.h"
#include "level_engine.h"
#include "part_job.h"

namespace explorer::engine {

struct LevelEngine::Common {
    std::vector<double> xs, ys; // the pass's plane values, copied
    std::vector<std::uint8_t> levelOfCount;
    std::int32_t maxIter = 0;
    // The sample that chooses the way and orders the parts, and room for
    // its batch kernel.
    std::vector<double> sampleX, sampleY;
    std::vector<std::int32_t> sampleCounts;
    std::vector<std::uint32_t> samplePart; // the part each sampled point lies in
    std::size_t sampleColumns = 0;         // sampled points to a row
    escape::BatchBuffers sampleBuffers;
};

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

struct LevelEngine::Parts {
    std::vector<std::uint8_t> levels;                    // per pixel, row-major; valid where known
    std::vector<std::uint8_t> known;                     // per pixel, 0 or 1
    std::unique_ptr<std::atomic<std::uint8_t>[]> states; // per part, row-major
    std::size_t stateRoom = 0;
    std::size_t parts = 0, partsPerRow = 0;
    PartCanvas canvas{};
    std::atomic<bool> stop{false};
    // Parts before this one (row-major) are all worked out; the pass's
    // thread (or the work it hands to the wait) alone changes it.
    std::size_t readyParts = 0;
    PartScratch passScratch;

    // Shared with the helpers, under the mutex.
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextPart = 0; // the first part no helper has looked at
    std::int32_t demand = 0;  // the part row the pass has asked for
    // Parts whose sample holds points of the set and escaping ones, in row
    // order: where the set's border runs, which the pass's traces walk
    // (often far down the canvas from its first rows). Helpers take these
    // first, from nextEdgePart on, so that a trace finds more of its parts
    // worked out rather than working out each itself, one after another.
    std::vector<std::size_t> edgeParts;
    std::size_t nextEdgePart = 0;
    // Per part, 1 where the sample puts it well inside the set (innerParts):
    // nobody works it out ahead, as the pass most likely fills it without
    // asking. Set at arm; the pass's thread alone works such a part out, or
    // a pixel of it, when asked. Asks counts those pixels per part.
    std::vector<std::uint8_t> inner;
    std::vector<std::uint16_t> asks;
    std::int64_t helperBorder = 0, helperBlock = 0;
    // Each helper's buffers, kept from one pass to the next.
    std::vector<PartScratch> helperScratch;
    bool helping = false; // helpers were started at arm

    PartRect rectOf(std::size_t part) const;
    std::optional<std::size_t> nextForHelper();
    void skipInner(); // nextPart past the inner parts, under the mutex
    bool claim(std::size_t part);
    void finished(std::size_t part);
};

struct LevelEngine::Bands {
    std::vector<std::uint8_t> levels;        // per pixel, row-major; valid where known
    std::vector<escape::SegmentMasks> masks; // per segment of eight pixels
    // The arming thread's stacks hold the whole canvas (a catch-up across a
    // border may spread anywhere above it); each helper's one band.
    Stack<std::uint32_t> pixelStack, segmentStack;
    struct HelperStacks {
        Stack<std::uint32_t> pixels, segments;
    };
    std::vector<HelperStacks> helperStacks; // one per helper thread

    // Bands: band b is the rows firstRow[b] to firstRow[b + 1] - 1.
    std::vector<std::int32_t> firstRow;
    std::int32_t bands = 0;
    // Bands flooded and caught up across their upper border, in order; only
    // the arming thread changes it.
    std::int32_t caughtUp = 0;

    // Shared with the helpers, under the mutex.
    std::mutex mutex;
    std::condition_variable changed;
    std::int32_t nextBand = 0; // the first band nobody has taken
    std::vector<bool> flooded; // per band
    std::int32_t reached = 0;  // caughtUp, as the helpers see it
    bool stop = false;
    std::int64_t helperCheap = 0, helperDeep = 0;
    bool helping = false; // helpers were started at arm
};

} // namespace explorer::engine
