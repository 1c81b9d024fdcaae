// The reference orbit: z <- z^2 + c from z = 0 at one point c (the view's
// centre), iterated in MPFR at the precision the depth needs and kept at low
// precision, as doubles and with an extended exponent. Computed once per
// view by one thread; read-only afterwards, so any number of threads may
// read it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "explorer/engine/deep/float_exp.h"
#include "explorer/engine/deep/mpfr_number.h"

namespace explorer::deep {

// Called now and then with the fraction done (0 to 1); may be empty.
using ProgressFunction = std::function<void(double)>;

struct ReferenceOrbit {
    // Z_0 = 0, ..., Z_{size-1}, real and imaginary parts interleaved (the
    // lanes load both with one access); the last is either the first with
    // |Z|^2 >= 4 (the reference escaped) or Z_{maxIter}.
    std::vector<double> values;
    double re(std::int64_t m) const { return values[std::size_t(2 * m)]; }
    double im(std::int64_t m) const { return values[std::size_t(2 * m + 1)]; }
    // The same values with an extended exponent, only when asked for (views
    // whose differences fall below what a double holds).
    std::vector<Complex<FloatExp>> wide;
    bool escaped = false;
    // The orbit came back within 2^-64 of 0 and stops there (it is then
    // about periodic; pixels go on by rebasing).
    bool periodic = false;
    mpfr_prec_t bits = 0;
    std::int64_t size() const { return std::int64_t(values.size() / 2); }
};

// Iterates the orbit of (cx, cy) at `bits` for at most maxIter steps (so
// that it holds maxIter + 1 values at most), stopping early where it
// escapes or comes back near 0. Returns false, with the orbit
// incomplete, when `cancel` became true.
bool computeReferenceOrbit(const Mpfr& cx, const Mpfr& cy, mpfr_prec_t bits, std::int64_t maxIter,
                           bool keepWide, const std::atomic<bool>& cancel,
                           const ProgressFunction& progress, ReferenceOrbit& out);

// An MPFR number as a FloatExp (nearest).
FloatExp toFloatExp(mpfr_srcptr x);

} // namespace explorer::deep
