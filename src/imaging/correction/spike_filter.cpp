#include "imaging/correction/spike_filter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <immintrin.h>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/pipeline/kernel_path.h"

namespace lumvek {

namespace {

constexpr int32_t kSpike8 = 30;
constexpr int32_t kColourSpread8 = 30;
constexpr int32_t kSpike16 = 7680;

bool isRaw(const PlaneView& frame) {
    return !frame.empty() && (frame.bytesPerPixel == 1 || frame.bytesPerPixel == 2);
}

template <typename Sample>
int32_t at(const PlaneView& frame, int y, int x) {
    return reinterpret_cast<const Sample*>(frame.row(y))[x];
}

// The interpolated colour at (y, x) (quad rows y-1, y, columns x-1, x), each
// component's low 8 bits, and whether two of its differences exceed 30.
bool looksColoured(const PlaneView& frame, const SpikeFilterParams& p, int y, int x) {
    const int mode = p.bayerMode & 3;
    const int ry = (((y - 1) & 1) == redRowParity(mode)) ? y - 1 : y;
    const int by = ry == y ? y - 1 : y;
    const int rx = (((x - 1) & 1) == redColumnParity(mode)) ? x - 1 : x;
    const int bx = rx == x ? x - 1 : x;
    const int ry2 = ry == y - 1 ? y + 1 : y - 2;
    const int by2 = by == y - 1 ? y + 1 : y - 2;
    const int rx2 = rx == x - 1 ? x + 1 : x - 2;
    const int bx2 = bx == x - 1 ? x + 1 : x - 2;
    auto s = [&](int yy, int xx) { return at<uint8_t>(frame, yy, xx); };
    const int32_t redSum = 9 * s(ry, rx) + 3 * s(ry2, rx) + 3 * s(ry, rx2) + s(ry2, rx2);
    const int32_t blueSum = 9 * s(by, bx) + 3 * s(by2, bx) + 3 * s(by, bx2) + s(by2, bx2);
    const int32_t r = ((redSum * p.redMultiplier) >> 11) & 0xFF;
    const int32_t b = ((blueSum * p.blueMultiplier) >> 11) & 0xFF;
    const int32_t g = ((s(ry, bx) + s(by, rx)) >> 1) & 0xFF;
    const int spread = (std::abs(r - g) > kColourSpread8) + (std::abs(r - b) > kColourSpread8) +
                       (std::abs(g - b) > kColourSpread8);
    return spread >= 2;
}

void reference8(const PlaneView& frame, const SpikeFilterParams& p) {
    for (int y = 2; y < frame.height - 2; ++y) {
        for (int x = 2; x < frame.width - 2; ++x) {
            const int32_t v = at<uint8_t>(frame, y, x);
            const int32_t m = (at<uint8_t>(frame, y, x - 2) + at<uint8_t>(frame, y, x + 2) +
                               at<uint8_t>(frame, y - 2, x) + at<uint8_t>(frame, y + 2, x)) >>
                              2;
            if (v - m >= kSpike8 && looksColoured(frame, p, y, x)) {
                frame.row(y)[x] = static_cast<uint8_t>(m);
            }
        }
    }
}

void reference16(const PlaneView& frame) {
    for (int y = 2; y < frame.height - 2; ++y) {
        for (int x = 2; x < frame.width - 2; ++x) {
            const int32_t v = at<uint16_t>(frame, y, x);
            const int32_t m = (at<uint16_t>(frame, y, x - 2) + at<uint16_t>(frame, y, x + 2) +
                               at<uint16_t>(frame, y - 2, x) + at<uint16_t>(frame, y + 2, x)) >>
                              2;
            if (std::abs(v - m) < kSpike16) {
                continue;
            }
            bool isolated = true;
            for (int dy = -1; dy <= 1 && isolated; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dy != 0 || dx != 0) && std::abs(at<uint16_t>(frame, y + dy, x + dx) - v) < kSpike16) {
                        isolated = false;
                        break;
                    }
                }
            }
            if (isolated) {
                frame.row16(y)[x] = static_cast<uint16_t>(m);
            }
        }
    }
}

// Candidates of one row: pixels whose distance from their same-colour mean
// reaches the limit, computed from the row as it stands before its scan,
// eight pixels at a time (SSE2, every x86-64 has it). The mean is exact in
// 16-bit lanes: floor(sum / 4) = sum of (s >> 2) + (sum of (s & 3)) >> 2.
// test(v, m) gives all-ones lanes where the candidate condition holds.
inline __m128i loadEight(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i loadEight(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

template <typename Sample, typename Test>
void markCandidates(const Sample* v, const Sample* left, const Sample* right, const Sample* up, const Sample* down,
                    int count, uint8_t* candidates, Test test) {
    const __m128i three = _mm_set1_epi16(3);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        auto load = [](const Sample* p) { return loadEight(p); };
        const __m128i a = load(left + i), b = load(right + i), c = load(up + i), d = load(down + i);
        const __m128i quarters = _mm_add_epi16(_mm_add_epi16(_mm_srli_epi16(a, 2), _mm_srli_epi16(b, 2)),
                                               _mm_add_epi16(_mm_srli_epi16(c, 2), _mm_srli_epi16(d, 2)));
        const __m128i rests = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(a, three), _mm_and_si128(b, three)),
                                            _mm_add_epi16(_mm_and_si128(c, three), _mm_and_si128(d, three)));
        const __m128i mean = _mm_add_epi16(quarters, _mm_srli_epi16(rests, 2));
        const __m128i hit = test(load(v + i), mean);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(candidates + i), _mm_packs_epi16(hit, hit));
    }
    for (; i < count; ++i) {
        const int32_t m = (int32_t{left[i]} + right[i] + up[i] + down[i]) >> 2;
        const __m128i hit = test(_mm_set1_epi16(static_cast<int16_t>(v[i])), _mm_set1_epi16(static_cast<int16_t>(m)));
        candidates[i] = static_cast<uint8_t>(_mm_cvtsi128_si32(hit) & 0xFF);
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline __m256i loadSixteen(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
__attribute__((target("avx2"))) inline __m256i loadSixteen(const uint16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The same marks sixteen pixels at a time with AVX2, for the leading part of
// a row; returns how many pixels it marked (the SSE2 code does the rest).
// wide: the 16-bit test |v - mean| >= 7680, else v - mean >= 30.
template <typename Sample>
__attribute__((target("avx2"))) int markCandidatesAvx2(const Sample* v, const Sample* left, const Sample* right,
                                                       const Sample* up, const Sample* down, int count,
                                                       uint8_t* candidates) {
    constexpr int kLanes = 16;
    const __m256i three = _mm256_set1_epi16(3);
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m256i a = loadSixteen(left + i), b = loadSixteen(right + i);
        const __m256i c = loadSixteen(up + i), d = loadSixteen(down + i);
        const __m256i quarters =
            _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(a, 2), _mm256_srli_epi16(b, 2)),
                             _mm256_add_epi16(_mm256_srli_epi16(c, 2), _mm256_srli_epi16(d, 2)));
        const __m256i rests =
            _mm256_add_epi16(_mm256_add_epi16(_mm256_and_si256(a, three), _mm256_and_si256(b, three)),
                             _mm256_add_epi16(_mm256_and_si256(c, three), _mm256_and_si256(d, three)));
        const __m256i mean = _mm256_add_epi16(quarters, _mm256_srli_epi16(rests, 2));
        const __m256i value = loadSixteen(v + i);
        __m256i hit;
        if constexpr (sizeof(Sample) == 1) {
            hit = _mm256_cmpgt_epi16(_mm256_subs_epu16(value, mean), _mm256_set1_epi16(kSpike8 - 1));
        } else {
            const __m256i distance = _mm256_or_si256(_mm256_subs_epu16(value, mean), _mm256_subs_epu16(mean, value));
            const __m256i below = _mm256_subs_epu16(distance, _mm256_set1_epi16(kSpike16 - 1));
            hit = _mm256_xor_si256(_mm256_cmpeq_epi16(below, _mm256_setzero_si256()), _mm256_set1_epi16(-1));
        }
        // Packing works per 128-bit half: bytes 0-7 and 16-23 hold the sixteen marks.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi16(hit, hit), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(candidates + i), _mm256_castsi256_si128(packed));
    }
    return i;
}
#endif

// The marks of one row: AVX2 where the processor has it, SSE2 for the rest.
template <typename Sample, typename Test>
void markRow(const Sample* v, const Sample* left, const Sample* right, const Sample* up, const Sample* down, int count,
             uint8_t* candidates, Test test) {
    int done = 0;
#if defined(__x86_64__)
    if (cpuFeatures().avx2) {
        done = markCandidatesAvx2(v, left, right, up, down, count, candidates);
    }
#endif
    markCandidates(v + done, left + done, right + done, up + done, down + done, count - done, candidates + done, test);
}

// The candidate array carries 8 zero bytes past its end for this look-ahead.
inline bool noCandidateInEight(const uint8_t* c) {
    uint64_t eight;
    std::memcpy(&eight, c, sizeof eight);
    return eight == 0;
}

// A replacement lowers a pixel, which changes the tests of the two pixels
// after it in the row (one is its immediate neighbour, the next has it in
// its mean; the colour check reads columns x-2..x+1). Those are re-tested
// exactly whatever their mark; every other unmarked pixel would fail the
// first test of the reference as well, its inputs being unchanged.
// The candidate marks of one row, kept per thread and only ever grown: the
// filter runs on every frame and must not allocate once started.
std::vector<uint8_t>& candidateRow(size_t bytes) {
    thread_local std::vector<uint8_t> row;
    row.assign(bytes, 0);
    return row;
}

void optimised8(const PlaneView& frame, const SpikeFilterParams& p) {
    const int count = frame.width - 4;
    if (count <= 0) {
        return;
    }
    std::vector<uint8_t>& candidates = candidateRow(static_cast<size_t>(count) + 8);
    const auto test = [](__m128i v, __m128i mean) {  // v - mean >= 30
        return _mm_cmpgt_epi16(_mm_subs_epu16(v, mean), _mm_set1_epi16(kSpike8 - 1));
    };
    for (int y = 2; y < frame.height - 2; ++y) {
        const uint8_t* r = frame.row(y);
        markRow(r + 2, r, r + 4, frame.row(y - 2) + 2, frame.row(y + 2) + 2, count, candidates.data(), test);
        uint8_t* row = frame.row(y);
        const uint8_t* up2 = frame.row(y - 2);
        const uint8_t* down2 = frame.row(y + 2);
        int recheckUntil = -1;
        for (int x = 2; x < frame.width - 2; ++x) {
            if (x > recheckUntil && noCandidateInEight(candidates.data() + (x - 2))) {
                x += 7;
                continue;
            }
            if (candidates[static_cast<size_t>(x - 2)] == 0 && x > recheckUntil) {
                continue;
            }
            const int32_t v = row[x];
            const int32_t m = (int32_t{row[x - 2]} + row[x + 2] + up2[x] + down2[x]) >> 2;
            if (v - m >= kSpike8 && looksColoured(frame, p, y, x)) {
                row[x] = static_cast<uint8_t>(m);
                recheckUntil = x + 2;
            }
        }
    }
}

void optimised16(const PlaneView& frame) {
    const int count = frame.width - 4;
    if (count <= 0) {
        return;
    }
    std::vector<uint8_t>& candidates = candidateRow(static_cast<size_t>(count) + 8);
    const auto test = [](__m128i v, __m128i mean) {  // |v - mean| >= 7680
        const __m128i distance = _mm_or_si128(_mm_subs_epu16(v, mean), _mm_subs_epu16(mean, v));
        const __m128i below = _mm_subs_epu16(distance, _mm_set1_epi16(kSpike16 - 1));
        return _mm_xor_si128(_mm_cmpeq_epi16(below, _mm_setzero_si128()), _mm_set1_epi16(-1));
    };
    for (int y = 2; y < frame.height - 2; ++y) {
        uint16_t* row = frame.row16(y);
        const uint16_t* up = frame.row16(y - 1);
        const uint16_t* down = frame.row16(y + 1);
        const uint16_t* up2 = frame.row16(y - 2);
        const uint16_t* down2 = frame.row16(y + 2);
        markRow(row + 2, row, row + 4, up2 + 2, down2 + 2, count, candidates.data(), test);
        int recheckUntil = -1;
        for (int x = 2; x < frame.width - 2; ++x) {
            if (x > recheckUntil && noCandidateInEight(candidates.data() + (x - 2))) {
                x += 7;
                continue;
            }
            if (candidates[static_cast<size_t>(x - 2)] == 0 && x > recheckUntil) {
                continue;
            }
            const int32_t v = row[x];
            const int32_t m = (int32_t{row[x - 2]} + row[x + 2] + up2[x] + down2[x]) >> 2;
            if (std::abs(v - m) < kSpike16) {
                continue;
            }
            auto far = [v](int32_t n) { return std::abs(n - v) >= kSpike16; };
            if (far(row[x - 1]) && far(row[x + 1]) && far(up[x - 1]) && far(up[x]) && far(up[x + 1]) &&
                far(down[x - 1]) && far(down[x]) && far(down[x + 1])) {
                row[x] = static_cast<uint16_t>(m);
                recheckUntil = x + 2;
            }
        }
    }
}

} // namespace

bool spikeFilterReference(const PlaneView& frame, const SpikeFilterParams& params) {
    if (!isRaw(frame)) {
        return false;
    }
    if (frame.bytesPerPixel == 1) {
        reference8(frame, params);
    } else {
        reference16(frame);
    }
    return true;
}

bool spikeFilterOptimised(const PlaneView& frame, const SpikeFilterParams& params) {
    if (!isRaw(frame)) {
        return false;
    }
    if (frame.bytesPerPixel == 1) {
        optimised8(frame, params);
    } else {
        optimised16(frame);
    }
    return true;
}

} // namespace lumvek
