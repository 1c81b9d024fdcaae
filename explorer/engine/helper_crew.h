// Threads that outlive the passes: the engine hands each pass's helper loop
// to them and waits for the loops to return, instead of starting and joining
// threads for every pass (some tens of microseconds each, on passes of one
// or two milliseconds). Owned by one caller; start() and finish() are never
// called from inside the work.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace explorer::engine {

class HelperCrew {
public:
    HelperCrew() = default;
    ~HelperCrew();
    HelperCrew(const HelperCrew&) = delete;
    HelperCrew& operator=(const HelperCrew&) = delete;

    // Waits, as finish() does, for the runs of the last start; then runs
    // work(0) to work(n - 1) at once on n threads of the crew, starting
    // more threads where it has fewer than `count`; n is `count` unless no
    // more threads could be had. Returns n. The work's runs must end on
    // their own (the caller tells them to); finish() waits for them. A run
    // that throws ends the program, as a thread of its own would.
    std::size_t start(std::size_t count, std::function<void(std::size_t)> work);

    // Returns once every run of the last start() has returned.
    void finish();

    // Threads started so far (they rest between starts).
    std::size_t threads() const;

private:
    void serve();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void(std::size_t)> work_;
    std::size_t handedOut_ = 0, wanted_ = 0; // runs of this start taken, and to take
    std::size_t running_ = 0;                // runs taken and not yet returned
    std::uint64_t starts_ = 0;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

} // namespace explorer::engine
