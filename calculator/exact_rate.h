// The rate finished to full precision: the exact comparison of what the
// payments add up to with the loan, and the refinement that takes the rate
// iteration's answer to the double nearest the rate at which the discount
// sum gives the loan. No Qt, no state; pure functions of the terms.
#pragma once

#include <cstdint>

#include "currency.h"

namespace calculator {

// True when |payment| x months is below |loan| by any amount, exactly (no
// rounding of the product). Loan and payment of the same sign; months >= 1.
bool paymentsShortOfLoan(Currency loan, double payment, std::int32_t months);

// The sign of payment x G(apr / 1200) - loan, with G the discount sum of
// `months` months, evaluated in double-double arithmetic: +1 when the sum at
// that yearly rate (in percent) is above the loan, -1 below, 0 equal.
// Loan and payment positive, apr >= 0. The second member is the difference
// (loan units) as a double, for interpolation.
struct RateResidual {
    int sign = 0;
    double value = 0;
};
RateResidual rateResidual(Currency loan, double payment, std::int32_t months, double apr);

// The yearly rate in percent nearest the exact root, found from `start` (the
// rate iteration's answer) by regula falsi with the root kept in a bracket
// that cannot be left, then narrowed to two neighbouring doubles. Loan and
// payment positive and the payments not short of the loan (the root is then
// at or above 0). Returns `start` unchanged when no bracket can be formed.
double refineRate(Currency loan, double payment, std::int32_t months, double start);

} // namespace calculator
