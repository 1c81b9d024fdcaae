// The perturbation kernel in AVX-512 lanes: eight pixels per vector, four
// vectors in flight. Only called after a run-time check that the processor
// has AVX-512.
#include "explorer/engine/deep/perturb_kernels.h"

#ifdef ZELMAR_ESCAPE_X86

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <concepts>
#include <utility>

// Compiled for AVX-512 without FMA: every product and sum is rounded alone.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512vl,avx512bw")

namespace explorer::deep {
namespace {
#include "explorer/engine/deep/perturb_lanes.inc"

struct Avx512Ops {
    using Real = __m512d;
    using Count = __m512i;
    using Mask = __mmask8;
    static constexpr int Width = 8;

    static Real mul(Real a, Real b) { return _mm512_mul_pd(a, b); }
    static Real add(Real a, Real b) { return _mm512_add_pd(a, b); }
    static Real sub(Real a, Real b) { return _mm512_sub_pd(a, b); }
    static Real real(double x) { return _mm512_set1_pd(x); }
    static Count count(std::int64_t n) { return _mm512_set1_epi64(n); }
    static Count countUp(Count n, Mask k)
    {
        return _mm512_mask_add_epi64(n, k, n, _mm512_set1_epi64(1));
    }
    static Count countUpTwice(Count n, Mask k)
    {
        return _mm512_mask_add_epi64(n, k, n, _mm512_set1_epi64(2));
    }
    static Mask notAtLeast(Mask k, Real a, Real b)
    {
        return _mm512_mask_cmp_pd_mask(k, a, b, _CMP_NGE_UQ);
    }
    static Mask below(Mask k, Count n, Count m) { return _mm512_mask_cmplt_epi64_mask(k, n, m); }
    static Mask lessOrEqual(Mask k, Real a, Real b, Count n, Count m)
    {
        return Mask(_mm512_mask_cmp_pd_mask(k, a, b, _CMP_LT_OQ) |
                    _mm512_mask_cmpeq_epi64_mask(k, n, m));
    }
    static Mask less(Mask k, Real a, Real b)
    {
        return _mm512_mask_cmp_pd_mask(k, a, b, _CMP_LT_OQ);
    }
    static Mask nonZeroWhere(Mask k, Count n) { return _mm512_mask_test_epi64_mask(k, n, n); }
    static Mask either(Mask k, Mask l) { return Mask(k | l); }
    static Mask without(Mask k, Mask l) { return Mask(k & ~l); }
    static Real select(Mask k, Real a, Real b) { return _mm512_mask_blend_pd(k, a, b); }
    static Real addUnless(Mask k, Real a, Real b) { return _mm512_mask_add_pd(a, Mask(~k), a, b); }
    static Count selectCount(Mask k, Count a, Count b) { return _mm512_mask_blend_epi64(k, a, b); }
    // Eight 16-byte loads, not two gathers: the even lanes' pairs to one
    // vector and the odd lanes' to another, then unpacked.
    // Updating eight indices lane by lane costs more here than storing the
    // vector of them and loading them back.
    static constexpr bool ScalarIndices = false;
    static void gatherPairs(const double* p, Count n, Real& re, Real& im)
    {
        alignas(64) std::int64_t i[8];
        _mm512_store_si512(i, n);
        // Read back from memory (volatile: the compiler would otherwise move
        // them out of the vector one by one, which keeps the vector units,
        // the busy ones, longer than a store and eight loads).
        const volatile std::int64_t* v = i;
        const std::int64_t j[8] = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
        gatherPairsAt(p, j, re, im);
    }
    static void gatherPairsAt(const double* p, const std::int64_t* i, Real& re, Real& im)
    {
        auto pair = [&](int k) { return _mm_loadu_pd(p + i[k]); };
        Real a = _mm512_zextpd128_pd512(pair(0));
        Real b = _mm512_zextpd128_pd512(pair(1));
        a = _mm512_insertf64x2(a, pair(2), 1);
        b = _mm512_insertf64x2(b, pair(3), 1);
        a = _mm512_insertf64x2(a, pair(4), 2);
        b = _mm512_insertf64x2(b, pair(5), 2);
        a = _mm512_insertf64x2(a, pair(6), 3);
        b = _mm512_insertf64x2(b, pair(7), 3);
        re = _mm512_maskz_unpacklo_pd(0xff, a, b); // (maskz: no undefined source)
        im = _mm512_maskz_unpackhi_pd(0xff, a, b);
    }
    static unsigned bits(Mask k) { return unsigned(k); }
    static Mask mask(unsigned bits) { return Mask(bits); }
    static Real load(const double* p) { return _mm512_loadu_pd(p); }
    static Count loadCount(const std::int64_t* q) { return _mm512_loadu_si512(q); }
    static void store(double* p, Real a) { _mm512_storeu_pd(p, a); }
    static void storeCount(std::int64_t* q, Count n) { _mm512_storeu_si512(q, n); }
};
static_assert(PerturbOps<Avx512Ops>);

} // namespace

void perturbAvx512(const PerturbJob& job)
{
    if (job.dcWide)
        PerturbKernel<Avx512Ops, 4, true>::run(job);
    else
        PerturbKernel<Avx512Ops, 4, false>::run(job);
}

} // namespace explorer::deep

#pragma GCC pop_options

#endif
