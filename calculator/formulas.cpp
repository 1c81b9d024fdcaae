// The discount sum: Kernel adds one month to GFactor and Power, CalcGFactor
// adds Months of them. Callers set GFactor = 0 and Power = 1 first.
#include "form1.h"

#include "toolkit/runtime_error.h"

namespace calculator {

void Form1::Kernel()
{
    const double p = tk::CheckFloat(RateFactor * Power);
    Power = p;
    // Each term is the reciprocal of the running power, rounded on its own
    // and then added to the sum: never the previous term divided by
    // RateFactor, and always from the first month upwards. That order fixes
    // the rounding of every result shown.
    const double term = 1.0 / p;
    GFactor = term + GFactor;
    // The sum is stored before these tests raise, as their place after the
    // addition says.
    if (p == 0.0)
        tk::raiseDivisionByZero();
    tk::CheckFloat(GFactor);
}

void Form1::CalcGFactor()
{
    const std::int32_t n = Months;
    // A count this large would hold the window for seconds; no loan runs
    // that long.
    if (n > MaxKernelSteps)
        throw tk::RuntimeError(
            tk::ErrBadInput,
            QStringLiteral("The number of months is too large: at most %1 months can be computed.")
                .arg(MaxKernelSteps));
    Period = 1;
    if (n >= 1) {
        do {
            Kernel();
            ++Period;
        } while (Period <= n);
    }
}

} // namespace calculator
