// The render engine's arm and its parts: squares of the canvas worked out
// whole by one thread each (part_job.h), in row order. Helper threads take
// the parts a few part rows ahead of the rows the pass has reached (and no
// further, so they soon rest while the pass waits in a pause); the pass's
// thread works out the parts it needs that nobody has taken, and waits for
// those a helper has. A part's pixels have one writer, the thread whose
// compare-and-swap claimed it; its state, stored with release order once
// it is worked out, is what lets the pass read them.
#include "level_engine.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "escape.h"
#include "part_job.h"
#include "sliced_wait.h"

namespace explorer::engine {

namespace {

// How many part rows beyond the one the pass has reached the helpers may
// work out.
constexpr std::int32_t PartRowsAhead = 3;

// Pixels are indexed in 32 bits.
constexpr std::int32_t MaxSide = 65535;
constexpr std::int32_t MaxIterations = 1000000; // the highest limit the window offers
// Above this limit a pixel asked for alone is iterated on the waiting
// thread, as parts are, so that the window goes on answering.
constexpr std::int32_t LongPixel = 100000;

enum PartState : std::uint8_t { PartFree = 0, PartTaken = 1, PartDone = 2 };

bool safe(double v)
{
    return std::fabs(v) < escape::SafeCoordinate; // false for NaN too
}

} // namespace

struct LevelEngine::Work {
    std::vector<double> xs, ys; // the pass's plane values, copied
    std::vector<std::uint8_t> levelOfCount;
    std::vector<std::uint8_t> levels; // per pixel, row-major; valid where known
    std::vector<std::uint8_t> known;  // per pixel, 0 or 1
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
    std::int64_t helperBorder = 0, helperBlock = 0;
    std::vector<std::thread> helpers;

    PartRect rectOf(std::size_t part) const
    {
        const std::int32_t x0 = std::int32_t(part % partsPerRow) * PartSide;
        const std::int32_t y0 = std::int32_t(part / partsPerRow) * PartSide;
        return {x0, y0, std::min(x0 + PartSide, canvas.width),
                std::min(y0 + PartSide, canvas.height)};
    }
    bool claim(std::size_t part)
    {
        std::uint8_t expected = PartFree;
        return states[part].compare_exchange_strong(expected, PartTaken, std::memory_order_acq_rel);
    }
    void finished(std::size_t part)
    {
        states[part].store(PartDone, std::memory_order_release);
        {
            const std::lock_guard lock(mutex);
        }
        changed.notify_all();
    }
};

LevelEngine::LevelEngine() : work_(std::make_unique<Work>()), isa_(escape::bestIsa()) {}

LevelEngine::~LevelEngine()
{
    work_->stop = true;
    stopHelpers();
}

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
    const std::size_t pixels = width * height;
    w.levels.resize(pixels);
    w.known.assign(pixels, 0);
    w.levelOfCount.resize(std::size_t(maxIter) + 1);
    for (std::int32_t count = 0; count <= maxIter; ++count)
        w.levelOfCount[std::size_t(count)] =
            std::uint8_t(count >= maxIter ? 0 : count % colorCycle + 1);
    w.partsPerRow = (width + PartSide - 1) / PartSide;
    w.parts = w.partsPerRow * ((height + PartSide - 1) / PartSide);
    if (w.stateRoom < w.parts) {
        w.states = std::make_unique<std::atomic<std::uint8_t>[]>(w.parts);
        w.stateRoom = w.parts;
    }
    for (std::size_t p = 0; p < w.parts; ++p)
        w.states[p].store(PartFree, std::memory_order_relaxed);
    w.stop = false;
    w.canvas = PartCanvas{.xs = w.xs.data(),
                          .ys = w.ys.data(),
                          .width = std::int32_t(width),
                          .height = std::int32_t(height),
                          .maxIter = maxIter,
                          .levelOfCount = w.levelOfCount.data(),
                          .levels = w.levels.data(),
                          .known = w.known.data(),
                          .isa = isa_,
                          .stop = &w.stop};
    w.readyParts = 0;
    w.nextPart = 0;
    w.demand = 0;
    w.helperBorder = w.helperBlock = 0;

    width_ = std::int32_t(width);
    height_ = std::int32_t(height);
    readyRows_ = 0;
    partsPerRow_ = w.partsPerRow;
    levels_ = w.levels.data();
    known_ = w.known.data();
    partStates_ = w.states.get();
    startHelpers(std::size_t(std::min<std::int64_t>(threadCount() - 1, std::int64_t(w.parts) - 1)));
    return true;
}

void LevelEngine::release()
{
    Work& w = *work_;
    // Work in progress ends at its next look at the flag: a part half done
    // is dropped with the rest.
    w.stop = true;
    {
        const std::lock_guard lock(w.mutex);
    }
    w.changed.notify_all();
    // Released from inside the wait hook (a nested pass): the work handed
    // to the other thread ends before anything it uses changes.
    if (slicedWait_)
        slicedWait_->finish();
    ++generation_;
    stopHelpers();
    if (armed()) {
        stats_.helperPixels = w.helperBorder + w.helperBlock;
        stats_.borderPixels += w.helperBorder;
        stats_.blockPixels += w.helperBlock;
        w.helperBorder = w.helperBlock = 0;
    }
    width_ = height_ = readyRows_ = 0;
    partsPerRow_ = 0;
    levels_ = known_ = nullptr;
    partStates_ = nullptr;
}

std::int32_t LevelEngine::threadCount() const
{
    if (threads_ > 0)
        return threads_;
    return std::int32_t(std::max(1u, std::thread::hardware_concurrency()));
}

void LevelEngine::startHelpers(std::size_t count)
{
    Work& w = *work_;
    auto run = [&w] {
        PartScratch scratch;
        PartJobCounts counts;
        std::unique_lock lock(w.mutex);
        for (;;) {
            w.changed.wait(lock, [&] {
                return w.stop || w.nextPart >= w.parts ||
                       std::int32_t(w.nextPart / w.partsPerRow) <= w.demand + PartRowsAhead;
            });
            if (w.stop || w.nextPart >= w.parts)
                break;
            const std::size_t part = w.nextPart++;
            lock.unlock();
            if (w.claim(part) && workOutPart(w.canvas, w.rectOf(part), scratch, counts))
                w.finished(part);
            lock.lock();
        }
        w.helperBorder += counts.borderPixels;
        w.helperBlock += counts.blockPixels;
    };
    for (std::size_t i = 0; i < count; ++i) {
        try {
            w.helpers.emplace_back(run);
        } catch (const std::system_error&) {
            // No more threads to be had: those running (or the pass's
            // thread alone) work out every part.
            break;
        }
    }
}

void LevelEngine::stopHelpers()
{
    Work& w = *work_;
    if (w.helpers.empty())
        return;
    {
        const std::lock_guard lock(w.mutex);
        w.stop = true;
    }
    w.changed.notify_all();
    for (std::thread& t : w.helpers)
        t.join();
    w.helpers.clear();
}

// Runs work that readies levels; with a wait hook, on another thread while
// this one waits and calls the hook.
void LevelEngine::runWork(const std::function<void()>& work)
{
    if (!waitHook_) {
        work();
        return;
    }
    if (!slicedWait_)
        slicedWait_ = std::make_unique<SlicedWait>();
    // A copy: a pass nested in the hook sets a hook of its own meanwhile.
    const std::function<void()> hook = waitHook_;
    slicedWait_->run(work, hook, WaitSlice);
}

void LevelEngine::publishDemand(std::int32_t partRow)
{
    Work& w = *work_;
    {
        const std::lock_guard lock(w.mutex);
        if (partRow <= w.demand)
            return;
        w.demand = partRow;
    }
    w.changed.notify_all();
}

// Works out `part` here if nobody has taken it, else waits for whoever has.
void LevelEngine::workOutOrWait(std::size_t part)
{
    Work& w = *work_;
    if (w.states[part].load(std::memory_order_acquire) == PartDone)
        return;
    if (w.claim(part)) {
        PartJobCounts counts;
        if (workOutPart(w.canvas, w.rectOf(part), w.passScratch, counts))
            w.finished(part);
        stats_.borderPixels += counts.borderPixels;
        stats_.blockPixels += counts.blockPixels;
        return;
    }
    std::unique_lock lock(w.mutex);
    w.changed.wait(lock, [&] {
        return w.stop || w.states[part].load(std::memory_order_acquire) == PartDone;
    });
}

// Works out (or waits for) every part of the first `partRows` part rows.
void LevelEngine::readyPartRows(std::int32_t partRows)
{
    Work& w = *work_;
    publishDemand(partRows - 1);
    const std::size_t needed = std::min(w.parts, std::size_t(partRows) * w.partsPerRow);
    for (; w.readyParts < needed; ++w.readyParts) {
        workOutOrWait(w.readyParts);
        if (w.stop)
            return;
    }
    readyRows_ = std::min(height_, partRows * PartSide);
}

void LevelEngine::prepareRows(std::int32_t row)
{
    if (!armed() || row < readyRows_)
        return;
    const std::int32_t partRows = std::min(row, height_ - 1) / PartSide + 1;
    runWork([this, partRows] { readyPartRows(partRows); });
}

bool LevelEngine::settle(std::int32_t col, std::int32_t row)
{
    if (!armed() || std::uint32_t(col) >= std::uint32_t(width_) ||
        std::uint32_t(row) >= std::uint32_t(height_))
        return false;
    const std::uint64_t generation = generation_;
    if (!known(col, row) && !partDone(col, row)) {
        const std::size_t part =
            std::size_t(row / PartSide) * partsPerRow_ + std::size_t(col / PartSide);
        runWork([this, part] { workOutOrWait(part); });
        if (generation != generation_ || !partDone(col, row))
            return false; // armed anew from inside the wait hook, or stopped
    }
    if (known(col, row))
        return true;
    // Inside a region whose border is all of the set: the pass asks for a
    // pixel there only where its fill stops short (a trace looking one pixel
    // in from the border, say). Iterated alone, on the waiting thread if
    // that takes long.
    ++stats_.askedInside;
    const PartCanvas& canvas = work_->canvas;
    if (canvas.maxIter >= LongPixel && waitHook_) {
        runWork([&canvas, col, row] { workOutPixel(canvas, col, row); });
        if (generation != generation_)
            return false;
    } else {
        workOutPixel(canvas, col, row);
    }
    return true;
}

} // namespace explorer::engine
