// The perturbation kernel in AVX2 lanes: four pixels per vector, four
// vectors in flight. Only called after a run-time check that the processor
// has AVX2.
#include "explorer/engine/deep/perturb_kernels.h"
#include "explorer/engine/deep/period_kernels.h"

#ifdef ZELMAR_ESCAPE_X86

#include <algorithm>
#include <cmath>
#include <concepts>
#include <utility>

// Compiled for AVX2 without FMA: every product and sum is rounded alone.
#define ZELMAR_LANE_TARGET "avx2"
#include "explorer/engine/lane_target_begin.inc"

namespace explorer::deep {
namespace {
#include "explorer/engine/deep/perturb_ops.inc"
#include "explorer/engine/deep/perturb_lanes.inc"
#include "explorer/engine/deep/period_lanes.inc"
#include "explorer/engine/lane_ops_avx2.inc"

struct Avx2PerturbOps : Avx2Ops {
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
};
static_assert(PerturbOps<Avx2PerturbOps>);

} // namespace

void perturbAvx2(const PerturbJob& job)
{
    runPerturbJob<Avx2PerturbOps, 4>(job);
}

std::uint64_t crossPeriodsAvx2(const PeriodConstants& k, PeriodLanes& lanes, std::uint64_t live,
                               int looks)
{
    static_assert(PeriodKernel<Avx2PerturbOps, 4>::L == PeriodLanesOther);
    return PeriodKernel<Avx2PerturbOps, 4>::run(k, lanes, live, looks);
}

} // namespace explorer::deep

#include "explorer/engine/lane_target_end.inc"

#endif
