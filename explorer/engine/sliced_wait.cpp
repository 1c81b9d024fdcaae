// The worker of SlicedWait: one thread that sleeps until work is handed over.
#include "sliced_wait.h"

#include <system_error>
#include <utility>

namespace explorer::engine {

SlicedWait::~SlicedWait()
{
    if (!worker_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void SlicedWait::serve()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || (work_ && !done_); });
        if (stop_)
            return;
        const std::function<void()>& work = *work_;
        lock.unlock();
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        error_ = error;
        done_ = true;
        changed_.notify_all();
    }
}

void SlicedWait::finish()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !work_ || done_; });
}

void SlicedWait::run(const std::function<void()>& work, const std::function<void()>& hook,
                     std::chrono::milliseconds slice)
{
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            work(); // no thread to be had: the caller's own
            return;
        }
    }
    std::unique_lock lock(mutex_);
    work_ = &work;
    done_ = false;
    error_ = nullptr;
    changed_.notify_all();
    // The work holds references into the caller's frame: whatever the hook
    // throws waits until the work is done.
    // Slices count from the hook's last call, in this wait or an earlier
    // one: many short waits in a row answer as often as one long one.
    std::exception_ptr hookError;
    while (!changed_.wait_until(lock, lastHook_ + slice, [&] { return done_; })) {
        lock.unlock();
        if (!hookError) {
            try {
                hook();
            } catch (...) {
                hookError = std::current_exception();
            }
        }
        lastHook_ = std::chrono::steady_clock::now();
        lock.lock();
    }
    work_ = nullptr;
    if (error_)
        std::rethrow_exception(std::exchange(error_, nullptr));
    if (hookError)
        std::rethrow_exception(hookError);
}

} // namespace explorer::engine
