// The render engine in parts: squares of the canvas worked out whole by one
// thread each (part_job.h), in row order. Helper threads take the parts a
// few part rows ahead of the rows the pass has reached (and no further, so
// they soon rest while the pass waits in a pause); the pass's thread works
// out the parts it needs that nobody has taken, and waits for those a
// helper has. A part's pixels have one writer, the thread whose
// compare-and-swap claimed it; its state, stored with release order once it
// is worked out, is what lets the pass read them.
#include <algorithm>
#include <cstring>
#include <optional>

#include "level_engine_work.h"

namespace explorer::engine {

namespace {

// How many part rows beyond the one the pass has reached the helpers may
// work out.
constexpr std::int32_t PartRowsAhead = 16;
// Pixels of a part the sample put inside the set that the pass may ask for
// one by one (a trace looking one pixel in, say) before the part is worked
// out whole, as one the pass needs after all.
constexpr std::uint16_t InnerAsksBeforeWholePart = 16;

enum PartState : std::uint8_t { PartFree = 0, PartTaken = 1, PartDone = 2 };

} // namespace

PartRect LevelEngine::Parts::rectOf(std::size_t part) const
{
    const std::int32_t x0 = std::int32_t(part % partsPerRow) * PartSide;
    const std::int32_t y0 = std::int32_t(part / partsPerRow) * PartSide;
    return {x0, y0, std::min(x0 + PartSide, canvas.width), std::min(y0 + PartSide, canvas.height)};
}

bool LevelEngine::Parts::claim(std::size_t part)
{
    std::uint8_t expected = PartFree;
    return states[part].compare_exchange_strong(expected, PartTaken, std::memory_order_acq_rel);
}

void LevelEngine::Parts::finished(std::size_t part)
{
    states[part].store(PartDone, std::memory_order_release);
    {
        // Whoever waits for it checks the state under the mutex.
        const std::lock_guard lock(mutex);
    }
    changed.notify_all();
}

void LevelEngine::armParts(std::int32_t maxIter)
{
    static_assert(PartWorkedOut == PartDone);
    Parts& p = *parts_;
    const Common& c = *common_;
    const std::size_t width = std::size_t(width_), height = std::size_t(height_);
    const std::size_t pixels = width * height;
    // Levels are read only where known; each part clears its own known
    // bytes as it starts (on the thread that works it out, not here before
    // any helper runs), and nobody reads them before it is done.
    p.levels.resize(pixels);
    p.known.resize(pixels);
    p.partsPerRow = (width + PartSide - 1) / PartSide;
    p.parts = p.partsPerRow * ((height + PartSide - 1) / PartSide);
    if (p.stateRoom < p.parts) {
        p.states = std::make_unique<std::atomic<std::uint8_t>[]>(p.parts);
        p.stateRoom = p.parts;
    }
    for (std::size_t i = 0; i < p.parts; ++i)
        p.states[i].store(PartFree, std::memory_order_relaxed);
    p.stop = false;
    p.canvas = PartCanvas{.xs = c.xs.data(),
                          .ys = c.ys.data(),
                          .width = width_,
                          .height = height_,
                          .maxIter = maxIter,
                          .levelOfCount = c.levelOfCount.data(),
                          .levels = p.levels.data(),
                          .known = p.known.data(),
                          .isa = isa_,
                          .stop = &p.stop};
    p.readyParts = 0;
    p.nextPart = 0;
    p.demand = 0;
    p.edgeParts = edgeParts(c.samplePart, c.sampleCounts, maxIter, p.parts);
    p.nextEdgePart = 0;
    p.inner =
        innerParts(c.samplePart, c.sampleCounts, c.sampleColumns, maxIter, p.partsPerRow, p.parts);
    p.asks.assign(p.parts, 0);
    // Their known bytes are read as they are (no part of theirs is worked
    // out ahead to clear them); nobody else writes them.
    for (std::size_t part = 0; part < p.parts; ++part) {
        if (!p.inner[part])
            continue;
        ++stats_.innerParts;
        const PartRect r = p.rectOf(part);
        for (std::int32_t y = r.y0; y < r.y1; ++y)
            std::memset(p.known.data() + std::size_t(y) * width + std::size_t(r.x0), 0,
                        std::size_t(r.x1 - r.x0));
    }
    p.helperBorder = p.helperBlock = 0;
    partsPerRow_ = p.partsPerRow;
    levels_ = p.levels.data();
    known_ = p.known.data();
    partStates_ = p.states.get();
    startPartHelpers(
        std::size_t(std::min<std::int64_t>(threadCount() - 1, std::int64_t(p.parts) - 1)));
}

// The next part a helper takes, under the mutex: an edge part first, then
// the next in row order; none beyond PartRowsAhead part rows below the
// pass's demand, nor once every part is taken.
std::optional<std::size_t> LevelEngine::Parts::nextForHelper()
{
    const std::int32_t lastRow = demand + PartRowsAhead;
    while (nextEdgePart < edgeParts.size()) {
        const std::size_t part = edgeParts[nextEdgePart];
        if (std::int32_t(part / partsPerRow) > lastRow)
            break;
        ++nextEdgePart;
        if (states[part].load(std::memory_order_relaxed) == PartFree)
            return part;
    }
    skipInner();
    if (nextPart < parts && std::int32_t(nextPart / partsPerRow) <= lastRow)
        return nextPart++;
    return std::nullopt;
}

void LevelEngine::Parts::skipInner()
{
    while (nextPart < parts && inner[nextPart])
        ++nextPart;
}

void LevelEngine::startPartHelpers(std::size_t count)
{
    Parts& p = *parts_;
    if (p.helperScratch.size() < count)
        p.helperScratch.resize(count);
    auto run = [&p](std::size_t index) {
        PartScratch& scratch = p.helperScratch[index];
        PartJobCounts counts;
        std::unique_lock lock(p.mutex);
        for (;;) {
            std::optional<std::size_t> next;
            p.changed.wait(lock, [&] {
                return p.stop || p.nextPart >= p.parts || (next = p.nextForHelper());
            });
            if (p.stop || !next)
                break;
            const std::size_t part = *next;
            lock.unlock();
            if (p.claim(part) && workOutPart(p.canvas, p.rectOf(part), scratch, counts))
                p.finished(part);
            lock.lock();
        }
        p.helperBorder += counts.borderPixels;
        p.helperBlock += counts.blockPixels;
    };
    // Where fewer threads can be had, those there are (or the pass's thread
    // alone) work out every part.
    p.helping = crew().start(count, run) > 0;
}

void LevelEngine::stopPartHelpers()
{
    Parts& p = *parts_;
    {
        const std::lock_guard lock(p.mutex);
        p.stop = true;
    }
    p.changed.notify_all();
    if (p.helping)
        crew().finish();
    p.helping = false;
}

void LevelEngine::publishDemand(std::int32_t partRow)
{
    Parts& p = *parts_;
    {
        const std::lock_guard lock(p.mutex);
        if (partRow <= p.demand)
            return;
        p.demand = partRow;
    }
    p.changed.notify_all();
}

// Works out `part` here if nobody has taken it, else waits for whoever has;
// meanwhile this thread works out the parts next in line rather than idle.
// False when a pass nested in the wait hook armed the engine anew.
bool LevelEngine::workOutOrWait(std::size_t part)
{
    Parts& p = *parts_;
    auto workOut = [&](std::size_t which) {
        PartJobCounts counts;
        if (workOutPart(p.canvas, p.rectOf(which), p.passScratch, counts))
            p.finished(which);
        stats_.borderPixels += counts.borderPixels;
        stats_.blockPixels += counts.blockPixels;
    };
    if (p.states[part].load(std::memory_order_acquire) == PartDone)
        return true;
    if (p.claim(part)) {
        workOut(part);
        return true;
    }
    std::unique_lock lock(p.mutex);
    for (;;) {
        if (p.stop || p.states[part].load(std::memory_order_acquire) == PartDone)
            return true;
        p.skipInner();
        if (p.nextPart < p.parts &&
            std::int32_t(p.nextPart / p.partsPerRow) <= p.demand + PartRowsAhead) {
            const std::size_t next = p.nextPart++;
            lock.unlock();
            if (p.claim(next))
                workOut(next);
        } else if (answeringInline_) {
            p.changed.wait_for(lock, WaitSlice);
            lock.unlock();
        } else {
            p.changed.wait(lock);
            continue;
        }
        if (!answerIfDue())
            return false;
        lock.lock();
    }
}

// Works out (or waits for) every part of the first `partRows` part rows.
void LevelEngine::readyPartRows(std::int32_t partRows)
{
    Parts& p = *parts_;
    publishDemand(partRows - 1);
    const std::size_t needed = std::min(p.parts, std::size_t(partRows) * p.partsPerRow);
    for (; p.readyParts < needed; ++p.readyParts) {
        if (p.inner[p.readyParts])
            continue; // worked out only if the pass asks
        if (!workOutOrWait(p.readyParts) || p.stop)
            return;
        if (!answerIfDue())
            return;
    }
    readyRows_ = std::min(height_, partRows * PartSide);
}

void LevelEngine::prepareParts(std::int32_t row)
{
    const std::int32_t partRows = std::min(row, height_ - 1) / PartSide + 1;
    runWork([this, partRows] { readyPartRows(partRows); });
}

bool LevelEngine::settleInParts(std::int32_t col, std::int32_t row)
{
    const std::uint64_t generation = generation_;
    Parts& p = *parts_;
    const std::size_t part =
        std::size_t(row / PartSide) * partsPerRow_ + std::size_t(col / PartSide);
    if (p.inner[part] && !known(col, row) && !partDone(col, row) &&
        p.asks[part] < InnerAsksBeforeWholePart) {
        ++p.asks[part];
        ++stats_.askedInside;
        workOutPixel(p.canvas, col, row);
        return true;
    }
    if (!known(col, row) && !partDone(col, row)) {
        runWork([this, part] { workOutOrWait(part); });
        if (generation != generation_ || !partDone(col, row))
            return false; // armed anew from inside the wait hook, or stopped
    }
    if (known(col, row))
        return true;
    // Inside a region whose border is all of the set: the pass asks for a
    // pixel there only where its fill stops short (a trace looking one pixel
    // in from the border, say). Iterated alone: at the limits parts are
    // used for, that is quick.
    ++stats_.askedInside;
    workOutPixel(p.canvas, col, row);
    return true;
}

} // namespace explorer::engine
