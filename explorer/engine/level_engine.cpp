// The render engine's arm and release, and the choice between parts and
// bands: see level_engine.h. The pass's thread calls everything here; the
// wait hook may re-enter arm and release (a nested pass).
#include "level_engine.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "helper_crew.h"
#include "level_engine_work.h"
#include "sliced_wait.h"
#include "toolkit/scope_exit.h"

namespace explorer::engine {

namespace {

// Pixels are indexed in 32 bits, and the flood packs one into 32 bits.
constexpr std::int32_t MaxSide = 65535;
constexpr std::int32_t MaxIterations = 1000000; // the highest limit the window offers

// The sample that chooses the way: every pixel this many apart, across and
// down, from half that in.
constexpr std::int32_t SampleSpacing = 32;
// Escaping points that stop within about this many steps on average are
// done in the flood's first, cheap tier; parts would only add their
// bookkeeping.
constexpr double ShortRun = 24;
// A view this much of the set is mostly left alone by the flood, which
// never enters a region of the set; parts pay for the rings around it.
constexpr double MostlyInSet = 0.9;

bool safe(double v)
{
    return std::fabs(v) < escape::SafeCoordinate; // false for NaN too
}

} // namespace

LevelEngine::LevelEngine()
    : crew_(std::make_unique<HelperCrew>()), common_(std::make_unique<Common>()),
      parts_(std::make_unique<Parts>()), bands_(std::make_unique<Bands>()), isa_(escape::bestIsa())
{
}

LevelEngine::~LevelEngine()
{
    stopPartHelpers();
    stopBandHelpers();
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
    Common& c = *common_;
    c.xs.assign(xs.begin(), xs.end());
    c.ys.assign(ys.begin(), ys.end());
    c.maxIter = maxIter;
    c.levelOfCount.resize(std::size_t(maxIter) + 1);
    for (std::int32_t count = 0; count <= maxIter; ++count)
        c.levelOfCount[std::size_t(count)] =
            std::uint8_t(count >= maxIter ? 0 : count % colorCycle + 1);
    width_ = std::int32_t(width);
    height_ = std::int32_t(height);
    readyRows_ = 0;
    // Parts take the sample too, for the order they are worked out in.
    const bool sampled = maxIter <= PartsUpTo && way_ != Way::Bands;
    if (sampled) {
        takeSample(maxIter);
    } else {
        c.samplePart.clear();
        c.sampleCounts.clear();
    }
    inParts_ = way_ == Way::Parts || (way_ == Way::ByView && sampled && partsSuit(maxIter));
    workInline_ = inParts_ ? std::int64_t(maxIter) * PartSide * PartSide <= InlinePartIterations
                           : maxIter <= InlineBandLimit;
    lastAnswer_ = std::chrono::steady_clock::now();
    if (inParts_)
        armParts(maxIter);
    else
        armBands();
    return true;
}

void LevelEngine::release()
{
    // Work in progress in parts ends at its next look at the flag: a part
    // half done is dropped with the rest.
    Parts& p = *parts_;
    p.stop = true;
    {
        const std::lock_guard lock(p.mutex);
    }
    p.changed.notify_all();
    // Released from inside the wait hook (a nested pass): the work handed
    // to the other thread ends before anything it uses changes.
    if (slicedWait_)
        slicedWait_->finish();
    ++generation_;
    stopPartHelpers();
    stopBandHelpers();
    if (armed()) {
        Bands& b = *bands_;
        const std::int64_t border = inParts_ ? p.helperBorder : b.helperCheap;
        const std::int64_t block = inParts_ ? p.helperBlock : b.helperDeep;
        stats_.helperPixels = border + block;
        stats_.borderPixels += border;
        stats_.blockPixels += block;
        p.helperBorder = p.helperBlock = b.helperCheap = b.helperDeep = 0;
    }
    width_ = height_ = readyRows_ = 0;
    partsPerRow_ = segmentsPerRow_ = 0;
    levels_ = known_ = nullptr;
    partStates_ = nullptr;
}

std::int32_t LevelEngine::threadCount() const
{
    if (threads_ > 0)
        return threads_;
    return std::int32_t(std::max(1u, std::thread::hardware_concurrency()));
}

// A sample of the armed view, one point in SampleSpacing each way, counted
// (about 3,500 points at 2160x1620, well under a millisecond).
void LevelEngine::takeSample(std::int32_t maxIter)
{
    Common& c = *common_;
    const std::int32_t first = SampleSpacing / 2;
    std::vector<double>& cx = c.sampleX;
    std::vector<double>& cy = c.sampleY;
    cx.clear();
    cy.clear();
    c.samplePart.clear();
    const std::size_t partsPerRow = std::size_t((width_ + PartSide - 1) / PartSide);
    // The sample's row length is the points its first row takes.
    const std::int32_t firstRow = std::min(first, height_ / 2);
    c.sampleColumns = 0;
    for (std::int32_t row = firstRow; row < height_; row += SampleSpacing)
        for (std::int32_t col = std::min(first, width_ / 2); col < width_; col += SampleSpacing) {
            c.sampleColumns += row == firstRow;
            cx.push_back(c.xs[std::size_t(col)]);
            cy.push_back(c.ys[std::size_t(row)]);
            c.samplePart.push_back(std::uint32_t(std::size_t(row / PartSide) * partsPerRow +
                                                 std::size_t(col / PartSide)));
        }
    const std::size_t n = cx.size();
    c.sampleCounts.resize(n);
    escape::BatchScratch scratch = c.sampleBuffers.room(n);
    escape::batchCounts(isa_, cx.data(), cy.data(), n, maxIter, c.sampleCounts.data(), scratch);
}

// Whether parts suit the armed view better than the flood, from its sample:
// by measurement, the flood is quicker where the escaping points stop early
// (the start view, the whole set, views outside it) and where nearly all is
// of the set; parts where escaping points run long (views along the
// boundary).
bool LevelEngine::partsSuit(std::int32_t maxIter) const
{
    const Common& c = *common_;
    std::int64_t inSet = 0, escaped = 0, escapedSteps = 0;
    for (std::int32_t count : c.sampleCounts) {
        if (count >= maxIter) {
            ++inSet;
        } else {
            ++escaped;
            escapedSteps += count;
        }
    }
    return escaped > 0 && double(escapedSteps) >= ShortRun * double(escaped) &&
           double(inSet) < MostlyInSet * double(c.sampleCounts.size());
}

// Runs work that readies levels; with a wait hook, on another thread while
// this one waits and calls the hook.
void LevelEngine::runWork(const std::function<void()>& work)
{
    if (!waitHook_) {
        work();
        return;
    }
    // Whether the work answers the hook itself, between parts or bands: on
    // this thread only. Work handed to the other thread must not, even where
    // this pass is nested in the hook of one that does; a pass nested in
    // turn leaves the flag as it found it.
    const bool outer = answeringInline_;
    answeringInline_ = workInline_;
    const tk::ScopeExit restore{[&] { answeringInline_ = outer; }};
    if (workInline_) {
        work();
        return;
    }
    if (!slicedWait_)
        slicedWait_ = std::make_unique<SlicedWait>();
    // A copy: a pass nested in the hook sets a hook of its own meanwhile.
    const std::function<void()> hook = waitHook_;
    slicedWait_->run(work, hook, WaitSlice);
}

bool LevelEngine::answerIfDue()
{
    if (!answeringInline_ || !waitHook_)
        return true;
    if (std::chrono::steady_clock::now() - lastAnswer_ < WaitSlice)
        return true;
    const std::uint64_t generation = generation_;
    const std::function<void()> hook = waitHook_; // a nested pass sets its own
    hook();
    lastAnswer_ = std::chrono::steady_clock::now();
    return generation == generation_;
}

void LevelEngine::prepareRows(std::int32_t row)
{
    if (!armed() || row < readyRows_)
        return;
    if (inParts_)
        prepareParts(row);
    else
        prepareBands(row);
}

bool LevelEngine::settle(std::int32_t col, std::int32_t row)
{
    if (!armed() || std::uint32_t(col) >= std::uint32_t(width_) ||
        std::uint32_t(row) >= std::uint32_t(height_))
        return false;
    return inParts_ ? settleInParts(col, row) : settleInBands(col, row);
}

} // namespace explorer::engine
