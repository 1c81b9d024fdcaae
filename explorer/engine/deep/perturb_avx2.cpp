// The perturbation kernel in AVX2 lanes: four pixels per vector, four
// vectors in flight. Only called after a run-time check that the processor
// has AVX2.
#include "explorer/engine/deep/perturb_kernels.h"

#ifdef ZELMAR_ESCAPE_X86

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <concepts>
#include <utility>

// Compiled for AVX2 without FMA: every product and sum is rounded alone.
#pragma GCC push_options
#pragma GCC target("avx2")

namespace explorer::deep {
namespace {
#include "explorer/engine/deep/perturb_lanes.inc"

// A mask is a vector of 64-bit lanes, all bits set in the lanes it holds.
struct Avx2Ops {
    using Real = __m256d;
    using Count = __m256i;
    using Mask = __m256i;
    static constexpr int Width = 4;

    static Real mul(Real a, Real b) { return _mm256_mul_pd(a, b); }
    static Real add(Real a, Real b) { return _mm256_add_pd(a, b); }
    static Real sub(Real a, Real b) { return _mm256_sub_pd(a, b); }
    static Real real(double x) { return _mm256_set1_pd(x); }
    static Count count(std::int64_t n) { return _mm256_set1_epi64x(n); }
    // Subtracting the all-ones lanes adds 1 to them.
    static Count countUp(Count n, Mask k) { return _mm256_sub_epi64(n, k); }
    static Count countUpTwice(Count n, Mask k)
    {
        return _mm256_sub_epi64(_mm256_sub_epi64(n, k), k);
    }
    static Mask notAtLeast(Mask k, Real a, Real b)
    {
        return _mm256_and_si256(k, _mm256_castpd_si256(_mm256_cmp_pd(a, b, _CMP_NGE_UQ)));
    }
    static Mask below(Mask k, Count n, Count m)
    {
        return _mm256_and_si256(k, _mm256_cmpgt_epi64(m, n));
    }
    static Mask lessOrEqual(Mask k, Real a, Real b, Count n, Count m)
    {
        const __m256i less = _mm256_castpd_si256(_mm256_cmp_pd(a, b, _CMP_LT_OQ));
        return _mm256_and_si256(k, _mm256_or_si256(less, _mm256_cmpeq_epi64(n, m)));
    }
    static Mask less(Mask k, Real a, Real b)
    {
        return _mm256_and_si256(k, _mm256_castpd_si256(_mm256_cmp_pd(a, b, _CMP_LT_OQ)));
    }
    static Mask nonZeroWhere(Mask k, Count n)
    {
        return _mm256_andnot_si256(_mm256_cmpeq_epi64(n, _mm256_setzero_si256()), k);
    }
    static Mask either(Mask k, Mask l) { return _mm256_or_si256(k, l); }
    static Mask without(Mask k, Mask l) { return _mm256_andnot_si256(l, k); }
    static Real select(Mask k, Real a, Real b)
    {
        return _mm256_blendv_pd(a, b, _mm256_castsi256_pd(k));
    }
    static Real addUnless(Mask k, Real a, Real b) { return select(k, _mm256_add_pd(a, b), a); }
    static Count selectCount(Mask k, Count a, Count b)
    {
        return _mm256_castpd_si256(_mm256_blendv_pd(_mm256_castsi256_pd(a), _mm256_castsi256_pd(b),
                                                    _mm256_castsi256_pd(k)));
    }
    // Four 16-byte loads, not two gathers: lanes 0 and 2 to one vector,
    // 1 and 3 to another, then unpacked.
    // Moving four indices out of a vector costs more here than keeping
    // them on the scalar side as well.
    static constexpr bool ScalarIndices = true;
    static void gatherPairs(const double* p, Count n, Real& re, Real& im)
    {
        alignas(32) std::int64_t i[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(i), n);
        gatherPairsAt(p, i, re, im);
    }
    static void gatherPairsAt(const double* p, const std::int64_t* i, Real& re, Real& im)
    {
        const Real a = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p + i[0])),
                                            _mm_loadu_pd(p + i[2]), 1);
        const Real b = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p + i[1])),
                                            _mm_loadu_pd(p + i[3]), 1);
        re = _mm256_unpacklo_pd(a, b);
        im = _mm256_unpackhi_pd(a, b);
    }
    static unsigned bits(Mask k) { return unsigned(_mm256_movemask_pd(_mm256_castsi256_pd(k))); }
    static Mask mask(unsigned bits)
    {
        const __m256i lane = _mm256_set_epi64x(8, 4, 2, 1);
        return _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), lane), lane);
    }
    static Real load(const double* p) { return _mm256_loadu_pd(p); }
    static Count loadCount(const std::int64_t* q)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    }
    static void store(double* p, Real a) { _mm256_storeu_pd(p, a); }
    static void storeCount(std::int64_t* q, Count n)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), n);
    }
};
static_assert(PerturbOps<Avx2Ops>);

} // namespace

void perturbAvx2(const PerturbJob& job)
{
    if (job.dcWide)
        PerturbKernel<Avx2Ops, 4, true>::run(job);
    else
        PerturbKernel<Avx2Ops, 4, false>::run(job);
}

} // namespace explorer::deep

#pragma GCC pop_options

#endif
