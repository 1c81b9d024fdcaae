// A deep canvas computed row by row for a reader: the rows come in order and
// hold the levels the all-at-once computation gives, the workers never run
// further ahead of the reader than they are allowed, and the reference's
// length is known before the first pixel.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "direct_reference.h"
#include "explorer/engine/deep/deep_levels.h"

namespace deep = explorer::deep;
using namespace std::chrono_literals;

namespace {

constexpr int Width = 48, Height = 36;

// A view 1e-30 wide at c = i, a point of the boundary: about twenty
// levels.
deep::DeepView boundaryView()
{
    return deeptest::viewAround("0", "1", -30);
}

// The rows of `got` published so far equal those of `expected`.
bool sameRows(const deep::DeepLevels& got, const deep::DeepLevels& expected, int rows)
{
    return std::memcmp(got.levels.data(), expected.levels.data(), std::size_t(rows) * Width) == 0;
}

// Waits for `rows` rows of `feed` (or its end); fails rather than hangs.
std::int32_t waitFor(deep::DeepRowFeed& feed, std::int32_t rows)
{
    const auto giveUp = std::chrono::steady_clock::now() + 120s;
    std::int32_t ready = feed.readyRows();
    while (ready < rows && !feed.finished() && std::chrono::steady_clock::now() < giveUp)
        ready = feed.waitForRows(rows, 50ms);
    return ready;
}

struct RowsCase {
    const char* name;
    bool useBla, forceExtended;
    std::int32_t rowsAhead;
    unsigned threads;
};

class DeepRows : public ::testing::TestWithParam<RowsCase> {};

// A reader asking for one row at a time gets every row in order, with the
// levels of the all-at-once computation, and no worker ever holds a row
// beyond what it may.
TEST_P(DeepRows, ComeInOrderWithTheAllAtOnceLevels)
{
    const RowsCase& c = GetParam();
    deep::DeepOptions o;
    o.maxIter = 1000;
    o.useBla = c.useBla;
    o.forceExtended = c.forceExtended;
    o.threads = c.threads;
    const std::atomic<bool> cancel{false};
    const deep::DeepLevels expected =
        deep::computeDeepLevels(boundaryView(), Width, Height, o, cancel);
    ASSERT_TRUE(expected.error.empty()) << expected.error;
    ASSERT_GE(std::set<std::uint8_t>(expected.levels.begin(), expected.levels.end()).size(), 8u);

    deep::DeepRowFeed feed(c.rowsAhead);
    deep::DeepLevels got;
    std::thread worker([&] {
        deep::computeDeepLevelsInRows(boundaryView(), Width, Height, o, cancel, {}, feed, got);
    });
    for (std::int32_t row = 0; row < Height; ++row) {
        feed.ask(row + 1);
        const std::int32_t ready = waitFor(feed, row + 1);
        ASSERT_GT(ready, row) << "row " << row << " never came";
        EXPECT_LE(feed.rowsTaken(), row + 1 + c.rowsAhead) << row;
        EXPECT_TRUE(sameRows(got, expected, ready)) << "rows up to " << ready;
    }
    worker.join();
    EXPECT_TRUE(feed.finished());
    EXPECT_FALSE(got.cancelled);
    EXPECT_EQ(got.levels, expected.levels);
    EXPECT_EQ(got.counts, expected.counts);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeepRows,
                         ::testing::Values(RowsCase{"table", true, false, 3, 2},
                                           RowsCase{"noTable", false, false, 1, 3},
                                           RowsCase{"extended", true, true, 5, 2},
                                           RowsCase{"oneThread", true, false, 2, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// A reader that stops asking (a paused pass) leaves the workers idle once
// the rows they may take are done; cancelled then, the run ends and keeps
// the rows it published.
TEST(DeepRowFeed, AReaderThatStopsAskingLeavesTheWorkersIdle)
{
    deep::DeepOptions o;
    o.maxIter = 1000;
    o.threads = 3;
    std::atomic<bool> cancel{false};
    const deep::DeepLevels expected =
        deep::computeDeepLevels(boundaryView(), Width, Height, o, cancel);
    constexpr std::int32_t Asked = 2, Ahead = 4;
    deep::DeepRowFeed feed(Ahead);
    deep::DeepLevels got;
    std::thread worker([&] {
        deep::computeDeepLevelsInRows(boundaryView(), Width, Height, o, cancel, {}, feed, got);
    });
    feed.ask(Asked);
    EXPECT_EQ(waitFor(feed, Asked + Ahead), Asked + Ahead);
    EXPECT_EQ(feed.rowsTaken(), Asked + Ahead);
    EXPECT_EQ(feed.rowsInHand(), 0);
    EXPECT_FALSE(feed.finished());
    cancel = true;
    feed.wake();
    worker.join();
    EXPECT_TRUE(feed.finished());
    EXPECT_TRUE(got.cancelled);
    EXPECT_EQ(feed.readyRows(), Asked + Ahead);
    EXPECT_TRUE(sameRows(got, expected, Asked + Ahead));
}

// A held feed (a paused pass) keeps the computation resting: the reference
// orbit waits at its first report, no row is handed out; released, it runs
// to the very levels of the all-at-once computation. (A hold that does not
// work could go unseen on a machine too slow to start within the look; it
// cannot fail a working one.)
TEST(DeepRowFeed, AHeldFeedRestsUntilReleased)
{
    deep::DeepOptions o;
    o.maxIter = 1000;
    const std::atomic<bool> cancel{false};
    const deep::DeepLevels expected =
        deep::computeDeepLevels(boundaryView(), Width, Height, o, cancel);
    deep::DeepRowFeed feed;
    feed.hold(true);
    feed.ask(Height);
    deep::DeepLevels got;
    std::thread worker([&] {
        deep::computeDeepLevelsInRows(
            boundaryView(), Width, Height, o, cancel,
            [&](deep::DeepStage, double) { feed.waitWhileHeld(cancel); }, feed, got);
    });
    EXPECT_EQ(feed.waitForRows(1, 300ms), 0);
    EXPECT_EQ(feed.referenceIterations(), -1) << "the orbit went on while held";
    EXPECT_EQ(feed.rowsTaken(), 0);
    feed.hold(false);
    EXPECT_EQ(waitFor(feed, Height), Height);
    worker.join();
    EXPECT_EQ(got.levels, expected.levels);
}

// The reference's length is published before the table and the pixels,
// and not before the orbit is done.
TEST(DeepRowFeed, TheReferenceIsKnownBeforeThePixels)
{
    deep::DeepOptions o;
    o.maxIter = 5000;
    const std::atomic<bool> cancel{false};
    deep::DeepRowFeed feed;
    feed.ask(Height);
    deep::DeepLevels got;
    std::int64_t duringOrbit = -2, atTable = -2, atPixels = -2;
    deep::computeDeepLevelsInRows(
        boundaryView(), Width, Height, o, cancel,
        [&](deep::DeepStage stage, double) {
            std::int64_t& seen = stage == deep::DeepStage::ReferenceOrbit ? duringOrbit
                                 : stage == deep::DeepStage::BlaTable     ? atTable
                                                                          : atPixels;
            if (seen == -2)
                seen = feed.referenceIterations();
        },
        feed, got);
    ASSERT_GT(got.referenceIterations, 0);
    EXPECT_EQ(duringOrbit, -1);
    EXPECT_EQ(atTable, got.referenceIterations);
    EXPECT_EQ(atPixels, got.referenceIterations);
}

} // namespace
