// The engine's resting helper threads: every run of a start is done once, by
// threads that stay from one start to the next, and finish() waits for the
// slowest run. Also under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "explorer/engine/helper_crew.h"

namespace {

using explorer::engine::HelperCrew;

TEST(HelperCrew, EachRunOnceOnThreadsKeptFromStartToStart)
{
    HelperCrew crew;
    std::set<std::thread::id> firstThreads;
    for (int round = 0; round < 50; ++round) {
        const std::size_t count = round % 2 ? 3 : 2;
        std::vector<std::atomic<int>> done(count);
        std::vector<std::thread::id> ids(count);
        ASSERT_EQ(crew.start(count,
                             [&](std::size_t i) {
                                 // The last run is the slowest: finish() must
                                 // wait for it, not for the first to return.
                                 if (i + 1 == count)
                                     std::this_thread::sleep_for(std::chrono::microseconds(200));
                                 ids[i] = std::this_thread::get_id();
                                 done[i].fetch_add(1);
                             }),
                  count);
        crew.finish();
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(done[i].load(), 1) << "run " << i << " of round " << round;
        const std::set<std::thread::id> distinct(ids.begin(), ids.end());
        EXPECT_EQ(distinct.size(), count) << "round " << round;
        EXPECT_EQ(distinct.count(std::this_thread::get_id()), 0u);
        if (round == 1) {
            firstThreads = distinct;
        } else if (round > 1) {
            for (const std::thread::id id : distinct)
                EXPECT_EQ(firstThreads.count(id), 1u) << "a new thread in round " << round;
        }
    }
    EXPECT_EQ(crew.threads(), 3u);
}

// Runs that wait to be told to stop, as the engine's helper loops do: a new
// start waits for the runs of the last one, and no start at all needs no
// finish.
TEST(HelperCrew, StartAfterRunsThatEndOnlyWhenToldAndEmptyStarts)
{
    HelperCrew crew;
    crew.finish(); // nothing started: returns at once
    EXPECT_EQ(crew.start(0, [](std::size_t) { ADD_FAILURE() << "a run of an empty start"; }), 0u);
    crew.finish();

    std::atomic<bool> stop{false};
    std::atomic<int> ended{0};
    ASSERT_EQ(crew.start(2,
                         [&](std::size_t) {
                             while (!stop.load())
                                 std::this_thread::yield();
                             ended.fetch_add(1);
                         }),
              2u);
    std::thread teller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stop = true;
    });
    std::atomic<int> second{0};
    // This start finishes the two waiting runs first.
    ASSERT_EQ(crew.start(2, [&](std::size_t) { second.fetch_add(1); }), 2u);
    EXPECT_EQ(ended.load(), 2);
    crew.finish();
    EXPECT_EQ(second.load(), 2);
    teller.join();
}

} // namespace
