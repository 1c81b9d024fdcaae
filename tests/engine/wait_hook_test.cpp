// The engine's wait hook: while the pass's thread waits for levels, the
// work runs elsewhere and the hook is called in short slices; a hook that
// arms the engine anew (a pass nested in the window's answer) is survived.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "explorer/engine/level_engine.h"
#include "reference_render.h"

using explorer::engine::LevelEngine;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// A view along the boundary of the set at a high limit: its boundary
// pixels take long enough that the waits span many slices.
reference::Picture deepView(int width, int height)
{
    return reference::render({-0.75, -0.73, 0.1, 0.115}, width, height);
}

// The engine, armed anew from inside its hook for `plain`, knows every level
// that pass evaluates, and each exactly.
void expectAnswersFor(const LevelEngine& engine, const reference::Picture& plain,
                      const std::string& what)
{
    ASSERT_EQ(engine.width(), plain.width) << what;
    long unknown = 0, wrong = 0;
    for (int r = 0; r < plain.height; ++r)
        for (int c = 0; c < plain.width; ++c) {
            unknown += plain.evaluated[c][r] && !engine.known(c, r);
            wrong += engine.known(c, r) && engine.level(c, r) != plain.level[c][r];
        }
    EXPECT_EQ(unknown, 0) << what;
    EXPECT_EQ(wrong, 0) << what;
}

TEST(WaitHook, IsCalledInSlicesWhileTheLevelsAreWorkedOut)
{
    const reference::Picture ref = deepView(160, 120);
    for (int threads : {1, 2}) {
        LevelEngine engine;
        engine.setThreads(threads);
        int calls = 0;
        double longestGapMs = 0;
        Clock::time_point last = Clock::now();
        engine.setWaitHook([&] {
            ++calls;
            longestGapMs = std::max(longestGapMs, msSince(last));
            last = Clock::now();
        });
        ASSERT_TRUE(engine.arm(ref.xs, ref.ys, 1000000, 255));
        const Clock::time_point start = Clock::now();
        last = start;
        engine.prepareRows(119);
        const double waitedMs = msSince(start);
        EXPECT_EQ(engine.readyRows(), 120);
        // Levels below the limit are the reference's wherever it iterated
        // and stopped before 256 (its own limit).
        long wrong = 0;
        for (int r = 0; r < 120; ++r)
            for (int c = 0; c < 160; ++c)
                if (ref.evaluated[c][r] && ref.level[c][r] != 0 && engine.known(c, r))
                    wrong += engine.level(c, r) != ref.level[c][r];
        EXPECT_EQ(wrong, 0);
        // Slices of 10 ms over a few bands' waits: 100 ms of waiting calls
        // the hook, and (generously, for a loaded machine) it never lets a
        // second go by.
        if (waitedMs >= 100) {
            EXPECT_GE(calls, 1) << threads << " threads, waited " << waitedMs << " ms";
        } else {
            std::printf("WaitHook: only %.0f ms of waiting at %d threads: slices not checked\n",
                        waitedMs, threads);
        }
        EXPECT_LT(longestGapMs, 1000.0) << threads << " threads";
    }
}

TEST(WaitHook, SurvivesBeingArmedAnewFromInsideTheHook)
{
    const reference::Picture deep = deepView(160, 120);
    const reference::Picture plain = reference::render({-2.5, 1, -1.3125, 1.3125}, 96, 72);
    LevelEngine engine;
    engine.setThreads(2);
    bool armedAnew = false;
    engine.setWaitHook([&] {
        if (armedAnew)
            return;
        armedAnew = true;
        // What a pass nested in the window's answer does.
        engine.release();
        ASSERT_TRUE(engine.arm(plain.xs, plain.ys, 256, 255));
        engine.prepareRows(71);
    });
    ASSERT_TRUE(engine.arm(deep.xs, deep.ys, 1000000, 255));
    const std::uint64_t generation = engine.generation();
    engine.prepareRows(119);
    if (!armedAnew)
        GTEST_SKIP() << "the wait never reached a slice: nesting not tested";
    EXPECT_NE(engine.generation(), generation);
    // The engine now answers for the nested arm, exactly.
    expectAnswersFor(engine, plain, "");
}

// At low limits the parts are worked out on the pass's own thread, which
// then answers the hook between parts itself: the same promises hold on a
// canvas large enough for many slices, with one thread (all the work on the
// caller's) and two.
struct Plane {
    std::vector<double> xs, ys;
};

Plane seahorsePlane(int width, int height)
{
    Plane p;
    for (int c = 0; c < width; ++c)
        p.xs.push_back(-0.75 + 0.02 * c / (width - 1));
    for (int r = 0; r < height; ++r)
        p.ys.push_back(0.115 - 0.015 * r / (height - 1));
    return p;
}

// Parts or bands small enough for the pass's thread.
constexpr int InlineLimit = 400;
static_assert(std::int64_t(InlineLimit) * LevelEngine::PartSide * LevelEngine::PartSide <=
              LevelEngine::InlinePartIterations);
static_assert(InlineLimit <= LevelEngine::InlineBandLimit);

void expectInlineWorkAnswersAndSurvivesNesting(LevelEngine::Way way)
{
    constexpr int Limit = InlineLimit;
    const Plane big = seahorsePlane(2048, 1536);
    const reference::Picture plain = reference::render({-2.5, 1, -1.3125, 1.3125}, 96, 72);
    for (int threads : {1, 2}) {
        LevelEngine engine;
        engine.setThreads(threads);
        engine.setWay(way);
        int calls = 0;
        bool nest = false, armedAnew = false;
        double longestGapMs = 0;
        Clock::time_point last = Clock::now();
        engine.setWaitHook([&] {
            ++calls;
            longestGapMs = std::max(longestGapMs, msSince(last));
            last = Clock::now();
            if (!nest || armedAnew)
                return;
            armedAnew = true;
            engine.release();
            ASSERT_TRUE(engine.arm(plain.xs, plain.ys, 256, 255));
            engine.prepareRows(71);
        });
        // Answering: every part or band worked out, the hook called along
        // the way.
        ASSERT_TRUE(engine.arm(big.xs, big.ys, Limit, 255));
        const Clock::time_point start = Clock::now();
        last = start;
        engine.prepareRows(1535);
        const double waitedMs = msSince(start);
        EXPECT_EQ(engine.readyRows(), 1536);
        // A part or band takes a few milliseconds: four slices of work
        // without an answer would mean the work does not answer between them.
        if (waitedMs >= 4.0 * double(LevelEngine::WaitSlice.count()))
            EXPECT_GE(calls, 3) << threads << " threads, worked " << waitedMs << " ms";
        else
            std::printf("WaitHook: the pass's thread worked only %.0f ms at %d threads: "
                        "answers not checked\n",
                        waitedMs, threads);
        EXPECT_LT(longestGapMs, 1000.0) << threads << " threads";

        // Nesting: a pass armed anew from the hook ends the outer work, and
        // the engine answers exactly for the nested arm.
        nest = true;
        ASSERT_TRUE(engine.arm(big.xs, big.ys, Limit, 255));
        const std::uint64_t generation = engine.generation();
        engine.prepareRows(1535);
        if (!armedAnew) {
            ADD_FAILURE() << "the work never reached a slice at " << threads
                          << " threads: nesting not tested";
            continue;
        }
        EXPECT_NE(engine.generation(), generation);
        expectAnswersFor(engine, plain, std::to_string(threads) + " threads");
    }
}

TEST(WaitHook, PartsWorkedOutOnThePassThreadStillAnswerAndSurviveNesting)
{
    expectInlineWorkAnswersAndSurvivesNesting(LevelEngine::Way::Parts);
}

TEST(WaitHook, BandsFloodedOnThePassThreadStillAnswerAndSurviveNesting)
{
    expectInlineWorkAnswersAndSurvivesNesting(LevelEngine::Way::Bands);
}

// The hook is only ever called on the pass's thread: also when a pass
// nested in it (at a high limit) hands its work to another thread while the
// outer pass (at a low one) works its own on the pass's thread.
TEST(WaitHook, IsCalledOnThePassThreadOnlyWhenANestedPassHandsItsWorkOver)
{
    const Plane big = seahorsePlane(2048, 1536);
    const reference::Picture deep = deepView(160, 120);
    for (const LevelEngine::Way way : {LevelEngine::Way::Parts, LevelEngine::Way::Bands}) {
        const bool parts = way == LevelEngine::Way::Parts;
        LevelEngine engine;
        engine.setThreads(2);
        engine.setWay(way);
        const std::thread::id passThread = std::this_thread::get_id();
        int calls = 0, elsewhere = 0;
        bool nested = false;
        engine.setWaitHook([&] {
            ++calls;
            elsewhere += std::this_thread::get_id() != passThread;
            if (nested)
                return;
            nested = true;
            engine.release();
            ASSERT_TRUE(engine.arm(deep.xs, deep.ys, 1000000, 255));
            engine.prepareRows(119);
        });
        ASSERT_TRUE(engine.arm(big.xs, big.ys, InlineLimit, 255));
        engine.prepareRows(1535);
        if (!nested) {
            ADD_FAILURE() << (parts ? "parts" : "bands")
                          << ": the outer work never answered the hook: nesting not tested";
            continue;
        }
        EXPECT_GT(calls, 1) << (parts ? "parts" : "bands")
                            << ": the nested pass never answered the hook";
        EXPECT_EQ(elsewhere, 0) << (parts ? "parts" : "bands") << ": " << elsewhere << " of "
                                << calls << " calls on another thread";
    }
}

} // namespace
