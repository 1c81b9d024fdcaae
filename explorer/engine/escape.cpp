// The portable escape kernel (plain code over a few independent lanes, which
// the compiler may vectorise for the baseline instruction set, SSE2 or NEON),
// and the run-time choice among it and the x86 vector kernels.
#include "escape.h"

#include <concepts>
#include <utility>

namespace explorer::escape {

#ifdef ZELMAR_ESCAPE_X86
void countsAvx2(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                std::int32_t* out);
void cappedAvx2(const double* cx, double cy, std::size_t n, std::int32_t maxIter, std::int32_t cap,
                std::int32_t* out);
void floodAvx2(FloodJob& job);
void batchAvx2(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
               std::int32_t* out, BatchScratch& scratch);
void countsAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t* out);
void cappedAvx512(const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out);
void floodAvx512(FloodJob& job);
void batchAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                 std::int32_t* out, BatchScratch& scratch);
#endif

namespace {

#include "escape_driver.inc"
#include "escape_flood.inc"
#include "escape_lanes.inc"
#include "lane_ops_portable.inc"

struct PortableLaneOps : PortableOps, ThroughMemory<PortableOps> {};
static_assert(LaneOps<PortableLaneOps>);

// One segment of two vectors per batch.
using PortableLanes = Kernel<PortableLaneOps, 2, 1>;

} // namespace

bool compiled(Isa isa)
{
#ifdef ZELMAR_ESCAPE_X86
    return isa == Isa::Portable || isa == Isa::Avx2 || isa == Isa::Avx512;
#else
    return isa == Isa::Portable;
#endif
}

bool supported(Isa isa)
{
    switch (isa) {
    case Isa::Portable:
        return true;
#ifdef ZELMAR_ESCAPE_X86
    case Isa::Avx2:
        return __builtin_cpu_supports("avx2");
    case Isa::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#else
    case Isa::Avx2:
    case Isa::Avx512:
        return false;
#endif
    }
    return false;
}

Isa bestIsa()
{
    static const Isa best = supported(Isa::Avx512) ? Isa::Avx512
                            : supported(Isa::Avx2) ? Isa::Avx2
                                                   : Isa::Portable;
    return best;
}

const char* name(Isa isa)
{
    switch (isa) {
    case Isa::Portable:
        return "portable";
    case Isa::Avx2:
        return "avx2";
    case Isa::Avx512:
        return "avx512";
    }
    return "?";
}

void counts(Isa isa, const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
            std::int32_t* out)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return countsAvx512(cx, cy, n, maxIter, out);
    if (isa == Isa::Avx2)
        return countsAvx2(cx, cy, n, maxIter, out);
#endif
    countsWith<PortableLanes>(cx, cy, n, maxIter, out);
}

void batchCounts(Isa isa, const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                 std::int32_t* out, BatchScratch& scratch)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return batchAvx512(cx, cy, n, maxIter, out, scratch);
    if (isa == Isa::Avx2)
        return batchAvx2(cx, cy, n, maxIter, out, scratch);
#endif
    batchCountsWith<PortableLanes>(cx, cy, n, maxIter, out, scratch);
}

void cappedCounts(Isa isa, const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return cappedAvx512(cx, cy, n, maxIter, cap, out);
    if (isa == Isa::Avx2)
        return cappedAvx2(cx, cy, n, maxIter, cap, out);
#endif
    cappedCountsWith<PortableLanes>(cx, cy, n, maxIter, cap, out);
}

void flood(Isa isa, FloodJob& job)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return floodAvx512(job);
    if (isa == Isa::Avx2)
        return floodAvx2(job);
#endif
    floodWith<PortableLanes>(job);
}

} // namespace explorer::escape
