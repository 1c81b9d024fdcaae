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
#include "explorer/engine/deep/perturb_ops.inc"
#include "explorer/engine/deep/perturb_lanes.inc"
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

} // namespace explorer::deep
