// Rows handed out in order and published as they complete; see deep_rows.h.
#include "explorer/engine/deep/deep_rows.h"

#include <algorithm>

namespace explorer::deep {

namespace {
// How long a worker waiting for the reader sleeps before it looks at its
// cancel flag again (wake() spares it the wait).
constexpr std::chrono::milliseconds CancelPoll{20};
} // namespace

void DeepRowFeed::ask(std::int32_t rows)
{
    if (rows <= asked_.load(std::memory_order_relaxed))
        return;
    {
        const std::lock_guard lock(mutex_);
        asked_.store(std::max(rows, asked_.load(std::memory_order_relaxed)),
                     std::memory_order_relaxed);
    }
    workers_.notify_all();
}

std::int32_t DeepRowFeed::waitForRows(std::int32_t rows, std::chrono::nanoseconds slice)
{
    std::unique_lock lock(mutex_);
    reader_.wait_for(lock, slice, [&] {
        return ready_.load(std::memory_order_relaxed) >= rows ||
               finished_.load(std::memory_order_relaxed);
    });
    return ready_.load(std::memory_order_acquire);
}

std::int32_t DeepRowFeed::rowsTaken() const
{
    const std::lock_guard lock(mutex_);
    return taken_;
}

std::int32_t DeepRowFeed::rowsInHand() const
{
    const std::lock_guard lock(mutex_);
    return taken_ - completed_;
}

void DeepRowFeed::wake()
{
    {
        const std::lock_guard lock(mutex_);
    }
    workers_.notify_all();
}

void DeepRowFeed::hold(bool on)
{
    {
        const std::lock_guard lock(mutex_);
        held_ = on;
    }
    workers_.notify_all();
}

void DeepRowFeed::waitWhileHeld(const std::atomic<bool>& cancel)
{
    std::unique_lock lock(mutex_);
    while (held_ && !cancel.load(std::memory_order_relaxed))
        workers_.wait_for(lock, CancelPoll);
}

void DeepRowFeed::begin(std::int32_t rows)
{
    const std::lock_guard lock(mutex_);
    rows_ = rows;
    done_.assign(std::size_t(rows), false);
}

std::int32_t DeepRowFeed::takeRow(const std::atomic<bool>& cancel)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (cancel.load(std::memory_order_relaxed) || taken_ >= rows_)
            return -1;
        const std::int64_t allowed =
            std::int64_t(asked_.load(std::memory_order_relaxed)) + std::int64_t(ahead_);
        if (taken_ < allowed && !held_)
            return taken_++;
        workers_.wait_for(lock, CancelPoll);
    }
}

void DeepRowFeed::rowDone(std::int32_t row)
{
    {
        const std::lock_guard lock(mutex_);
        ++completed_;
        done_[std::size_t(row)] = true;
        std::int32_t ready = ready_.load(std::memory_order_relaxed);
        if (row != ready)
            return; // an earlier row is still being worked on
        while (ready < rows_ && done_[std::size_t(ready)])
            ++ready;
        // The row's levels were written before: a reader that sees the
        // count sees them.
        ready_.store(ready, std::memory_order_release);
    }
    reader_.notify_all();
}

void DeepRowFeed::publishReference(std::int64_t iterations)
{
    referenceIterations_.store(iterations, std::memory_order_release);
}

void DeepRowFeed::finish()
{
    {
        const std::lock_guard lock(mutex_);
        finished_.store(true, std::memory_order_release);
    }
    reader_.notify_all();
}

} // namespace explorer::deep
