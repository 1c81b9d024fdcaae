// Render speed of the explorer: for each view and canvas, (a) the plain
// scalar reference pass of the tests, (b) the window's pass without any
// widget work, on every hardware thread and on one, (c) the whole "&Go" pass
// through a shown window on the offscreen platform, with how long it took to
// paint its first row and the longest time it went without a turn of
// events, also at 1,000,000 iterations, and (d) a brute-force peer that
// iterates every pixel in the widest vector lanes in lock-step, on every
// hardware thread and on one. The summary lines after the table are
// summary.cpp's.
#include <QApplication>
#include <QAbstractEventDispatcher>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "explorer/engine/escape.h"
#include "explorer/form1.h"
#include "explorer_fixture.h"
#include "reference_render.h"
#include "summary.h"
#include "toolkit/runtime_error.h"

namespace {

using namespace zelmar_bench;

constexpr int ScreenHeights[] = {1080, 2160};

// A digest of a pass's result, every byte in row-major order.
struct Digest {
    std::uint64_t grids = 0, pixels = 0;
    bool operator==(const Digest&) const = default;
};

class Hasher {
public:
    void add(std::uint64_t v)
    {
        h_ = (h_ ^ v) * 0x100000001b3ull;
        h_ ^= h_ >> 29;
    }
    std::uint64_t value() const { return h_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325ull;
};

Digest digestOf(const reference::Picture& p)
{
    Hasher grids, pixels;
    for (int r = 0; r < p.height; ++r)
        for (int c = 0; c < p.width; ++c) {
            grids.add(std::uint64_t(p.level[c][r]) << 8 | p.done[c][r]);
            pixels.add(std::uint32_t(p.colour[std::size_t(r) * p.width + c]));
        }
    return {grids.value(), pixels.value()};
}

// The window's grids, and its pixels: the canvas when plotted, else the
// palette colours of the levels.
Digest digestOf(const explorer::Form1& form, bool plotted)
{
    Hasher grids, pixels;
    for (int r = 0; r <= form.LastRow; ++r)
        for (int c = 0; c <= form.LastCol; ++c) {
            grids.add(std::uint64_t(form.LevelGrid(c, r)) << 8 | form.DoneGrid(c, r));
            pixels.add(std::uint32_t(plotted ? form.Picture1->Point(c, r)
                                             : form.Palette[form.LevelGrid(c, r)]));
        }
    return {grids.value(), pixels.value()};
}

// Results gathered for the summary, keyed "view canvas".
std::map<std::string, Digest> referenceDigests;

Digest referenceDigest(const NamedView& v, const Canvas& canvas)
{
    const std::string key = std::string(v.name) + " " + canvas.name();
    auto it = referenceDigests.find(key);
    if (it == referenceDigests.end())
        it = referenceDigests
                 .emplace(key, digestOf(reference::render(v.view, canvas.width, canvas.height)))
                 .first;
    return it->second;
}

// ZELMAR_BENCH_WAY=parts or bands makes the engine work one way whatever
// the limit, to compare the two.
explorer::engine::LevelEngine::Way engineWay()
{
    using Way = explorer::engine::LevelEngine::Way;
    const QByteArray way = qgetenv("ZELMAR_BENCH_WAY");
    return way == "parts" ? Way::Parts : way == "bands" ? Way::Bands : Way::ByView;
}

std::unique_ptr<explorer::Form1> makeWindow(const NamedView& v, const Canvas& canvas, bool shown)
{
    auto form = testing_support::makeExplorer(canvas.width, canvas.height);
    form->Engine.setWay(engineWay());
    testing_support::setView(*form, v.view.xMin, v.view.xMax, v.view.yMin, v.view.yMax);
    if (shown) {
        form->show();
        QCoreApplication::processEvents();
    }
    return form;
}

void scalarPass(benchmark::State& state, NamedView v, Canvas canvas)
{
    reference::Picture picture;
    for (auto _ : state) {
        picture = reference::render(v.view, canvas.width, canvas.height);
        benchmark::DoNotOptimize(picture.evaluations);
    }
    referenceDigests[std::string(v.name) + " " + canvas.name()] = digestOf(picture);
    state.counters["evaluated"] = double(picture.evaluations);
}

// The brute-force peer: every pixel iterated, no tracing, in the widest
// vector kernel this processor runs, four vectors in flight whose lanes go
// on in lock-step until the last of them stops (no lane refill, no fused
// multiply-add), `threads` threads taking rows in turn. What the pass is
// measured against: what plain vector code does with the same arithmetic.
void peerPass(benchmark::State& state, NamedView v, Canvas canvas, int threads)
{
    namespace escape = explorer::escape;
    const reference::Picture ref = reference::render(v.view, canvas.width, canvas.height);
    const std::size_t width = std::size_t(canvas.width);
    std::vector<std::uint8_t> levels(width * std::size_t(canvas.height));
    auto rows = [&](int first) {
        std::vector<std::int32_t> counts(width);
        for (int row = first; row < canvas.height; row += threads) {
            // Capped at the limit itself, the capped kernel is the lock-step
            // one: every lane stops by then.
            escape::cappedCounts(escape::bestIsa(), ref.xs.data(), ref.ys[std::size_t(row)], width,
                                 256, 256, counts.data());
            std::uint8_t* out = levels.data() + std::size_t(row) * width;
            for (std::size_t col = 0; col < width; ++col)
                out[col] = std::uint8_t(counts[col] >= 256 ? 0 : counts[col] % 255 + 1);
        }
    };
    for (auto _ : state) {
        std::vector<std::thread> others;
        for (int t = 1; t < threads; ++t)
            others.emplace_back(rows, t);
        rows(0);
        for (std::thread& t : others)
            t.join();
        benchmark::DoNotOptimize(levels.data());
    }
    // The peer's levels are the reference's wherever the reference iterated.
    long wrong = 0;
    for (int r = 0; r < canvas.height; ++r)
        for (int c = 0; c < canvas.width; ++c)
            wrong += ref.evaluated[c][r] && levels[std::size_t(r) * width + c] != ref.level[c][r];
    state.counters["wrong"] = double(wrong);
    if (wrong)
        state.SkipWithError("the peer's levels differ from the reference");
}

// The reference digest is worked out before the window exists, so that the
// reference's memory is not added to the pass's.
void fastPass(benchmark::State& state, NamedView v, Canvas canvas, int threads)
{
    const Digest expected = referenceDigest(v, canvas);
    auto form = makeWindow(v, canvas, false);
    form->Engine.setThreads(threads);
    for (auto _ : state)
        form->EvaluatePass();
    sameAsReference[std::string(v.name) + " " + canvas.name() +
                    (threads == 1 ? " fast1" : " fast")] = digestOf(*form, false) == expected;
    const explorer::engine::EngineStats& stats = form->Engine.stats();
    state.counters["border"] = double(stats.borderPixels);
    state.counters["block"] = double(stats.blockPixels);
    state.counters["helper"] = double(stats.helperPixels);
    state.counters["asked_inside"] = double(stats.askedInside);
    state.counters["misses"] = double(stats.misses);
}

// Deep limits: the window's pass at a higher iteration limit, with the
// engine and without it (one pixel at a time, the plain pass), which must
// agree to the last byte. Keyed "view canvas limit"; the plain pass's digest
// is taken first.
std::map<std::string, Digest> plainDeepDigests;

void deepPass(benchmark::State& state, NamedView v, Canvas canvas, bool useEngine)
{
    auto form = makeWindow(v, canvas, false);
    form->MaxIter = DeepLimit;
    form->Engine.setEnabled(useEngine);
    for (auto _ : state)
        form->EvaluatePass();
    const std::string key = std::string(v.name) + " " + canvas.name();
    if (!useEngine)
        plainDeepDigests[key] = digestOf(*form, false);
    else if (const auto it = plainDeepDigests.find(key); it != plainDeepDigests.end())
        deepIdentical[key] = digestOf(*form, false) == it->second;
}

// The process's peak resident memory since resetPeakMemory, in MB (Linux).
void resetPeakMemory()
{
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f); // resets the peak to what is resident now
        std::fclose(f);
    }
}

double peakMemoryMb()
{
    double kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %lf kB", &kb) == 1)
                break;
        std::fclose(f);
    }
    return kb / 1024.0;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The plain pass's digest of a view at a limit other than the reference's:
// the window's pass with the engine off (every pixel one at a time), once.
std::map<std::string, Digest> plainDigests;

Digest plainDigest(const NamedView& v, const Canvas& canvas, int limit)
{
    const std::string key = std::string(v.name) + " " + canvas.name() + " " + std::to_string(limit);
    auto it = plainDigests.find(key);
    if (it == plainDigests.end()) {
        auto form = makeWindow(v, canvas, false);
        form->MaxIter = limit;
        form->Engine.setEnabled(false);
        form->EvaluatePass();
        it = plainDigests.emplace(key, digestOf(*form, false)).first;
    }
    return it->second;
}

void goPass(benchmark::State& state, NamedView v, Canvas canvas, int limit)
{
    using Clock = std::chrono::steady_clock;
    // Pixels are compared only at the reference's limit (the plain pass's
    // digest at another limit holds the grids alone, palette colours).
    const Digest expected =
        limit == 256 ? referenceDigest(v, canvas) : plainDigest(v, canvas, limit);
    resetPeakMemory();
    auto form = makeWindow(v, canvas, true);
    form->MaxIter = limit;
    std::vector<Clock::time_point> turns;
    // Every turn of events (the pass's yield and the window system's
    // answers inside a row) wakes the event dispatcher; a probe that adds no
    // work of its own to the turn, as a zero timer would.
    bool probing = false;
    // The first row counts from the pass's yield after painting it: its
    // pixels can all be known long before, from a trace that walked along
    // the canvas's top edge and goes on far below it.
    bool rowZeroPainted = false;
    Clock::time_point firstRow{};
    QObject::connect(form.get(), &explorer::Form1::rowDrawn, form.get(),
                     [&](std::int32_t row) { rowZeroPainted = rowZeroPainted || row == 0; });
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     form.get(), [&] {
                         if (!probing)
                             return;
                         turns.push_back(Clock::now());
                         if (firstRow == Clock::time_point{} && rowZeroPainted)
                             firstRow = turns.back();
                     });
    std::vector<double> firstRows, maxGaps;
    auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    for (auto _ : state) {
        turns.clear();
        turns.reserve(std::size_t(canvas.height) + 2);
        const Clock::time_point click = Clock::now();
        turns.push_back(click);
        firstRow = {};
        rowZeroPainted = false;
        probing = true;
        tk::guarded([&] { form->Command1_Click(); });
        turns.push_back(Clock::now());
        probing = false;
        firstRows.push_back(
            ms((firstRow == Clock::time_point{} ? turns.back() : firstRow) - click));
        double gap = 0;
        for (std::size_t i = 1; i < turns.size(); ++i)
            gap = std::max(gap, ms(turns[i] - turns[i - 1]));
        maxGaps.push_back(gap);
    }
    const std::string key = goKey(v, canvas, limit);
    responsiveness[key] = {median(firstRows), median(maxGaps)};
    if (limit == 256)
        peakMemory["view=" + std::string(v.name) + " canvas=" + canvas.name()] = peakMemoryMb();
    sameAsReference[key + " go"] = digestOf(*form, limit == 256) == expected;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" ZELMAR_BENCH_SCREEN);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    tk::setErrorReporter([](const tk::RuntimeError& e) {
        std::fprintf(stderr, "run-time error %d: %s\n", e.number(), e.what());
    });

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("escape kernel",
                                explorer::escape::name(explorer::escape::bestIsa()));

    std::vector<Canvas> canvases;
    for (int h : ScreenHeights)
        canvases.push_back({h, h * 3 / 4});
    for (const Canvas& canvas : canvases)
        for (const NamedView& v : Views) {
            const std::string suffix = std::string("/") + v.name + "/" + canvas.name();
            const int all = int(std::max(1u, std::thread::hardware_concurrency()));
            auto timed = [](benchmark::internal::Benchmark* b) {
                b->Unit(benchmark::kMillisecond)->UseRealTime();
            };
            timed(benchmark::RegisterBenchmark(("scalar" + suffix).c_str(), scalarPass, v, canvas));
            timed(benchmark::RegisterBenchmark(("fast" + suffix).c_str(), fastPass, v, canvas, 0));
            timed(benchmark::RegisterBenchmark(("go" + suffix).c_str(), goPass, v, canvas, 256));
            timed(
                benchmark::RegisterBenchmark(("peer" + suffix).c_str(), peerPass, v, canvas, all));
            timed(benchmark::RegisterBenchmark(("fast1" + suffix).c_str(), fastPass, v, canvas, 1));
            timed(benchmark::RegisterBenchmark(("peer1" + suffix).c_str(), peerPass, v, canvas, 1));
        }
    // At the highest limit a pass runs for seconds: one of each is enough.
    for (const NamedView& v : Views)
        for (const char* name : DeepViews)
            if (std::string(v.name) == name)
                benchmark::RegisterBenchmark(
                    ("go/" + DeepMillionPrefix + v.name + "/" + canvases[1].name()).c_str(), goPass,
                    v, canvases[1], MillionLimit)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime()
                    ->Iterations(1);

    for (const NamedView& v : Views)
        for (const char* name : DeepViews)
            if (std::string(v.name) == name) {
                const std::string suffix = std::string("/") + v.name + "/" + canvases[0].name();
                benchmark::RegisterBenchmark((DeepPrefix + "plain" + suffix).c_str(), deepPass, v,
                                             canvases[0], false)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
                benchmark::RegisterBenchmark((DeepPrefix + "fast" + suffix).c_str(), deepPass, v,
                                             canvases[0], true)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    printSummary(reporter, canvases);
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
