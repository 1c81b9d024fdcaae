// The render engine on its own: armed with the plane values of a view, it
// must know the level of every pixel the plain pass iterates, and every
// level it knows must be the reference's, for each instruction set this
// build holds. Also which of those this processor could not run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "explorer/engine/escape.h"
#include "explorer/engine/level_engine.h"
#include "reference_render.h"

namespace escape = explorer::escape;
using explorer::engine::Isa;
using explorer::engine::LevelEngine;

using reference::boundaryPoint;

namespace {

constexpr Isa AllIsas[] = {Isa::Portable, Isa::Avx2, Isa::Avx512};

std::string describe(const reference::View& v, int width, int height, Isa isa)
{
    char text[220];
    std::snprintf(text, sizeof text, "%s: view %.17g %.17g %.17g %.17g on %dx%d", escape::name(isa),
                  v.xMin, v.xMax, v.yMin, v.yMax, width, height);
    return text;
}

// What the engine got wrong on one view: levels the pass iterates that it
// cannot tell even when asked, and levels it knows that differ from the
// iteration's; and how many it had left inside regions it took for the
// pass to fill, which the pass asks for all the same.
struct Faults {
    long unknown = 0, wrong = 0, known = 0, askedInside = 0;
};

Faults check(LevelEngine& engine, const reference::Picture& ref)
{
    Faults f;
    for (int r = 0; r < ref.height; ++r)
        for (int c = 0; c < ref.width; ++c) {
            if (ref.evaluated[c][r] && !engine.known(c, r)) {
                // Left to the pass's fill, but the pass looks at it: asking
                // must work it out, and exactly.
                ++f.askedInside;
                if (!engine.settle(c, r) || !engine.known(c, r))
                    ++f.unknown;
            }
            if (engine.known(c, r)) {
                ++f.known;
                if (engine.level(c, r) != reference::level(ref.xs[c], ref.ys[r]))
                    ++f.wrong;
            }
        }
    // The eight-pixel query says the same as the single ones.
    for (int r = 0; r < ref.height; ++r)
        for (int c = 0; c + 8 <= ref.width; c += 3) {
            const LevelEngine::Eight e = engine.eight(c, r);
            for (int i = 0; i < 8; ++i) {
                const bool known = e.known >> i & 1;
                f.wrong += known != engine.known(c + i, r);
                if (known)
                    f.wrong += std::uint8_t(e.levels >> (8 * i)) != engine.level(c + i, r);
            }
        }
    return f;
}

// Pool sizes the exactness tests run with: the pass's thread alone, with
// one helper, and more threads than this machine has cores.
constexpr int PoolSizes[] = {1, 2, 3, 8};

void expectExact(const reference::View& v, int width, int height)
{
    const reference::Picture ref = reference::render(v, width, height);
    for (Isa isa : AllIsas) {
        if (!escape::supported(isa))
            continue; // said by EveryCompiledInstructionSetRan
        for (int threads : PoolSizes)
            for (LevelEngine::Way way : {LevelEngine::Way::Parts, LevelEngine::Way::Bands}) {
                const std::string what = describe(v, width, height, isa) + ", " +
                                         std::to_string(threads) + " threads, " +
                                         (way == LevelEngine::Way::Parts ? "parts" : "bands");
                LevelEngine engine;
                engine.setIsa(isa);
                engine.setThreads(threads);
                engine.setWay(way);
                ASSERT_TRUE(engine.arm(ref.xs, ref.ys, 256, 255)) << what;
                engine.prepareRows(height - 1);
                const Faults f = check(engine, ref);
                EXPECT_EQ(f.unknown, 0)
                    << what << ": levels the pass iterates that the engine does not know";
                EXPECT_EQ(f.wrong, 0) << what;
                EXPECT_GT(f.known, 0) << what;
            }
    }
}

TEST(Engine, KnowsEveryLevelThePassIteratesOnRandomViews)
{
    std::mt19937_64 rng(91);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int i = 0; i < 150; ++i) {
        // Sizes that end in a part segment and that split into bands.
        const int width = i % 10 == 0 ? 150 + int(unit(rng) * 100) : 2 + int(unit(rng) * 60);
        const int height = i % 10 == 0 ? 100 + int(unit(rng) * 100) : 2 + int(unit(rng) * 45);
        double cx, cy, w;
        if (i % 3 != 2) { // a zoom at the boundary, any depth
            std::tie(cx, cy) = boundaryPoint(unit(rng) * 2 * M_PI);
            w = std::pow(10.0, -0.5 - unit(rng) * 11.5);
        } else { // anywhere, any scale
            cx = -2.5 + unit(rng) * 3.5;
            cy = -1.5 + unit(rng) * 3;
            w = std::pow(10.0, -3 + unit(rng) * 4);
        }
        reference::View v{cx - w / 2, cx + w / 2, cy - w * 3 / 8, cy + w * 3 / 8};
        if (unit(rng) < 0.25)
            std::swap(v.xMin, v.xMax);
        expectExact(v, width, height);
        if (HasFailure())
            return;
    }
}

TEST(Engine, KnowsEveryLevelThePassIteratesOnTheBenchmarkViews)
{
    for (const reference::NamedView& named : reference::BenchmarkViews) {
        const reference::View& v = named.view;
        expectExact(v, 203, 149);
        expectExact(v, 320, 240);
    }
}

// Parts the sample puts well inside the set are left to the pass's fill:
// whatever it asks for there all the same must be worked out exactly, a
// pixel alone at first and the whole part once it asks for many. One engine
// arms view after view, so levels left from the last one would show.
TEST(Engine, PartsInsideTheSetAreWorkedOutOnlyWhenAsked)
{
    for (int threads : {1, 2}) {
        LevelEngine engine;
        engine.setThreads(threads);
        engine.setWay(LevelEngine::Way::Parts);
        for (const char* name : {"seahorse", "elephant"}) {
            const reference::NamedView* named = nullptr;
            for (const reference::NamedView& v : reference::BenchmarkViews)
                if (std::string(v.name) == name)
                    named = &v;
            ASSERT_NE(named, nullptr) << name;
            const reference::Picture ref = reference::render(named->view, 768, 640);
            const std::string what =
                std::string(name) + ", " + std::to_string(threads) + " threads";
            ASSERT_TRUE(engine.arm(ref.xs, ref.ys, 256, 255)) << what;
            engine.prepareRows(ref.height - 1);
            EXPECT_GT(engine.stats().innerParts, 0) << what << ": no part left to the fill";
            const Faults f = check(engine, ref);
            EXPECT_EQ(f.unknown, 0) << what;
            EXPECT_EQ(f.wrong, 0) << what;
            // Every pixel asked for, row by row: inside the inner parts too.
            long unknown = 0, wrong = 0;
            for (int r = 0; r < ref.height; ++r)
                for (int c = 0; c < ref.width; ++c) {
                    if (!engine.known(c, r) && !engine.settle(c, r)) {
                        ++unknown;
                        continue;
                    }
                    wrong += engine.level(c, r) != reference::level(ref.xs[c], ref.ys[r]);
                }
            EXPECT_EQ(unknown, 0) << what;
            EXPECT_EQ(wrong, 0) << what;
        }
    }
}

TEST(Engine, UnarmedKnowsNothing)
{
    LevelEngine engine;
    const std::vector<double> xs{-1, 0, 1}, ys{0.5, 0};
    EXPECT_FALSE(engine.known(0, 0));
    ASSERT_TRUE(engine.arm(xs, ys, 256, 255));
    engine.prepareRows(1);
    EXPECT_TRUE(engine.known(0, 0)); // an edge pixel of c = -1 + 0.5i
    EXPECT_FALSE(engine.known(-1, 0));
    EXPECT_FALSE(engine.known(3, 0));
    EXPECT_FALSE(engine.known(0, 2));
    engine.release();
    EXPECT_FALSE(engine.armed());
    EXPECT_FALSE(engine.known(0, 0));
    // A point that could overflow leaves the pass to iterate (and report).
    const std::vector<double> far{-1, 1e200};
    EXPECT_FALSE(engine.arm(far, ys, 256, 255));
    EXPECT_FALSE(engine.known(0, 0));
    engine.setEnabled(false);
    EXPECT_FALSE(engine.arm(xs, ys, 256, 255));
}

// Nothing is worked out for the whole canvas before the first rows: rows
// become ready band by band (part row by part row) as they are asked for,
// and the levels are the same whichever order they were worked out in.
TEST(Engine, ReadiesRowsAsTheyAreAskedFor)
{
    const reference::View v{-0.75, -0.73, 0.1, 0.115};
    const reference::Picture ref = reference::render(v, 320, 480);
    for (LevelEngine::Way way : {LevelEngine::Way::Parts, LevelEngine::Way::Bands}) {
        const bool parts = way == LevelEngine::Way::Parts;
        LevelEngine engine;
        engine.setWay(way);
        ASSERT_TRUE(engine.arm(ref.xs, ref.ys, 256, 255));
        EXPECT_EQ(engine.readyRows(), 0);
        // (A helper may have worked out the first part already: only the
        // flood's rows are unknown until asked for.)
        if (!parts) {
            EXPECT_FALSE(engine.known(0, 0)); // not asked for yet
        }
        engine.prepareRows(0);
        const int first = engine.readyRows();
        EXPECT_GT(first, 0);
        EXPECT_LT(first, 480 / 2);
        EXPECT_TRUE(engine.known(0, 0));
        engine.prepareRows(first); // the next band
        EXPECT_GT(engine.readyRows(), first);
        EXPECT_LT(engine.readyRows(), 480);
        engine.prepareRows(479);
        EXPECT_EQ(engine.readyRows(), 480);
        const Faults f = check(engine, ref);
        EXPECT_EQ(f.unknown, 0);
        EXPECT_EQ(f.wrong, 0);
        // Released halfway, and armed again: the helpers are stopped and
        // the new arm starts from nothing.
        ASSERT_TRUE(engine.arm(ref.xs, ref.ys, 256, 255));
        engine.prepareRows(100);
        engine.release();
        EXPECT_EQ(engine.readyRows(), 0);
        EXPECT_FALSE(engine.known(0, 0));
    }
}

// The way is chosen per view: parts along the boundary, where escaping
// points run long; the flood where they stop at once or nearly all is of
// the set, and at limits where a pixel of the set costs too much.
TEST(Engine, ChoosesItsWayByTheView)
{
    struct Case {
        const char* name;
        int maxIter;
        bool parts;
    };
    const Case cases[] = {{"spiral", 256, true}, {"seahorse", 256, true}, {"spiral", 5000, false},
                          {"start", 256, false}, {"empty", 256, false},   {"interior", 256, false}};
    for (const Case& c : cases) {
        const auto* named = std::find_if(
            std::begin(reference::BenchmarkViews), std::end(reference::BenchmarkViews),
            [&](const reference::NamedView& n) { return std::string(n.name) == c.name; });
        ASSERT_NE(named, std::end(reference::BenchmarkViews)) << c.name;
        const reference::Picture ref = reference::render(named->view, 320, 240);
        LevelEngine engine;
        ASSERT_TRUE(engine.arm(ref.xs, ref.ys, c.maxIter, 255)) << c.name;
        EXPECT_EQ(engine.inParts(), c.parts) << c.name << " at " << c.maxIter;
    }
}

// Which kernels were compiled in and which of them the tests above ran. A
// processor that lacks one must not pass as if it had been tested: this
// fails, unless ZELMAR_UNTESTED_ISA_OK=1 says that is known and accepted.
TEST(Engine, EveryCompiledInstructionSetRan)
{
    std::string compiledList, ranList, missing;
    for (Isa isa : AllIsas) {
        if (!escape::compiled(isa))
            continue;
        compiledList += std::string(compiledList.empty() ? "" : " ") + escape::name(isa);
        if (escape::supported(isa))
            ranList += std::string(ranList.empty() ? "" : " ") + escape::name(isa);
        else
            missing += std::string(missing.empty() ? "" : " ") + escape::name(isa);
    }
    std::printf("escape kernels compiled: %s; run by these tests: %s\n", compiledList.c_str(),
                ranList.c_str());
    RecordProperty("compiled", compiledList);
    RecordProperty("ran", ranList);
    if (!missing.empty()) {
        const char* ok = std::getenv("ZELMAR_UNTESTED_ISA_OK");
        if (ok && std::string(ok) == "1")
            std::printf("NOT TESTED on this processor: %s\n", missing.c_str());
        else
            ADD_FAILURE() << "compiled but NOT TESTED on this processor: " << missing
                          << " (set ZELMAR_UNTESTED_ISA_OK=1 to accept)";
    }
}

} // namespace
