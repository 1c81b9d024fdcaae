// The rows of a deep canvas handed out in order to the threads that compute
// them, and published to one reader as they complete. Any thread may call any
// member; the reader reads the levels of a row only once readyRows() says so.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

namespace explorer::deep {

class DeepRowFeed {
public:
    static constexpr std::int32_t Unbounded = std::numeric_limits<std::int32_t>::max() / 2;

    // The workers take at most `rowsAhead` rows beyond those the reader has
    // asked for: a reader that stops asking (a paused pass) leaves them
    // idle once those are done.
    explicit DeepRowFeed(std::int32_t rowsAhead = Unbounded) : ahead_(rowsAhead) {}

    // Reader's side.
    // Rows 0 .. rows - 1 are wanted (a smaller number than before changes
    // nothing).
    void ask(std::int32_t rows);
    std::int32_t asked() const { return asked_.load(std::memory_order_relaxed); }
    // Rows 0 .. readyRows() - 1 are complete: their levels may be read.
    std::int32_t readyRows() const { return ready_.load(std::memory_order_acquire); }
    // Waits at most `slice` for `rows` rows or for the end of the
    // computation; returns the rows ready then.
    std::int32_t waitForRows(std::int32_t rows, std::chrono::nanoseconds slice);
    // The computation has returned (done, cancelled or refused).
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // The reference orbit's iterations, once it is done; -1 before.
    std::int64_t referenceIterations() const
    {
        return referenceIterations_.load(std::memory_order_acquire);
    }
    // Rows handed to workers so far, and how many of them are still in
    // hand (a paused reader waits for none of them).
    std::int32_t rowsTaken() const;
    std::int32_t rowsInHand() const;
    // Workers waiting for the reader look at their cancel flag now.
    void wake();
    // Held (a paused reader), no row is handed out and waitWhileHeld waits:
    // the workers end the rows in hand and rest.
    void hold(bool on);

    // The computation's side.
    void begin(std::int32_t rows);
    // The next row for a worker, in order; -1 once every row is taken or
    // `cancel` is set. Waits while the reader has not asked for it.
    std::int32_t takeRow(const std::atomic<bool>& cancel);
    void rowDone(std::int32_t row);
    // Returns once the feed is not held or `cancel` is set (the reference
    // orbit and the table call it between steps).
    void waitWhileHeld(const std::atomic<bool>& cancel);
    void publishReference(std::int64_t iterations);
    void finish();

private:
    mutable std::mutex mutex_;
    std::condition_variable workers_, reader_;
    const std::int32_t ahead_;
    std::int32_t rows_ = 0, taken_ = 0, completed_ = 0;
    bool held_ = false;
    std::vector<bool> done_;
    std::atomic<std::int32_t> asked_{0}, ready_{0};
    std::atomic<std::int64_t> referenceIterations_{-1};
    std::atomic<bool> finished_{false};
};

} // namespace explorer::deep
