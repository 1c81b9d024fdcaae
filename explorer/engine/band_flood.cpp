// The render engine in bands, for high iteration limits: the levels of the
// canvas worked out by the flood of escape.h band by band as the pass comes
// to them. Helper threads flood bands a few ahead of the pass (and no
// further, so they soon rest while the pass waits in a pause); the pass's
// thread floods the next band nobody has taken whenever it needs one, and
// catches up across the border above each band before the pass reads it.
#include <algorithm>

#include "level_engine_work.h"

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
void floodBand(Isa isa, const std::vector<double>& xs, const std::vector<double>& ys,
               const std::uint8_t* levelOfCount, std::int32_t maxIter, auto& w, std::int32_t b,
               std::int32_t segmentsPerRow, std::uint32_t* pixelStack, std::uint32_t* segmentStack,
               std::int64_t* cheap, std::int64_t* deep)
{
    const std::int32_t r0 = w.firstRow[std::size_t(b)], r1 = w.firstRow[std::size_t(b) + 1];
    std::fill(w.masks.begin() + std::ptrdiff_t(r0) * segmentsPerRow,
              w.masks.begin() + std::ptrdiff_t(r1) * segmentsPerRow, escape::SegmentMasks{});
    escape::FloodJob job = jobFor(xs, ys, segmentsPerRow, r0, r1, w.levels.data(), w.masks.data(),
                                  pixelStack, segmentStack, levelOfCount, maxIter);
    escape::flood(isa, job);
    *cheap += job.cheapPixels;
    *deep += job.deepPixels;
}

} // namespace

void LevelEngine::armBands()
{
    Bands& w = *bands_;
    const std::size_t width = std::size_t(width_), height = std::size_t(height_);
    const std::size_t segmentsPerRow = (width + escape::SegmentWidth - 1) / escape::SegmentWidth;
    const std::size_t pixels = width * height, segments = segmentsPerRow * height;
    // Every band clears its own rows' masks before its flood; a level counts
    // only where its known bit is set.
    w.levels.resize(pixels);
    w.masks.resize(segments);
    w.pixelStack.reserve(pixels);
    w.segmentStack.reserve(segments);
    segmentsPerRow_ = segmentsPerRow;
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
    startBandHelpers(helpers);
}

void LevelEngine::startBandHelpers(std::size_t count)
{
    Bands& w = *bands_;
    const Common& c = *common_;
    const Isa isa = isa_;
    const std::int32_t segmentsPerRow = std::int32_t(segmentsPerRow_);
    auto run = [&w, &c, isa, segmentsPerRow](std::size_t index) {
        Bands::HelperStacks* stacks = &w.helperStacks[index];
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
            floodBand(isa, c.xs, c.ys, c.levelOfCount.data(), c.maxIter, w, b, segmentsPerRow,
                      stacks->pixels.data.get(), stacks->segments.data.get(), &cheap, &deep);
            lock.lock();
            w.helperCheap += cheap;
            w.helperDeep += deep;
            w.flooded[std::size_t(b)] = true;
            w.changed.notify_all();
        }
    };
    // Where fewer threads can be had, those there are (or the pass's thread
    // alone) flood every band.
    w.helping = crew().start(count, run) > 0;
}

void LevelEngine::stopBandHelpers()
{
    Bands& w = *bands_;
    if (!w.helping)
        return;
    {
        const std::lock_guard lock(w.mutex);
        w.stop = true;
    }
    w.changed.notify_all();
    crew().finish();
    w.helping = false;
}

// Readies `bands` bands; with a wait hook, on another thread while this one
// waits and calls the hook.
void LevelEngine::advance(std::int32_t bands)
{
    if (bands_->caughtUp >= std::min(bands, bands_->bands)) {
        advanceHere(bands);
        return;
    }
    runWork([this, bands] { advanceHere(bands); });
}

// Floods and catches up bands until `bands` of them are ready, on this
// thread where the helpers have not taken them.
void LevelEngine::advanceHere(std::int32_t bands)
{
    Bands& w = *bands_;
    const Common& c = *common_;
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
                    floodBand(isa_, c.xs, c.ys, c.levelOfCount.data(), c.maxIter, w, mine,
                              segmentsPerRow, w.pixelStack.data.get(), w.segmentStack.data.get(),
                              &stats_.borderPixels, &stats_.blockPixels);
                    lock.lock();
                    w.flooded[std::size_t(mine)] = true;
                } else if (answeringInline_) {
                    // The hook is answered with the lock let go: a pass
                    // nested there arms the bands anew, and this one then
                    // ends where it is.
                    w.changed.wait_for(lock, WaitSlice);
                    lock.unlock();
                    if (!answerIfDue())
                        return;
                    lock.lock();
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
                jobFor(c.xs, c.ys, segmentsPerRow, 0, w.firstRow[std::size_t(b) + 1],
                       w.levels.data(), w.masks.data(), w.pixelStack.data.get(),
                       w.segmentStack.data.get(), c.levelOfCount.data(), c.maxIter);
            job.seedEdges = false;
            job.borders = &w.firstRow[std::size_t(b)];
            job.borderCount = 1;
            escape::flood(isa_, job);
            stats_.borderPixels += job.cheapPixels;
            stats_.blockPixels += job.deepPixels;
        }
        w.caughtUp = b + 1;
        readyRows_ = w.firstRow[std::size_t(b) + 1];
        {
            const std::lock_guard lock(w.mutex);
            w.reached = w.caughtUp;
        }
        w.changed.notify_all();
        if (!answerIfDue())
            return;
    }
}

void LevelEngine::prepareBands(std::int32_t row)
{
    const Bands& w = *bands_;
    // The band holding `row`, and every one above it.
    const auto holding = std::upper_bound(w.firstRow.begin(), w.firstRow.end(), row);
    advance(std::int32_t(holding - w.firstRow.begin()));
}

bool LevelEngine::settleInBands(std::int32_t col, std::int32_t row)
{
    const std::uint64_t generation = generation_;
    prepareRows(std::min(row + 1, height_ - 1));
    if (generation != generation_)
        return false; // armed anew from inside the wait hook: not this pass's pixel
    if (known(col, row))
        return true;
    if (bands_->caughtUp < bands_->bands) {
        // A pixel only a band further down leads the flood to (rare): the
        // whole canvas, then.
        ++stats_.askedInside;
        advance(bands_->bands);
    }
    return known(col, row);
}

} // namespace explorer::engine
