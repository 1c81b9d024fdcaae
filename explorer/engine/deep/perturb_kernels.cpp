// The portable perturbation kernel (plain code over four lanes, which the
// compiler may vectorise for the baseline instruction set) and the run-time
// choice among it and the x86 kernels.
#include "explorer/engine/deep/perturb_kernels.h"

#include <algorithm>
#include <cmath>
#include <concepts>
#include <utility>

namespace explorer::deep {

#ifdef ZELMAR_ESCAPE_X86
void perturbAvx2(const PerturbJob& job);
void perturbAvx512(const PerturbJob& job);
#endif

namespace {
#include "explorer/engine/deep/perturb_lanes.inc"

struct PortableOps {
    struct Real {
        double v[4];
    };
    struct Count {
        std::int64_t v[4];
    };
    using Mask = unsigned;
    static constexpr int Width = 4;

    template <class T, class F> static T each(F f)
    {
        T r;
        for (int i = 0; i < Width; ++i)
            r.v[i] = f(i);
        return r;
    }
    static Real mul(Real a, Real b)
    {
        return each<Real>([&](int i) { return a.v[i] * b.v[i]; });
    }
    static Real add(Real a, Real b)
    {
        return each<Real>([&](int i) { return a.v[i] + b.v[i]; });
    }
    static Real sub(Real a, Real b)
    {
        return each<Real>([&](int i) { return a.v[i] - b.v[i]; });
    }
    static Real real(double x)
    {
        return each<Real>([&](int) { return x; });
    }
    static Count count(std::int64_t n)
    {
        return each<Count>([&](int) { return n; });
    }
    static Count countUp(Count n, Mask k)
    {
        return each<Count>([&](int i) { return n.v[i] + std::int64_t(k >> i & 1); });
    }
    static Count countUpTwice(Count n, Mask k)
    {
        return each<Count>([&](int i) { return n.v[i] + 2 * std::int64_t(k >> i & 1); });
    }
    static Mask notAtLeast(Mask k, Real a, Real b)
    {
        Mask r = 0;
        for (int i = 0; i < Width; ++i)
            r |= unsigned(!(a.v[i] >= b.v[i])) << i;
        return k & r;
    }
    static Mask below(Mask k, Count n, Count m)
    {
        Mask r = 0;
        for (int i = 0; i < Width; ++i)
            r |= unsigned(n.v[i] < m.v[i]) << i;
        return k & r;
    }
    static Mask lessOrEqual(Mask k, Real a, Real b, Count n, Count m)
    {
        Mask r = 0;
        for (int i = 0; i < Width; ++i)
            r |= unsigned(a.v[i] < b.v[i] || n.v[i] == m.v[i]) << i;
        return k & r;
    }
    static Mask less(Mask k, Real a, Real b)
    {
        Mask r = 0;
        for (int i = 0; i < Width; ++i)
            r |= unsigned(a.v[i] < b.v[i]) << i;
        return k & r;
    }
    static Mask nonZeroWhere(Mask k, Count n)
    {
        Mask r = 0;
        for (int i = 0; i < Width; ++i)
            r |= unsigned(n.v[i] != 0) << i;
        return k & r;
    }
    static Mask either(Mask k, Mask l) { return k | l; }
    static Mask without(Mask k, Mask l) { return k & ~l; }
    static Real select(Mask k, Real a, Real b)
    {
        return each<Real>([&](int i) { return k >> i & 1 ? b.v[i] : a.v[i]; });
    }
    static Real addUnless(Mask k, Real a, Real b)
    {
        return each<Real>([&](int i) { return k >> i & 1 ? a.v[i] : a.v[i] + b.v[i]; });
    }
    static Count selectCount(Mask k, Count a, Count b)
    {
        return each<Count>([&](int i) { return k >> i & 1 ? b.v[i] : a.v[i]; });
    }
    static constexpr bool ScalarIndices = false;
    static void gatherPairs(const double* p, Count n, Real& re, Real& im)
    {
        gatherPairsAt(p, n.v, re, im);
    }
    static void gatherPairsAt(const double* p, const std::int64_t* q, Real& re, Real& im)
    {
        re = each<Real>([&](int i) { return p[q[i]]; });
        im = each<Real>([&](int i) { return p[q[i] + 1]; });
    }
    static unsigned bits(Mask k) { return k; }
    static Mask mask(unsigned bits) { return bits; }
    static Real load(const double* p)
    {
        return each<Real>([&](int i) { return p[i]; });
    }
    static Count loadCount(const std::int64_t* q)
    {
        return each<Count>([&](int i) { return q[i]; });
    }
    static void store(double* p, Real a)
    {
        for (int i = 0; i < Width; ++i)
            p[i] = a.v[i];
    }
    static void storeCount(std::int64_t* q, Count n)
    {
        for (int i = 0; i < Width; ++i)
            q[i] = n.v[i];
    }
};
static_assert(PerturbOps<PortableOps>);

} // namespace

void perturbCounts(Isa isa, const ReferenceOrbit& orbit, const double* dcRe, const double* dcIm,
                   std::int32_t n, std::int64_t maxIter, std::int64_t* counts)
{
    if (n <= 0 || orbit.size() == 0)
        return;
    const PerturbJob job{orbit.values.data(), orbit.size() - 1, dcRe, dcIm, n, maxIter, counts};
    if (!escape::supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return perturbAvx512(job);
    if (isa == Isa::Avx2)
        return perturbAvx2(job);
#endif
    PerturbKernel<PortableOps, 2, false>::run(job);
}

void perturbCountsScaled(Isa isa, const ReferenceOrbit& orbit, const Complex<FloatExp>* dc,
                         std::int32_t n, std::int64_t maxIter, std::int64_t* counts,
                         LaneExit* exits)
{
    if (n <= 0 || orbit.size() == 0)
        return;
    const PerturbJob job{
        orbit.values.data(), orbit.size() - 1, nullptr, nullptr, n, maxIter, counts, dc, exits};
    if (!escape::supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return perturbAvx512(job);
    if (isa == Isa::Avx2)
        return perturbAvx2(job);
#endif
    PerturbKernel<PortableOps, 2, true>::run(job);
}

} // namespace explorer::deep
