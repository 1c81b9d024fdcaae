// The escape kernel in AVX2 lanes: four points per vector, four vectors in
// flight. Only called after a run-time check that the processor has AVX2.
#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86

#include <immintrin.h>

// Everything below is compiled for AVX2 (without FMA: every product and sum
// is rounded on its own) and has internal linkage.
#pragma GCC push_options
#pragma GCC target("avx2")

namespace explorer::escape {
namespace {

#include "escape_driver.inc"

struct Avx2Lanes {
    static constexpr int Lanes = 4;
    static constexpr int Vectors = 4;
    static constexpr int Steps = 8;

    static constexpr int Batch = 2; // segments of eight lanes, two vectors each

    // One step of the iteration on one vector, in the scalar loop's order of
    // operations, so that every lane rounds exactly as the scalar loop does.
    // Subtracting the all-ones mask adds 1 to the running lanes; NGE_UQ: a
    // NaN modulus does not stop a lane, as in the scalar loop.
    __attribute__((always_inline)) static void iterate(__m256d& zr, __m256d& zi, __m256d cx,
                                                       __m256d cy, __m256i& cnt, __m256i& active,
                                                       __m256d two, __m256d four, __m256i limit,
                                                       bool checkLimit)
    {
        const __m256d zr2 = _mm256_mul_pd(zr, zr);
        const __m256d zi2 = _mm256_mul_pd(zi, zi);
        const __m256d t = _mm256_mul_pd(zi, zr);
        const __m256d sum = _mm256_add_pd(zr2, zi2);
        const __m256d newI = _mm256_add_pd(_mm256_mul_pd(t, two), cy);
        const __m256d newR = _mm256_add_pd(_mm256_sub_pd(zr2, zi2), cx);
        cnt = _mm256_sub_epi64(cnt, active);
        __m256i on =
            _mm256_and_si256(active, _mm256_castpd_si256(_mm256_cmp_pd(sum, four, _CMP_NGE_UQ)));
        if (checkLimit)
            on = _mm256_and_si256(on, _mm256_cmpgt_epi64(limit, cnt));
        active = on;
        zr = newR;
        zi = newI;
    }

    static std::uint64_t capped(const double* const* xs, const double* cy, std::uint64_t live,
                                std::int64_t maxIter, int cap, std::int64_t* counts)
    {
        constexpr int N = Batch * 2; // vectors
        __m256d zr[N], zi[N], cx[N], cyv[N];
        __m256i cnt[N], active[N];
        // Lane masks as all-ones 64-bit elements.
        const __m256i bits = _mm256_set_epi64x(8, 4, 2, 1);
#pragma GCC unroll 16
        for (int v = 0; v < N; ++v) {
            const __m256i nibble = _mm256_set1_epi64x(std::int64_t(live >> (v * Lanes)) & 0xf);
            active[v] = _mm256_cmpeq_epi64(_mm256_and_si256(nibble, bits), bits);
            cx[v] = _mm256_maskload_pd(xs[v / 2] + (v % 2) * Lanes, active[v]);
            cyv[v] = _mm256_set1_pd(cy[v / 2]);
            zr[v] = _mm256_setzero_pd();
            zi[v] = _mm256_setzero_pd();
            cnt[v] = _mm256_setzero_si256();
        }
        const __m256d four = _mm256_set1_pd(4.0);
        __m256d two = _mm256_set1_pd(2.0);
        __asm__("" : "+x"(two));
        const __m256i limit = _mm256_set1_epi64x(maxIter);
        const bool checkLimit = maxIter <= cap;
        for (int step = 0; step < cap; ++step) {
#pragma GCC unroll 16
            for (int v = 0; v < N; ++v)
                iterate(zr[v], zi[v], cx[v], cyv[v], cnt[v], active[v], two, four, limit,
                        checkLimit);
            __m256i any = active[0];
#pragma GCC unroll 16
            for (int v = 1; v < N; ++v)
                any = _mm256_or_si256(any, active[v]);
            if (_mm256_testz_si256(any, any))
                break;
        }
        std::uint64_t running = 0;
#pragma GCC unroll 16
        for (int v = 0; v < N; ++v) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(counts + v * Lanes), cnt[v]);
            running |= std::uint64_t(_mm256_movemask_pd(_mm256_castsi256_pd(active[v])))
                       << (v * Lanes);
        }
        return running;
    }

    template <int L> static void stream(LaneState<L>& s, StreamBuffers& b, std::int64_t maxIter)
    {
        streamByLanes<Avx2Lanes, L>(s, b, maxIter);
    }

    template <int L>
    static std::uint64_t run(LaneState<L>& s, std::int64_t maxIter, std::uint64_t live,
                             std::int64_t freeChunks)
    {
        static_assert(L == Lanes * Vectors);
        __m256d zr[Vectors], zi[Vectors], cx[Vectors], cy[Vectors];
        __m256i cnt[Vectors];
        __m256i active[Vectors]; // all bits set while the lane runs
#pragma GCC unroll 16
        for (int v = 0; v < Vectors; ++v) {
            zr[v] = _mm256_load_pd(s.zr + v * Lanes);
            zi[v] = _mm256_load_pd(s.zi + v * Lanes);
            cx[v] = _mm256_load_pd(s.cx + v * Lanes);
            cy[v] = _mm256_load_pd(s.cy + v * Lanes);
            cnt[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(s.cnt + v * Lanes));
            active[v] = _mm256_set1_epi64x(-1);
        }
        const __m256d four = _mm256_set1_pd(4.0);
        __m256d two = _mm256_set1_pd(2.0);
        // Keeps t * 2 a multiplication (the same value as t + t) so that it
        // runs beside the additions rather than among them.
        __asm__("" : "+x"(two));
        const __m256i limit = _mm256_set1_epi64x(maxIter);

        // One step of every vector.
        auto step = [&](bool checkLimit) {
#pragma GCC unroll 16
            for (int v = 0; v < Vectors; ++v)
                iterate(zr[v], zi[v], cx[v], cy[v], cnt[v], active[v], two, four, limit,
                        checkLimit);
        };
        auto stoppedLanes = [&] {
            std::uint64_t running = 0;
#pragma GCC unroll 16
            for (int v = 0; v < Vectors; ++v)
                running |= std::uint64_t(_mm256_movemask_pd(_mm256_castsi256_pd(active[v])))
                           << (v * Lanes);
            return ~running & live;
        };

        std::uint64_t stopped = 0;
        for (; freeChunks > 0 && stopped == 0; --freeChunks) {
#pragma GCC unroll 16
            for (int i = 0; i < Steps; ++i)
                step(false);
            stopped = stoppedLanes();
        }
        while (stopped == 0) {
            step(true);
            stopped = stoppedLanes();
        }
#pragma GCC unroll 16
        for (int v = 0; v < Vectors; ++v) {
            _mm256_store_pd(s.zr + v * Lanes, zr[v]);
            _mm256_store_pd(s.zi + v * Lanes, zi[v]);
            _mm256_store_si256(reinterpret_cast<__m256i*>(s.cnt + v * Lanes), cnt[v]);
        }
        return stopped;
    }
};

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
