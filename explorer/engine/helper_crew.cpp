// The crew's threads: each sleeps until a start hands out a run, does it, and
// sleeps again; the last one to return wakes finish().
#include "helper_crew.h"

#include <algorithm>
#include <system_error>

namespace explorer::engine {

HelperCrew::~HelperCrew()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void HelperCrew::serve()
{
    std::unique_lock lock(mutex_);
    // At most one run of each start per thread: the runs go on at once.
    std::uint64_t lastServed = 0;
    for (;;) {
        changed_.wait(lock,
                      [&] { return stop_ || (handedOut_ < wanted_ && lastServed != starts_); });
        if (stop_)
            return;
        lastServed = starts_;
        const std::size_t index = handedOut_++;
        ++running_;
        lock.unlock();
        // work_ stays as it is until finish() has seen this run return.
        work_(index);
        lock.lock();
        if (--running_ == 0 && handedOut_ == wanted_)
            changed_.notify_all();
    }
}

std::size_t HelperCrew::start(std::size_t count, std::function<void(std::size_t)> work)
{
    finish();
    std::unique_lock lock(mutex_);
    while (threads_.size() < count) {
        try {
            threads_.emplace_back([this] { serve(); });
        } catch (const std::system_error&) {
            break; // those there are do the work
        }
    }
    const std::size_t runs = std::min(count, threads_.size());
    work_ = std::move(work);
    ++starts_;
    handedOut_ = 0;
    wanted_ = runs;
    lock.unlock();
    changed_.notify_all();
    return runs;
}

void HelperCrew::finish()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return handedOut_ == wanted_ && running_ == 0; });
}

std::size_t HelperCrew::threads() const
{
    const std::lock_guard lock(mutex_);
    return threads_.size();
}

} // namespace explorer::engine
