// The render engine: the levels of a render pass's canvas, worked out ahead
// of the pass from its plane values (escape.h, in vector lanes), by helper
// threads (one fewer than the thread count) a little ahead of the rows the
// pass has reached, and by the pass's own thread where it would otherwise
// wait. Two ways, chosen per arm from a coarse sample of the view: in parts
// (part_pool.cpp: squares worked out whole, regions whose border is all of
// the set left to the pass's fill) where escaping points run long; else,
// and above PartsUpTo iterations, where every pixel of the set costs the
// whole limit, by the flood of escape.h in bands of rows (band_flood.cpp),
// which gives every pixel it reaches a few cheap steps at once and iterates
// no pixel of the set that does not border an escaping one. Knows nothing of windows; with a wait
// hook set, the pass's thread only waits and calls the hook, and the work runs elsewhere. One pass
// arms it; a nested pass simply arms it again, which stops and drops what the outer pass had.
#pragma once

#include <cstddef>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>

namespace explorer::engine {

class SlicedWait;
class HelperCrew;

// Instruction sets the kernels come in (escape.h says which were compiled
// and which this processor runs).
enum class Isa { Portable, Avx2, Avx512 };

// What the last arm did: pixels iterated on the borders of parts and on the
// lines they were split along, pixels iterated inside the smallest blocks,
// how many of these the helper threads took, pixels of regions left to the
// pass that it asked for all the same (iterated one by one), and queries
// the pass had to answer itself because the engine could not.
// With the flood (above PartsUpTo iterations): pixels given its cheap
// first steps count as border pixels, those iterated to the end as block
// pixels, and the queries that had to wait for the whole canvas as asked
// inside.
struct EngineStats {
    std::int64_t borderPixels = 0;
    std::int64_t blockPixels = 0;
    std::int64_t helperPixels = 0;
    std::int64_t askedInside = 0;
    std::int64_t misses = 0;
    // Parts the sample put well inside the set, left to the pass's fill.
    std::int64_t innerParts = 0;
};

class LevelEngine {
public:
    LevelEngine();
    ~LevelEngine();
    LevelEngine(const LevelEngine&) = delete;
    LevelEngine& operator=(const LevelEngine&) = delete;

    // Works out the levels of the canvas xs.size() x ys.size() for the
    // plane values xs (per column) and ys (per row), with the iteration
    // limit and colour cycle of the pass. Returns whether it is armed: a
    // canvas or limits it does not handle, or a view far enough out that a
    // point could overflow, leave it unarmed, and then no level is known.
    bool arm(std::span<const double> xs, std::span<const double> ys, std::int32_t maxIter,
             std::int32_t colorCycle);
    // Stops the helper threads and forgets the levels (the memory is kept for
    // the next pass).
    void release();

    // Works out every part that holds a row down to `row` (on this thread
    // where no helper has taken it), so that the queries below answer for
    // those rows: every level is known there except inside regions whose
    // border is all of the set, which the pass fills without asking.
    void prepareRows(std::int32_t row);
    // Makes pixel (col, row) known, for a pixel the pass is about to
    // evaluate: its part is worked out first, and a pixel inside a region
    // left to the pass is iterated alone. False when unarmed or outside the
    // canvas, or when a pass nested in the wait hook armed the engine anew.
    bool settle(std::int32_t col, std::int32_t row);

    // Off: arm leaves the engine unarmed, so the pass iterates every pixel
    // itself.
    void setEnabled(bool on) { enabled_ = on; }
    // How levels are worked out: as the view and limit suit (the default),
    // or one way whatever they are (for tests and measurements).
    enum class Way { ByView, Parts, Bands };
    void setWay(Way way) { way_ = way; }
    // The kernels to use; one this processor lacks falls back to portable.
    void setIsa(Isa isa) { isa_ = isa; }
    Isa isa() const { return isa_; }
    // Called about every WaitSlice while the pass's thread waits for levels:
    // with a hook set, the levels the pass asks for are worked out on other
    // threads and this thread only waits, so the window can answer its
    // events from the hook. The hook must not arm or release this engine.
    static constexpr std::chrono::milliseconds WaitSlice{10};
    void setWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }
    const std::function<void()>& waitHook() const { return waitHook_; }

    // Threads that work out levels, the pass's own included: 1 keeps all
    // the work on the pass's thread; 0 (the default) takes every hardware
    // thread. Takes effect at the next arm.
    void setThreads(std::int32_t threads) { threads_ = std::max<std::int32_t>(0, threads); }
    std::int32_t threads() const { return threads_; }

    bool armed() const { return width_ > 0; }
    // Whether the last arm chose parts.
    bool inParts() const { return inParts_; }
    // Changes at every arm and release: a caller that ran the wait hook can
    // tell whether a nested pass armed the engine anew meanwhile.
    std::uint64_t generation() const { return generation_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // The rows the queries answer for: 0 to readyRows() - 1, and in parts
    // also any part worked out below them.
    std::int32_t readyRows() const { return readyRows_; }
    // Whether the level of pixel (col, row) is known; false outside the
    // armed canvas and where it is not worked out yet.
    bool known(std::int32_t col, std::int32_t row) const
    {
        if (std::uint32_t(col) >= std::uint32_t(width_) ||
            std::uint32_t(row) >= std::uint32_t(height_))
            return false;
        if (row >= readyRows_ && (!inParts_ || !partDone(col, row)))
            return false;
        if (!inParts_)
            return knownBit(row, col / 8) >> (col % 8) & 1;
        return known_[std::size_t(row) * std::size_t(width_) + std::size_t(col)] != 0;
    }
    // The level of a known pixel.
    std::uint8_t level(std::int32_t col, std::int32_t row) const
    {
        return levels_[std::size_t(row) * std::size_t(width_) + std::size_t(col)];
    }
    // The pixels col .. col + 7 of a ready row (col + 8 <= width()): bit i of `known` says whether
    // pixel col + i is known, byte i of `levels` is its level where it is.
    struct Eight {
        unsigned known;
        std::uint64_t levels;
    };
    Eight eight(std::int32_t col, std::int32_t row) const
    {
        const std::size_t at = std::size_t(row) * std::size_t(width_) + std::size_t(col);
        Eight e{0, 0};
        if (inParts_) {
            std::uint64_t bytes; // 0 or 1 each
            std::memcpy(&bytes, known_ + at, 8);
            e.known = unsigned((bytes * 0x0102040810204080u) >> 56);
        } else {
            const std::int32_t seg = col / 8, shift = col % 8;
            unsigned bits = knownBit(row, seg) >> shift;
            if (shift)
                bits |= unsigned(knownBit(row, seg + 1)) << (8 - shift);
            e.known = bits & 0xff;
        }
        std::memcpy(&e.levels, levels_ + at, 8);
        return e;
    }

    // A level the pass had to work out itself although the engine was armed.
    void noteMiss() { ++stats_.misses; }
    const EngineStats& stats() const { return stats_; }

    // Parts are squares of this many pixels (those at the right and bottom
    // edges smaller), worked out whole by one thread each.
    static constexpr std::int32_t PartSide = 128;
    // The highest iteration limit worked out in parts; above it, the flood.
    static constexpr std::int32_t PartsUpTo = 4096;
    // Up to this many pixel-iterations a part (about a millisecond and a
    // half on one core), parts are worked out on the pass's thread between
    // calls of the wait hook, rather than handed to another thread while it
    // waits: a hand-over costs more than a small part. The flood's bands
    // likewise up to this limit (a band's flood then takes a few
    // milliseconds at most).
    static constexpr std::int64_t InlinePartIterations = std::int64_t(1) << 23;
    static constexpr std::int32_t InlineBandLimit = 512;

private:
    bool partDone(std::int32_t col, std::int32_t row) const
    {
        const std::size_t part =
            std::size_t(row / PartSide) * partsPerRow_ + std::size_t(col / PartSide);
        return partStates_[part].load(std::memory_order_acquire) == PartWorkedOut;
    }
    std::uint8_t knownBit(std::int32_t row, std::int32_t seg) const
    {
        return known_[(std::size_t(row) * segmentsPerRow_ + std::size_t(seg)) * knownStride_];
    }
    static constexpr std::uint8_t PartWorkedOut = 2;
    std::int32_t threadCount() const;
    void takeSample(std::int32_t maxIter);
    bool partsSuit(std::int32_t maxIter) const;
    void runWork(const std::function<void()>& work);
    // Calls the wait hook when a slice has gone by since its last call, for
    // work done on the pass's own thread; false when a pass nested in the
    // hook armed the engine anew (the caller then returns at once).
    bool answerIfDue();

    // In parts (part_pool.cpp).
    void armParts(std::int32_t maxIter);
    void startPartHelpers(std::size_t count);
    void stopPartHelpers();
    void readyPartRows(std::int32_t partRows);
    bool workOutOrWait(std::size_t part);
    void publishDemand(std::int32_t partRow);
    void prepareParts(std::int32_t row);
    bool settleInParts(std::int32_t col, std::int32_t row);
    // In bands (band_flood.cpp).
    void armBands();
    void startBandHelpers(std::size_t count);
    void stopBandHelpers();
    void advance(std::int32_t bands);
    void advanceHere(std::int32_t bands);
    void prepareBands(std::int32_t row);
    bool settleInBands(std::int32_t col, std::int32_t row);

    struct Common; // the pass's plane values and the level table
    struct Parts;  // buffers, part states and what their helpers share
    struct Bands;  // buffers, stacks, bands and what their helpers share
    // The helper threads of both ways, resting between passes.
    HelperCrew& crew() { return *crew_; }
    std::unique_ptr<HelperCrew> crew_;
    std::unique_ptr<Common> common_;
    std::unique_ptr<Parts> parts_;
    std::unique_ptr<Bands> bands_;
    bool inParts_ = true;
    Way way_ = Way::ByView;
    bool enabled_ = true;
    std::int32_t threads_ = 0;
    std::function<void()> waitHook_;
    std::uint64_t generation_ = 0;
    std::unique_ptr<SlicedWait> slicedWait_;
    // Parts or bands quick enough to work out on the pass's thread even
    // with a wait hook (set at arm), and whether work runs there now,
    // answering the hook between parts or bands and in their waits.
    bool workInline_ = false;
    bool answeringInline_ = false;
    std::chrono::steady_clock::time_point lastAnswer_{};
    Isa isa_;
    EngineStats stats_;
    // Views of the armed levels, for the queries.
    std::int32_t width_ = 0, height_ = 0, readyRows_ = 0;
    const std::uint8_t* levels_ = nullptr;
    // In parts, one byte per pixel; in bands, one bit per pixel in bytes
    // knownStride_ apart, segmentsPerRow_ per row.
    const std::uint8_t* known_ = nullptr;
    std::size_t partsPerRow_ = 0, segmentsPerRow_ = 0, knownStride_ = 1;
    const std::atomic<std::uint8_t>* partStates_ = nullptr;
};

} // namespace explorer::engine
