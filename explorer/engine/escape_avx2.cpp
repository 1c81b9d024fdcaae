// The escape kernels in AVX2 lanes: four points per vector, four vectors in
// flight. Only called after a run-time check that the processor has AVX2.
#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86

#include <concepts>
#include <utility>

// Everything below is compiled for AVX2 (without FMA: every product and sum
// is rounded on its own) and has internal linkage.
#define ZELMAR_LANE_TARGET "avx2"
#include "lane_target_begin.inc"

namespace explorer::escape {
namespace {

#include "escape_driver.inc"
#include "escape_flood.inc"
#include "escape_lanes.inc"
#include "lane_ops_avx2.inc"

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

void batchAvx2(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
               std::int32_t* out, BatchScratch& scratch)
{
    batchCountsWith<Avx2Lanes>(cx, cy, n, maxIter, out, scratch);
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

#include "lane_target_end.inc"

#endif
