// The discount sum: Kernel adds one month to GFactor and Power, CalcGFactor
// adds Months of them. Callers set GFactor = 0 and Power = 1 first.
#include "form1.h"

#include "toolkit/runtime_error.h"

#include <limits>

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
    searchBudget.countStep();
}

void Form1::CalcGFactor()
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
        Period = n == std::numeric_limits<std::int32_t>::max() ? n : n + 1;
        return;
    }
    for (;;) {
        Kernel();
        // The largest count leaves Period at n: it cannot hold n + 1.
        if (Period == n)
            break;
        ++Period;
    }
    if (n < std::numeric_limits<std::int32_t>::max())
        ++Period;
}

} // namespace calculator
