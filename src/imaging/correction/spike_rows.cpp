#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers make their "undefined" vectors by initialising a
// variable from itself, which -Wuninitialized reports; the values are never read.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "imaging/correction/spike_rows.h"

#include <immintrin.h>

#include <cstdlib>
#include <cstring>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/pipeline/kernel_path.h"

namespace lumvek::spike {

namespace {

constexpr int32_t kSpike8 = 30;
constexpr int32_t kColourSpread8 = 30;
constexpr int32_t kSpike16 = 7680;
constexpr int kWordBits = 64;

template <typename Sample>
constexpr bool kWide = sizeof(Sample) == 2;

// The candidate test on 16-bit lanes: 8-bit samples v - mean >= 30 (their
// sum of four fits a lane, so the mean is exact as sum >> 2); 16-bit samples
// |v - mean| >= 7680, the mean exact as the sum of (s >> 2) plus the sum of
// (s & 3) >> 2.
inline __m128i meanOf(__m128i a, __m128i b, __m128i c, __m128i d, bool wide) {
    if (!wide) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, d)), 2);
    }
    const __m128i three = _mm_set1_epi16(3);
    const __m128i quarters = _mm_add_epi16(_mm_add_epi16(_mm_srli_epi16(a, 2), _mm_srli_epi16(b, 2)),
                                           _mm_add_epi16(_mm_srli_epi16(c, 2), _mm_srli_epi16(d, 2)));
    const __m128i rests = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(a, three), _mm_and_si128(b, three)),
                                        _mm_add_epi16(_mm_and_si128(c, three), _mm_and_si128(d, three)));
    return _mm_add_epi16(quarters, _mm_srli_epi16(rests, 2));
}

inline __m128i loadEight(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i loadEight(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// Eight pixels at a time (SSE2, every x86-64 has it), from pixel `from`.
template <typename Sample>
void marksSse2(const Sample* v, const Sample* left, const Sample* right, const Sample* up, const Sample* down,
               int from, int count, uint8_t* marks) {
    for (int i = from; i + 8 <= count; i += 8) {
        const __m128i mean =
            meanOf(loadEight(left + i), loadEight(right + i), loadEight(up + i), loadEight(down + i), kWide<Sample>);
        const __m128i value = loadEight(v + i);
        __m128i hit;
        if constexpr (kWide<Sample>) {
            const __m128i distance = _mm_or_si128(_mm_subs_epu16(value, mean), _mm_subs_epu16(mean, value));
            const __m128i below = _mm_subs_epu16(distance, _mm_set1_epi16(kSpike16 - 1));
            hit = _mm_xor_si128(_mm_cmpeq_epi16(below, _mm_setzero_si128()), _mm_set1_epi16(-1));
        } else {
            hit = _mm_cmpgt_epi16(_mm_subs_epu16(value, mean), _mm_set1_epi16(kSpike8 - 1));
        }
        marks[i / 8] = static_cast<uint8_t>(_mm_movemask_epi8(_mm_packs_epi16(hit, hit)) & 0xFF);
    }
}

// 8-bit samples sixteen at a time in byte lanes (SSE2), from pixel `from`;
// the mean as in marksAvx512Bytes below. Returns where it stopped.
inline int marksSse2Bytes(const uint8_t* v, const uint8_t* left, const uint8_t* right, const uint8_t* up,
                          const uint8_t* down, int from, int count, uint8_t* marks) {
    const __m128i one = _mm_set1_epi8(1);
    const __m128i limit = _mm_set1_epi8(kSpike8);
    auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    int i = from;
    for (; i + 16 <= count; i += 16) {
        const __m128i a = load(left + i), b = load(right + i);
        const __m128i c = load(up + i), d = load(down + i);
        const __m128i oddAb = _mm_and_si128(_mm_xor_si128(a, b), one);
        const __m128i oddCd = _mm_and_si128(_mm_xor_si128(c, d), one);
        const __m128i p = _mm_sub_epi8(_mm_avg_epu8(a, b), oddAb);
        const __m128i q = _mm_sub_epi8(_mm_avg_epu8(c, d), oddCd);
        const __m128i roundDown =
            _mm_andnot_si128(_mm_and_si128(oddAb, oddCd), _mm_and_si128(_mm_xor_si128(p, q), one));
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(p, q), roundDown);
        const __m128i above = _mm_subs_epu8(load(v + i), mean);
        // above >= 30 exactly where max(above, 30) is above itself.
        const __m128i hit = _mm_cmpeq_epi8(_mm_max_epu8(above, limit), above);
        const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(hit));
        std::memcpy(marks + i / 8, &bits, sizeof bits);
    }
    return i;
}

#if defined(__x86_64__)
#define LUMVEK_AVX2 __attribute__((target("avx2")))
#define LUMVEK_AVX512BW __attribute__((target("avx512f,avx512bw")))

LUMVEK_AVX2 inline __m256i loadSixteen(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
LUMVEK_AVX2 inline __m256i loadSixteen(const uint16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Sixteen pixels at a time; returns where it stopped.
template <typename Sample>
LUMVEK_AVX2 int marksAvx2(const Sample* v, const Sample* left, const Sample* right, const Sample* up,
                          const Sample* down, int from, int count, uint8_t* marks) {
    int i = from;
    for (; i + 16 <= count; i += 16) {
        const __m256i a = loadSixteen(left + i), b = loadSixteen(right + i);
        const __m256i c = loadSixteen(up + i), d = loadSixteen(down + i);
        __m256i mean;
        if constexpr (kWide<Sample>) {
            const __m256i three = _mm256_set1_epi16(3);
            const __m256i quarters =
                _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(a, 2), _mm256_srli_epi16(b, 2)),
                                 _mm256_add_epi16(_mm256_srli_epi16(c, 2), _mm256_srli_epi16(d, 2)));
            const __m256i rests =
                _mm256_add_epi16(_mm256_add_epi16(_mm256_and_si256(a, three), _mm256_and_si256(b, three)),
                                 _mm256_add_epi16(_mm256_and_si256(c, three), _mm256_and_si256(d, three)));
            mean = _mm256_add_epi16(quarters, _mm256_srli_epi16(rests, 2));
        } else {
            mean = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a, b), _mm256_add_epi16(c, d)), 2);
        }
        const __m256i value = loadSixteen(v + i);
        __m256i hit;
        if constexpr (kWide<Sample>) {
            const __m256i distance = _mm256_or_si256(_mm256_subs_epu16(value, mean), _mm256_subs_epu16(mean, value));
            const __m256i below = _mm256_subs_epu16(distance, _mm256_set1_epi16(kSpike16 - 1));
            hit = _mm256_xor_si256(_mm256_cmpeq_epi16(below, _mm256_setzero_si256()), _mm256_set1_epi16(-1));
        } else {
            hit = _mm256_cmpgt_epi16(_mm256_subs_epu16(value, mean), _mm256_set1_epi16(kSpike8 - 1));
        }
        // Packing works per 128-bit half: bytes 0-7 and 16-23 hold the sixteen marks.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi16(hit, hit), 0x08);
        const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(_mm256_castsi256_si128(packed)));
        std::memcpy(marks + i / 8, &bits, sizeof bits);
    }
    return i;
}

LUMVEK_AVX2 inline __m256i load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

// 8-bit samples thirty-two at a time in byte lanes, from pixel `from`; the
// mean as in marksAvx512Bytes below. Returns where it stopped.
LUMVEK_AVX2 int marksAvx2Bytes(const uint8_t* v, const uint8_t* left, const uint8_t* right, const uint8_t* up,
                               const uint8_t* down, int from, int count, uint8_t* marks) {
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i limit = _mm256_set1_epi8(kSpike8);
    int i = from;
    for (; i + 32 <= count; i += 32) {
        const __m256i a = load(left + i), b = load(right + i);
        const __m256i c = load(up + i), d = load(down + i);
        const __m256i oddAb = _mm256_and_si256(_mm256_xor_si256(a, b), one);
        const __m256i oddCd = _mm256_and_si256(_mm256_xor_si256(c, d), one);
        const __m256i p = _mm256_sub_epi8(_mm256_avg_epu8(a, b), oddAb);
        const __m256i q = _mm256_sub_epi8(_mm256_avg_epu8(c, d), oddCd);
        const __m256i roundDown = _mm256_andnot_si256(_mm256_and_si256(oddAb, oddCd),
                                                      _mm256_and_si256(_mm256_xor_si256(p, q), one));
        const __m256i mean = _mm256_sub_epi8(_mm256_avg_epu8(p, q), roundDown);
        const __m256i above = _mm256_subs_epu8(load(v + i), mean);
        // above >= 30 exactly where max(above, 30) is above itself.
        const __m256i hit = _mm256_cmpeq_epi8(_mm256_max_epu8(above, limit), above);
        const auto bits = static_cast<uint32_t>(_mm256_movemask_epi8(hit));
        std::memcpy(marks + i / 8, &bits, sizeof bits);
    }
    return i;
}

// 16-bit samples thirty-two at a time; returns where it stopped.
LUMVEK_AVX512BW int marksAvx512Words(const uint16_t* v, const uint16_t* left, const uint16_t* right,
                                     const uint16_t* up, const uint16_t* down, int count, uint8_t* marks) {
    const __m512i three = _mm512_set1_epi16(3);
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m512i a = _mm512_loadu_si512(left + i), b = _mm512_loadu_si512(right + i);
        const __m512i c = _mm512_loadu_si512(up + i), d = _mm512_loadu_si512(down + i);
        const __m512i value = _mm512_loadu_si512(v + i);
        const __m512i quarters = _mm512_add_epi16(_mm512_add_epi16(_mm512_srli_epi16(a, 2), _mm512_srli_epi16(b, 2)),
                                                  _mm512_add_epi16(_mm512_srli_epi16(c, 2), _mm512_srli_epi16(d, 2)));
        const __m512i rests =
            _mm512_add_epi16(_mm512_add_epi16(_mm512_and_si512(a, three), _mm512_and_si512(b, three)),
                             _mm512_add_epi16(_mm512_and_si512(c, three), _mm512_and_si512(d, three)));
        const __m512i mean = _mm512_add_epi16(quarters, _mm512_srli_epi16(rests, 2));
        const __m512i distance = _mm512_or_si512(_mm512_subs_epu16(value, mean), _mm512_subs_epu16(mean, value));
        const auto bits = static_cast<uint32_t>(_mm512_cmpgt_epu16_mask(distance, _mm512_set1_epi16(kSpike16 - 1)));
        std::memcpy(marks + i / 8, &bits, sizeof bits);
    }
    return i;
}

// 8-bit samples sixty-four at a time in byte lanes. With p and q the floors
// of (a + b) / 2 and (c + d) / 2, floor((a + b + c + d) / 4) is the rounded-up
// mean of p and q when both sums were odd, else its floor.
LUMVEK_AVX512BW int marksAvx512Bytes(const uint8_t* v, const uint8_t* left, const uint8_t* right, const uint8_t* up,
                                     const uint8_t* down, int count, uint8_t* marks) {
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i limit = _mm512_set1_epi8(kSpike8);
    int i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i a = _mm512_loadu_si512(left + i), b = _mm512_loadu_si512(right + i);
        const __m512i c = _mm512_loadu_si512(up + i), d = _mm512_loadu_si512(down + i);
        const __m512i oddAb = _mm512_and_si512(_mm512_xor_si512(a, b), one);
        const __m512i oddCd = _mm512_and_si512(_mm512_xor_si512(c, d), one);
        const __m512i p = _mm512_sub_epi8(_mm512_avg_epu8(a, b), oddAb);
        const __m512i q = _mm512_sub_epi8(_mm512_avg_epu8(c, d), oddCd);
        const __m512i roundDown = _mm512_andnot_si512(_mm512_and_si512(oddAb, oddCd),
                                                      _mm512_and_si512(_mm512_xor_si512(p, q), one));
        const __m512i mean = _mm512_sub_epi8(_mm512_avg_epu8(p, q), roundDown);
        const __mmask64 hit = _mm512_cmpge_epu8_mask(_mm512_subs_epu8(_mm512_loadu_si512(v + i), mean), limit);
        const auto bits = static_cast<uint64_t>(hit);
        std::memcpy(marks + i / 8, &bits, sizeof bits);
    }
    return i;
}
#endif

template <typename Sample>
bool isCandidate(int32_t v, int32_t mean) {
    if constexpr (kWide<Sample>) {
        return std::abs(v - mean) >= kSpike16;
    } else {
        return v - mean >= kSpike8;
    }
}

// The marks of one row: the widest vectors the processor has, then narrower
// ones, then one pixel at a time. Bit i stands for column i + 2.
template <typename Sample>
void markRow(const RowWindow<Sample>& rows, int width, uint8_t* marks) {
    const int count = width - 4;
    std::memset(marks, 0, markBytesFor(width));
    const Sample* v = rows.row + 2;
    const Sample* left = rows.row;
    const Sample* right = rows.row + 4;
    const Sample* up = rows.up2 + 2;
    const Sample* down = rows.down2 + 2;
    int i = 0;
#if defined(__x86_64__)
    if (cpuFeatures().avx512bw) {
        if constexpr (kWide<Sample>) {
            i = marksAvx512Words(v, left, right, up, down, count, marks);
        } else {
            i = marksAvx512Bytes(v, left, right, up, down, count, marks);
        }
    }
    if (cpuFeatures().avx2) {
        if constexpr (!kWide<Sample>) {
            i = marksAvx2Bytes(v, left, right, up, down, i, count, marks);
        }
        i = marksAvx2(v, left, right, up, down, i, count, marks);
    }
#endif
    if constexpr (!kWide<Sample>) {
        i = marksSse2Bytes(v, left, right, up, down, i, count, marks);
    }
    marksSse2(v, left, right, up, down, i, count, marks);
    for (i = count / 8 * 8; i < count; ++i) {
        const int32_t mean = (int32_t{left[i]} + right[i] + up[i] + down[i]) >> 2;
        if (isCandidate<Sample>(v[i], mean)) {
            marks[i / 8] = static_cast<uint8_t>(marks[i / 8] | (1u << (i % 8)));
        }
    }
}

// The first marked pixel index at or after i, or count.
int nextMarked(const uint8_t* marks, int i, int count) {
    while (i < count) {
        uint64_t word;
        std::memcpy(&word, marks + static_cast<size_t>(i / kWordBits) * sizeof word, sizeof word);
        word >>= i % kWordBits;
        if (word != 0) {
            return i + __builtin_ctzll(word);
        }
        i = (i / kWordBits + 1) * kWordBits;
    }
    return count;
}

// Calls test(x) for every marked column and for the two columns after each
// one test(x) replaced, in scan order.
template <typename Test>
void scanMarked(const uint8_t* marks, int width, Test test) {
    const int count = width - 4;
    int recheckUntil = -1;
    for (int x = 2;; ++x) {
        if (x > recheckUntil) {
            const int i = nextMarked(marks, x - 2, count);
            if (i >= count) {
                return;
            }
            x = i + 2;
        } else if (x >= width - 2) {
            return;
        }
        if (test(x)) {
            recheckUntil = x + 2;
        }
    }
}

template <typename Sample>
int32_t meanAt(const RowWindow<Sample>& rows, int x) {
    return (int32_t{rows.row[x - 2]} + rows.row[x + 2] + rows.up2[x] + rows.down2[x]) >> 2;
}

template <typename Sample>
void replace(const RowWindow<Sample>& rows, int y, int x, int32_t mean, std::vector<SpikeReplacement>* replaced) {
    if (replaced != nullptr) {
        replaced->push_back(SpikeReplacement{y, x, rows.row[x]});
    }
    rows.row[x] = static_cast<Sample>(mean);
}

} // namespace

// The interpolated colour at (y, x) (quad rows y-1, y, columns x-1, x), each
// component's low 8 bits, and whether two of its differences exceed 30.
bool looksColoured(const RowWindow<uint8_t>& rows, const SpikeFilterParams& p, int y, int x) {
    const int mode = p.bayerMode & 3;
    // Row offsets -2 .. 1 from y.
    const int ry = (((y - 1) & 1) == redRowParity(mode)) ? -1 : 0;
    const int by = ry == 0 ? -1 : 0;
    const int rx = (((x - 1) & 1) == redColumnParity(mode)) ? x - 1 : x;
    const int bx = rx == x ? x - 1 : x;
    const int ry2 = ry == -1 ? 1 : -2;
    const int by2 = by == -1 ? 1 : -2;
    const int rx2 = rx == x - 1 ? x + 1 : x - 2;
    const int bx2 = bx == x - 1 ? x + 1 : x - 2;
    const uint8_t* const lines[4] = {rows.up2, rows.up, rows.row, rows.down};
    auto s = [&lines](int dy, int xx) { return int32_t{lines[dy + 2][xx]}; };
    const int32_t redSum = 9 * s(ry, rx) + 3 * s(ry2, rx) + 3 * s(ry, rx2) + s(ry2, rx2);
    const int32_t blueSum = 9 * s(by, bx) + 3 * s(by2, bx) + 3 * s(by, bx2) + s(by2, bx2);
    const int32_t r = ((redSum * p.redMultiplier) >> 11) & 0xFF;
    const int32_t b = ((blueSum * p.blueMultiplier) >> 11) & 0xFF;
    const int32_t g = ((s(ry, bx) + s(by, rx)) >> 1) & 0xFF;
    const int spread = (std::abs(r - g) > kColourSpread8) + (std::abs(r - b) > kColourSpread8) +
                       (std::abs(g - b) > kColourSpread8);
    return spread >= 2;
}

size_t markBytesFor(int width) {
    const size_t count = width > 4 ? static_cast<size_t>(width - 4) : 0;
    return (count + kWordBits - 1) / kWordBits * sizeof(uint64_t);
}

void filterRow8(const RowWindow<uint8_t>& rows, int y, int width, const SpikeFilterParams& params, uint8_t* marks,
                std::vector<SpikeReplacement>* replaced) {
    markRow(rows, width, marks);
    scanMarked(marks, width, [&](int x) {
        const int32_t mean = meanAt(rows, x);
        if (rows.row[x] - mean >= kSpike8 && looksColoured(rows, params, y, x)) {
            replace(rows, y, x, mean, replaced);
            return true;
        }
        return false;
    });
}

void filterRow16(const RowWindow<uint16_t>& rows, int y, int width, uint8_t* marks,
                 std::vector<SpikeReplacement>* replaced) {
    markRow(rows, width, marks);
    scanMarked(marks, width, [&](int x) {
        const int32_t v = rows.row[x];
        const int32_t mean = meanAt(rows, x);
        if (std::abs(v - mean) < kSpike16) {
            return false;
        }
        auto far = [v](int32_t n) { return std::abs(n - v) >= kSpike16; };
        if (far(rows.row[x - 1]) && far(rows.row[x + 1]) && far(rows.up[x - 1]) && far(rows.up[x]) &&
            far(rows.up[x + 1]) && far(rows.down[x - 1]) && far(rows.down[x]) && far(rows.down[x + 1])) {
            replace(rows, y, x, mean, replaced);
            return true;
        }
        return false;
    });
}

} // namespace lumvek::spike
