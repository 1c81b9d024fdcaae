// Runs a piece of work on a thread of its own while the calling thread waits
// for it in short slices, calling a hook between them (the window answers its
// events from there). Owned by one caller; the hook may call finish(), and
// run() again once finish() has returned.
#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace explorer::engine {

class SlicedWait {
public:
    SlicedWait() = default;
    ~SlicedWait();
    SlicedWait(const SlicedWait&) = delete;
    SlicedWait& operator=(const SlicedWait&) = delete;

    // Runs work on the worker thread and returns when it is done, calling
    // hook whenever `slice` has gone by since its last call (in this run or
    // an earlier one) until then. Where no thread can be had, work runs
    // here. An exception thrown by work is thrown again here.
    void run(const std::function<void()>& work, const std::function<void()>& hook,
             std::chrono::milliseconds slice);

    // Returns once no work handed over is still running (without calling any
    // hook): for a caller that re-enters from the hook and is about to change
    // what the work uses.
    void finish();

private:
    void serve();

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()>* work_ = nullptr; // the work handed over, until done
    bool done_ = false, stop_ = false;
    std::exception_ptr error_;
    std::thread worker_; // started on first use; rests between pieces of work
    std::chrono::steady_clock::time_point lastHook_ = std::chrono::steady_clock::now();
};

} // namespace explorer::engine
