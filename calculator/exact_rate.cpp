// Exact comparisons and the rate refinement. The discount sum is evaluated
// in closed form, (1 - (1 + r)^-n) / r, in double-double arithmetic (about
// 106 bits) with the power taken by repeated squaring, so that its sign
// against the loan is right for every rate the iteration can give, and the
// cost is a few hundred operations whatever the number of months. The
// double-double steps use no fused multiply-add: products are split.
#include "exact_rate.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace calculator {

namespace {

struct DoubleDouble {
    double hi = 0;
    double lo = 0;
};

DoubleDouble twoSum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DoubleDouble quickTwoSum(double a, double b)
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// Dekker's product: the exact a x b as a sum of two doubles.
DoubleDouble twoProduct(double a, double b)
{
    constexpr double Splitter = 134217729.0; // 2^27 + 1
    const double p = a * b;
    const double ca = Splitter * a;
    const double ahi = ca - (ca - a);
    const double alo = a - ahi;
    const double cb = Splitter * b;
    const double bhi = cb - (cb - b);
    const double blo = b - bhi;
    return {p, ((ahi * bhi - p) + ahi * blo + alo * bhi) + alo * blo};
}

DoubleDouble add(DoubleDouble x, DoubleDouble y)
{
    DoubleDouble s = twoSum(x.hi, y.hi);
    const DoubleDouble t = twoSum(x.lo, y.lo);
    s.lo += t.hi;
    s = quickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return quickTwoSum(s.hi, s.lo);
}

DoubleDouble negate(DoubleDouble x)
{
    return {-x.hi, -x.lo};
}

DoubleDouble multiply(DoubleDouble x, DoubleDouble y)
{
    DoubleDouble p = twoProduct(x.hi, y.hi);
    p.lo += x.hi * y.lo + x.lo * y.hi;
    return quickTwoSum(p.hi, p.lo);
}

DoubleDouble divide(DoubleDouble x, DoubleDouble y)
{
    const double q1 = x.hi / y.hi;
    DoubleDouble r = add(x, negate(multiply({q1, 0}, y)));
    const double q2 = r.hi / y.hi;
    r = add(r, negate(multiply({q2, 0}, y)));
    const double q3 = r.hi / y.hi;
    return add(quickTwoSum(q1, q2), {q3, 0});
}

DoubleDouble power(DoubleDouble base, std::uint32_t exponent)
{
    DoubleDouble result{1, 0};
    while (exponent != 0) {
        if (exponent & 1u)
            result = multiply(result, base);
        exponent >>= 1;
        if (exponent != 0)
            base = multiply(base, base);
    }
    return result;
}

// A currency count as loan units, exactly split into two doubles and then
// divided by 10000.
DoubleDouble loanUnits(Currency loan)
{
    const double hi = double(loan);
    using Wide = __int128;
    const double lo = double(Wide(loan) - Wide(hi));
    return divide(quickTwoSum(hi, lo), {double(CurrencyScale), 0});
}

// G(r) = sum of (1 + r)^-k for k = 1 .. n, for r = apr / 1200 >= 0.
DoubleDouble discountSum(double apr, std::int32_t months)
{
    if (apr == 0.0)
        return {double(months), 0};
    const DoubleDouble r = divide({apr, 0}, {1200, 0});
    const DoubleDouble v = divide({1, 0}, add({1, 0}, r));
    const DoubleDouble vn = power(v, std::uint32_t(months));
    return divide(add({1, 0}, negate(vn)), r);
}

int signOf(DoubleDouble x)
{
    const double v = x.hi != 0.0 ? x.hi : x.lo;
    return (v > 0) - (v < 0);
}

// Neighbouring non-negative doubles are neighbouring integers in their bits.
std::uint64_t bitsOf(double v)
{
    return std::bit_cast<std::uint64_t>(v);
}

double middleOf(double lo, double hi)
{
    const std::uint64_t a = bitsOf(lo);
    const std::uint64_t b = bitsOf(hi);
    return std::bit_cast<double>(a + (b - a) / 2);
}

} // namespace

bool paymentsShortOfLoan(Currency loan, double payment, std::int32_t months)
{
    // |payment| = mantissa x 2^exponent with a whole 53-bit mantissa; the
    // comparison mantissa x months x 10000 x 2^exponent < |loan| is then
    // one of integers, shifted within 128 bits.
    if (!std::isfinite(payment))
        return false;
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(payment), &exponent);
    const auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    exponent -= 53;
    using UWide = unsigned __int128;
    const UWide paid = UWide(mantissa) * std::uint64_t(months) * std::uint64_t(CurrencyScale);
    const UWide owed = loan < 0 ? UWide(0 - std::uint64_t(loan)) : UWide(loan);
    const auto bitLength = [](UWide x) {
        int n = 0;
        for (; x != 0; x >>= 1)
            ++n;
        return n;
    };
    if (paid == 0)
        return owed > 0;
    if (exponent >= 0) {
        // paid x 2^exponent: beyond 127 bits it is above any loan.
        if (bitLength(paid) + exponent > 126)
            return false;
        return (paid << exponent) < owed;
    }
    const int shift = -exponent;
    if (owed == 0)
        return false;
    if (bitLength(owed) + shift > 126)
        return true; // owed x 2^shift exceeds every possible paid (< 2^98)
    return paid < (owed << shift);
}

RateResidual rateResidual(Currency loan, double payment, std::int32_t months, double apr)
{
    const DoubleDouble paid = multiply(discountSum(apr, months), {payment, 0});
    const DoubleDouble difference = add(paid, negate(loanUnits(loan)));
    return {signOf(difference), difference.hi + difference.lo};
}

double refineRate(Currency loan, double payment, std::int32_t months, double start)
{
    const auto residual = [&](double apr) { return rateResidual(loan, payment, months, apr); };
    // The sum falls as the rate rises: positive residuals lie below the
    // root, negative ones above it.
    double lo = 0;
    RateResidual atLo = residual(0);
    if (atLo.sign <= 0)
        return atLo.sign == 0 ? 0.0 : start;
    if (!(start > 0) || !std::isfinite(start))
        start = 1;
    double hi = start;
    RateResidual atHi = residual(hi);
    while (atHi.sign > 0) {
        lo = hi;
        atLo = atHi;
        hi *= 2;
        if (!std::isfinite(hi))
            return start;
        atHi = residual(hi);
    }
    if (atHi.sign == 0)
        return hi;

    // Regula falsi with the Illinois halving, and every third step a halving
    // of the bracket in bits, so that it narrows to neighbours within a few
    // dozen steps at worst.
    double weightLo = atLo.value;
    double weightHi = atHi.value;
    int lastSide = 0;
    for (int step = 0; step < 400; ++step) {
        if (std::nextafter(lo, hi) == hi)
            break;
        double x =
            step % 3 == 2 ? middleOf(lo, hi) : lo + weightLo / (weightLo - weightHi) * (hi - lo);
        if (!(x > lo && x < hi))
            x = middleOf(lo, hi);
        const RateResidual at = residual(x);
        if (at.sign == 0)
            return x;
        if (at.sign > 0) {
            lo = x;
            atLo = at;
            weightLo = at.value;
            if (lastSide > 0)
                weightHi /= 2;
            lastSide = 1;
        } else {
            hi = x;
            atHi = at;
            weightHi = at.value;
            if (lastSide < 0)
                weightLo /= 2;
            lastSide = -1;
        }
    }
    // Over one step of the doubles the residual is a straight line: the
    // nearer end has the smaller residual.
    return atLo.value < -atHi.value ? lo : hi;
}

} // namespace calculator
