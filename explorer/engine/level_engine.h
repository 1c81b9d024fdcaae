// The render engine: the levels of a render pass's canvas, worked out ahead
// of the pass from its plane values (escape.h, in vector lanes), in bands of
// rows: helper threads (one fewer than the thread count) flood a few bands
// ahead of the rows the pass has reached, and the pass's own thread floods
// bands too where it would otherwise wait. Knows nothing of windows; with a
// wait hook set, the pass's thread only waits and calls the hook, and the
// work runs elsewhere. One pass arms it; a nested pass simply arms it again,
// which stops and drops what the outer pass had.
#pragma once

#include <cstddef>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>

namespace explorer::engine {

class SlicedWait;

// Instruction sets the kernels come in (escape.h says which were compiled
// and which this processor runs).
enum class Isa { Portable, Avx2, Avx512 };

// What the last arm did: pixels given the cheap first steps, pixels iterated
// to the end, how many of these the helper threads took, and queries the
// pass had to answer itself because the level was not known.
struct EngineStats {
    std::int64_t cheapPixels = 0;
    std::int64_t deepPixels = 0;
    std::int64_t helperPixels = 0;
    std::int64_t misses = 0;
    // Queries that had to wait for the whole canvas, not just the bands
    // down to the row asked for.
    std::int64_t waitsForAll = 0;
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

    // Makes the levels of the rows down to `row` known as far as the bands
    // down to it tell (flooding them on this thread if the second has not
    // got there), so that the queries below can answer for them.
    void prepareRows(std::int32_t row);
    // Whether pixel (col, row) is known once the bands down to the row below
    // it are flooded, or failing that, the whole canvas; for a pixel the
    // pass is about to evaluate (the queries below stay as they were for any
    // other).
    bool settle(std::int32_t col, std::int32_t row);

    // Off: arm leaves the engine unarmed, so the pass iterates every pixel
    // itself.
    void setEnabled(bool on) { enabled_ = on; }
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
    // Changes at every arm and release: a caller that ran the wait hook can
    // tell whether a nested pass armed the engine anew meanwhile.
    std::uint64_t generation() const { return generation_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // The rows the queries answer for so far: 0 to readyRows() - 1.
    std::int32_t readyRows() const { return readyRows_; }
    // Whether the level of pixel (col, row) is known; false outside the
    // armed canvas and below the ready rows.
    bool known(std::int32_t col, std::int32_t row) const
    {
        return std::uint32_t(col) < std::uint32_t(width_) &&
               std::uint32_t(row) < std::uint32_t(readyRows_) &&
               (knownByte(row, col / 8) >> (col % 8) & 1);
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
        const std::int32_t seg = col / 8, shift = col % 8;
        unsigned bits = knownByte(row, seg) >> shift;
        if (shift)
            bits |= unsigned(knownByte(row, seg + 1)) << (8 - shift);
        Eight e{bits & 0xff, 0};
        std::memcpy(&e.levels, levels_ + std::size_t(row) * std::size_t(width_) + std::size_t(col),
                    8);
        return e;
    }

    // A level the pass had to work out itself although the engine was armed.
    void noteMiss() { ++stats_.misses; }
    const EngineStats& stats() const { return stats_; }

private:
    std::uint8_t knownByte(std::int32_t row, std::int32_t seg) const
    {
        return known_[(std::size_t(row) * segmentsPerRow_ + std::size_t(seg)) * knownStride_];
    }
    std::int32_t threadCount() const;
    void startHelpers(std::size_t count);
    void stopHelpers();
    void advance(std::int32_t bands);
    void advanceHere(std::int32_t bands);

    struct Work; // buffers, stacks, bands and the helper threads
    std::unique_ptr<Work> work_;
    bool enabled_ = true;
    std::int32_t threads_ = 0;
    std::function<void()> waitHook_;
    std::uint64_t generation_ = 0;
    std::unique_ptr<SlicedWait> slicedWait_;
    Isa isa_;
    EngineStats stats_;
    // Views of the armed levels, for the queries.
    std::int32_t width_ = 0, height_ = 0, readyRows_ = 0;
    std::size_t segmentsPerRow_ = 0, knownStride_ = 1;
    const std::uint8_t* levels_ = nullptr;
    const std::uint8_t* known_ = nullptr;
};

} // namespace explorer::engine
