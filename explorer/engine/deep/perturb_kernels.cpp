// The portable perturbation kernel (plain code over four lanes, which the
// compiler may vectorise for the baseline instruction set) and the run-time
// choice among it and the x86 kernels.
#include "explorer/engine/deep/perturb_kernels.h"
#include "explorer/engine/deep/period_kernels.h"

#include <algorithm>
#include <cmath>
#include <concepts>
#include <utility>

namespace explorer::deep {

#ifdef ZELMAR_ESCAPE_X86
void perturbAvx2(const PerturbJob& job);
void perturbAvx512(const PerturbJob& job);
std::uint64_t crossPeriodsAvx2(const PeriodConstants& k, PeriodLanes& lanes, std::uint64_t live,
                               int looks);
std::uint64_t crossPeriodsAvx512(const PeriodConstants& k, PeriodLanes& lanes, std::uint64_t live,
                                 int looks);
#endif

namespace {
#include "explorer/engine/deep/perturb_ops.inc"
#include "explorer/engine/deep/perturb_lanes.inc"
#include "explorer/engine/deep/period_lanes.inc"
#include "explorer/engine/lane_ops_portable.inc"

// Index loads lane by lane.
struct PortablePerturbOps : PortableOps {
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
};
static_assert(PerturbOps<PortablePerturbOps>);

// The lanes of the best instruction set at hand for the job (its own
// kernel for differences with an extended exponent).
void perturbJob(Isa isa, const PerturbJob& job)
{
    if (!escape::supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return perturbAvx512(job);
    if (isa == Isa::Avx2)
        return perturbAvx2(job);
#endif
    runPerturbJob<PortablePerturbOps, 2>(job);
}

} // namespace

void perturbCounts(Isa isa, const ReferenceOrbit& orbit, const double* dcRe, const double* dcIm,
                   std::int32_t n, std::int64_t maxIter, std::int64_t* counts)
{
    if (n <= 0 || orbit.size() == 0)
        return;
    perturbJob(isa, {orbit.values.data(), orbit.size() - 1, dcRe, dcIm, n, maxIter, counts});
}

void perturbCountsScaled(Isa isa, const ReferenceOrbit& orbit, const Complex<FloatExp>* dc,
                         std::int32_t n, std::int64_t maxIter, std::int64_t* counts,
                         LaneExit* exits)
{
    if (n <= 0 || orbit.size() == 0)
        return;
    perturbJob(isa, {orbit.values.data(), orbit.size() - 1, nullptr, nullptr, n, maxIter, counts,
                     dc, exits});
}

int periodLaneCount(Isa isa)
{
    if (!escape::supported(isa))
        isa = Isa::Portable;
    return isa == Isa::Avx512 ? PeriodLanesAvx512 : PeriodLanesOther;
}

std::uint64_t crossPeriods(Isa isa, const PeriodConstants& k, PeriodLanes& lanes,
                           std::uint64_t live, int looks)
{
    if (!escape::supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return crossPeriodsAvx512(k, lanes, live, looks);
    if (isa == Isa::Avx2)
        return crossPeriodsAvx2(k, lanes, live, looks);
#endif
    static_assert(PeriodKernel<PortablePerturbOps, 4>::L == PeriodLanesOther);
    return PeriodKernel<PortablePerturbOps, 4>::run(k, lanes, live, looks);
}

} // namespace explorer::deep
