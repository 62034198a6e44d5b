// The hue/saturation transform eight pixels at a time in 32-bit lanes: the
// same integer steps as hueSaturationPixel, branches turned into blends and
// the tables read by gathers. A pixel with d = 0 needs no blend: its n, k
// and w are 0, so the hue step adds nothing, as in the scalar code.
#include <immintrin.h>

#include <cstdint>

#include "imaging/colour/hue_saturation.h"
#include "imaging/pipeline/kernel_path.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_AVX2 __attribute__((target("avx2")))

LUMVEK_AVX2 inline __m256i grey8(__m256i n) { return _mm256_mullo_epi32(n, _mm256_set1_epi32(0x010101)); }

LUMVEK_AVX2 inline __m256i transform8(__m256i b, __m256i g, __m256i r, int a, const int32_t* reciprocal,
                                      const int32_t* chroma) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i maxRg = _mm256_max_epi32(r, g);
    const __m256i maxC = _mm256_max_epi32(maxRg, b);
    const __m256i minC = _mm256_min_epi32(_mm256_min_epi32(r, g), b);
    const __m256i d = _mm256_sub_epi32(maxC, minC);
    const __m256i lightness = _mm256_add_epi32(maxC, minC);
    // base 5 when b > max(r, g); else base 1 when r >= g; else base 3.
    const __m256i blueLeads = _mm256_cmpgt_epi32(b, maxRg);
    const __m256i redOverGreen = _mm256_cmpgt_epi32(g, r);  // r < g
    __m256i base = _mm256_blendv_epi8(_mm256_set1_epi32(1), _mm256_set1_epi32(3), redOverGreen);
    __m256i n = _mm256_blendv_epi8(_mm256_sub_epi32(g, b), _mm256_sub_epi32(b, r), redOverGreen);
    base = _mm256_blendv_epi8(base, _mm256_set1_epi32(5), blueLeads);
    n = _mm256_blendv_epi8(n, _mm256_sub_epi32(r, g), blueLeads);
    const __m256i negative = _mm256_cmpgt_epi32(zero, n);
    base = _mm256_add_epi32(base, negative);  // -1 where negative
    n = _mm256_add_epi32(n, _mm256_and_si256(d, negative));

    const __m256i k = _mm256_min_epi32(_mm256_min_epi32(lightness, _mm256_sub_epi32(_mm256_set1_epi32(511), lightness)),
                                       _mm256_i32gather_epi32(chroma, d, 4));
    const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(lightness, k), 1);
    const __m256i high = _mm256_srai_epi32(_mm256_add_epi32(lightness, k), 1);
    __m256i u = grey8(low);

    const __m256i recip = _mm256_i32gather_epi32(reciprocal, d, 4);
    const __m256i v = _mm256_add_epi32(
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(n, recip), _mm256_set1_epi32(0x8000)), 16),
        _mm256_set1_epi32(a % 255));
    const __m256i wraps = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(254));
    const __m256i index = _mm256_sub_epi32(_mm256_add_epi32(base, _mm256_set1_epi32(a / 255)), wraps);
    const __m256i f = _mm256_sub_epi32(v, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    const __m256i w = _mm256_sub_epi32(high, low);
    const __m256i mask = _mm256_i32gather_epi32(kSextantMasks, index, 4);
    const __m256i step = _mm256_i32gather_epi32(kSextantSteps, index, 4);
    const __m256i amount =
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(w, f), _mm256_set1_epi32(128)), 8);
    u = _mm256_add_epi32(u, _mm256_add_epi32(_mm256_and_si256(grey8(w), mask), _mm256_mullo_epi32(amount, step)));
    return _mm256_and_si256(u, _mm256_set1_epi32(0xFFFFFF));
}

// Byte offsets of eight consecutive pixels.
LUMVEK_AVX2 inline __m256i pixelOffsets(int bytesPerPixel) {
    return _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(bytesPerPixel));
}

LUMVEK_AVX2 int rowAvx2(uint8_t* row, int width, int bpp, int a, const HueSaturationTables& tables) {
    const int32_t* reciprocal = tables.reciprocalTable();
    const int32_t* chroma = tables.chromaTable();
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i offsets = pixelOffsets(bpp);
    // A 3-byte pixel's 4-byte gather reads one byte of the next pixel.
    const int last = bpp == 3 ? width - 9 : width - 8;
    int x = 0;
    alignas(32) uint32_t out[8];
    for (; x <= last; x += 8) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bpp;
        const __m256i px = _mm256_i32gather_epi32(reinterpret_cast<const int*>(p), offsets, 1);
        const __m256i b = _mm256_and_si256(px, byteMask);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(px, 8), byteMask);
        const __m256i r = _mm256_and_si256(_mm256_srli_epi32(px, 16), byteMask);
        const __m256i u = transform8(b, g, r, a, reciprocal, chroma);
        if (bpp == 4) {  // fourth byte 0
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), u);
            continue;
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(out), u);
        for (int i = 0; i < 8; ++i) {
            const uint32_t v = out[i];
            uint8_t* q = p + i * 3;
            q[0] = static_cast<uint8_t>(v);
            q[1] = static_cast<uint8_t>(v >> 8);
            q[2] = static_cast<uint8_t>(v >> 16);
        }
    }
    return x;
}

} // namespace
#endif

int hueSaturationRowAvx2(uint8_t* row, int width, int bytesPerPixel, int hueOffset, const HueSaturationTables& tables) {
#if defined(__x86_64__)
    if (cpuFeatures().avx2 && (bytesPerPixel == 3 || bytesPerPixel == 4)) {
        return rowAvx2(row, width, bytesPerPixel, hueOffset, tables);
    }
#endif
    return 0;
}

} // namespace lumvek::detail
