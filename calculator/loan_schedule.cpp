// The amortization schedule: the month-by-month steps, their totals, and the
// CSV text. Nothing here is shared or kept between calls.
#include "loan_schedule.h"

#include <array>
#include <charconv>
#include <cmath>

namespace calculator {

bool LoanSchedule::finalPaymentDiffers() const
{
    return std::fabs(finalBalance()) > FinalPaymentTolerance;
}

double LoanSchedule::settlingFinalPayment() const
{
    // The last payment already included its interest; what is left (or paid
    // too much) changes the payment one for one.
    return rows.empty() ? 0.0 : rows.back().payment + finalBalance();
}

ScheduleProblem checkTerms(const LoanTerms& terms)
{
    if (!std::isfinite(terms.loan) || !std::isfinite(terms.apr) || !std::isfinite(terms.payment))
        return ScheduleProblem::NotFinite;
    if (terms.months < 1)
        return ScheduleProblem::NoMonths;
    if (terms.months > MaxScheduleMonths)
        return ScheduleProblem::TooManyMonths;
    if (!(terms.loan > 0))
        return ScheduleProblem::LoanNotPositive;
    if (!(terms.payment > 0))
        return ScheduleProblem::PaymentNotPositive;
    return ScheduleProblem::None;
}

LoanSchedule amortize(const LoanTerms& terms, ScheduleProblem* problem)
{
    LoanSchedule schedule;
    schedule.terms = terms;
    ScheduleProblem why = checkTerms(terms);
    if (why == ScheduleProblem::None) {
        const double rate = terms.apr / 1200.0;
        double balance = terms.loan;
        ScheduleTotals totals;
        schedule.rows.reserve(std::size_t(terms.months));
        for (std::int32_t month = 1; month <= terms.months; ++month) {
            ScheduleRow row;
            row.month = month;
            row.payment = terms.payment;
            row.interest = balance * rate;
            row.principal = terms.payment - row.interest;
            balance = balance - row.principal;
            row.balance = balance;
            totals.payment += row.payment;
            totals.interest += row.interest;
            totals.principal += row.principal;
            schedule.rows.push_back(row);
        }
        schedule.totals = totals;
        // A rate in the hundreds of percent with a payment that does not
        // keep up can grow the balance past the range of a double.
        if (!std::isfinite(balance) || !std::isfinite(totals.interest) ||
            !std::isfinite(totals.principal) || !std::isfinite(totals.payment)) {
            why = ScheduleProblem::NotFinite;
            schedule.rows.clear();
            schedule.totals = {};
        }
    }
    if (problem)
        *problem = why;
    return schedule;
}

std::string exactNumberText(double value)
{
    // -0 is written as 0: a balance of "-0" reads as a debt to a person.
    if (value == 0.0)
        value = 0.0;
    std::array<char, 32> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return std::string(buf.data(), res.ptr);
}

std::string scheduleCsv(const LoanSchedule& schedule)
{
    std::string out = "Month,Payment,Interest,Principal,Balance\n";
    out.reserve(out.size() + schedule.rows.size() * 80);
    for (const ScheduleRow& row : schedule.rows) {
        out += std::to_string(row.month);
        for (const double v : {row.payment, row.interest, row.principal, row.balance}) {
            out += ',';
            out += exactNumberText(v);
        }
        out += '\n';
    }
    return out;
}

} // namespace calculator
