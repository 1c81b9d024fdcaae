// The perturbation kernel in AVX-512 lanes: eight pixels per vector, four
// vectors in flight. Only called after a run-time check that the processor
// has AVX-512.
#include "explorer/engine/deep/perturb_kernels.h"
#include "explorer/engine/deep/period_kernels.h"

#ifdef ZELMAR_ESCAPE_X86

#include <algorithm>
#include <cmath>
#include <concepts>
#include <utility>

// Compiled for AVX-512 without FMA: every product and sum is rounded alone.
#define ZELMAR_LANE_TARGET "avx512f,avx512dq,avx512bw,avx512vl"
#include "explorer/engine/lane_target_begin.inc"

namespace explorer::deep {
namespace {
#include "explorer/engine/deep/perturb_ops.inc"
#include "explorer/engine/deep/perturb_lanes.inc"
#include "explorer/engine/deep/period_lanes.inc"
#include "explorer/engine/lane_ops_avx512.inc"

struct Avx512PerturbOps : Avx512Ops {
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
};
static_assert(PerturbOps<Avx512PerturbOps>);

} // namespace

void perturbAvx512(const PerturbJob& job)
{
    runPerturbJob<Avx512PerturbOps, 4>(job);
}

std::uint64_t crossPeriodsAvx512(const PeriodConstants& k, PeriodLanes& lanes, std::uint64_t live,
                                 int looks)
{
    static_assert(PeriodKernel<Avx512PerturbOps, 4>::L == PeriodLanesAvx512);
    return PeriodKernel<Avx512PerturbOps, 4>::run(k, lanes, live, looks);
}

} // namespace explorer::deep

#include "explorer/engine/lane_target_end.inc"

#endif
