// Levels to pixels, sixteen (AVX-512) or eight (AVX2) at a time with a
// gather from the table, else one at a time; chosen by what the processor
// runs. A run of one level (the set's inside, the outer bands: much of most
// pictures) is one broadcast, not a gather.
#include "pixels.h"

#include "escape.h"

#ifdef ZELMAR_ESCAPE_X86
#include <immintrin.h>
#endif

namespace explorer::engine {

namespace {

void levelsToPixelsPortable(const std::uint8_t* levels, const std::uint32_t* table,
                            std::uint32_t* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = table[levels[i]];
}

#ifdef ZELMAR_ESCAPE_X86
__attribute__((target("avx512f"))) void levelsToPixelsAvx512(const std::uint8_t* levels,
                                                             const std::uint32_t* table,
                                                             std::uint32_t* out, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(char(levels[i])))) == 0xffff) {
            _mm512_storeu_si512(out + i, _mm512_set1_epi32(int(table[levels[i]])));
            continue;
        }
        // The masked forms with a zero source: the plain ones leave GCC
        // warning about their undefined source lanes.
        const __m512i index = _mm512_maskz_cvtepu8_epi32(0xffff, bytes);
        _mm512_storeu_si512(
            out + i, _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xffff, index, table, 4));
    }
    levelsToPixelsPortable(levels + i, table, out + i, n - i);
}

__attribute__((target("avx2"))) void levelsToPixelsAvx2(const std::uint8_t* levels,
                                                        const std::uint32_t* table,
                                                        std::uint32_t* out, std::size_t n)
{
    std::size_t i = 0;
    const auto* base = reinterpret_cast<const int*>(table);
    for (; i + 8 <= n; i += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(levels + i));
        if ((_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(char(levels[i])))) & 0xff) ==
            0xff) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                                _mm256_set1_epi32(int(table[levels[i]])));
            continue;
        }
        const __m256i index = _mm256_cvtepu8_epi32(bytes);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_i32gather_epi32(base, index, 4));
    }
    levelsToPixelsPortable(levels + i, table, out + i, n - i);
}
#endif

} // namespace

void levelsToPixels(const std::uint8_t* levels, const std::uint32_t* table, std::uint32_t* out,
                    std::size_t n)
{
#ifdef ZELMAR_ESCAPE_X86
    static const Isa isa = escape::bestIsa();
    if (isa == Isa::Avx512)
        return levelsToPixelsAvx512(levels, table, out, n);
    if (isa == Isa::Avx2)
        return levelsToPixelsAvx2(levels, table, out, n);
#endif
    levelsToPixelsPortable(levels, table, out, n);
}

} // namespace explorer::engine
