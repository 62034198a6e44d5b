#pragma once
// The vector bodies of the fused sharpening row (sharpness.cpp chooses one).
// Each first writes the column sums of the four source rows, all n of them,
// into `sums`, then sharpens samples from `first` while whole steps fit
// before n - 2 step, and returns where it stopped; the caller finishes the
// row. `step` is the distance between a
// sample and its horizontal neighbour; a fourth component (step 4) keeps its
// value. The 8-bit bodies take the brightness that follows the sharpening,
// or null: each sharpened sample, limited to 0..255, is then brightened by
// its multiplier in the same lanes before it is stored.
#include <cstdint>

#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
int sharpenRow8Avx2(const uint8_t* const rows[4], uint8_t* out, uint16_t* sums, int n, int step, int first,
                    int sharpness, const ByteBrightness* brightness);
int sharpenRow16Avx2(const uint16_t* const rows[4], uint16_t* out, int32_t* sums, int n, int step, int first,
                     int sharpness);
// SSE4.1 and SSSE3, for processors without AVX2.
int sharpenRow8Sse41(const uint8_t* const rows[4], uint8_t* out, uint16_t* sums, int n, int step, int first,
                     int sharpness, const ByteBrightness* brightness);
int sharpenRow16Sse41(const uint16_t* const rows[4], uint16_t* out, int32_t* sums, int n, int step, int first,
                      int sharpness);
#endif

} // namespace lumvek::detail
