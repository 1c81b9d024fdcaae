// The escape kernels in AVX-512 lanes: eight points per vector, four vectors
// in flight to cover the latency of the iteration's dependency chain. Only
// called after a run-time check that the processor has AVX-512 F, DQ, BW
// and VL.
#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86

#include <concepts>
#include <utility>

// Everything below is compiled for AVX-512 and has internal linkage. The
// project builds with -ffp-contract=off, so no multiply and add are fused.
#define ZELMAR_LANE_TARGET "avx512f,avx512dq,avx512bw,avx512vl"
#include "lane_target_begin.inc"

namespace explorer::escape {
namespace {

#include "escape_driver.inc"
#include "escape_flood.inc"
#include "escape_lanes.inc"
#include "lane_ops_avx512.inc"

static_assert(LaneOps<Avx512Ops>);

// Four segments of one vector each per batch.
using Avx512Lanes = Kernel<Avx512Ops, 4, 4>;

} // namespace

void countsAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t* out)
{
    countsWith<Avx512Lanes>(cx, cy, n, maxIter, out);
}

void batchAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                 std::int32_t* out, BatchScratch& scratch)
{
    batchCountsWith<Avx512Lanes>(cx, cy, n, maxIter, out, scratch);
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

#include "lane_target_end.inc"

#endif
