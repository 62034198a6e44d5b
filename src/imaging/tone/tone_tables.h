#pragma once
// The per-sample tone controls, gamma, contrast and brightness, as lookup
// tables of 256 (8-bit samples) or 65536 (16-bit samples) entries, and the
// members that apply them to each sample layout.
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

using ToneTable = std::vector<uint16_t>;  // entry per sample value 0..max

// entry 0 = 0; entry i = min(max, trunc(pow(i / max, 100 / gamma) x max)).
[[nodiscard]] ToneTable gammaTable(int gamma, bool wide);
// c = contrast (x 256 when wide): 0 below c, max above max - c, else
// trunc(M / ((H - c) x 2) x (v - c)) with M, H = 256, 128 or 65536, 32768.
[[nodiscard]] ToneTable contrastTable(int contrast, bool wide);
// F = 1 + b x 10/255 (b > 0) or 1 - |b| / 255 (b < 0), rounded to single precision.
[[nodiscard]] float brightnessFactor(int brightness);
// trunc(sample x F) in single precision, limited to 0..max.
[[nodiscard]] inline int32_t brightenSample(int32_t sample, float factor, int32_t maxValue) {
    const float product = static_cast<float>(sample) * factor;
    if (!(product > 0.0f)) {
        return 0;
    }
    if (product >= static_cast<float>(maxValue)) {
        return maxValue;
    }
    return static_cast<int32_t>(product);
}
[[nodiscard]] ToneTable brightnessTable(int brightness, bool wide);
// brightenSample(v, factor, 255) of every 8-bit v as min((v x m) >> 16, 255),
// with m = high x 65536 + low: 16-bit lanes take it as v x high plus the
// high half of v x low. Such an m exists for all but seven of the 511
// brightness factors (std::nullopt for those); the one found is checked
// against every v.
struct ByteBrightness {
    uint16_t high = 0;
    uint16_t low = 0;
};
[[nodiscard]] std::optional<ByteBrightness> byteBrightnessOf(float factor);
// outer(inner(v)) for every v: two table passes made one.
[[nodiscard]] ToneTable composeTables(const ToneTable& inner, const ToneTable& outer);

// Reference members: build the table from its formula on every call
// (brightness multiplies every sample), then walk the samples once.
[[nodiscard]] bool gammaReference(const PlaneView& image, int gamma);
[[nodiscard]] bool contrastReference(const PlaneView& image, int contrast);
[[nodiscard]] bool brightnessReference(const PlaneView& image, int brightness);

// Optimised: one table (made by the caller once per parameter value) over
// row bands. table.size() must be 256 for 8-bit samples, 65536 for 16-bit.
[[nodiscard]] bool applyToneTable(const PlaneView& image, const ToneTable& table, RowBands& bands);
// Rows [y0, y1) only, on the calling thread (for steps that fuse a table
// pass into their own row loop while the rows are in cache).
void applyToneTableRows(const PlaneView& image, const ToneTable& table, int y0, int y1);

// Brightness alone on 8-bit samples, arithmetic instead of a table, over
// row bands (AVX2 or SSE4.1; false without them, then the table member is used).
[[nodiscard]] bool brightnessOptimised8(const PlaneView& image, int brightness, RowBands& bands);

namespace detail {
// Brightness by arithmetic on rows [y0, y1) of 8-bit samples (1/3/4-byte
// pixels) with AVX2, or with the SSE4.1 body below on processors without
// it; false without either. With the factor's multiplier
// (byteBrightnessOf), the lanes multiply 16-bit integers instead of floats.
[[nodiscard]] bool brightenRows8Avx2(const PlaneView& image, float factor, int y0, int y1,
                                     const ByteBrightness* multiplier = nullptr);
// The same for 16-bit samples (2/6/8-byte pixels), the table's own formula
// without reading its 128 KiB.
[[nodiscard]] bool brightenRows16Avx2(const PlaneView& image, float factor, int y0, int y1);
// The 128-bit bodies alone (SSE4.1 and SSSE3; false without them).
[[nodiscard]] bool brightenRows8Sse41(const PlaneView& image, float factor, int y0, int y1,
                                      const ByteBrightness* multiplier = nullptr);
[[nodiscard]] bool brightenRows16Sse41(const PlaneView& image, float factor, int y0, int y1);
// A 256-entry byte table over rows [y0, y1) of 8-bit samples (AVX2; false
// without it, then the caller walks the samples itself).
[[nodiscard]] bool lookupRows8Avx2(const PlaneView& image, const uint8_t* table, int y0, int y1);
// The same sixteen samples at a time (SSE4.1 and SSSE3; false without them).
[[nodiscard]] bool lookupRows8Sse41(const PlaneView& image, const uint8_t* table, int y0, int y1);
// The same 64 samples at a time (AVX-512 VBMI; false without it).
[[nodiscard]] bool lookupRows8Avx512(const PlaneView& image, const uint8_t* table, int y0, int y1);
// A 65536-entry table over rows [y0, y1) of 16-bit samples, 32 at a time by
// gathers (AVX-512; false without it).
[[nodiscard]] bool lookupRows16Avx512(const PlaneView& image, const uint16_t* table, int y0, int y1);
} // namespace detail

} // namespace lumvek
