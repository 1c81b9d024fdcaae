// The escape kernel in AVX-512 lanes: eight points per vector, four vectors
// in flight to cover the latency of the iteration's dependency chain. Only
// called after a run-time check that the processor has AVX-512 F, DQ, BW
// and VL.
#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86

#include <immintrin.h>

#include <utility>

// Everything below is compiled for AVX-512 and has internal linkage. The
// project builds with -ffp-contract=off, so no multiply and add are fused.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512bw,avx512vl")

namespace explorer::escape {
namespace {

#include "escape_driver.inc"

struct Avx512Lanes {
    static constexpr int Lanes = 8;
    static constexpr int Vectors = 4;
    static constexpr int Steps = 8; // iterations between looks at the masks

    static constexpr int Batch = 4; // segments of eight lanes, one vector each

    // One step of the iteration on one vector, in the scalar loop's order of
    // operations, so that every lane rounds exactly as the scalar loop does.
    // NGE_UQ: a NaN modulus does not stop a lane, as in the scalar loop.
    __attribute__((always_inline)) static void iterate(__m512d& zr, __m512d& zi, __m512d cx,
                                                       __m512d cy, __m512i& cnt, __mmask8& active,
                                                       __m512d two, __m512d four, __m512i one,
                                                       __m512i limit, bool checkLimit)
    {
        const __m512d zr2 = _mm512_mul_pd(zr, zr);
        const __m512d zi2 = _mm512_mul_pd(zi, zi);
        const __m512d t = _mm512_mul_pd(zi, zr);
        const __m512d sum = _mm512_add_pd(zr2, zi2);
        const __m512d newI = _mm512_add_pd(_mm512_mul_pd(t, two), cy);
        const __m512d newR = _mm512_add_pd(_mm512_sub_pd(zr2, zi2), cx);
        cnt = _mm512_mask_add_epi64(cnt, active, cnt, one);
        __mmask8 on = _mm512_mask_cmp_pd_mask(active, sum, four, _CMP_NGE_UQ);
        if (checkLimit)
            on = _mm512_mask_cmplt_epi64_mask(on, cnt, limit);
        active = on;
        zr = newR;
        zi = newI;
    }

    static std::uint64_t capped(const double* const* xs, const double* cy, std::uint64_t live,
                                std::int64_t maxIter, int cap, std::int64_t* counts)
    {
        __m512d zr[Batch], zi[Batch], cx[Batch], cyv[Batch];
        __m512i cnt[Batch];
        __mmask8 active[Batch];
#pragma GCC unroll 16
        for (int v = 0; v < Batch; ++v) {
            active[v] = __mmask8(live >> (v * Lanes));
            cx[v] = _mm512_maskz_loadu_pd(active[v], xs[v]);
            cyv[v] = _mm512_set1_pd(cy[v]);
            zr[v] = _mm512_setzero_pd();
            zi[v] = _mm512_setzero_pd();
            cnt[v] = _mm512_setzero_si512();
        }
        const __m512d four = _mm512_set1_pd(4.0);
        __m512d two = _mm512_set1_pd(2.0);
        __asm__("" : "+v"(two));
        const __m512i one = _mm512_set1_epi64(1);
        const __m512i limit = _mm512_set1_epi64(maxIter);
        const bool checkLimit = maxIter <= cap;
        for (int step = 0; step < cap; ++step) {
#pragma GCC unroll 16
            for (int v = 0; v < Batch; ++v)
                iterate(zr[v], zi[v], cx[v], cyv[v], cnt[v], active[v], two, four, one, limit,
                        checkLimit);
            std::uint32_t any = 0;
#pragma GCC unroll 16
            for (int v = 0; v < Batch; ++v)
                any |= active[v];
            if (any == 0)
                break;
        }
        std::uint64_t running = 0;
#pragma GCC unroll 16
        for (int v = 0; v < Batch; ++v) {
            _mm512_storeu_si512(counts + v * Lanes, cnt[v]);
            running |= std::uint64_t(active[v]) << (v * Lanes);
        }
        return running;
    }

    // The streaming kernel: lanes that stop hand their tag and count out and
    // take the next point in, all in registers (compress and expand), so a
    // vector stays full however the counts differ.
    template <int L> static void stream(LaneState<L>& s, StreamBuffers& b, std::int64_t maxIter)
    {
        static_assert(L == Lanes * Vectors);
        __m512d zr[Vectors], zi[Vectors], cx[Vectors], cy[Vectors];
        __m512i cnt[Vectors], tag[Vectors];
        __mmask8 live[Vectors], active[Vectors];
#pragma GCC unroll 16
        for (int v = 0; v < Vectors; ++v) {
            zr[v] = _mm512_load_pd(s.zr + v * Lanes);
            zi[v] = _mm512_load_pd(s.zi + v * Lanes);
            cx[v] = _mm512_load_pd(s.cx + v * Lanes);
            cy[v] = _mm512_load_pd(s.cy + v * Lanes);
            cnt[v] = _mm512_load_si512(s.cnt + v * Lanes);
            tag[v] = _mm512_load_si512(s.tag + v * Lanes);
            live[v] = active[v] = __mmask8(s.live >> (v * Lanes));
        }
        const __m512d four = _mm512_set1_pd(4.0);
        __m512d two = _mm512_set1_pd(2.0);
        __asm__("" : "+v"(two));
        const __m512i one = _mm512_set1_epi64(1);
        const __m512i limit = _mm512_set1_epi64(maxIter);
        const __m512d zero = _mm512_setzero_pd();
        const __m512i zeroCount = _mm512_setzero_si512();

        // Lanes m of vector v take the next points of the input, as many as
        // there are; the others of m go idle (c = 0, which never stops).
        auto refill = [&](int v, __mmask8 m) __attribute__((always_inline))
        {
            const int left = b.n - b.pos;
            int k = __builtin_popcount(m);
            __mmask8 take = m;
            if (k > left) {
                k = left;
                take = 0;
                for (int i = 0, t = m; i < k; ++i, t &= t - 1)
                    take |= __mmask8(t & -t);
            }
            // Idle lanes iterate c = 0 from z = 0, which never escapes.
            const __mmask8 idle = __mmask8(m & ~take);
            zr[v] = _mm512_mask_mov_pd(zr[v], idle, zero);
            zi[v] = _mm512_mask_mov_pd(zi[v], idle, zero);
            cnt[v] = _mm512_mask_mov_epi64(cnt[v], idle, zeroCount);
            cx[v] = _mm512_mask_mov_pd(cx[v], idle, zero);
            cy[v] = _mm512_mask_mov_pd(cy[v], idle, zero);
            if (k > 0) {
                zr[v] = _mm512_mask_expand_pd(zr[v], take, _mm512_loadu_pd(b.zr + b.pos));
                zi[v] = _mm512_mask_expand_pd(zi[v], take, _mm512_loadu_pd(b.zi + b.pos));
                cnt[v] = _mm512_mask_expand_epi64(cnt[v], take, _mm512_loadu_si512(b.cnt + b.pos));
                cx[v] = _mm512_mask_expand_pd(cx[v], take, _mm512_loadu_pd(b.cx + b.pos));
                cy[v] = _mm512_mask_expand_pd(cy[v], take, _mm512_loadu_pd(b.cy + b.pos));
                tag[v] = _mm512_mask_expand_epi64(tag[v], take, _mm512_loadu_si512(b.tag + b.pos));
                b.pos += k;
            }
            live[v] = __mmask8(live[v] | take);
            active[v] = live[v];
        };

        // Runs f(v) for every vector, unrolled so that the vectors stay in
        // registers.
        auto eachVector = [&](auto f) __attribute__((always_inline))
        {
            [&]<int... v>(std::integer_sequence<int, v...>) __attribute__((always_inline))
            {
                (f(v), ...);
            }
            (std::make_integer_sequence<int, Vectors>{});
        };

        bool retired = false;
        for (;;) {
            int idle = 0;
            eachVector([&](int v) __attribute__((always_inline)) {
                const __mmask8 free = __mmask8(~live[v]);
                if (free && b.pos < b.n)
                    refill(v, free);
                idle += __builtin_popcount(__mmask8(~live[v]));
            });
            if (b.pos == b.n && (idle == L || (retired && idle >= L / 4)))
                break;
#pragma GCC unroll 16
            for (int i = 0; i < Steps; ++i) {
#pragma GCC unroll 16
                for (int v = 0; v < Vectors; ++v)
                    iterate(zr[v], zi[v], cx[v], cy[v], cnt[v], active[v], two, four, one, limit,
                            true);
            }
            eachVector([&](int v) __attribute__((always_inline)) {
                const __mmask8 stopped = __mmask8(live[v] & ~active[v]);
                if (!stopped)
                    return;
                _mm512_storeu_si512(b.outTag + b.outN,
                                    _mm512_maskz_compress_epi64(stopped, tag[v]));
                _mm512_storeu_si512(b.outCount + b.outN,
                                    _mm512_maskz_compress_epi64(stopped, cnt[v]));
                b.outN += __builtin_popcount(stopped);
                live[v] = __mmask8(live[v] & ~stopped);
                retired = true;
                refill(v, stopped);
            });
        }
        std::uint64_t lanes = 0;
#pragma GCC unroll 16
        for (int v = 0; v < Vectors; ++v) {
            _mm512_store_pd(s.zr + v * Lanes, zr[v]);
            _mm512_store_pd(s.zi + v * Lanes, zi[v]);
            _mm512_store_pd(s.cx + v * Lanes, cx[v]);
            _mm512_store_pd(s.cy + v * Lanes, cy[v]);
            _mm512_store_si512(s.cnt + v * Lanes, cnt[v]);
            _mm512_store_si512(s.tag + v * Lanes, tag[v]);
            lanes |= std::uint64_t(live[v]) << (v * Lanes);
        }
        s.live = lanes;
    }
};

} // namespace

void countsAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t* out)
{
    countsWith<Avx512Lanes>(cx, cy, n, maxIter, out);
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

#pragma GCC pop_options

#endif
