// The portable escape kernel (plain code over a few independent lanes, which
// the compiler may vectorise for the baseline instruction set, SSE2 or NEON),
// and the run-time choice among it and the x86 vector kernels.
#include "escape.h"

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

struct PortableLanes {
    static constexpr int Lanes = 4;
    static constexpr int Vectors = 2;
    static constexpr int Steps = 8;

    static constexpr int Batch = 1;

    static std::uint64_t capped(const double* const* xs, const double* cy, std::uint64_t live,
                                std::int64_t maxIter, int cap, std::int64_t* counts)
    {
        constexpr int L = Batch * SegmentWidth;
        double zr[L] = {}, zi[L] = {}, cx[L] = {};
        std::int64_t active[L];
        for (int i = 0; i < L; ++i) {
            active[i] = std::int64_t(live >> i & 1);
            cx[i] = active[i] ? xs[i / SegmentWidth][i % SegmentWidth] : 0.0;
            counts[i] = 0;
        }
        const bool checkLimit = maxIter <= cap;
        for (int step = 0; step < cap; ++step) {
            std::int64_t any = 0;
            for (int i = 0; i < L; ++i) {
                const double zr2 = zr[i] * zr[i];
                const double zi2 = zi[i] * zi[i];
                const double t = zi[i] * zr[i];
                const double sum = zr2 + zi2;
                const double newI = t * 2.0 + cy[i / SegmentWidth];
                const double newR = (zr2 - zi2) + cx[i];
                counts[i] += active[i];
                const bool escaped = sum >= 4.0;
                const bool atLimit = checkLimit && counts[i] >= maxIter;
                active[i] &= std::int64_t(!escaped && !atLimit);
                any |= active[i];
                zr[i] = newR;
                zi[i] = newI;
            }
            if (!any)
                break;
        }
        std::uint64_t running = 0;
        for (int i = 0; i < L; ++i) {
            running |= std::uint64_t(active[i]) << i;
        }
        return running;
    }

    template <int L> static void stream(LaneState<L>& s, StreamBuffers& b, std::int64_t maxIter)
    {
        streamByLanes<PortableLanes, L>(s, b, maxIter);
    }

    template <int L>
    static std::uint64_t run(LaneState<L>& s, std::int64_t maxIter, std::uint64_t live,
                             std::int64_t freeChunks)
    {
        double zr[L], zi[L];
        std::int64_t cnt[L], active[L];
        for (int i = 0; i < L; ++i) {
            zr[i] = s.zr[i];
            zi[i] = s.zi[i];
            cnt[i] = s.cnt[i];
            active[i] = 1;
        }
        auto step = [&](bool checkLimit) {
            for (int i = 0; i < L; ++i) {
                const double zr2 = zr[i] * zr[i];
                const double zi2 = zi[i] * zi[i];
                const double t = zi[i] * zr[i];
                const double sum = zr2 + zi2;
                const double newI = t * 2.0 + s.cy[i];
                const double newR = (zr2 - zi2) + s.cx[i];
                cnt[i] += active[i];
                const bool escaped = sum >= 4.0;
                const bool atLimit = checkLimit && cnt[i] >= maxIter;
                active[i] &= std::int64_t(!escaped && !atLimit);
                zr[i] = newR;
                zi[i] = newI;
            }
        };
        auto stoppedLanes = [&] {
            std::uint64_t running = 0;
            for (int i = 0; i < L; ++i)
                running |= std::uint64_t(active[i]) << i;
            return ~running & live;
        };
        std::uint64_t stopped = 0;
        for (; freeChunks > 0 && stopped == 0; --freeChunks) {
            for (int i = 0; i < Steps; ++i)
                step(false);
            stopped = stoppedLanes();
        }
        while (stopped == 0) {
            step(true);
            stopped = stoppedLanes();
        }
        for (int i = 0; i < L; ++i) {
            s.zr[i] = zr[i];
            s.zi[i] = zi[i];
            s.cnt[i] = cnt[i];
        }
        return stopped;
    }
};

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
