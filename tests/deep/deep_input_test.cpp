// What the deep render does with input it cannot or should not finish: a
// refusal with a message, or a computation that stops soon after it is
// cancelled, in each of its stages, and reports progress while it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>

#include "direct_reference.h"
#include "explorer/engine/deep/deep_levels.h"

namespace deep = explorer::deep;
using namespace std::chrono_literals;

namespace {

struct Refusal {
    const char* name;
    int width, height;
    std::int32_t maxIter;
    const char* message;
};

TEST(DeepInput, LimitsBeyondReachAreRefusedWithAMessage)
{
    const deep::DeepView view = deeptest::viewAround("0", "1", -1000);
    const Refusal cases[] = {
        {"eleven million iterations", 64, 48, 11'000'000, "iteration limit"},
        {"no iterations", 64, 48, 0, "iteration limit"},
        {"one column", 1, 48, 1000, "canvas"},
        {"too wide", 70000, 2, 1000, "canvas"},
    };
    for (const Refusal& c : cases) {
        deep::DeepOptions o;
        o.maxIter = c.maxIter;
        std::atomic<bool> cancel{false};
        const deep::DeepLevels out = deep::computeDeepLevels(view, c.width, c.height, o, cancel);
        EXPECT_NE(out.error.find(c.message), std::string::npos) << c.name << ": " << out.error;
        EXPECT_TRUE(out.levels.empty()) << c.name;
    }
}

// Runs a computation on another thread, cancels it once `stage` has been
// reported `reports` times (progress comes a tenth of a second apart at
// most), and says whether it stopped, cancelled, soon after.
void expectCancelledIn(const deep::DeepView& view, int width, int height,
                       const deep::DeepOptions& o, deep::DeepStage stage, int reports)
{
    std::atomic<bool> cancel{false};
    std::mutex m;
    std::vector<deep::DeepStage> stages;
    auto progress = [&](deep::DeepStage s, double fraction) {
        EXPECT_GE(fraction, 0.0);
        EXPECT_LE(fraction, 1.0);
        std::lock_guard lock(m);
        stages.push_back(s);
        if (s == stage && --reports == 0)
            cancel = true;
    };
    auto run = std::async(std::launch::async, [&] {
        return deep::computeDeepLevels(view, width, height, o, cancel, progress);
    });
    // The stage is reached within seconds; then the computation must stop.
    const auto status = run.wait_for(120s);
    ASSERT_EQ(status, std::future_status::ready) << "no answer two minutes after starting";
    const deep::DeepLevels out = run.get();
    EXPECT_TRUE(cancel) << "the stage was never reported";
    EXPECT_TRUE(out.cancelled);
    EXPECT_TRUE(out.levels.empty());
}

TEST(DeepInput, AMillionIterationsAt1e1000StopWhenCancelledInTheReference)
{
    deep::DeepOptions o;
    o.maxIter = 1'000'000;
    // Centred on c = i: the reference never escapes and runs the whole limit.
    expectCancelledIn(deeptest::viewAround("0", "1", -1000), 64, 48, o,
                      deep::DeepStage::ReferenceOrbit, 3);
}

TEST(DeepInput, AMillionIterationsAt1e1000StopWhenCancelledAmongThePixels)
{
    deep::DeepOptions o;
    o.maxIter = 1'000'000;
    o.useBla = false; // every step of every pixel iterated: the slowest there is
    // A reference that escapes early (a point off the set): its orbit is
    // short, and the pixels of the set around c = i run to the limit.
    expectCancelledIn(deeptest::viewAround("0", "1", -1000, 0.3, 0.2), 64, 48, o,
                      deep::DeepStage::Pixels, 1);
}

TEST(DeepInput, AViewNear1e100000StopsWhenCancelled)
{
    deep::DeepOptions o;
    o.maxIter = 1'000'000;
    std::string error;
    const std::string tail = std::string(99990, '0') + "1";
    const auto view = deep::DeepView::fromText("0", "1e-99990", "1", "1." + tail, &error);
    ASSERT_TRUE(view) << error;
    EXPECT_GT(view->log10Magnification(), 99990);
    expectCancelledIn(*view, 16, 12, o, deep::DeepStage::ReferenceOrbit, 2);
}

TEST(DeepInput, TheTableStopsWhenCancelled)
{
    deep::ReferenceOrbit orbit;
    std::atomic<bool> cancel{false};
    deep::Mpfr cx(64), cy(64);
    // Inside the main cardioid: the orbit runs the whole limit.
    mpfr_set_d(cx.get(), -0.1, MPFR_RNDN);
    mpfr_set_d(cy.get(), 0.1, MPFR_RNDN);
    ASSERT_TRUE(deep::computeReferenceOrbit(cx, cy, 64, 300000, false, cancel, {}, orbit));
    ASSERT_GT(orbit.size(), 200000);
    deep::BlaTable<double> table;
    cancel = true;
    EXPECT_FALSE(table.build(orbit, 1e-10, 0x1p-53, cancel, {}));
    EXPECT_EQ(table.levels(), 0);
    cancel = false;
    EXPECT_TRUE(table.build(orbit, 1e-10, 0x1p-53, cancel, {}));
    EXPECT_GT(table.levels(), 16);
}

} // namespace
