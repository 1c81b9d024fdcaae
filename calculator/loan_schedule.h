// The amortization schedule of a fixed-payment loan, month by month, and its
// CSV text. Plain C++ with no window or toolkit behind it: it only reads the
// four terms it is given and owns the rows it returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace calculator {

// The four terms of a loan as the calculator holds them after a Compute.
struct LoanTerms {
    double loan = 0; // amount borrowed
    double apr = 0;  // yearly rate in percent; one month's rate is apr / 1200
    std::int32_t months = 0;
    double payment = 0; // monthly payment, as computed (not rounded to cents)
};

// Why a set of terms has no schedule.
enum class ScheduleProblem {
    None,
    NoMonths,           // fewer than one month
    TooManyMonths,      // more than MaxScheduleMonths
    LoanNotPositive,    // nothing was borrowed
    PaymentNotPositive, // nothing is paid back
    NotFinite,          // a term, or an amount on the way, is not a finite number
};

// A table is for reading: a thousand years of months is far beyond any loan,
// and keeps the rows (40 bytes each) small.
inline constexpr std::int32_t MaxScheduleMonths = 12'000;

// A last payment that would have to differ from the others by more than this
// to leave a balance of exactly 0 is pointed out rather than adjusted.
inline constexpr double FinalPaymentTolerance = 0.01;

struct ScheduleRow {
    std::int32_t month = 0; // 1 for the first payment
    double payment = 0;
    double interest = 0;  // the month's interest on the balance before it
    double principal = 0; // payment - interest
    double balance = 0;   // balance after this month's payment
};

struct ScheduleTotals {
    double payment = 0;
    double interest = 0;
    double principal = 0;
};

struct LoanSchedule {
    LoanTerms terms;
    std::vector<ScheduleRow> rows;
    ScheduleTotals totals;

    // The balance the last payment leaves: positive when something is still
    // owed, negative when the payments repay more than the loan.
    double finalBalance() const { return rows.empty() ? terms.loan : rows.back().balance; }
    // True when the last payment would have to change by more than a cent
    // to leave the balance at 0.
    bool finalPaymentDiffers() const;
    // The last payment that would leave exactly 0.
    double settlingFinalPayment() const;
};

// The first reason these terms have no schedule, or None.
ScheduleProblem checkTerms(const LoanTerms& terms);

// Month by month from the loan: interest = balance x rate, principal =
// payment - interest, new balance = balance - principal, each rounded once,
// in double precision, with nothing rounded to cents; the last balance is
// left as it comes out. `problem` (when given) says why the result is empty.
LoanSchedule amortize(const LoanTerms& terms, ScheduleProblem* problem = nullptr);

// "Month,Payment,Interest,Principal,Balance" and one line per month, each
// amount in the shortest form that reads back to the same double ('.' as the
// decimal point, no grouping), lines ended by "\n". The totals are not
// written: a spreadsheet sums the columns itself.
std::string scheduleCsv(const LoanSchedule& schedule);

// An amount in the shortest decimal text that reads back to the same double.
std::string exactNumberText(double value);

} // namespace calculator
