// The amortization schedule of a fixed-payment loan as a lender keeps it, in
// whole cents, month by month, and its CSV text. Plain C++ with no window
// or toolkit behind it: it only reads the four terms it is given and owns
// the rows it returns.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace calculator {

// An amount of money as a whole number of cents.
using Cents = std::int64_t;

// The four terms of a loan as the calculator holds them after a Compute.
struct LoanTerms {
    double loan = 0; // amount borrowed
    double apr = 0;  // yearly rate in percent; one month's rate is apr / 1200
    std::int32_t months = 0;
    double payment = 0; // monthly payment, as computed or typed
};

// Why a set of terms has no schedule.
enum class ScheduleProblem {
    None,
    NoMonths,             // fewer than one month
    TooManyMonths,        // more months than a table (or a summary) is worked out for
    LoanNotPositive,      // nothing was borrowed
    PaymentNotPositive,   // the payment, to the cent, pays nothing back
    PaymentBelowInterest, // the payment, to the cent, never covers the month's interest
    NotFinite,            // a term, or an amount on the way, beyond what can be held
};

// A table is for reading: a thousand years of months is far beyond any loan.
inline constexpr std::int32_t MaxScheduleMonths = 12'000;
// The totals alone are worked out month by month up to this many months; a
// zero rate needs no months at all.
inline constexpr std::int32_t MaxSummaryMonths = 1'000'000;

// The schedule's columns, in order, as the table, its copy and the CSV
// title them.
inline constexpr std::array<const char*, 5> ScheduleColumnTitles = {"Month", "Payment", "Interest",
                                                                    "Principal", "Balance"};

struct ScheduleRow {
    std::int32_t month = 0; // 1 for the first payment
    Cents payment = 0;
    Cents interest = 0;  // the month's interest on the balance before it
    Cents principal = 0; // payment - interest
    Cents balance = 0;   // balance after this month's payment
};

struct ScheduleTotals {
    Cents payment = 0;
    Cents interest = 0;
    Cents principal = 0;
};

// What a schedule comes to, with or without its rows.
struct ScheduleSummary {
    Cents loan = 0;
    Cents payment = 0;         // the regular payment, to the cent
    Cents lastPayment = 0;     // the payment that brings the balance to 0.00
    std::int32_t payments = 0; // months until the balance is 0.00
    ScheduleTotals totals;

    // The last payment differs from the others (or the loan is repaid
    // before its term): said as such in the table and the status line.
    bool lastPaymentDiffers() const { return lastPayment != payment; }
};

struct LoanSchedule {
    LoanTerms terms;
    ScheduleSummary summary;
    std::vector<ScheduleRow> rows;
};

// The amount to the cent, half away from zero, from the exact value of the
// double; nothing when it is not finite or beyond the range of cents.
std::optional<Cents> centsOf(double amount);

// One month's interest on `balance` at `apr` percent a year, to the cent,
// half away from zero, exactly; nothing when beyond the range of cents.
std::optional<Cents> monthlyInterest(Cents balance, double apr);

// The first reason these terms have no schedule table, or None.
ScheduleProblem checkTerms(const LoanTerms& terms);

// The rows: the payment rounded to the cent, each month's interest rounded
// to the cent, principal = payment - interest, the balance carried in
// cents; the last payment brings it to exactly 0.00 (and a payment that
// would take it below 0 before the last month is the last one). So every
// row has previous balance - principal = balance, and the totals are the
// sums of the rows. `problem` (when given) says why the result is empty.
LoanSchedule amortize(const LoanTerms& terms, ScheduleProblem* problem = nullptr);

// The same arithmetic without keeping the rows, for loans of up to
// MaxSummaryMonths months (any length at a zero rate).
std::optional<ScheduleSummary> summarize(const LoanTerms& terms,
                                         ScheduleProblem* problem = nullptr);

// Cents as plain decimal text with two decimals: 158017 gives "1580.17",
// -5 gives "-0.05".
std::string centsText(Cents amount);

// The column titles and one line per month, amounts as centsText ('.' as the
// decimal point, no grouping), lines ended by "\n". The totals are not
// written: a spreadsheet sums the columns itself.
std::string scheduleCsv(const LoanSchedule& schedule);

} // namespace calculator
