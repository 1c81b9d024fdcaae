// The calculator's loan arithmetic without Qt or a window: the members the
// formulas and solvers work on, in the window's order of declaration, the
// discount sum (Kernel, CalcGFactor) and the four solvers with their
// searches, refusals and time guard. The window derives from it and shows
// the results; the tests drive it directly. Failures are LoanError.
#pragma once

#include <cstdint>

#include "currency.h"
#include "search_budget.h"

namespace calculator {

class LoanMath {
public:
    // The loan's terms and the shared factors; all zero until set.
    Currency Loan = 0;
    double APR = 0;
    double RateFactor = 0;
    double TargetFactor = 0;
    double GFactor = 0;
    double Power = 0;
    double Payment = 0;
    double PrevGFactor = 0;
    std::int32_t Months = 0;
    std::int32_t Period = 0;

    // The wall-time guard of the searches and the rate iteration's pass
    // count.
    SearchBudget searchBudget;
    // The yearly rate as the fixed-point iteration left it, before it is
    // finished to full precision.
    double iteratedAPR = 0;

    // One month more of the discount sum: Power x RateFactor, and its
    // reciprocal added to GFactor. Callers set GFactor = 0, Power = 1 first.
    void Kernel();
    // Months steps of Kernel; Period ends at Months + 1.
    void CalcGFactor();

    // Each solver reads the other three terms (and the factors Compute
    // prepared: Power = 1, GFactor = 0, TargetFactor, RateFactor) and
    // stores its own term.
    void CalcLoan();
    void CalcAPR();
    void CalcMonths();
    void CalcPayment();
};

} // namespace calculator
