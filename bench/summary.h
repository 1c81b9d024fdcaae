// What the render benchmark gathers for its summary, and the summary itself:
// the results of each kind of pass, keyed by view and canvas, and the lines
// printed after the table. Filled and read on the benchmark's one thread.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "reference_render.h"

namespace zelmar_bench {

using reference::NamedView;
inline constexpr const auto& Views = reference::BenchmarkViews;

// The canvas of a screen rows high: as wide as that, three quarters as high.
struct Canvas {
    int width, height;
    std::string name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

// Deep limits: the window's pass at a higher iteration limit, with the
// engine and without it (one pixel at a time, the plain pass), which must
// agree to the last byte.
inline constexpr int DeepLimit = 4096;
inline constexpr const char* DeepViews[] = {"spiral", "seahorse"};
inline const std::string DeepPrefix = "deep" + std::to_string(DeepLimit);

// The views near the boundary at the window's highest limit, where a pass
// runs for seconds: how long it goes without answering the window system.
inline constexpr int MillionLimit = 1000000;
inline const std::string DeepMillionPrefix = "deep-1e6/";

// Per view and canvas, the median over the "&Go" passes of: the time from
// the click to the first turn of events after the first row is painted (the
// first at which every pixel of row 0 is done: the pass paints a row as soon
// as it has evaluated it), and the longest time between two turns of events
// (the pass also answers inside a row), the click and the end of the pass
// counting as turns.
struct Responsiveness {
    double firstRowMs = 0, maxGapMs = 0;
};

// Whether a pass matched the reference (or the plain pass), keyed
// "view canvas" + " fast" / " fast1" / " go".
extern std::map<std::string, bool> sameAsReference;
// The 4096-limit passes' identity, keyed "view canvas".
extern std::map<std::string, bool> deepIdentical;
extern std::map<std::string, Responsiveness> responsiveness;
// Peak of the whole process while the "&Go" pass of a view and canvas ran
// (the window, its canvas, the grids, the cache and the toolkit itself).
extern std::map<std::string, double> peakMemory;

// The key of a "&Go" pass's results: the view and canvas, and the limit
// where it is not the reference's.
std::string goKey(const NamedView& v, const Canvas& canvas, int limit);

// The console table, and the fastest time of each benchmark (over
// repetitions, when asked for) in milliseconds.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double t =
                run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond   ? 1.0
                                             : run.time_unit == benchmark::kMicrosecond ? 1e-3
                                             : run.time_unit == benchmark::kNanosecond  ? 1e-6
                                                                                        : 1e3);
            auto [it, inserted] = ms.emplace(run.run_name.function_name, t);
            if (!inserted && t < it->second)
                it->second = t;
        }
    }
};

std::string millis(const std::map<std::string, double>& ms, const std::string& name);

// The summary lines after the table: per view and canvas, the times and
// identity; the threads=1 lines; the deep lines; peak memory.
void printSummary(const SummaryReporter& reporter, const std::vector<Canvas>& canvases);

} // namespace zelmar_bench
