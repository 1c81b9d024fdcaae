// The deep render's levels: reference, table, pixels; see deep_levels.h.
#include "explorer/engine/deep/deep_levels.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "explorer/engine/deep/pixel_perturbation.h"
#include "explorer/engine/deep/table_row.h"

namespace explorer::deep {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Limits beyond which a render is refused rather than started: the orbit
// and table of a longer reference would not fit in memory.
constexpr std::int64_t MaxIterations = 10'000'000;
constexpr std::int32_t MaxCanvasSide = 65535;

// Forwards progress at most ten times a second.
class ThrottledProgress {
public:
    ThrottledProgress(const DeepProgress& p, DeepStage s) : progress_(p), stage_(s) {}
    void operator()(double fraction)
    {
        if (!progress_)
            return;
        const auto now = Clock::now();
        if (fraction < 1.0 && now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        progress_(stage_, fraction);
    }

private:
    const DeepProgress& progress_;
    DeepStage stage_;
    Clock::time_point last_{};
};

template <class T> T fromMpfr(mpfr_srcptr x)
{
    if constexpr (std::is_same_v<T, double>)
        return mpfr_get_d(x, MPFR_RNDN);
    else
        return toFloatExp(x);
}

// The differences from the centre of every column and row.
template <class T>
void pixelDifferences(const DeepView& view, std::int32_t width, std::int32_t height,
                      mpfr_prec_t bits, const Mpfr& cx, const Mpfr& cy, std::vector<T>& dx,
                      std::vector<T>& dy)
{
    dx.resize(std::size_t(width));
    dy.resize(std::size_t(height));
    Mpfr d(bits + 64);
    for (std::int32_t c = 0; c < width; ++c) {
        const Mpfr x = view.column(c, width - 1, bits);
        mpfr_sub(d.get(), x.get(), cx.get(), MPFR_RNDN);
        dx[std::size_t(c)] = fromMpfr<T>(d.get());
    }
    for (std::int32_t r = 0; r < height; ++r) {
        const Mpfr y = view.row(r, height - 1, bits);
        mpfr_sub(d.get(), y.get(), cy.get(), MPFR_RNDN);
        dy[std::size_t(r)] = fromMpfr<T>(d.get());
    }
}

// Level 0 for points taken as in the set, else the count's place in the
// colour cycle.
std::uint8_t levelOf(std::int64_t count, const DeepOptions& o)
{
    return count >= o.maxIter ? 0 : std::uint8_t(count % o.colorCycle + 1);
}

template <class T>
void computePixels(const DeepView& view, const ReferenceOrbit& orbit, const Mpfr& cx,
                   const Mpfr& cy, const DeepOptions& o, const std::atomic<bool>& cancel,
                   const DeepProgress& progress, DeepRowFeed& feed, DeepLevels& out)
{
    const std::int32_t width = out.width, height = out.height;
    std::vector<T> dx, dy;
    pixelDifferences<T>(view, width, height, out.bits, cx, cy, dx, dy);

    BlaTable<T> table;
    if (o.useBla) {
        const auto start = Clock::now();
        // The farthest pixel from the centre is a corner; this bounds them all.
        const T dcMax = magnitude(Complex<T>{maxOf(absOf(dx.front()), absOf(dx.back())),
                                             maxOf(absOf(dy.front()), absOf(dy.back()))});
        ThrottledProgress report(progress, DeepStage::BlaTable);
        if (!table.build(orbit, dcMax, o.blaEpsilon, cancel, [&](double f) { report(f); })) {
            out.cancelled = true;
            return;
        }
        out.tableBytes = table.bytes();
        out.tableSeconds = secondsSince(start);
    }

    const bool lanes = !o.useBla && o.useLanes;
    const PixelContext<T> ctx{&orbit, o.useBla ? &table : nullptr, o.maxIter};
    const std::int32_t stride = std::max(o.rowStride, 1);
    const std::int32_t rows = (height + stride - 1) / stride;
    std::atomic<std::int32_t> rowsDone{0};

    auto work = [&](bool reporting) {
        std::vector<double> re, im;
        std::vector<Complex<FloatExp>> wide;
        std::vector<LaneExit> exits;
        ThrottledProgress report(progress, DeepStage::Pixels);
        for (;;) {
            // In row order: the reader draws the rows as they come.
            const std::int32_t i = feed.takeRow(cancel);
            if (i < 0)
                return;
            const std::int32_t r = i * stride;
            std::int64_t* counts = out.counts.data() + std::size_t(r) * std::size_t(width);
            if (lanes) {
                if constexpr (std::is_same_v<T, double>) {
                    re.assign(dx.begin(), dx.end());
                    im.assign(std::size_t(width), dy[std::size_t(r)]);
                    perturbCounts(o.isa, orbit, re.data(), im.data(), width, o.maxIter, counts);
                } else {
                    wide.resize(std::size_t(width));
                    exits.resize(std::size_t(width));
                    for (std::int32_t c = 0; c < width; ++c)
                        wide[std::size_t(c)] = {dx[std::size_t(c)], dy[std::size_t(r)]};
                    perturbCountsScaled(o.isa, orbit, wide.data(), width, o.maxIter, counts,
                                        exits.data());
                    // What the lanes handed out goes on in the scalar path.
                    for (std::int32_t c = 0; c < width; ++c) {
                        if (counts[c] >= 0)
                            continue;
                        if (cancel.load(std::memory_order_relaxed))
                            return;
                        const LaneExit& x = exits[std::size_t(c)];
                        const PixelStart<T> start{
                            {FloatExp(x.wr, x.e), FloatExp(x.wi, x.e)}, x.m, x.n};
                        counts[c] = perturbedCount<T>(ctx, wide[std::size_t(c)], start);
                    }
                }
            }
            // With the table, doubles cross whole periods in lanes.
            bool counted = false;
            if constexpr (std::is_same_v<T, double>) {
                if (o.useBla && o.useLanes) {
                    if (!countRowWithTable(o.isa, ctx, dx.data(), dy[std::size_t(r)], width, counts,
                                           cancel))
                        return;
                    counted = true;
                }
            }
            if (!lanes && !counted) {
                for (std::int32_t c = 0; c < width; ++c) {
                    if (cancel.load(std::memory_order_relaxed))
                        return;
                    counts[c] = perturbedCount<T>(ctx, {dx[std::size_t(c)], dy[std::size_t(r)]});
                }
            }
            if (cancel.load(std::memory_order_relaxed))
                return;
            std::uint8_t* levels = out.levels.data() + std::size_t(r) * std::size_t(width);
            for (std::int32_t c = 0; c < width; ++c)
                levels[c] = levelOf(counts[c], o);
            feed.rowDone(i);
            const std::int32_t done = rowsDone.fetch_add(1) + 1;
            if (reporting)
                report(double(done) / double(rows));
        }
    };

    if (progress)
        progress(DeepStage::Pixels, 0.0);
    const auto start = Clock::now();
    const unsigned threads =
        o.threads ? o.threads : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work, false);
    work(true);
    for (std::thread& t : helpers)
        t.join();
    out.pixelSeconds = secondsSince(start);
    if (cancel)
        out.cancelled = true;
}

} // namespace

bool needsExtendedExponent(const DeepView& view, std::int32_t, std::int32_t height)
{
    // Pixel spacing below about 1e-270: differences and their squares
    // would reach the subnormals.
    return view.log10Magnification() + std::log10(std::max(height, 1)) > 270.0;
}

DeepLevels computeDeepLevels(const DeepView& view, std::int32_t width, std::int32_t height,
                             const DeepOptions& o, const std::atomic<bool>& cancel,
                             const DeepProgress& progress)
{
    DeepLevels out;
    DeepRowFeed feed; // every row at once, nobody reading meanwhile
    feed.ask(DeepRowFeed::Unbounded);
    computeDeepLevelsInRows(view, width, height, o, cancel, progress, feed, out);
    if (out.cancelled)
        out.levels.clear();
    return out;
}

void computeDeepLevelsInRows(const DeepView& view, std::int32_t width, std::int32_t height,
                             const DeepOptions& o, const std::atomic<bool>& cancel,
                             const DeepProgress& progress, DeepRowFeed& feed, DeepLevels& out)
{
    // Whichever way this returns, a reader waiting for rows hears of it.
    struct Finish {
        DeepRowFeed& feed;
        ~Finish() { feed.finish(); }
    } finish{feed};
    out = DeepLevels();
    if (width < 2 || height < 2 || width > MaxCanvasSide || height > MaxCanvasSide) {
        out.error = "the canvas must be 2 to 65535 pixels wide and high";
        return;
    }
    if (o.maxIter < 1 || o.maxIter > MaxIterations || o.colorCycle < 1 || o.colorCycle > 255) {
        out.error = "the iteration limit must be 1 to 10,000,000";
        return;
    }
    out.width = width;
    out.height = height;
    out.bits = view.precisionFor(width, height);
    out.extended = o.forceExtended || needsExtendedExponent(view, width, height);
    out.counts.assign(std::size_t(width) * std::size_t(height), 0);
    // Rows a row stride skips keep count 0 and its level.
    out.levels.assign(out.counts.size(), levelOf(0, o));
    const std::int32_t stride = std::max(o.rowStride, 1);
    feed.begin((height + stride - 1) / stride);

    Mpfr cx = view.centreX(), cy = view.centreY();
    cx.setBits(out.bits);
    cy.setBits(out.bits);
    ReferenceOrbit orbit;
    {
        const auto start = Clock::now();
        ThrottledProgress report(progress, DeepStage::ReferenceOrbit);
        if (!computeReferenceOrbit(
                cx, cy, out.bits, o.maxIter, out.extended, cancel, [&](double f) { report(f); },
                orbit)) {
            out.cancelled = true;
            return;
        }
        out.referenceSeconds = secondsSince(start);
    }
    out.referenceIterations = orbit.size() - 1;
    out.referenceEscaped = orbit.escaped;
    out.orbitBytes = orbit.values.capacity() * 8 + orbit.wide.capacity() * sizeof(orbit.wide[0]);
    feed.publishReference(out.referenceIterations);
    if (out.extended)
        computePixels<FloatExp>(view, orbit, cx, cy, o, cancel, progress, feed, out);
    else
        computePixels<double>(view, orbit, cx, cy, o, cancel, progress, feed, out);
}

} // namespace explorer::deep
