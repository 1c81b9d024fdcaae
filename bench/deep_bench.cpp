// Speed of the deep zoom, as ratios against a peer measured in the same
// run: the perturbation kernel against the plain double kernel (same lanes,
// same thread), the extended exponent against the same, the bilinear table
// against every step iterated near a small copy at 1e100, the reference
// orbit's time at 1e300 and 1e1000, and the peak memory of a render at
// 1e1000 with a million iterations (in a child process of its own).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <string>
#include <vector>

#include "direct_reference.h"
#include "exactness.h"
#include "explorer/engine/deep/deep_levels.h"
#include "explorer/engine/deep/pixel_perturbation.h"
#include "explorer/engine/escape.h"
#include "traced_pass.h"

namespace deep = explorer::deep;
namespace escape = explorer::escape;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void line(const char* what, double value, const char* target, bool met)
{
    std::printf("%-72s %10.3f  (target %s: %s)\n", what, value, target, met ? "met" : "NOT MET");
}

// The pixels of a w x h canvas over a view doubles resolve, as plane values
// and as differences from its centre.
struct Pixels {
    std::vector<double> cx, cy, dx, dy;
};

Pixels pixelsOf(double x0, double x1, double y0, double y1, int w, int h)
{
    Pixels p;
    const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const double x = x0 + c * (x1 - x0) / (w - 1), y = y1 + r * (y0 - y1) / (h - 1);
            p.cx.push_back(x);
            p.cy.push_back(y);
            p.dx.push_back(x - mx);
            p.dy.push_back(y - my);
        }
    return p;
}

// The processor time this thread has had: unlike the clock on the wall, it
// stands still while other programs on the shared machine have the core.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Iterations per second of processor time of one run of f, which returns
// the iterations it did.
template <class F> double rate(F f)
{
    const double t = threadSeconds();
    const double n = double(f());
    return n / (threadSeconds() - t);
}

// The kernels in the lanes of one instruction set; the targets are judged on
// the best the processor has, other sets are shown for comparison.
void kernelRatios(escape::Isa isa)
{
    const bool judged = isa == escape::bestIsa();
    // The spiral benchmark view with a deep limit, so that iterations, not
    // set-up, take the time.
    const std::int32_t maxIter = 4000;
    const Pixels p = pixelsOf(-0.7454, -0.7452, 0.1130, 0.11315, 320, 240);
    std::vector<std::int32_t> plainCounts(p.cx.size());

    deep::ReferenceOrbit orbit;
    std::atomic<bool> cancel{false};
    deep::Mpfr cx(128), cy(128);
    mpfr_set_d(cx.get(), (-0.7454 + -0.7452) / 2, MPFR_RNDN);
    mpfr_set_d(cy.get(), (0.1130 + 0.11315) / 2, MPFR_RNDN);
    deep::computeReferenceOrbit(cx, cy, 128, maxIter, true, cancel, {}, orbit);

    std::vector<std::int64_t> counts(p.cx.size());
    auto plainRun = [&] {
        escape::counts(isa, p.cx.data(), p.cy.data(), p.cx.size(), maxIter, plainCounts.data());
        return std::accumulate(plainCounts.begin(), plainCounts.end(), std::int64_t(0));
    };
    auto lanesRun = [&] {
        deep::perturbCounts(isa, orbit, p.dx.data(), p.dy.data(), std::int32_t(p.dx.size()),
                            maxIter, counts.data());
        return std::accumulate(counts.begin(), counts.end(), std::int64_t(0));
    };

    // The extended exponent: the same pixels 2^-3000 times as close to the
    // reference (a view near 1e900), in scaled lanes.
    std::vector<deep::Complex<deep::FloatExp>> wideDc(p.dx.size());
    for (std::size_t i = 0; i < p.dx.size(); ++i)
        wideDc[i] = {deep::FloatExp(p.dx[i]) * deep::FloatExp(1.0, -3000),
                     deep::FloatExp(p.dy[i]) * deep::FloatExp(1.0, -3000)};
    std::vector<deep::LaneExit> exits(p.dx.size());
    auto extendedRun = [&] {
        deep::perturbCountsScaled(isa, orbit, wideDc.data(), std::int32_t(wideDc.size()), maxIter,
                                  counts.data(), exits.data());
        std::int64_t steps = 0;
        for (std::size_t i = 0; i < counts.size(); ++i)
            steps += counts[i] >= 0 ? counts[i] : exits[i].n;
        return steps;
    };
    // The machine is shared: the three take turns, so that a burst of load
    // falls on all of them alike, and each is rated by its least disturbed
    // run.
    double plain = 0, lanes = 0, extended = 0;
    for (int round = 0; round < 30; ++round) {
        plain = std::max(plain, rate(plainRun));
        lanes = std::max(lanes, rate(lanesRun));
        extended = std::max(extended, rate(extendedRun));
    }
    long handedOut = 0;
    for (std::int64_t c : counts)
        handedOut += c < 0;
    std::printf("%s lanes, 1 thread, M pixel-iterations/s: plain double kernel %.0f, "
                "perturbation %.0f, extended exponent %.1f\n",
                escape::name(isa), plain / 1e6, lanes / 1e6, extended / 1e6);
    if (!judged) {
        std::printf(
            "  (for comparison) perturbation / plain %.3f, extended exponent / plain %.3f\n",
            lanes / plain, extended / plain);
        return;
    }
    line("perturbation kernel / plain double kernel (pixel-iterations per second)", lanes / plain,
         ">= 0.40", lanes / plain >= 0.40);
    std::printf("scaled lanes handed %ld of %zu pixels to the scalar path\n", handedOut,
                counts.size());
    line("extended exponent (differences near 1e-900) / plain double kernel", extended / plain,
         ">= 0.10", extended / plain >= 0.10);
}

void tableRatio()
{
    // A small copy of the set about 1e-100 across, found by Newton's method
    // from a point 1e-50 off c = i; the view around it, the nucleus (the
    // reference) at its centre.
    const deeptest::SmallCopy copy = deeptest::findSmallCopy(
        "1e-50", "1.00000000000000000000000000000000000000000000000000000000000000001", -51, 420,
        1000);
    const deep::DeepView view = deeptest::viewAround(copy.re, copy.im, copy.log10Size + 0.6);
    std::printf("small copy of period %d, size 1e%.1f; view at magnification 1e%.1f\n", copy.period,
                copy.log10Size, view.log10Magnification());
    const int w = 1080, h = 810;
    std::atomic<bool> cancel{false};
    deep::DeepOptions o;
    o.maxIter = 100000;
    auto t = Clock::now();
    const deep::DeepLevels withTable = deep::computeDeepLevels(view, w, h, o, cancel);
    const double tableTime = seconds(t);
    std::printf("1080x810 at 1e100, 100000 iterations, with the table: %.2f s (reference %.2f s, "
                "table %.2f s, %zu MB)\n",
                tableTime, withTable.referenceSeconds, withTable.tableSeconds,
                withTable.tableBytes >> 20);
    // Without the table every step of every pixel is iterated: every 8th
    // row only, against the same rows with the table.
    o.rowStride = 8;
    t = Clock::now();
    const deep::DeepLevels sampledTable = deep::computeDeepLevels(view, w, h, o, cancel);
    const double sampledTableTime = sampledTable.pixelSeconds;
    o.useBla = false;
    const deep::DeepLevels sampledSteps = deep::computeDeepLevels(view, w, h, o, cancel);
    long different = 0, pixels = 0;
    for (int r = 0; r < h; r += 8)
        for (int c = 0; c < w; ++c) {
            ++pixels;
            different += sampledTable.level(c, r) != sampledSteps.level(c, r);
        }
    std::printf("every 8th row: pixels with the table %.2f s, every step iterated %.2f s; %.3f %% "
                "of pixels equal\n",
                sampledTableTime, sampledSteps.pixelSeconds,
                100.0 * (1 - double(different) / double(pixels)));
    line("every step iterated / with the table (time of the pixels, 1e100, 100000 it.)",
         sampledSteps.pixelSeconds / sampledTableTime, ">= 10",
         sampledSteps.pixelSeconds / sampledTableTime >= 10);
}

void referenceTimes()
{
    for (const int depth : {300, 1000}) {
        // Inside the main cardioid, so that the orbit runs the whole limit,
        // at a centre of as many digits as the depth.
        const deep::DeepView view = deeptest::viewAround(
            "-0.1234567890123456789012345678901234567890123456789",
            "0.1234567890123456789012345678901234567890123456789", -depth, 0.1, 0.1);
        const mpfr_prec_t bits = view.precisionFor(1080, 810);
        deep::ReferenceOrbit orbit;
        std::atomic<bool> cancel{false};
        const auto t = Clock::now();
        deep::computeReferenceOrbit(view.centreX(), view.centreY(), bits, 100000, true, cancel, {},
                                    orbit);
        const double s = seconds(t);
        char what[120];
        std::snprintf(what, sizeof what, "reference orbit, 100000 iterations at 1e%d (%ld bits), s",
                      depth, long(bits));
        line(what, s, depth == 300 ? "< 1 s" : "< 5 s", s < (depth == 300 ? 1.0 : 5.0));
    }
}

void peakMemory()
{
    // In a child, so that nothing else this bench did counts (and with
    // nothing left in the output buffer for it to print again).
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const deep::DeepView view = deeptest::viewAround(
            "-0.1234567890123456789012345678901234567890123456789",
            "0.1234567890123456789012345678901234567890123456789", -1000, 0.1, 0.1);
        std::atomic<bool> cancel{false};
        deep::DeepOptions o;
        o.maxIter = 1000000;
        const auto t = Clock::now();
        const deep::DeepLevels out = deep::computeDeepLevels(view, 1080, 810, o, cancel);
        std::printf("1080x810 at 1e1000, 1000000 iterations: %.1f s (reference %.1f s, table "
                    "%.1f s, pixels %.1f s), orbit %zu MB, table %zu MB\n",
                    seconds(t), out.referenceSeconds, out.tableSeconds, out.pixelSeconds,
                    out.orbitBytes >> 20, out.tableBytes >> 20);
        std::fflush(stdout);
        _exit(out.levels.empty() ? 1 : 0);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double mb = double(usage.ru_maxrss) / 1024.0;
    line("peak memory at 1e1000 with 1000000 iterations, MB", mb, "< 300",
         mb < 300 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "kernel") {
        kernelRatios(escape::bestIsa());
        if (escape::bestIsa() != escape::Isa::Avx2 && escape::supported(escape::Isa::Avx2))
            kernelRatios(escape::Isa::Avx2);
    }
    if (only.empty() || only == "reference")
        referenceTimes();
    if (only.empty() || only == "memory")
        peakMemory();
    if (only.empty() || only == "table")
        tableRatio();
    return 0;
}
