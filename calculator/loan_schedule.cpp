// The schedule in whole cents: exact roundings of the payment and of each
// month's interest, the month-by-month walk behind both the table and the
// totals, and the CSV text. Nothing here is shared or kept between calls.
#include "loan_schedule.h"

#include <cmath>
#include <limits>

namespace calculator {

namespace {

using Wide = __int128;
constexpr Wide MaxCents = std::numeric_limits<Cents>::max();

bool fits(Wide v)
{
    return v <= MaxCents && v >= -MaxCents;
}

// What one walk through the months gives; `row` is called for each month.
template <class RowSink>
ScheduleProblem walk(const LoanTerms& terms, ScheduleSummary& summary, RowSink row)
{
    const std::optional<Cents> loan = centsOf(terms.loan);
    const std::optional<Cents> payment = centsOf(terms.payment);
    if (!loan || !payment || !std::isfinite(terms.apr))
        return ScheduleProblem::NotFinite;
    if (*loan <= 0)
        return ScheduleProblem::LoanNotPositive;
    if (*payment <= 0)
        return ScheduleProblem::PaymentNotPositive;
    summary.loan = *loan;
    summary.payment = *payment;

    Cents balance = *loan;
    Wide paid = 0;
    Wide charged = 0;
    for (std::int32_t month = 1; month <= terms.months; ++month) {
        const std::optional<Cents> interest = monthlyInterest(balance, terms.apr);
        if (!interest)
            return ScheduleProblem::NotFinite;
        Wide owed = Wide(balance) + *interest;
        // With regular payments still to come, a payment that does not take
        // anything off the balance never will: at a positive rate the
        // interest only grows with the balance.
        if (month == 1 && terms.months > 1 && *payment <= *interest)
            return ScheduleProblem::PaymentBelowInterest;
        const bool last = month == terms.months || owed <= *payment;
        const Wide thisPayment = last ? owed : Wide(*payment);
        if (!fits(owed) || !fits(thisPayment))
            return ScheduleProblem::NotFinite;
        const Cents principal = Cents(thisPayment - *interest);
        balance = Cents(owed - thisPayment);
        paid += thisPayment;
        charged += *interest;
        if (!fits(paid) || !fits(charged))
            return ScheduleProblem::NotFinite;
        row(ScheduleRow{month, Cents(thisPayment), *interest, principal, balance});
        if (last) {
            summary.lastPayment = Cents(thisPayment);
            summary.payments = month;
            break;
        }
    }
    summary.totals = {Cents(paid), Cents(charged), Cents(paid - charged)};
    return ScheduleProblem::None;
}

} // namespace

std::optional<Cents> centsOf(double amount)
{
    if (!std::isfinite(amount) || std::fabs(amount) >= 9.0e16)
        return std::nullopt;
    if (amount < 0) {
        const std::optional<Cents> magnitude = centsOf(-amount);
        return magnitude ? std::optional<Cents>(-*magnitude) : std::nullopt;
    }
    // amount x 100 as the rounded product and its exact error (Dekker's
    // split, no fused multiply-add), then half away from zero on the sum.
    constexpr double Splitter = 134217729.0;
    const double x = amount * 100.0;
    const double ca = Splitter * amount;
    const double ahi = ca - (ca - amount);
    const double alo = amount - ahi;
    const double error = ((ahi * 100.0 - x) + alo * 100.0);
    const double whole = std::floor(x);
    const double fraction = x - whole; // exact
    const bool up = fraction > 0.5 || (fraction == 0.5 && error >= 0.0);
    // fraction is a whole number of ulps of x and the error at most half of
    // one, so only an exact half leaves the error to decide; a fraction of 0
    // with a negative error is still nearer the whole number.
    return Cents(whole) + (up ? 1 : 0);
}

std::optional<Cents> monthlyInterest(Cents balance, double apr)
{
    if (!std::isfinite(apr))
        return std::nullopt;
    if (balance == 0 || apr == 0.0)
        return Cents(0);
    // apr = mantissa x 2^exponent exactly; the interest is
    // balance x mantissa x 2^exponent / 1200, rounded from its exact value.
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(apr), &exponent);
    const auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    exponent -= 53;
    const bool negative = (balance < 0) != (apr < 0);
    const auto magnitude = std::uint64_t(balance < 0 ? -Wide(balance) : Wide(balance));
    using UWide = unsigned __int128;
    const UWide product = UWide(magnitude) * mantissa; // below 2^117
    // whole: the product's bits above the binary point; the value is
    // (whole + below) / 1200 with 0 <= below < 1.
    UWide whole = 0;
    if (exponent >= 0) {
        if (exponent > 10)
            return std::nullopt; // beyond any amount of cents
        whole = product << exponent;
    } else if (-exponent < 128) {
        whole = product >> -exponent;
    }
    // Half away from zero: up when the remainder of whole / 1200 reaches
    // 600, a tie (below = 0) or above it; at 599 even the largest below
    // stays under the half.
    UWide quotient = whole / 1200;
    if (whole % 1200 >= 600)
        ++quotient;
    if (quotient > UWide(MaxCents))
        return std::nullopt;
    const Cents cents = Cents(quotient);
    return negative ? -cents : cents;
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
    return ScheduleProblem::None;
}

LoanSchedule amortize(const LoanTerms& terms, ScheduleProblem* problem)
{
    LoanSchedule schedule;
    schedule.terms = terms;
    ScheduleProblem why = checkTerms(terms);
    if (why == ScheduleProblem::None) {
        schedule.rows.reserve(std::size_t(terms.months));
        why = walk(terms, schedule.summary,
                   [&](const ScheduleRow& row) { schedule.rows.push_back(row); });
        if (why != ScheduleProblem::None) {
            schedule.rows.clear();
            schedule.summary = {};
        }
    }
    if (problem)
        *problem = why;
    return schedule;
}

std::optional<ScheduleSummary> summarize(const LoanTerms& terms, ScheduleProblem* problem)
{
    ScheduleProblem why = checkTerms(terms);
    ScheduleSummary summary;
    if (why == ScheduleProblem::TooManyMonths)
        why = ScheduleProblem::None;
    if (why == ScheduleProblem::None && terms.apr == 0.0 && terms.months > MaxSummaryMonths) {
        // Without interest the balance falls by the payment each month:
        // the walk in one step.
        const std::optional<Cents> loan = centsOf(terms.loan);
        const std::optional<Cents> payment = centsOf(terms.payment);
        if (!loan || !payment)
            why = ScheduleProblem::NotFinite;
        else if (*payment <= 0)
            why = ScheduleProblem::PaymentNotPositive;
        else {
            const Wide full = (Wide(*loan) + *payment - 1) / *payment; // payments to repay
            const Wide count = full < terms.months ? full : Wide(terms.months);
            summary.loan = *loan;
            summary.payment = *payment;
            summary.payments = std::int32_t(count);
            summary.lastPayment = Cents(*loan - (count - 1) * *payment);
            summary.totals = {*loan, 0, *loan};
        }
    } else if (why == ScheduleProblem::None && terms.months > MaxSummaryMonths) {
        why = ScheduleProblem::TooManyMonths;
    } else if (why == ScheduleProblem::None) {
        why = walk(terms, summary, [](const ScheduleRow&) {});
    }
    if (problem)
        *problem = why;
    if (why != ScheduleProblem::None)
        return std::nullopt;
    return summary;
}

std::string centsText(Cents amount)
{
    const bool negative = amount < 0;
    const auto magnitude = std::uint64_t(negative ? -Wide(amount) : Wide(amount));
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += '.';
    text += std::to_string(magnitude % 100 + 100).substr(1);
    return text;
}

std::string scheduleCsv(const LoanSchedule& schedule)
{
    std::string out;
    for (const char* title : ScheduleColumnTitles) {
        if (!out.empty())
            out += ',';
        out += title;
    }
    out += '\n';
    out.reserve(out.size() + schedule.rows.size() * 48);
    for (const ScheduleRow& row : schedule.rows) {
        out += std::to_string(row.month);
        for (const Cents v : {row.payment, row.interest, row.principal, row.balance}) {
            out += ',';
            out += centsText(v);
        }
        out += '\n';
    }
    return out;
}

} // namespace calculator
