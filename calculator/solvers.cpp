// The four solvers, one per missing term. Compute sets Power = 1, GFactor = 0,
// TargetFactor (when the payment is given) and RateFactor before calling one.
// Each writes its result into its own, disabled field; that field's change
// handler runs inside the write and ignores it. An error leaves the field as
// it was.
#include "form1.h"

#include "toolkit/runtime_error.h"

#include <algorithm>
#include <cmath>

namespace calculator {

namespace {

[[noreturn]] void raiseNoSolution(const QString& why)
{
    throw tk::RuntimeError(tk::ErrBadInput, why);
}

// A result can be wider than its field, and a disabled field cannot be
// scrolled: the view is brought back to the start, where the leading digits
// are, rather than left at the end where the write puts the cursor.
void showResult(tk::TextBox* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

} // namespace

void Form1::CalcLoan()
{
    CalcGFactor();
    const double x = tk::CheckFloat(GFactor * Payment);
    Loan = tk::ToCurrency(x);
    showResult(Text1, tk::CurrencyText(Loan));
}

void Form1::CalcPayment()
{
    CalcGFactor();
    Payment = tk::Divide(tk::CurrencyToDouble(Loan), GFactor);
    showResult(Text4, tk::DoubleText(Payment));
}

// Forward search for the whole number of months whose discount sum comes
// nearest the target; on a tie the larger count stays.
void Form1::CalcMonths()
{
    // With a positive rate the sum never passes 1 / (RateFactor - 1): when
    // the target is at or above that, the payment does not cover one month's
    // interest and no count of months repays the loan. fma forms
    // TargetFactor x (RateFactor - 1) - 1 with a single rounding, so its
    // sign is exact; RateFactor - 1 is exact by itself.
    if (RateFactor > 1.0 && std::fma(TargetFactor, RateFactor - 1.0, -1.0) >= 0.0)
        raiseNoSolution(QStringLiteral(
            "No number of months repays this loan: the monthly payment does not exceed "
            "one month's interest on the loan amount."));

    Months = 0;
    do {
        // The last guard: a rate just above 0 (or a target beyond any count
        // the window can wait for) would otherwise search for seconds.
        if (Months >= MaxKernelSteps)
            raiseNoSolution(QStringLiteral("No number of months up to %1 repays this loan with "
                                           "this payment and interest rate.")
                                .arg(MaxKernelSteps));
        PrevGFactor = GFactor;
        Kernel();
        ++Months;
    } while (GFactor < TargetFactor);

    const double over = tk::CheckFloat(GFactor - TargetFactor);
    const double under = tk::CheckFloat(TargetFactor - PrevGFactor);
    if (under < over) {
        // Power is not stepped back with them; nothing reads it afterwards.
        GFactor = PrevGFactor;
        --Months;
    }
    showResult(Text3, tk::IntegerText(Months));
}

// Fixed-point iteration on the monthly rate r = RateFactor - 1: each pass
// multiplies r by the ratio of the discount sum at r to the target, and the
// loop ends when that ratio is within 0.0001 of 1.
void Form1::CalcAPR()
{
    // Without a month the sum is 0 and so is every ratio.
    if (Months <= 0)
        raiseNoSolution(QStringLiteral(
            "No interest rate can be found: the number of months must be at least 1."));

    // Starting from r > 0 the rate never turns negative while the target is
    // positive, so the sum never exceeds Months (its value at r = 0, where
    // every term is exactly 1) and no ratio exceeds Months / TargetFactor.
    // When that bound is already 0.0001 or more below 1, no pass can meet
    // the stopping test: the payments add up to less than the loan. The
    // bound is computed as the passes compute their ratios, so this is
    // exact.
    if (TargetFactor > 0.0) {
        const double bound = tk::Divide(double(Months), TargetFactor);
        if (bound < 1.0 && !(std::fabs(1.0 - bound) < 0.0001))
            raiseNoSolution(QStringLiteral(
                "No interest rate can be found: the payments add up to less than the loan "
                "(monthly payment x number of months is below the loan amount)."));
    }

    // The last guard, for inputs whose passes wander without settling: no
    // more passes than the step budget allows at Months steps each. Payment
    // x Months equal to the loan, which settles only as the rate falls
    // towards 0, takes about 10000 passes and stays well inside it. (Beyond
    // the budget in months, the first pass's CalcGFactor says so.)
    const std::int32_t maxPasses = std::max(1, MaxKernelSteps / Months);

    RateFactor = 1.01;
    for (std::int32_t pass = 1;; ++pass) {
        if (pass > maxPasses)
            raiseNoSolution(QStringLiteral("No interest rate can be found: the rate does not "
                                           "settle for these terms within %1 passes.")
                                .arg(maxPasses));
        GFactor = 0;
        Power = 1;
        CalcGFactor();
        const double a = tk::Divide(GFactor, TargetFactor);
        // Subtract, multiply, add, in that order.
        RateFactor = tk::CheckFloat((RateFactor - 1.0) * a + 1.0);
        if (std::fabs(1.0 - a) < 0.0001)
            break;
    }
    // The result takes the update of the last pass.
    APR = tk::CheckFloat((RateFactor - 1.0) * 1200.0);
    showResult(Text2, tk::DoubleText(APR));
}

} // namespace calculator
