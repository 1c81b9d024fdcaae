// The discount sum and the four solvers. Each term of the sum is the
// reciprocal of the running power, rounded on its own and then added: that
// order fixes the rounding of every result shown. Nothing here is shared.
#include "loan_math.h"

#include "exact_rate.h"
#include "loan_error.h"

#include <cmath>
#include <limits>

namespace calculator {

namespace {

constexpr std::int32_t MostMonths = std::numeric_limits<std::int32_t>::max();

[[noreturn]] void fail(LoanFailure failure)
{
    throw LoanError(failure);
}

// The sign of t x f - 1 for doubles t and f, exactly: the product split into
// two doubles (Dekker, no fused multiply-add) and 1 taken off the larger.
bool productAtLeastOne(double t, double f)
{
    const double p = t * f;
    // p is within half an ulp of the exact product; only near 1 does the
    // rounding decide, and there p - 1 is exact and the factors are small
    // enough to split.
    if (p > 2.0 || p < 0.5)
        return p >= 1.0;
    constexpr double Splitter = 134217729.0;
    const double ct = Splitter * t;
    const double thi = ct - (ct - t);
    const double tlo = t - thi;
    const double cf = Splitter * f;
    const double fhi = cf - (cf - f);
    const double flo = f - fhi;
    const double error = ((thi * fhi - p) + thi * flo + tlo * fhi) + tlo * flo;
    return (p - 1.0) + error >= 0.0;
}

} // namespace

void LoanMath::Kernel()
{
    const double p = checkFloat(RateFactor * Power);
    Power = p;
    const double term = 1.0 / p;
    GFactor = term + GFactor;
    // The sum is stored before these tests fail, as their place after the
    // addition says.
    if (p == 0.0)
        fail(LoanFailure::DivisionByZero);
    checkFloat(GFactor);
    searchBudget.countStep();
}

void LoanMath::CalcGFactor()
{
    const std::int32_t n = Months;
    Period = 1;
    if (n < 1)
        return;
    // At a rate of exactly 0 every step multiplies 1 by 1 and adds 1 / 1 to
    // a whole number below 2^53, so after n steps the sum is exactly n and
    // the power 1: the same bits the steps would give, without billions of
    // them for a long zero-rate loan.
    if (RateFactor == 1.0 && Power == 1.0 && GFactor == 0.0) {
        GFactor = double(n);
        Period = n == MostMonths ? n : n + 1;
        return;
    }
    for (;;) {
        Kernel();
        // The largest count leaves Period at n: it cannot hold n + 1.
        if (Period == n)
            break;
        ++Period;
    }
    if (n < MostMonths)
        ++Period;
}

void LoanMath::CalcLoan()
{
    searchBudget.start("the loan amount");
    CalcGFactor();
    const double x = checkFloat(GFactor * Payment);
    Loan = currencyFromDouble(x);
}

void LoanMath::CalcPayment()
{
    searchBudget.start("the monthly payment");
    CalcGFactor();
    Payment = checkedDivide(currencyToDouble(Loan), GFactor);
}

// Forward search for the whole number of months whose discount sum comes
// nearest the target; on a tie the larger count stays.
void LoanMath::CalcMonths()
{
    searchBudget.start("the number of months");
    // With a positive rate the sum never passes 1 / (RateFactor - 1): when
    // the target is at or above that, the payment does not cover one month's
    // interest and no count of months repays the loan. RateFactor - 1 is
    // exact by itself; the product is compared with 1 exactly.
    if (RateFactor > 1.0 && productAtLeastOne(TargetFactor, RateFactor - 1.0))
        fail(LoanFailure::PaymentNotAboveInterest);

    if (RateFactor == 1.0 && GFactor == 0.0 && Power == 1.0) {
        // At a rate of 0 each step adds exactly 1: the search would stop at
        // the first whole count n >= 1 not below the target, with the sum at
        // n and the one before at n - 1, all exact. Taken at once, a loan
        // of billions of payments is answered without billions of steps.
        const double n = std::fmax(1.0, std::ceil(TargetFactor));
        if (n > double(MostMonths))
            fail(LoanFailure::TooManyMonths);
        Months = std::int32_t(n);
        PrevGFactor = n - 1.0;
        GFactor = n;
    } else {
        // Rates that never reach the target (-2400% a year swings the sum
        // between -1 and 0) end here at the largest count, or at the
        // search's time limit, whichever comes first.
        Months = 0;
        do {
            if (Months == MostMonths)
                fail(LoanFailure::TooManyMonths);
            PrevGFactor = GFactor;
            Kernel();
            ++Months;
        } while (GFactor < TargetFactor);
    }

    const double over = checkFloat(GFactor - TargetFactor);
    const double under = checkFloat(TargetFactor - PrevGFactor);
    if (under < over) {
        // Power is not stepped back with them; nothing reads it afterwards.
        GFactor = PrevGFactor;
        --Months;
    }
}

// Fixed-point iteration on the monthly rate r = RateFactor - 1: each pass
// multiplies r by the ratio of the discount sum at r to the target, and the
// loop ends when that ratio is within 0.0001 of 1. That leaves the rate
// close to the root, not at it; the refinement after it finishes the rate
// to the double nearest the exact root.
void LoanMath::CalcAPR()
{
    searchBudget.start("the interest rate");
    searchBudget.ratePasses = 0;

    // Loan and payment of one sign: the payments must add up to at least the
    // loan, or the rate that repays it is below 0. The passes cannot settle
    // on such a rate, and a shortfall within their tolerance would settle
    // on a small positive rate that is wrong; so any shortfall is refused,
    // compared exactly.
    const bool sameSign = (Loan > 0 && Payment > 0) || (Loan < 0 && Payment < 0);
    if (sameSign && Months >= 1 && paymentsShortOfLoan(Loan, Payment, Months))
        fail(LoanFailure::PaymentsShortOfLoan);

    // A pass depends on nothing but the RateFactor it starts from (Months
    // and TargetFactor stay as they are), so a pass that ends on a
    // RateFactor seen before repeats the passes since then for ever without
    // settling. Those are refused as soon as they are seen; passes that
    // wander without repeating meet the search's time limit.
    RateFactor = 1.01;
    RepeatWatch watch(RateFactor);
    for (;;) {
        const double before = RateFactor;
        GFactor = 0;
        Power = 1;
        CalcGFactor();
        const double a = checkedDivide(GFactor, TargetFactor);
        // Subtract, multiply, add, in that order.
        RateFactor = checkFloat((RateFactor - 1.0) * a + 1.0);
        ++searchBudget.ratePasses;
        if (std::fabs(1.0 - a) < 0.0001)
            break;
        if (RateFactor == before) {
            LoanError error(LoanFailure::RateUnchanged);
            error.passes = searchBudget.ratePasses;
            error.rate = (RateFactor - 1.0) * 1200.0;
            throw error;
        }
        if (watch.cameBack(RateFactor)) {
            LoanError error(LoanFailure::RateCameBack);
            error.passes = searchBudget.ratePasses;
            throw error;
        }
    }
    // The iteration's result takes the update of the last pass.
    iteratedAPR = checkFloat((RateFactor - 1.0) * 1200.0);
    APR = iteratedAPR;
    if (sameSign && Loan != std::numeric_limits<Currency>::min()) {
        // Signs do not change the root; the refinement works on magnitudes.
        const Currency loan = Loan < 0 ? -Loan : Loan;
        APR = refineRate(loan, std::fabs(Payment), Months, iteratedAPR);
        RateFactor = APR / 1200.0 + 1.0;
    }
}

} // namespace calculator
