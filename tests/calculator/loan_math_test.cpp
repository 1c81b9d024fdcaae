// The loan arithmetic without a window: the discount sum, the four solvers'
// worked results and pass counts, their refusals, and the exact comparisons
// behind the rate. Expected rates come from exact decimal arithmetic (the
// script beside this file checks thousands more).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "calculator/exact_rate.h"
#include "calculator/loan_error.h"
#include "calculator/loan_math.h"

namespace {

using calculator::Currency;
using calculator::LoanError;
using calculator::LoanFailure;
using calculator::LoanMath;

// A double as the calculator shows it: 15 significant digits.
std::string shown(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

Currency currency(double units)
{
    return Currency(std::llround(units * 10000.0));
}

// What Compute prepares before it calls a solver.
LoanMath prepared(double loan, double apr, std::int32_t months, double payment)
{
    LoanMath m;
    m.Loan = currency(loan);
    m.APR = apr;
    m.Months = months;
    m.Payment = payment;
    m.Power = 1;
    m.GFactor = 0;
    if (payment != 0)
        m.TargetFactor = calculator::currencyToDouble(m.Loan) / payment;
    m.RateFactor = apr / 1200.0 + 1.0;
    return m;
}

template <class F> LoanFailure failureOf(F f)
{
    try {
        f();
    } catch (const LoanError& e) {
        return e.failure();
    }
    ADD_FAILURE() << "no failure";
    return LoanFailure::Overflow;
}

TEST(DiscountSum, IsTheSumOfTheReciprocalsOfTheRunningPower)
{
    const struct {
        double apr;
        std::int32_t months;
        double sum;
    } cases[] = {
        {12, 12, 11.255077473484631}, // the worked value, to the last bit
        {0, 360, 360},                // every term exactly 1
        {0, 2'000'000'000, 2e9},      // without two billion steps
        {12, 0, 0},                   // no month, no step
        {12, -5, 0},
    };
    for (const auto& c : cases) {
        LoanMath m = prepared(0, c.apr, c.months, 0);
        m.CalcGFactor();
        EXPECT_EQ(m.GFactor, c.sum) << c.apr << " " << c.months;
        // Power: the running product of the months summed.
        double power = 1;
        for (std::int32_t k = 0; k < c.months && c.apr != 0; ++k)
            power = m.RateFactor * power;
        EXPECT_EQ(m.Power, power) << c.apr << " " << c.months;
    }
    EXPECT_EQ(shown(1000.0 / 11.255077473484631), "88.8487886783417");
}

TEST(DiscountSum, ARateOfMinus1200PercentDividesByZero)
{
    LoanMath m = prepared(0, -1200, 12, 0);
    EXPECT_EQ(failureOf([&] { m.Kernel(); }), LoanFailure::DivisionByZero);
}

TEST(Solvers, LoanPaymentAndMonthsKeepTheirWorkedResults)
{
    const struct {
        double loan, apr;
        std::int32_t months;
        double payment;
        char missing; // L, P or M
        const char* result;
    } cases[] = {
        {0, 12, 12, 88.85, 'L', "1000.0136"},
        {0, 0, 12, 100, 'L', "1200"},
        {0, 0, 2'000'000'000, 1.5, 'L', "3000000000"},
        {100000, 7, 360, 0, 'P', "665.302495179187"},
        {1000, 0, 12, 0, 'P', "83.3333333333333"},
        {100000, 7, 0, 665.30, 'M', "360"}, // reaches the target at 361, steps back
        {1000, 12, 0, 100, 'M', "11"},      // no step back
        {1000, 0, 0, 300, 'M', "3"},        // 3.33...
        {1000, 0, 0, 400, 'M', "3"},        // 2.5: a tie keeps the larger count
        {1000, 0, 0, 100, 'M', "10"},       // met exactly
        {0, 12, 0, 100, 'M', "0"},          // nothing to repay
        {1000, 12, 0, 10.01, 'M', "694"},   // a cent above the interest
        {3000000000.5, 0, 0, 2, 'M', "1500000000"},
        {1000, 1e-20, 0, 0.0001, 'M', "10000000"}, // a rate too small to change 1
    };
    for (const auto& c : cases) {
        LoanMath m = prepared(c.loan, c.apr, c.months, c.payment);
        if (c.missing == 'L') {
            m.CalcLoan();
            EXPECT_EQ(shown(double(m.Loan) / 10000.0), c.result);
        } else if (c.missing == 'P') {
            m.CalcPayment();
            EXPECT_EQ(shown(m.Payment), c.result);
        } else {
            m.CalcMonths();
            EXPECT_EQ(std::to_string(m.Months), c.result);
        }
    }
}

TEST(Solvers, RateKeepsTheIterationsPassesAndIsFinishedToTheExactRoot)
{
    const struct {
        double loan;
        std::int32_t months;
        double payment;
        std::int64_t passes;
        const char* iterated; // the fixed-point iteration's own result
        double exact;         // the root, from exact decimal arithmetic
    } cases[] = {
        {1000, 12, 100, 44, "35.0590572924738", 35.0742489229604},
        {100000, 360, 665.30, 8, "7.00008505297962", 6.99996284702807},
        {1000, 12, 83.4, 2731, "0.166105091531499", 0.147658999328752},
        {1000, 12, 88.85, 1, "12.0001636022294", 12.0025893415800},
        {1000, 12, 1000, 5, "1199.70659794199", 1199.70660112478},
        {250000, 360, 1580.17, 8, "6.50027088642817", 6.49999964277443},
        {100000, 360, 665.302495179187, 8, "7.00012219860513", 7.00000000000006},
        {100000, 360, 700, 7, "7.51166783533588", 7.51146872876507},
        {100000, 600, 166.67, 9113, "0.000479165028988149", 0.0000798663578521476},
    };
    for (const auto& c : cases) {
        LoanMath m = prepared(c.loan, 0, c.months, c.payment);
        m.CalcAPR();
        EXPECT_EQ(m.searchBudget.ratePasses, c.passes) << c.payment;
        EXPECT_EQ(shown(m.iteratedAPR), c.iterated) << c.payment;
        // The payment's double differs from its decimal by up to half an
        // ulp, which moves a low rate's root by many more (3.8e-12 for
        // 166.67 over 600 months): far inside the 1e-9 asked of it.
        EXPECT_NEAR(m.APR, c.exact, 1e-11 * c.exact) << c.payment;
        EXPECT_EQ(m.RateFactor, m.APR / 1200.0 + 1.0);
    }
}

TEST(Solvers, PaymentsThatExactlyRepayTheLoanGiveARateOfZero)
{
    // The iteration creeps towards 0 for about ten thousand passes; the
    // root is 0 itself.
    LoanMath m = prepared(1200, 0, 12, 100);
    m.CalcAPR();
    EXPECT_GT(m.iteratedAPR, 0.0);
    EXPECT_EQ(m.APR, 0.0);
}

TEST(Solvers, RefusalsSayWhyAndTheIterationsPassesBeforeThem)
{
    const struct {
        double loan;
        std::int32_t months;
        double payment;
        LoanFailure failure;
        std::int64_t passes;
    } cases[] = {
        {1000, 12, 50, LoanFailure::PaymentsShortOfLoan, 0},
        // Short by less than the iteration's tolerance: before, it settled
        // on a small positive rate.
        {1000, 12, 83.33333, LoanFailure::PaymentsShortOfLoan, 0},
        {100000, 600, 166.6505, LoanFailure::PaymentsShortOfLoan, 0},
        {100000, 600, 166.6503, LoanFailure::PaymentsShortOfLoan, 0},
        {-1000, 12, -50, LoanFailure::PaymentsShortOfLoan, 0},
        // Opposite signs: pass 8 lands on a rate of exactly 0, and pass 9
        // leaves it there.
        {1000, 12, -1, LoanFailure::RateUnchanged, 9},
        {0, 12, 100, LoanFailure::DivisionByZero, 0},
    };
    for (const auto& c : cases) {
        LoanMath m = prepared(c.loan, 0, c.months, c.payment);
        m.searchBudget.limit = std::chrono::milliseconds(500);
        EXPECT_EQ(failureOf([&] { m.CalcAPR(); }), c.failure) << c.loan << " " << c.payment;
        EXPECT_EQ(m.searchBudget.ratePasses, c.passes) << c.loan << " " << c.payment;
    }
    // Swinging between two rates for ever is seen within a few hundred
    // passes.
    LoanMath swing = prepared(1000, 0, 12, -100);
    swing.searchBudget.limit = std::chrono::milliseconds(500);
    EXPECT_EQ(failureOf([&] { swing.CalcAPR(); }), LoanFailure::RateCameBack);
    EXPECT_LT(swing.searchBudget.ratePasses, 1000);
}

TEST(Solvers, MonthsRefusalsAndTheTimeGuard)
{
    // 1% a month on 1000 is 10: a payment of 10 never repays it.
    LoanMath interestOnly = prepared(1000, 12, 0, 10);
    EXPECT_EQ(failureOf([&] { interestOnly.CalcMonths(); }), LoanFailure::PaymentNotAboveInterest);
    LoanMath tooLong = prepared(3000000000.0, 0, 0, 1);
    EXPECT_EQ(failureOf([&] { tooLong.CalcMonths(); }), LoanFailure::TooManyMonths);
    // At -2400% a year the sum swings between -1 and 0 for ever.
    LoanMath endless = prepared(1000, -2400, 0, 100);
    endless.searchBudget.limit = std::chrono::milliseconds(50);
    try {
        endless.CalcMonths();
        ADD_FAILURE() << "no failure";
    } catch (const LoanError& e) {
        EXPECT_EQ(e.failure(), LoanFailure::TimeUp);
        EXPECT_EQ(e.term, "the number of months");
        EXPECT_EQ(e.limit, std::chrono::milliseconds(50));
    }
}

TEST(ExactRate, ShortfallIsComparedWithoutRounding)
{
    const struct {
        Currency loan;
        double payment;
        std::int32_t months;
        bool short_;
    } cases[] = {
        {12'000'000, 100, 12, false},             // exactly the loan
        {10'000'000, 83.3333333333333, 12, true}, // 999.9999999999996
        {10'000'000, 0.1, 10'000, false},         // 0.1 is a little above 1/10
        {10'000'000, 0.09999999999999999, 10'000, true},
        {1, 1e-300, 1, true},
        {922337203685477'5807, 1e300, 1, false},
        {-12'000'000, -100, 12, false}, // magnitudes
        {-12'000'001, -100, 12, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculator::paymentsShortOfLoan(c.loan, c.payment, c.months), c.short_)
            << c.loan << " " << c.payment << " " << c.months;
}

TEST(ExactRate, RefinementFromAnyStartEndsOnTheSameDouble)
{
    // The bracket holds the root whatever the start: far above, far below,
    // or not a usable rate at all.
    const Currency loan = 100'000'0000;
    const double reference = calculator::refineRate(loan, 700, 360, 7.5);
    for (const double start : {1e-9, 0.5, 7.5116, 300.0, 1e12, -3.0, std::nan("")})
        EXPECT_EQ(calculator::refineRate(loan, 700, 360, start), reference) << start;
    // The residual changes sign between the result and a neighbour.
    const double next = std::nextafter(reference, 1e9);
    const double previous = std::nextafter(reference, 0);
    EXPECT_EQ(calculator::rateResidual(loan, 700, 360, next).sign, -1);
    EXPECT_EQ(calculator::rateResidual(loan, 700, 360, previous).sign, 1);
}

} // namespace
