// The failures of the loan arithmetic, without Qt: the floating-point
// conditions of a step and the refusals of the solvers. The window turns
// each into its run-time error and words; nothing here re-enters anything.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <string>

namespace calculator {

enum class LoanFailure {
    Overflow,                // an infinite or invalid result
    DivisionByZero,          // x / 0 with x not 0
    PaymentsShortOfLoan,     // payment x months below the loan: no rate
    RateUnchanged,           // a pass left the rate where it was
    RateCameBack,            // the passes came back to an earlier rate
    PaymentNotAboveInterest, // no count of months repays the loan
    TooManyMonths,           // more months than an int32 holds
    TimeUp,                  // the search's time limit ran out
};

class LoanError : public std::exception {
public:
    explicit LoanError(LoanFailure failure) : failure_(failure) {}
    LoanFailure failure() const noexcept { return failure_; }
    const char* what() const noexcept override { return "loan arithmetic failed"; }

    // RateUnchanged and RateCameBack: the passes made; RateUnchanged: the
    // yearly rate in percent that the last pass left.
    std::int64_t passes = 0;
    double rate = 0;
    // TimeUp: what was being computed ("the monthly payment") and the limit.
    std::string term;
    std::chrono::milliseconds limit{0};

private:
    LoanFailure failure_;
};

// The floating-point test after a group of operations: an infinite or NaN
// result is the overflow failure. Underflow and inexact results are not.
inline double checkFloat(double v)
{
    if (!std::isfinite(v)) [[unlikely]]
        throw LoanError(LoanFailure::Overflow);
    return v;
}

// a / b with the checks of a division: x / 0 is a division by zero, 0 / 0 an
// invalid operation (the overflow failure), an infinite quotient overflow.
inline double checkedDivide(double a, double b)
{
    if (b == 0.0) [[unlikely]]
        throw LoanError(a == 0.0 || std::isnan(a) ? LoanFailure::Overflow
                                                  : LoanFailure::DivisionByZero);
    return checkFloat(a / b);
}

} // namespace calculator
