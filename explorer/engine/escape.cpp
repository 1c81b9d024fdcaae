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
void countsAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t* out);
void cappedAvx512(const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out);
void floodAvx512(FloodJob& job);
#endif

namespace {

#include "escape_driver.inc"
#include "escape_flood.inc"
#include "escape_lanes.inc"

// Plain code over four lanes, which the compiler may vectorise for the
// baseline instruction set. A mask is one bit per lane.
struct PortableOps {
    struct Real {
        double v[4];
    };
    struct Count {
        std::int64_t v[4];
    };
    using Mask = unsigned;
    static constexpr int Width = 4;

    template <class T, class F> static T each(F f)
    {
        T r;
        for (int i = 0; i < Width; ++i)
            r.v[i] = f(i);
        return r;
    }
    static Real mul(Real a, Real b)
    {
        return each<Real>([&](int i) { return a.v[i] * b.v[i]; });
    }
    static Real add(Real a, Real b)
    {
        return each<Real>([&](int i) { return a.v[i] + b.v[i]; });
    }
    static Real sub(Real a, Real b)
    {
        return each<Real>([&](int i) { return a.v[i] - b.v[i]; });
    }
    static Real real(double x)
    {
        return each<Real>([&](int) { return x; });
    }
    static Count count(std::int64_t n)
    {
        return each<Count>([&](int) { return n; });
    }
    static Count countUp(Count n, Mask k)
    {
        return each<Count>([&](int i) { return n.v[i] + std::int64_t(k >> i & 1); });
    }
    static Mask notAtLeast(Mask k, Real a, Real b)
    {
        Mask m = 0;
        for (int i = 0; i < Width; ++i)
            m |= unsigned(!(a.v[i] >= b.v[i])) << i;
        return k & m;
    }
    static Mask below(Mask k, Count n, Count m)
    {
        Mask r = 0;
        for (int i = 0; i < Width; ++i)
            r |= unsigned(n.v[i] < m.v[i]) << i;
        return k & r;
    }
    static unsigned bits(Mask k) { return k; }
    static Mask mask(unsigned bits) { return bits; }
    static Real maskedLoad(Mask k, const double* p)
    {
        return each<Real>([&](int i) { return k >> i & 1 ? p[i] : 0.0; });
    }
    static Real load(const double* p)
    {
        return each<Real>([&](int i) { return p[i]; });
    }
    static Count loadCount(const std::int64_t* q)
    {
        return each<Count>([&](int i) { return q[i]; });
    }
    static void store(double* p, Real a)
    {
        for (int i = 0; i < Width; ++i)
            p[i] = a.v[i];
    }
    static void storeCount(std::int64_t* q, Count n)
    {
        for (int i = 0; i < Width; ++i)
            q[i] = n.v[i];
    }
};

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
