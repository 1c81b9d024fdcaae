// The amortization schedule on its own, without a window: the roundings to
// the cent, the identities every schedule keeps (each row, the totals, a
// final balance of 0.00) over seeded random loans up to 12,000 months, the
// worked loan, the loans that have no schedule, the totals of loans too
// long for a table, and the CSV text. The exact-arithmetic script beside
// this file checks a handful of schedules cent by cent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calculator/loan_schedule.h"

namespace {

using calculator::Cents;
using calculator::LoanSchedule;
using calculator::LoanTerms;
using calculator::ScheduleProblem;

// The level payment from the textbook annuity formula, independent of the
// calculator's own discount sum.
double annuityPayment(double loan, double apr, int months)
{
    const double r = apr / 1200.0;
    return apr == 0 ? loan / months : loan * r / (1.0 - std::pow(1.0 + r, -months));
}

// Every row: previous balance - principal = balance, principal = payment -
// interest, the interest a month's rate on the balance before it (to the
// cent); the totals the sums of the rows; the last balance 0.00.
void expectIdentities(const LoanSchedule& s)
{
    ASSERT_FALSE(s.rows.empty());
    Cents balance = s.summary.loan;
    Cents paid = 0, interest = 0, principal = 0;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto& row = s.rows[i];
        ASSERT_EQ(row.month, std::int32_t(i + 1));
        ASSERT_EQ(row.principal, row.payment - row.interest) << "month " << row.month;
        ASSERT_EQ(row.balance, balance - row.principal) << "month " << row.month;
        const double exactInterest = double(balance) * s.terms.apr / 1200.0;
        ASSERT_LE(std::fabs(double(row.interest) - exactInterest), 0.5 + 1e-6 * exactInterest)
            << "month " << row.month;
        if (i + 1 < s.rows.size()) {
            ASSERT_EQ(row.payment, s.summary.payment) << "month " << row.month;
            ASSERT_GT(row.balance, 0) << "month " << row.month;
        }
        balance = row.balance;
        paid += row.payment;
        interest += row.interest;
        principal += row.principal;
    }
    EXPECT_EQ(balance, 0);
    EXPECT_EQ(s.summary.totals.payment, paid);
    EXPECT_EQ(s.summary.totals.interest, interest);
    EXPECT_EQ(s.summary.totals.principal, principal);
    EXPECT_EQ(principal, s.summary.loan);
    EXPECT_EQ(s.summary.lastPayment, s.rows.back().payment);
    EXPECT_EQ(s.summary.payments, std::int32_t(s.rows.size()));
}

TEST(Cents, RoundTheExactValueHalfAwayFromZero)
{
    const struct {
        double amount;
        Cents cents;
    } cases[] = {
        {1580.17, 158017},
        {665.302495179187, 66530},
        {0.125, 13}, // exact half
        {-0.125, -13},
        {0.375, 38},
        {0.285, 28}, // 0.28499999...
        {1e-300, 0},
        {-0.004, 0},
        {1234567890123.45, 123456789012345},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculator::centsOf(c.amount), c.cents) << c.amount;
    EXPECT_FALSE(calculator::centsOf(std::nan("")));
    EXPECT_FALSE(calculator::centsOf(1e17));
}

TEST(Cents, MonthlyInterestIsRoundedFromItsExactValue)
{
    const struct {
        Cents balance;
        double apr;
        Cents interest;
    } cases[] = {
        {25'000'000, 6.5, 135417}, // 1354.1666...
        {100'000'00, 7, 58333},
        {1200, 6, 6}, // exactly 6
        {100, 6, 1},  // exactly half a cent: away from zero
        {-100, 6, -1},
        {100, 5.99, 0}, // just under half
        {0, 12, 0},
        {1000, 0, 0},
        {1000, -12, -10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculator::monthlyInterest(c.balance, c.apr), c.interest)
            << c.balance << " " << c.apr;
}

TEST(LoanSchedule, SeededRandomLoansKeepEveryIdentity)
{
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> exponent(0, 9);
    std::uniform_real_distribution<double> rate(0, 30);
    std::uniform_int_distribution<int> months(1, calculator::MaxScheduleMonths);
    std::uniform_real_distribution<double> change(-0.2, 0.2);
    for (int n = 0; n < 300; ++n) {
        const double loan = std::round(std::pow(10.0, exponent(random)) * 100) / 100;
        const double apr = n % 10 == 0 ? 0 : rate(random);
        const int count = n % 3 == 0 ? months(random) : months(random) % 480 + 1;
        // The computed payment, or one a little off it as a person types it.
        double payment = annuityPayment(loan, apr, count);
        if (n % 4 == 1)
            payment = std::round(payment * (1 + change(random)) * 100) / 100;
        ScheduleProblem problem = ScheduleProblem::NotFinite;
        const LoanSchedule s = calculator::amortize({loan, apr, count, payment}, &problem);
        if (problem == ScheduleProblem::PaymentBelowInterest ||
            problem == ScheduleProblem::PaymentNotPositive)
            continue; // said so instead of a table
        ASSERT_EQ(problem, ScheduleProblem::None) << loan << " " << apr << " " << count;
        expectIdentities(s);
        // The summary without rows is the same arithmetic.
        const auto summary = calculator::summarize({loan, apr, count, payment});
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->totals.payment, s.summary.totals.payment);
        EXPECT_EQ(summary->lastPayment, s.summary.lastPayment);
    }
}

TEST(LoanSchedule, WorkedLoanRoundsThePaymentAndAdjustsTheLastOne)
{
    const LoanSchedule s =
        calculator::amortize({250000, 6.5, 360, annuityPayment(250000, 6.5, 360)});
    expectIdentities(s);
    EXPECT_EQ(s.summary.payment, 158017);
    ASSERT_EQ(s.rows.size(), 360u);
    EXPECT_EQ(s.rows.front().interest, 135417);
    // 359 payments of 1,580.17 and the one that ends at 0.00.
    EXPECT_EQ(s.summary.totals.payment, 359 * 158017 + s.summary.lastPayment);
    EXPECT_EQ(s.summary.totals.interest, s.summary.totals.payment - 25'000'000);

    // A payment that repays the loan before its term ends the table there.
    const LoanSchedule early = calculator::amortize({1000, 12, 12, 500});
    expectIdentities(early);
    EXPECT_EQ(early.rows.size(), 3u);
    EXPECT_LT(early.summary.lastPayment, 50000);
}

TEST(LoanSchedule, TermsWithoutAScheduleSayWhyAndGiveNoRows)
{
    const struct {
        LoanTerms terms;
        ScheduleProblem problem;
    } cases[] = {
        {{1000, 12, 0, 100}, ScheduleProblem::NoMonths},
        {{1000, 12, -5, 100}, ScheduleProblem::NoMonths},
        {{1000, 0, calculator::MaxScheduleMonths + 1, 0.01}, ScheduleProblem::TooManyMonths},
        {{0, 12, 12, 100}, ScheduleProblem::LoanNotPositive},
        {{-1000, 12, 12, 100}, ScheduleProblem::LoanNotPositive},
        {{1000, 12, 12, 0.004}, ScheduleProblem::PaymentNotPositive}, // 0.00 to the cent
        // 7% over 12,000 months: the payment is the interest to the cent.
        {{100000, 7, 12000, 583.333333333333}, ScheduleProblem::PaymentBelowInterest},
        {{0.0001, 7, 12000, 0.000583333}, ScheduleProblem::LoanNotPositive}, // 0.00 to the cent
        {{1000, std::nan(""), 12, 100}, ScheduleProblem::NotFinite},
        {{1000, 12, 12, HUGE_VAL}, ScheduleProblem::NotFinite},
        {{1e300, 12, 12, 1e299}, ScheduleProblem::NotFinite},
    };
    for (const auto& c : cases) {
        ScheduleProblem problem = ScheduleProblem::None;
        const LoanSchedule s = calculator::amortize(c.terms, &problem);
        EXPECT_EQ(problem, c.problem) << c.terms.loan << " " << c.terms.months;
        EXPECT_TRUE(s.rows.empty());
    }
    // The largest schedule is still made.
    const LoanSchedule longest = calculator::amortize({12000, 0, calculator::MaxScheduleMonths, 1});
    EXPECT_EQ(longest.rows.size(), std::size_t(calculator::MaxScheduleMonths));
    expectIdentities(longest);
}

TEST(LoanSchedule, TotalsOfLoansTooLongForATable)
{
    // Month by month up to the summary's limit.
    const auto walked = calculator::summarize({1'000'000, 1, 200'000, 1000});
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->totals.principal, 100'000'000);
    EXPECT_EQ(walked->totals.payment, walked->totals.principal + walked->totals.interest);
    // At a zero rate in one step, whatever the length; it agrees with the
    // walk where both apply.
    const LoanTerms zero{1'000'000, 0, 2'000'000'000, 0.37};
    const auto closed = calculator::summarize(zero);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->totals.payment, 100'000'000);
    EXPECT_EQ(closed->payments, 2'702'703);
    EXPECT_EQ(closed->lastPayment, 100'000'000 - 2'702'702LL * 37);
    const auto shortZero = calculator::summarize({1000, 0, 500'000, 0.37});
    const auto shortWalk = calculator::amortize({1000, 0, 2'703, 0.37}).summary;
    ASSERT_TRUE(shortZero);
    EXPECT_EQ(shortZero->lastPayment, shortWalk.lastPayment);
    EXPECT_EQ(shortZero->payments, shortWalk.payments);
    // Beyond the limit with interest: no totals rather than a guess.
    ScheduleProblem problem = ScheduleProblem::None;
    EXPECT_FALSE(calculator::summarize({1000, 1, 2'000'000, 1000}, &problem));
    EXPECT_EQ(problem, ScheduleProblem::TooManyMonths);
}

TEST(LoanSchedule, CsvHoldsTheTablesCents)
{
    const LoanSchedule s =
        calculator::amortize({250000, 6.5, 360, annuityPayment(250000, 6.5, 360)});
    std::istringstream in(calculator::scheduleCsv(s));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "Month,Payment,Interest,Principal,Balance");
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "1,1580.17,1354.17,226.00,249774.00");
    std::size_t n = 1;
    while (std::getline(in, line))
        ++n;
    EXPECT_EQ(n, s.rows.size());
    EXPECT_EQ(calculator::centsText(-5), "-0.05");
    EXPECT_EQ(calculator::centsText(0), "0.00");
}

} // namespace
