// The amortization schedule on its own, without a window: the worked loan,
// a loan without interest, a last payment that does not settle, terms that
// have no schedule, and the CSV text read back.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "calculator/loan_schedule.h"

namespace {

using calculator::LoanSchedule;
using calculator::LoanTerms;
using calculator::ScheduleProblem;

// The level payment from the textbook annuity formula, independent of the
// calculator's own discount sum.
double annuityPayment(double loan, double apr, int months)
{
    const double r = apr / 1200.0;
    return loan * r / (1.0 - std::pow(1.0 + r, -months));
}

std::int64_t cents(double amount)
{
    return std::llround(amount * 100.0);
}

// Every row follows from the one before: interest on the previous balance,
// the rest of the payment off the balance.
void expectRowsChain(const LoanSchedule& s)
{
    double balance = s.terms.loan;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto& row = s.rows[i];
        ASSERT_EQ(row.month, std::int32_t(i + 1));
        EXPECT_EQ(row.payment, s.terms.payment);
        EXPECT_NEAR(row.interest, balance * s.terms.apr / 1200.0, 1e-9 * std::fabs(balance));
        EXPECT_NEAR(row.interest + row.principal, row.payment, 1e-9);
        EXPECT_NEAR(row.balance, balance - row.principal, 1e-9 * std::fabs(balance));
        balance = row.balance;
    }
}

TEST(LoanSchedule, WorkedLoanRepaysToTheCent)
{
    const double payment = annuityPayment(100000, 7, 360);
    ASSERT_NEAR(payment, 665.302495179187, 1e-9);
    ScheduleProblem problem = ScheduleProblem::NotFinite;
    const LoanSchedule s = calculator::amortize({100000, 7, 360, payment}, &problem);
    EXPECT_EQ(problem, ScheduleProblem::None);
    ASSERT_EQ(s.rows.size(), 360u);
    expectRowsChain(s);

    EXPECT_EQ(cents(s.totals.payment), cents(payment * 360));
    EXPECT_EQ(cents(s.totals.principal), cents(100000));
    EXPECT_LT(std::fabs(s.finalBalance()), 0.01);
    EXPECT_FALSE(s.finalPaymentDiffers());
    // Interest and principal add up to the payments.
    EXPECT_NEAR(s.totals.interest + s.totals.principal, s.totals.payment, 1e-6);
    // The first month's interest is a month's rate on the whole loan.
    EXPECT_EQ(cents(s.rows.front().interest), cents(100000 * 0.07 / 12));
}

TEST(LoanSchedule, ZeroRateChargesNoInterestInAnyMonth)
{
    for (const LoanTerms& terms :
         {LoanTerms{1000, 0, 12, 1000.0 / 12}, LoanTerms{1200, 0, 12, 100}}) {
        const LoanSchedule s = calculator::amortize(terms);
        ASSERT_EQ(s.rows.size(), 12u);
        for (const auto& row : s.rows) {
            EXPECT_EQ(row.interest, 0.0) << "month " << row.month;
            EXPECT_EQ(row.principal, terms.payment) << "month " << row.month;
        }
        EXPECT_EQ(s.totals.interest, 0.0);
        EXPECT_LT(std::fabs(s.finalBalance()), 0.01);
        EXPECT_FALSE(s.finalPaymentDiffers());
    }
    // Whole amounts leave exactly nothing.
    EXPECT_EQ(calculator::amortize({1200, 0, 12, 100}).finalBalance(), 0.0);
}

TEST(LoanSchedule, LastPaymentThatDoesNotSettleIsFlaggedNotAdjusted)
{
    // 665.30 is a quarter cent short of the level payment every month.
    const LoanSchedule shortPaid = calculator::amortize({100000, 7, 360, 665.30});
    ASSERT_EQ(shortPaid.rows.size(), 360u);
    expectRowsChain(shortPaid);
    EXPECT_EQ(shortPaid.rows.back().payment, 665.30);
    EXPECT_GT(shortPaid.finalBalance(), 0.01);
    EXPECT_TRUE(shortPaid.finalPaymentDiffers());
    EXPECT_DOUBLE_EQ(shortPaid.settlingFinalPayment(), 665.30 + shortPaid.finalBalance());

    const LoanSchedule overPaid = calculator::amortize({100000, 7, 360, 665.31});
    EXPECT_LT(overPaid.finalBalance(), -0.01);
    EXPECT_TRUE(overPaid.finalPaymentDiffers());
    EXPECT_LT(overPaid.settlingFinalPayment(), 665.31);

    // Half a thousandth of a cent a month stays within the cent.
    const double level = annuityPayment(100000, 7, 360);
    const LoanSchedule nearly = calculator::amortize({100000, 7, 360, level - 0.000005});
    EXPECT_GT(nearly.finalBalance(), 0.0);
    EXPECT_FALSE(nearly.finalPaymentDiffers());
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
        {{1000, 12, 12, 0}, ScheduleProblem::PaymentNotPositive},
        {{1000, std::nan(""), 12, 100}, ScheduleProblem::NotFinite},
        {{1000, 12, 12, HUGE_VAL}, ScheduleProblem::NotFinite},
        // A balance that grows 834-fold a month leaves the doubles.
        {{1e300, 1e6, 200, 1}, ScheduleProblem::NotFinite},
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
    EXPECT_EQ(longest.finalBalance(), 0.0);
}

double parseNumber(const std::string& text)
{
    double value = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(res.ec, std::errc()) << text;
    EXPECT_EQ(res.ptr, text.data() + text.size()) << text;
    return value;
}

TEST(LoanSchedule, CsvReadsBackToTheSameNumbers)
{
    const LoanSchedule s =
        calculator::amortize({250000, 6.5, 360, annuityPayment(250000, 6.5, 360)});
    std::istringstream in(calculator::scheduleCsv(s));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "Month,Payment,Interest,Principal,Balance");
    std::size_t n = 0;
    while (std::getline(in, line)) {
        ASSERT_LT(n, s.rows.size());
        std::vector<std::string> cells;
        std::istringstream cellsIn(line);
        for (std::string cell; std::getline(cellsIn, cell, ',');)
            cells.push_back(cell);
        ASSERT_EQ(cells.size(), 5u) << line;
        const auto& row = s.rows[n];
        EXPECT_EQ(cells[0], std::to_string(row.month));
        EXPECT_EQ(parseNumber(cells[1]), row.payment);
        EXPECT_EQ(parseNumber(cells[2]), row.interest);
        EXPECT_EQ(parseNumber(cells[3]), row.principal);
        EXPECT_EQ(parseNumber(cells[4]), row.balance);
        ++n;
    }
    EXPECT_EQ(n, s.rows.size());

    // A balance of -0 is written as 0; every other number as itself.
    EXPECT_EQ(calculator::exactNumberText(-0.0), "0");
    EXPECT_EQ(calculator::exactNumberText(-1.5), "-1.5");
}

} // namespace
