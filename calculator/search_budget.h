// The limits of one Compute's searches: the wall-time guard that stops a
// search no exact test can end, the count of the rate iteration's passes,
// and the watch that sees the iteration come back to a rate it had before.
// Used by the loan arithmetic only; no Qt, and nothing here re-enters.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace calculator {

class SearchBudget {
public:
    using Clock = std::chrono::steady_clock;

    // Long enough for every input with an answer that a person would type
    // (the slowest of them take a few tenths of a second), short enough
    // that the window does not look hung.
    static constexpr std::chrono::milliseconds DefaultLimit{2000};

    // How long a solver may search. Tests shorten it.
    std::chrono::milliseconds limit = DefaultLimit;

    // Passes the last rate iteration made, the pass that settled or was
    // refused included.
    std::int64_t ratePasses = 0;

    // Starts the clock for one solver; `term` names what it computes ("the
    // monthly payment"), for the message.
    void start(std::string term);

    // Counts one month of the discount sum. The clock is read only every
    // few thousand steps: a step takes a few nanoseconds, a clock read
    // about as long as ten of them.
    void countStep()
    {
        if (--stepsUntilClockCheck_ == 0) [[unlikely]]
            checkClock();
    }

private:
    static constexpr int StepsPerClockCheck = 1 << 16;

    void checkClock();

    // Until a solver starts it, the guard never fires: the formulas can be
    // run on their own.
    Clock::time_point deadline_ = Clock::time_point::max();
    std::string term_;
    int stepsUntilClockCheck_ = StepsPerClockCheck;
};

// Tells whether a sequence of values comes back to one it had before
// (Brent's method): each value is compared with one saved at the last
// power-of-two step, so a cycle is seen within about twice the length of
// the lead-in and the cycle together, at one comparison per value.
class RepeatWatch {
public:
    explicit RepeatWatch(double first) : saved_(first) {}

    // True when `next` equals a value the sequence had before.
    bool cameBack(double next)
    {
        if (next == saved_)
            return true;
        if (++sinceSaved_ == window_) {
            saved_ = next;
            sinceSaved_ = 0;
            window_ *= 2;
        }
        return false;
    }

private:
    double saved_;
    std::int64_t sinceSaved_ = 0;
    std::int64_t window_ = 1;
};

} // namespace calculator
