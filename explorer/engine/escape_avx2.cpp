// The escape kernels in AVX2 lanes: four points per vector, four vectors in
// flight. Only called after a run-time check that the processor has AVX2.
#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86

#include <immintrin.h>

#include <concepts>
#include <utility>

// Everything below is compiled for AVX2 (without FMA: every product and sum
// is rounded on its own) and has internal linkage.
#pragma GCC push_options
#pragma GCC target("avx2")

namespace explorer::escape {
namespace {

#include "escape_driver.inc"
#include "escape_flood.inc"
#include "escape_lanes.inc"

// A mask is a vector of 64-bit lanes, all bits set in the lanes it holds.
struct Avx2Ops {
    using Real = __m256d;
    using Count = __m256i;
    using Mask = __m256i;
    static constexpr int Width = 4;

    static Real mul(Real a, Real b) { return _mm256_mul_pd(a, b); }
    static Real add(Real a, Real b) { return _mm256_add_pd(a, b); }
    static Real sub(Real a, Real b) { return _mm256_sub_pd(a, b); }
    static Real real(double x)
    {
        Real v = _mm256_set1_pd(x);
        // Keeps a constant in a register of its own, so that t * 2 stays a
        // multiplication (the same value as t + t) beside the additions.
        __asm__("" : "+x"(v));
        return v;
    }
    static Count count(std::int64_t n) { return _mm256_set1_epi64x(n); }
    // Subtracting the all-ones lanes adds 1 to them.
    static Count countUp(Count n, Mask k) { return _mm256_sub_epi64(n, k); }
    static Mask notAtLeast(Mask k, Real a, Real b)
    {
        return _mm256_and_si256(k, _mm256_castpd_si256(_mm256_cmp_pd(a, b, _CMP_NGE_UQ)));
    }
    static Mask below(Mask k, Count n, Count m)
    {
        return _mm256_and_si256(k, _mm256_cmpgt_epi64(m, n));
    }
    static unsigned bits(Mask k) { return unsigned(_mm256_movemask_pd(_mm256_castsi256_pd(k))); }
    static Mask mask(unsigned bits)
    {
        const __m256i lane = _mm256_set_epi64x(8, 4, 2, 1);
        return _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), lane), lane);
    }
    static Real maskedLoad(Mask k, const double* p) { return _mm256_maskload_pd(p, k); }
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

struct Avx2LaneOps : Avx2Ops, ThroughMemory<Avx2Ops> {};
static_assert(LaneOps<Avx2LaneOps>);

// Two segments of two vectors each per batch.
using Avx2Lanes = Kernel<Avx2LaneOps, 4, 2>;

} // namespace

void countsAvx2(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                std::int32_t* out)
{
    countsWith<Avx2Lanes>(cx, cy, n, maxIter, out);
}

void cappedAvx2(const double* cx, double cy, std::size_t n, std::int32_t maxIter, std::int32_t cap,
                std::int32_t* out)
{
    cappedCountsWith<Avx2Lanes>(cx, cy, n, maxIter, cap, out);
}

void floodAvx2(FloodJob& job)
{
    floodWith<Avx2Lanes>(job);
}

} // namespace explorer::escape

#pragma GCC pop_options

#endif
