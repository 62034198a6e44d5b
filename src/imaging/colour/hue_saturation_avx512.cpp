// The hue/saturation transform sixteen pixels at a time with AVX-512 (BW and
// VBMI): the same integer steps as hueSaturationPixel in 32-bit lanes, as
// the AVX2 body does, with byte permutes that spread any of the four
// layouts into lanes and pack them back, and masked loads and stores that
// finish the row, so no pixel is left to the scalar code. The tone table
// that follows hue/saturation in the chain can be applied on the way out:
// its input is one of 256 values (an 8-bit sample, or a 16-bit sample whose
// low byte hue/saturation has just made 0), so its answers are two 256-byte
// tables, read with byte permutes while the pixels are still in registers.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers make their "undefined" vectors by initialising a
// variable from itself, which -Wuninitialized and -Wmaybe-uninitialized
// report at unmasked operations; the values are never read.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "imaging/colour/hue_saturation.h"
#include "imaging/pipeline/kernel_path.h"

namespace lumvek {

HueToneBytes::HueToneBytes(const std::vector<uint16_t>& table, bool wide) {
    for (size_t i = 0; i < low.size(); ++i) {
        const uint16_t entry = wide ? table[i << 8] : table[i];
        low[i] = static_cast<uint8_t>(entry & 0xFF);
        high[i] = static_cast<uint8_t>(entry >> 8);
    }
}

namespace detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

constexpr int kLanes = 16;
constexpr int kVector = 64;

// Byte indices of the permutes, one table per layout, made at compile time.
using Indices = std::array<uint8_t, 128>;

// Lane j, bytes 0..2 <- the components of pixel j (their high bytes when
// samples are 16 bits); byte 3 is zeroed by the permute's mask.
constexpr Indices spreadIndices(int bytesPerPixel) {
    Indices idx{};
    const int sampleBytes = bytesPerPixel >= 6 ? 2 : 1;
    for (int j = 0; j < kLanes; ++j) {
        for (int c = 0; c < 3; ++c) {
            idx[static_cast<size_t>(4 * j + c)] =
                static_cast<uint8_t>(bytesPerPixel * j + sampleBytes * c + (sampleBytes - 1));
        }
    }
    return idx;
}

// Output byte p <- lane byte of its component; for 16-bit samples the low
// byte comes from the first source register, the high from the second (+64).
// Bytes of a fourth component are left to the permute's mask (zeroed).
constexpr Indices packIndices(int bytesPerPixel) {
    Indices idx{};
    const int sampleBytes = bytesPerPixel >= 6 ? 2 : 1;
    for (int p = 0; p < kLanes * bytesPerPixel; ++p) {
        const int j = p / bytesPerPixel;
        const int c = (p % bytesPerPixel) / sampleBytes;
        const bool highByte = sampleBytes == 2 && (p % 2) == 1;
        idx[static_cast<size_t>(p)] = static_cast<uint8_t>(4 * j + (c < 3 ? c : 0) + (highByte ? kVector : 0));
    }
    return idx;
}

// Bits of the output bytes that carry one of the three components.
constexpr uint64_t componentBits(int bytesPerPixel, int half) {
    uint64_t bits = 0;
    const int sampleBytes = bytesPerPixel >= 6 ? 2 : 1;
    for (int i = 0; i < kVector; ++i) {
        const int p = half * kVector + i;
        if (p < kLanes * bytesPerPixel && (p % bytesPerPixel) / sampleBytes < 3) {
            bits |= uint64_t{1} << i;
        }
    }
    return bits;
}

constexpr uint64_t kLaneComponents = 0x7777777777777777ull;  // bytes 0..2 of each 32-bit lane

// The first n bits set (n = 0..64).
inline uint64_t firstBits(int n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }

LUMVEK_AVX512 inline __m512i loadIndices(const Indices& idx, int half) {
    return _mm512_loadu_si512(idx.data() + half * kVector);
}

LUMVEK_AVX512 inline __m512i lookup256(__m512i bytes, const __m512i (&table)[4]) {
    const __m512i low = _mm512_permutex2var_epi8(table[0], bytes, table[1]);
    const __m512i high = _mm512_permutex2var_epi8(table[2], bytes, table[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
}

LUMVEK_AVX512 inline __m512i greyOf(__m512i n) {
    // n <= 255 in every use: its byte repeated into bytes 0..2.
    const __m512i repeat = _mm512_set4_epi32(static_cast<int>(0x800C0C0Cu), static_cast<int>(0x80080808u),
                                             static_cast<int>(0x80040404u), static_cast<int>(0x80000000u));
    return _mm512_shuffle_epi8(n, repeat);
}

LUMVEK_AVX512 inline __m512i sextantTable(const int32_t* table) {
    return _mm512_setr_epi32(table[0], table[1], table[2], table[3], table[4], table[5], 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             0);
}

struct Constants {
    __m512i masks;
    __m512i steps;
    __m512i chromaScale;
    __m512i hueRest;
    __m512i hueSextant;
};

LUMVEK_AVX512 inline __m512i transform16(__m512i px, const int32_t* reciprocal, const Constants& k) {
    const __m512i byteMask = _mm512_set1_epi32(0xFF);
    const __m512i b = _mm512_and_si512(px, byteMask);
    const __m512i g = _mm512_and_si512(_mm512_srli_epi32(px, 8), byteMask);
    const __m512i r = _mm512_and_si512(_mm512_srli_epi32(px, 16), byteMask);
    const __m512i maxRg = _mm512_max_epi32(r, g);
    const __m512i maxC = _mm512_max_epi32(maxRg, b);
    const __m512i minC = _mm512_min_epi32(_mm512_min_epi32(r, g), b);
    const __m512i d = _mm512_sub_epi32(maxC, minC);
    const __m512i lightness = _mm512_add_epi32(maxC, minC);
    // base 5 when b > max(r, g); else base 1 when r >= g; else base 3.
    const __mmask16 blueLeads = _mm512_cmpgt_epi32_mask(b, maxRg);
    const __mmask16 greenOverRed = _mm512_cmpgt_epi32_mask(g, r);
    __m512i base = _mm512_mask_blend_epi32(greenOverRed, _mm512_set1_epi32(1), _mm512_set1_epi32(3));
    __m512i n = _mm512_mask_blend_epi32(greenOverRed, _mm512_sub_epi32(g, b), _mm512_sub_epi32(b, r));
    base = _mm512_mask_blend_epi32(blueLeads, base, _mm512_set1_epi32(5));
    n = _mm512_mask_blend_epi32(blueLeads, n, _mm512_sub_epi32(r, g));
    const __mmask16 negative = _mm512_cmplt_epi32_mask(n, _mm512_setzero_si512());
    base = _mm512_mask_sub_epi32(base, negative, base, _mm512_set1_epi32(1));
    n = _mm512_mask_add_epi32(n, negative, n, d);

    // chroma(d) = ((saturation + 256) * 256 * d + 0x8000) >> 16, as the table holds it.
    const __m512i chroma = _mm512_srai_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(d, k.chromaScale), _mm512_set1_epi32(0x8000)), 16);
    const __m512i limit =
        _mm512_min_epi32(_mm512_min_epi32(lightness, _mm512_sub_epi32(_mm512_set1_epi32(511), lightness)), chroma);
    const __m512i low = _mm512_srai_epi32(_mm512_sub_epi32(lightness, limit), 1);
    const __m512i high = _mm512_srai_epi32(_mm512_add_epi32(lightness, limit), 1);

    const __m512i recip = _mm512_i32gather_epi32(d, reciprocal, 4);
    const __m512i v = _mm512_add_epi32(
        _mm512_srai_epi32(_mm512_add_epi32(_mm512_mullo_epi32(n, recip), _mm512_set1_epi32(0x8000)), 16), k.hueRest);
    const __mmask16 wraps = _mm512_cmpgt_epi32_mask(v, _mm512_set1_epi32(254));
    __m512i index = _mm512_add_epi32(base, k.hueSextant);
    index = _mm512_mask_add_epi32(index, wraps, index, _mm512_set1_epi32(1));
    const __m512i f = _mm512_mask_sub_epi32(v, wraps, v, _mm512_set1_epi32(255));
    const __m512i w = _mm512_sub_epi32(high, low);
    const __m512i sextant =
        _mm512_mask_sub_epi32(index, _mm512_cmpgt_epi32_mask(index, _mm512_set1_epi32(5)), index, _mm512_set1_epi32(6));
    const __m512i mask = _mm512_permutexvar_epi32(sextant, k.masks);
    const __m512i step = _mm512_permutexvar_epi32(sextant, k.steps);
    // w <= 255 and f <= 254 in lanes whose high halves are 0: a 16-bit
    // multiply gives the whole product (< 2^16) for half the cost.
    const __m512i amount =
        _mm512_srai_epi32(_mm512_add_epi32(_mm512_mullo_epi16(w, f), _mm512_set1_epi32(128)), 8);
    const __m512i u = _mm512_add_epi32(_mm512_add_epi32(greyOf(low), _mm512_and_si512(greyOf(w), mask)),
                                       _mm512_mullo_epi32(amount, step));
    return _mm512_and_si512(u, _mm512_set1_epi32(0xFFFFFF));
}

// Sixteen pixels (fewer at the end of a row: `left` bytes remain) into lanes.
template <int kBytesPerPixel>
LUMVEK_AVX512 inline __m512i spreadChunk(const uint8_t* p, int left, __m512i spread) {
    constexpr int kChunkBytes = kLanes * kBytesPerPixel;
    const int bytes = left < kChunkBytes ? left : kChunkBytes;
    const __m512i first = _mm512_maskz_loadu_epi8(firstBits(bytes), p);
    if constexpr (kChunkBytes > kVector) {
        const __m512i second = _mm512_maskz_loadu_epi8(firstBits(bytes - kVector > 0 ? bytes - kVector : 0), p + kVector);
        return _mm512_maskz_permutex2var_epi8(kLaneComponents, first, spread, second);
    } else {
        return _mm512_maskz_permutexvar_epi8(kLaneComponents, spread, first);
    }
}

template <int kBytesPerPixel>
LUMVEK_AVX512 void rowAvx512(uint8_t* row, int width, int a, const HueSaturationTables& tables,
                             const HueToneBytes* tone) {
    constexpr bool kWide = kBytesPerPixel >= 6;
    constexpr int kChunkBytes = kLanes * kBytesPerPixel;  // 48, 64, 96 or 128
    static constexpr Indices kSpread = spreadIndices(kBytesPerPixel);
    static constexpr Indices kPack = packIndices(kBytesPerPixel);
    const Constants k{sextantTable(kSextantMasks), sextantTable(kSextantSteps),
                      _mm512_set1_epi32((tables.saturation() + 256) * 256), _mm512_set1_epi32(a % 255),
                      _mm512_set1_epi32(a / 255)};
    const int32_t* reciprocal = tables.reciprocalTable();
    __m512i lowTable[4];
    __m512i highTable[4];
    if (tone != nullptr) {
        for (int i = 0; i < 4; ++i) {
            lowTable[i] = _mm512_loadu_si512(tone->low.data() + kVector * i);
            highTable[i] = _mm512_loadu_si512(tone->high.data() + kVector * i);
        }
    }
    const __m512i spread0 = loadIndices(kSpread, 0);
    const __m512i pack0 = loadIndices(kPack, 0);
    const __m512i pack1 = loadIndices(kPack, 1);
    const uint64_t keep0 = componentBits(kBytesPerPixel, 0);
    const uint64_t keep1 = componentBits(kBytesPerPixel, 1);
    const int rowBytes = width * kBytesPerPixel;

    // The next chunk is loaded before this one is stored: a load that
    // overlaps the footprint of an earlier masked store waits for it.
    __m512i lanes = spreadChunk<kBytesPerPixel>(row, rowBytes, spread0);
    for (int at = 0; at < rowBytes; at += kChunkBytes) {
        uint8_t* p = row + at;
        const int bytes = rowBytes - at < kChunkBytes ? rowBytes - at : kChunkBytes;
        const __mmask64 in0 = firstBits(bytes);
        const __mmask64 in1 = firstBits(bytes - kVector > 0 ? bytes - kVector : 0);
        const __m512i u = transform16(lanes, reciprocal, k);
        if (at + kChunkBytes < rowBytes) {
            lanes = spreadChunk<kBytesPerPixel>(p + kChunkBytes, rowBytes - at - kChunkBytes, spread0);
        }
        // The bytes the output takes: the low and (16-bit samples) high byte of each sample.
        __m512i lowBytes = kWide ? _mm512_setzero_si512() : u;
        __m512i highBytes = u;
        if (tone != nullptr) {
            lowBytes = lookup256(u, lowTable);
            if constexpr (kWide) {
                highBytes = lookup256(u, highTable);
            }
        }
        if constexpr (kWide) {
            _mm512_mask_storeu_epi8(p, in0, _mm512_maskz_permutex2var_epi8(keep0, lowBytes, pack0, highBytes));
            _mm512_mask_storeu_epi8(p + kVector, in1,
                                    _mm512_maskz_permutex2var_epi8(keep1, lowBytes, pack1, highBytes));
        } else {
            _mm512_mask_storeu_epi8(p, in0, _mm512_maskz_permutexvar_epi8(keep0, pack0, lowBytes));
        }
    }
}

} // namespace
#endif

bool hueSaturationRowAvx512(uint8_t* row, int width, int bytesPerPixel, int hueOffset,
                            const HueSaturationTables& tables, const HueToneBytes* tone) {
#if defined(__x86_64__)
    if (!cpuFeatures().avx512vbmi) {
        return false;
    }
    switch (bytesPerPixel) {
    case 3: rowAvx512<3>(row, width, hueOffset, tables, tone); return true;
    case 4: rowAvx512<4>(row, width, hueOffset, tables, tone); return true;
    case 6: rowAvx512<6>(row, width, hueOffset, tables, tone); return true;
    case 8: rowAvx512<8>(row, width, hueOffset, tables, tone); return true;
    default: return false;
    }
#else
    (void)row, (void)width, (void)bytesPerPixel, (void)hueOffset, (void)tables, (void)tone;
    return false;
#endif
}

} // namespace detail
} // namespace lumvek
