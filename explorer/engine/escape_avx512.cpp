// The escape kernels in AVX-512 lanes: eight points per vector, four vectors
// in flight to cover the latency of the iteration's dependency chain. Only
// called after a run-time check that the processor has AVX-512 F, DQ, BW
// and VL.
#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86

#include <immintrin.h>

#include <concepts>
#include <utility>

// Everything below is compiled for AVX-512 and has internal linkage. The
// project builds with -ffp-contract=off, so no multiply and add are fused.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512bw,avx512vl")

namespace explorer::escape {
namespace {

#include "escape_driver.inc"
#include "escape_flood.inc"
#include "escape_lanes.inc"

struct Avx512Ops {
    using Real = __m512d;
    using Count = __m512i;
    using Mask = __mmask8;
    static constexpr int Width = 8;

    static Real mul(Real a, Real b) { return _mm512_mul_pd(a, b); }
    static Real add(Real a, Real b) { return _mm512_add_pd(a, b); }
    static Real sub(Real a, Real b) { return _mm512_sub_pd(a, b); }
    static Real real(double x)
    {
        Real v = _mm512_set1_pd(x);
        // Keeps a constant in a register of its own, so that t * 2 stays a
        // multiplication (the same value as t + t) beside the additions.
        __asm__("" : "+v"(v));
        return v;
    }
    static Count count(std::int64_t n) { return _mm512_set1_epi64(n); }
    static Count countUp(Count n, Mask k)
    {
        return _mm512_mask_add_epi64(n, k, n, _mm512_set1_epi64(1));
    }
    static Mask notAtLeast(Mask k, Real a, Real b)
    {
        return _mm512_mask_cmp_pd_mask(k, a, b, _CMP_NGE_UQ);
    }
    static Mask below(Mask k, Count n, Count m) { return _mm512_mask_cmplt_epi64_mask(k, n, m); }
    static unsigned bits(Mask k) { return k; }
    static Mask mask(unsigned bits) { return Mask(bits); }
    static Real maskedLoad(Mask k, const double* p) { return _mm512_maskz_loadu_pd(k, p); }
    static Real load(const double* p) { return _mm512_loadu_pd(p); }
    static Count loadCount(const std::int64_t* q) { return _mm512_loadu_si512(q); }
    static void store(double* p, Real a) { _mm512_storeu_pd(p, a); }
    static void storeCount(std::int64_t* q, Count n) { _mm512_storeu_si512(q, n); }
    static Real expand(Real a, unsigned k, const double* p)
    {
        return _mm512_mask_expand_pd(a, Mask(k), _mm512_loadu_pd(p));
    }
    static Count expandCount(Count n, unsigned k, const std::int64_t* q)
    {
        return _mm512_mask_expand_epi64(n, Mask(k), _mm512_loadu_si512(q));
    }
    static void compressCount(std::int64_t* out, unsigned k, Count n)
    {
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi64(Mask(k), n));
    }
};
static_assert(LaneOps<Avx512Ops>);

// Four segments of one vector each per batch.
using Avx512Lanes = Kernel<Avx512Ops, 4, 4>;

} // namespace

void countsAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t* out)
{
    countsWith<Avx512Lanes>(cx, cy, n, maxIter, out);
}

void cappedAvx512(const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out)
{
    cappedCountsWith<Avx512Lanes>(cx, cy, n, maxIter, cap, out);
}

void floodAvx512(FloodJob& job)
{
    floodWith<Avx512Lanes>(job);
}

} // namespace explorer::escape

#pragma GCC pop_options

#endif
