// The four solvers, one per missing term. Compute sets Power = 1, GFactor = 0,
// TargetFactor (when the loan and the payment are given) and RateFactor
// before calling one. Each writes its result into its own, disabled field;
// that field's change handler runs inside the write and ignores it. An error
// leaves the field as it was.
#include "form1.h"

#include "toolkit/runtime_error.h"

#include <cmath>
#include <limits>

namespace calculator {

namespace {

[[noreturn]] void raiseNoSolution(const QString& why)
{
    throw tk::RuntimeError(tk::ErrBadInput, why);
}

constexpr std::int32_t MostMonths = std::numeric_limits<std::int32_t>::max();

[[noreturn]] void raiseNoCountOfMonths()
{
    raiseNoSolution(QStringLiteral("No number of months up to %1 repays this loan with this "
                                   "payment and interest rate.")
                        .arg(MostMonths));
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
    searchBudget.start(QStringLiteral("the loan amount"));
    CalcGFactor();
    const double x = tk::CheckFloat(GFactor * Payment);
    Loan = tk::ToCurrency(x);
    showResult(Text1, tk::CurrencyText(Loan));
}

void Form1::CalcPayment()
{
    searchBudget.start(QStringLiteral("the monthly payment"));
    CalcGFactor();
    Payment = tk::Divide(tk::CurrencyToDouble(Loan), GFactor);
    showResult(Text4, tk::DoubleText(Payment));
}

// Forward search for the whole number of months whose discount sum comes
// nearest the target; on a tie the larger count stays.
void Form1::CalcMonths()
{
    searchBudget.start(QStringLiteral("the number of months"));
    // With a positive rate the sum never passes 1 / (RateFactor - 1): when
    // the target is at or above that, the payment does not cover one month's
    // interest and no count of months repays the loan. fma forms
    // TargetFactor x (RateFactor - 1) - 1 with a single rounding, so its
    // sign is exact; RateFactor - 1 is exact by itself.
    if (RateFactor > 1.0 && std::fma(TargetFactor, RateFactor - 1.0, -1.0) >= 0.0)
        raiseNoSolution(QStringLiteral(
            "No number of months repays this loan: the monthly payment does not exceed "
            "one month's interest on the loan amount."));

    if (RateFactor == 1.0 && GFactor == 0.0 && Power == 1.0) {
        // At a rate of 0 each step adds exactly 1: the search would stop at
        // the first whole count n >= 1 not below the target, with the sum at
        // n and the one before at n - 1, all exact. Taken at once, a loan
        // of billions of payments is answered without billions of steps.
        const double n = std::fmax(1.0, std::ceil(TargetFactor));
        if (n > double(MostMonths))
            raiseNoCountOfMonths();
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
                raiseNoCountOfMonths();
            PrevGFactor = GFactor;
            Kernel();
            ++Months;
        } while (GFactor < TargetFactor);
    }

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
    searchBudget.start(QStringLiteral("the interest rate"));
    searchBudget.ratePasses = 0;

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
        const double a = tk::Divide(GFactor, TargetFactor);
        // Subtract, multiply, add, in that order.
        RateFactor = tk::CheckFloat((RateFactor - 1.0) * a + 1.0);
        ++searchBudget.ratePasses;
        if (std::fabs(1.0 - a) < 0.0001)
            break;
        if (RateFactor == before)
            raiseNoSolution(
                QStringLiteral("No interest rate can be found: pass %1 left the rate where it was "
                               "(%2 percent a year) with the payments still not matching the loan, "
                               "so every later pass would do the same.")
                    .arg(searchBudget.ratePasses)
                    .arg(tk::DoubleText((RateFactor - 1.0) * 1200.0)));
        if (watch.cameBack(RateFactor))
            raiseNoSolution(QStringLiteral("No interest rate can be found: after %1 passes the "
                                           "iteration came back to a rate it had reached before, "
                                           "so it would go round the same passes for ever.")
                                .arg(searchBudget.ratePasses));
    }
    // The result takes the update of the last pass.
    APR = tk::CheckFloat((RateFactor - 1.0) * 1200.0);
    showResult(Text2, tk::DoubleText(APR));
}

} // namespace calculator
