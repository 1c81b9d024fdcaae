// The escape count of one pixel by perturbation: its difference dz from the
// reference orbit is iterated, dz <- (2 Z_m + dz) dz + dc, with runs of
// steps skipped by the bilinear table where it is valid, and rebased to the
// start of the reference whenever the full orbit Z_m + dz comes closer to 0
// than dz (or the reference ends), so that no glitch can arise. Over double
// or FloatExp (for differences below what a double holds; those switch to
// doubles while dz is large enough). Pure function of its inputs.
#pragma once

#include <cstdint>
#include <type_traits>

#include "explorer/engine/deep/bla_table.h"
#include "explorer/engine/deep/reference_orbit.h"

namespace explorer::deep {

template <class T> struct PixelContext {
    const ReferenceOrbit* orbit;
    const BlaTable<T>* bla; // nullptr: every step is iterated
    std::int64_t maxIter;
};

// Extended-exponent pixels run in doubles while |dz|^2 is above Enter and go
// back before it falls below Leave: far enough above the subnormals that a
// step's roundings near them are negligible against its result.
constexpr double EnterDoubles = 0x1p-900;
constexpr double LeaveDoubles = 0x1p-1000;

namespace detail {
template <class T> inline Complex<T> referenceAt(const ReferenceOrbit& o, std::int64_t m)
{
    if constexpr (std::is_same_v<T, double>)
        return {o.re(m), o.im(m)};
    else
        return o.wide[std::size_t(m)];
}
inline Complex<double> narrow(Complex<FloatExp> v)
{
    return {v.re.toDouble(), v.im.toDouble()};
}
inline Complex<FloatExp> widen(Complex<double> v)
{
    return {FloatExp(v.re), FloatExp(v.im)};
}
} // namespace detail

// Where a pixel starts: z_n = Z_m + dz (from z_0 = 0 unless a lane hands
// a pixel over).
template <class T> struct PixelStart {
    Complex<T> dz{};
    std::int64_t m = 0, n = 0;
};

// The count of the defining iteration at c = reference + dc: j + 1 for the
// first j with |z_j|^2 >= 4, or maxIter when that count would reach maxIter
// (the point is taken as in the set).
// With `park` (doubles only), a pixel that comes back to Z_1 where the
// table's run over the whole orbit is valid for it, after at least one step
// from `start`, stops there instead: its state goes to *park and the count
// is -1, for whole periods to be crossed in vector lanes.
template <class T>
std::int64_t perturbedCount(const PixelContext<T>& ctx, Complex<T> dc,
                            PixelStart<T> start = PixelStart<T>{}, PixelStart<T>* park = nullptr)
{
    constexpr bool Wide = !std::is_same_v<T, double>;
    const ReferenceOrbit& o = *ctx.orbit;
    const std::int64_t last = o.size() - 1;
    const std::int64_t maxIter = ctx.maxIter;
    Complex<T> dz = start.dz;
    std::int64_t m = start.m, n = start.n;
    std::int64_t wholeSteps = 0;
    const BlaStep<T>* whole = park && ctx.bla ? ctx.bla->wholeRun(wholeSteps) : nullptr;
    for (;;) {
        // In T: z_n = Z_m + dz.
        for (;;) {
            if constexpr (!Wide) {
                if (whole && m == 1 && n != start.n && n + wholeSteps + 1 < maxIter &&
                    norm(dz) < whole->radius2) {
                    *park = {dz, m, n};
                    return -1;
                }
            }
            Complex<T> zRef = detail::referenceAt<T>(o, m);
            const Complex<T> z = zRef + dz; // stays z_n through a rebase
            const T zNorm = norm(z);
            if (n + 1 >= maxIter)
                return maxIter;
            if (toDouble(zNorm) >= 4.0)
                return n + 1;
            if (m == last || zNorm < norm(dz)) {
                dz = z;
                m = 0;
                zRef = Complex<T>{};
            }
            if (ctx.bla && m > 0) {
                std::int64_t steps = 0;
                if (const BlaStep<T>* s = ctx.bla->find(m, norm(dz), maxIter - 1 - n, steps)) {
                    dz = s->a * dz + s->b * dc;
                    m += steps;
                    n += steps;
                    continue;
                }
            }
            // dz' = (2 Z + dz) dz + dc, with 2 Z + dz as z + Z.
            dz = Complex<T>{z.re + zRef.re, z.im + zRef.im} * dz + dc;
            ++m;
            ++n;
            if constexpr (Wide) {
                if (!(toDouble(norm(dz)) < EnterDoubles))
                    break;
            }
        }
        if constexpr (Wide) {
            // In doubles while dz stays large; dc is then negligible or exact.
            const Complex<double> dcd = detail::narrow(dc);
            Complex<double> d = detail::narrow(dz);
            for (;;) {
                const double zr = o.re(m) + d.re;
                const double zi = o.im(m) + d.im;
                const double zNorm = zr * zr + zi * zi;
                if (n + 1 >= maxIter)
                    return maxIter;
                if (zNorm >= 4.0)
                    return n + 1;
                double refR = o.re(m), refI = o.im(m);
                if (m == last || zNorm < d.re * d.re + d.im * d.im) {
                    d = {zr, zi};
                    m = 0;
                    refR = refI = 0;
                    if (!(zNorm >= LeaveDoubles)) {
                        dz = detail::widen(d);
                        break;
                    }
                }
                if (ctx.bla && m > 0) {
                    std::int64_t steps = 0;
                    const Complex<T> w = detail::widen(d);
                    if (const BlaStep<T>* s = ctx.bla->find(m, norm(w), maxIter - 1 - n, steps)) {
                        dz = s->a * w + s->b * dc;
                        m += steps;
                        n += steps;
                        if (!(toDouble(norm(dz)) >= EnterDoubles))
                            break;
                        d = detail::narrow(dz);
                        continue;
                    }
                }
                const double tr = zr + refR, ti = zi + refI;
                const Complex<double> next{(tr * d.re - ti * d.im) + dcd.re,
                                           (tr * d.im + ti * d.re) + dcd.im};
                if (!(next.re * next.re + next.im * next.im >= LeaveDoubles)) {
                    // Too small for doubles: this step again, wide.
                    const Complex<T> w = detail::widen(d);
                    const Complex<T> zw = m == 0 ? Complex<T>{} : detail::referenceAt<T>(o, m);
                    const Complex<T> zf = zw + w;
                    dz = Complex<T>{zf.re + zw.re, zf.im + zw.im} * w + dc;
                    ++m;
                    ++n;
                    break;
                }
                d = next;
                ++m;
                ++n;
            }
        }
    }
}

} // namespace explorer::deep
