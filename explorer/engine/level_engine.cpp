// The render engine's arm and its bands: the levels of the canvas, worked
// out by the flood of escape.h band by band as the pass comes to them.
// Helper threads flood bands a few ahead of the pass (and no further, so
// they soon rest while the pass waits in a pause); the pass's thread floods
// the next band nobody has taken whenever it needs one, and catches up
// across the border above each band before the pass reads it.
#include "level_engine.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "escape.h"
#include "sliced_wait.h"

namespace explorer::engine {

namespace {

// Steps every pixel of a segment the flood reaches gets at once; those still
// iterating after them are iterated to the end only if they border an
// escaping pixel.
constexpr std::int32_t CheapSteps = 24;

// Rows per band, about: small enough that the first rows are painted soon
// after the click, large enough that the catch-up across each border stays
// a small part of the work.
constexpr std::int32_t BandRows = 48;
// How many bands the helpers (and the pass's thread) may flood beyond those
// the pass has reached.
constexpr std::int32_t BandsAhead = 4;

// The flood packs a pixel into 32 bits.
constexpr std::int32_t MaxSide = 65535;
constexpr std::int32_t MaxIterations = 1000000; // the highest limit the window offers

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
    // The arming thread's stacks hold the whole canvas (a catch-up across a
    // border may spread anywhere above it); each helper's one band.
    Stack<std::uint32_t> pixelStack, segmentStack;
    struct HelperStacks {
        Stack<std::uint32_t> pixels, segments;
    };
    std::vector<HelperStacks> helperStacks; // one per helper thread
    std::vector<std::uint8_t> levelOfCount;

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
    std::vector<std::thread> helpers;
};

LevelEngine::LevelEngine() : work_(std::make_unique<Work>()), isa_(escape::bestIsa()) {}

LevelEngine::~LevelEngine()
{
    stopHelpers();
}

namespace {

escape::FloodJob jobFor(const std::vector<double>& xs, const std::vector<double>& ys,
                        std::int32_t segmentsPerRow, std::int32_t rowBegin, std::int32_t rowEnd,
                        std::uint8_t* levels, escape::SegmentMasks* masks,
                        std::uint32_t* pixelStack, std::uint32_t* segmentStack,
                        const std::uint8_t* levelOfCount, std::int32_t maxIter)
{
    return escape::FloodJob{.xs = xs.data(),
                            .ys = ys.data(),
                            .width = std::int32_t(xs.size()),
                            .height = std::int32_t(ys.size()),
                            .segmentsPerRow = segmentsPerRow,
                            .rowBegin = rowBegin,
                            .rowEnd = rowEnd,
                            .seedEdges = true,
                            .borders = nullptr,
                            .borderCount = 0,
                            .levels = levels,
                            .masks = masks,
                            .pixelStack = pixelStack,
                            .pixelTop = 0,
                            .segmentStack = segmentStack,
                            .segmentTop = 0,
                            .levelOfCount = levelOfCount,
                            .maxIter = maxIter,
                            .cap = CheapSteps};
}

// Floods band b by itself: clears its rows' masks, then follows the
// escaping pixels in from the canvas edge within its rows.
void floodBand(Isa isa, auto& w, std::int32_t b, std::int32_t segmentsPerRow,
               std::uint32_t* pixelStack, std::uint32_t* segmentStack, std::int64_t* cheap,
               std::int64_t* deep)
{
    const std::int32_t r0 = w.firstRow[std::size_t(b)], r1 = w.firstRow[std::size_t(b) + 1];
    std::fill(w.masks.begin() + std::ptrdiff_t(r0) * segmentsPerRow,
              w.masks.begin() + std::ptrdiff_t(r1) * segmentsPerRow, escape::SegmentMasks{});
    escape::FloodJob job =
        jobFor(w.xs, w.ys, segmentsPerRow, r0, r1, w.levels.data(), w.masks.data(), pixelStack,
               segmentStack, w.levelOfCount.data(), w.maxIter);
    escape::flood(isa, job);
    *cheap += job.cheapPixels;
    *deep += job.deepPixels;
}

} // namespace

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
    w.pixelStack.reserve(pixels);
    w.segmentStack.reserve(segments);
    w.levelOfCount.resize(std::size_t(maxIter) + 1);
    for (std::int32_t count = 0; count <= maxIter; ++count)
        w.levelOfCount[std::size_t(count)] =
            std::uint8_t(count >= maxIter ? 0 : count % colorCycle + 1);
    segmentsPerRow_ = segmentsPerRow;
    width_ = std::int32_t(width);
    height_ = std::int32_t(height);
    levels_ = w.levels.data();
    known_ = &w.masks.data()->known;
    knownStride_ = sizeof(escape::SegmentMasks);

    const std::int32_t bands = std::max<std::int32_t>(1, height_ / BandRows);
    w.firstRow.resize(std::size_t(bands) + 1);
    std::int32_t bandHeight = 0;
    for (std::int32_t b = 0; b <= bands; ++b) {
        w.firstRow[std::size_t(b)] = std::int32_t(std::int64_t(height_) * b / bands);
        if (b > 0)
            bandHeight =
                std::max(bandHeight, w.firstRow[std::size_t(b)] - w.firstRow[std::size_t(b) - 1]);
    }
    w.bands = bands;
    w.caughtUp = 0;
    w.nextBand = 0;
    w.flooded.assign(std::size_t(bands), false);
    w.reached = 0;
    w.stop = false;
    w.helperCheap = w.helperDeep = 0;
    const std::size_t helpers = std::size_t(std::min(threadCount() - 1, bands - 1));
    if (w.helperStacks.size() < helpers)
        w.helperStacks.resize(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        w.helperStacks[i].pixels.reserve(std::size_t(bandHeight) * width);
        w.helperStacks[i].segments.reserve(std::size_t(bandHeight) * segmentsPerRow);
    }
    startHelpers(helpers);
    return true;
}

void LevelEngine::release()
{
    // Released from inside the wait hook (a nested pass): the work handed
    // to the other thread ends before anything it uses changes.
    if (slicedWait_)
        slicedWait_->finish();
    ++generation_;
    stopHelpers();
    if (armed()) {
        stats_.helperPixels = work_->helperCheap + work_->helperDeep;
        stats_.cheapPixels += work_->helperCheap;
        stats_.deepPixels += work_->helperDeep;
        work_->helperCheap = work_->helperDeep = 0;
    }
    width_ = height_ = readyRows_ = 0;
    segmentsPerRow_ = 0;
    levels_ = known_ = nullptr;
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
    const Isa isa = isa_;
    const std::int32_t segmentsPerRow = std::int32_t(segmentsPerRow_);
    auto run = [&w, isa, segmentsPerRow](Work::HelperStacks* stacks) {
        std::unique_lock lock(w.mutex);
        for (;;) {
            w.changed.wait(lock, [&] {
                return w.stop || w.nextBand >= w.bands || w.nextBand < w.reached + BandsAhead;
            });
            if (w.stop || w.nextBand >= w.bands)
                return;
            const std::int32_t b = w.nextBand++;
            lock.unlock();
            std::int64_t cheap = 0, deep = 0;
            floodBand(isa, w, b, segmentsPerRow, stacks->pixels.data.get(),
                      stacks->segments.data.get(), &cheap, &deep);
            lock.lock();
            w.helperCheap += cheap;
            w.helperDeep += deep;
            w.flooded[std::size_t(b)] = true;
            w.changed.notify_all();
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        try {
            w.helpers.emplace_back(run, &w.helperStacks[i]);
        } catch (const std::system_error&) {
            // No more threads to be had: those running (or the pass's
            // thread alone) flood every band.
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

// Readies `bands` bands; with a wait hook, on another thread while this one
// waits and calls the hook.
void LevelEngine::advance(std::int32_t bands)
{
    if (!waitHook_ || work_->caughtUp >= std::min(bands, work_->bands)) {
        advanceHere(bands);
        return;
    }
    if (!slicedWait_)
        slicedWait_ = std::make_unique<SlicedWait>();
    // A copy: a pass nested in the hook sets a hook of its own meanwhile.
    const std::function<void()> hook = waitHook_;
    slicedWait_->run([this, bands] { advanceHere(bands); }, hook, WaitSlice);
}

// Floods and catches up bands until `bands` of them are ready, on this
// thread where the helpers have not taken them.
void LevelEngine::advanceHere(std::int32_t bands)
{
    Work& w = *work_;
    const std::int32_t segmentsPerRow = std::int32_t(segmentsPerRow_);
    bands = std::min(bands, w.bands);
    while (w.caughtUp < bands) {
        const std::int32_t b = w.caughtUp;
        {
            std::unique_lock lock(w.mutex);
            while (!w.flooded[std::size_t(b)]) {
                if (w.nextBand < w.bands && w.nextBand < b + BandsAhead) {
                    // Nobody has started it, or a helper has and this
                    // thread would only wait: it floods the first band not
                    // taken (never further ahead than the helpers may go).
                    const std::int32_t mine = w.nextBand++;
                    lock.unlock();
                    floodBand(isa_, w, mine, segmentsPerRow, w.pixelStack.data.get(),
                              w.segmentStack.data.get(), &stats_.cheapPixels, &stats_.deepPixels);
                    lock.lock();
                    w.flooded[std::size_t(mine)] = true;
                } else {
                    w.changed.wait(lock);
                }
            }
        }
        // Across the border above it: what the border row and the row above
        // owe each other, spread anywhere in the bands ready so far and this
        // one (never below, where the helpers may be at work).
        if (b > 0) {
            escape::FloodJob job =
                jobFor(w.xs, w.ys, segmentsPerRow, 0, w.firstRow[std::size_t(b) + 1],
                       w.levels.data(), w.masks.data(), w.pixelStack.data.get(),
                       w.segmentStack.data.get(), w.levelOfCount.data(), w.maxIter);
            job.seedEdges = false;
            job.borders = &w.firstRow[std::size_t(b)];
            job.borderCount = 1;
            escape::flood(isa_, job);
            stats_.cheapPixels += job.cheapPixels;
            stats_.deepPixels += job.deepPixels;
        }
        w.caughtUp = b + 1;
        readyRows_ = w.firstRow[std::size_t(b) + 1];
        {
            const std::lock_guard lock(w.mutex);
            w.reached = w.caughtUp;
        }
        w.changed.notify_all();
    }
}

void LevelEngine::prepareRows(std::int32_t row)
{
    if (!armed() || row < readyRows_)
        return;
    const Work& w = *work_;
    // The band holding `row`, and every one above it.
    const auto holding = std::upper_bound(w.firstRow.begin(), w.firstRow.end(), row);
    advance(std::int32_t(holding - w.firstRow.begin()));
}

bool LevelEngine::settle(std::int32_t col, std::int32_t row)
{
    if (!armed() || std::uint32_t(col) >= std::uint32_t(width_) ||
        std::uint32_t(row) >= std::uint32_t(height_))
        return false;
    const std::uint64_t generation = generation_;
    prepareRows(std::min(row + 1, height_ - 1));
    if (generation != generation_)
        return false; // armed anew from inside the wait hook: not this pass's pixel
    if (known(col, row))
        return true;
    if (work_->caughtUp < work_->bands) {
        // A pixel only a band further down leads the flood to (rare): the
        // whole canvas, then.
        ++stats_.waitsForAll;
        advance(work_->bands);
    }
    return known(col, row);
}

} // namespace explorer::engine
