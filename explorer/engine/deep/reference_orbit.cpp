// The reference orbit in MPFR; see reference_orbit.h.
#include "explorer/engine/deep/reference_orbit.h"

namespace explorer::deep {

FloatExp toFloatExp(mpfr_srcptr x)
{
    if (mpfr_zero_p(x))
        return FloatExp();
    long exp;
    const double m = mpfr_get_d_2exp(&exp, x, MPFR_RNDN); // 0.5 <= |m| < 1
    return FloatExp(m, std::int64_t(exp));
}

namespace {
constexpr double NearZero = 0x1p-128; // |Z|^2
} // namespace

bool computeReferenceOrbit(const Mpfr& cx, const Mpfr& cy, mpfr_prec_t bits, std::int64_t maxIter,
                           bool keepWide, const std::atomic<bool>& cancel,
                           const ProgressFunction& progress, ReferenceOrbit& out)
{
    out = ReferenceOrbit();
    out.bits = bits;
    Mpfr zr(bits), zi(bits), zr2(bits), zi2(bits), t(bits), c_r(bits), c_i(bits);
    mpfr_set(c_r.get(), cx.get(), MPFR_RNDN);
    mpfr_set(c_i.get(), cy.get(), MPFR_RNDN);
    const std::size_t reserve = std::size_t(std::min<std::int64_t>(maxIter + 1, 1 << 20));
    out.values.reserve(2 * reserve);
    if (keepWide)
        out.wide.reserve(reserve);
    // Often enough that the caller's throttle, not this loop, decides how
    // often progress shows, even at a precision where a step takes long.
    const std::int64_t progressEvery = 16;
    if (progress)
        progress(0.0);
    for (std::int64_t n = 0;; ++n) {
        out.values.push_back(mpfr_get_d(zr.get(), MPFR_RNDN));
        out.values.push_back(mpfr_get_d(zi.get(), MPFR_RNDN));
        if (keepWide)
            out.wide.push_back({toFloatExp(zr.get()), toFloatExp(zi.get())});
        mpfr_sqr(zr2.get(), zr.get(), MPFR_RNDN);
        mpfr_sqr(zi2.get(), zi.get(), MPFR_RNDN);
        mpfr_add(t.get(), zr2.get(), zi2.get(), MPFR_RNDN);
        if (mpfr_cmp_ui(t.get(), 4) >= 0) {
            out.escaped = true;
            break;
        }
        // Back near 0: the reference is (close to) periodic here. Pixels
        // rebase at its end, which is exact wherever it happens, so stopping
        // now keeps every pixel within one period, where the bilinear table
        // never has to cross this point.
        if (n > 0 && mpfr_cmp_d(t.get(), NearZero) < 0) {
            out.periodic = true;
            break;
        }
        if (n >= maxIter)
            break;
        // zi = 2 zr zi + ci; zr = zr^2 - zi^2 + cr
        mpfr_mul(zi.get(), zi.get(), zr.get(), MPFR_RNDN);
        mpfr_mul_2ui(zi.get(), zi.get(), 1, MPFR_RNDN);
        mpfr_add(zi.get(), zi.get(), c_i.get(), MPFR_RNDN);
        mpfr_sub(zr.get(), zr2.get(), zi2.get(), MPFR_RNDN);
        mpfr_add(zr.get(), zr.get(), c_r.get(), MPFR_RNDN);
        // Every step: at 1e100000 one step takes milliseconds.
        if (cancel.load(std::memory_order_relaxed))
            return false;
        if (n % progressEvery == progressEvery - 1) {
            if (progress)
                progress(double(n) / double(maxIter));
        }
    }
    if (progress)
        progress(1.0);
    return true;
}

} // namespace explorer::deep
