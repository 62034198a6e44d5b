#pragma once
// Hue rotation and saturation in an integer hue-lightness-saturation space
// (1530 hue units per turn) for the three colour layouts. Each pipeline owns
// its tables, so instances never disturb one another.
#include <array>
#include <cstdint>
#include <vector>

#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

// Hue offset 0..1529 of an angle in degrees (-360..360).
[[nodiscard]] int hueOffsetFor(int hueDegrees);

// Tables for one saturation value; immutable once made.
class HueSaturationTables {
public:
    explicit HueSaturationTables(int saturation);
    [[nodiscard]] int saturation() const { return saturation_; }
    [[nodiscard]] int32_t reciprocal(int d) const { return reciprocal_[static_cast<size_t>(d)]; }
    [[nodiscard]] int32_t chroma(int d) const { return chroma_[static_cast<size_t>(d)]; }
    [[nodiscard]] const int32_t* reciprocalTable() const { return reciprocal_.data(); }

private:
    int saturation_;
    std::array<int32_t, 256> reciprocal_{};  // 0xFF0000 / d, d = 1..255
    std::array<int32_t, 256> chroma_{};      // ((saturation + 256) * 256 * d + 0x8000) >> 16
};

// The transform of one pixel of 8-bit components; returns blue | green << 8 | red << 16.
[[nodiscard]] uint32_t hueSaturationPixel(int blue, int green, int red, int hueOffset,
                                          const HueSaturationTables& tables);

// In place on a 3/4- or 6/8-byte frame. 16-bit samples are taken by their
// high byte and written back with a zero low byte; a fourth component
// becomes 0. Returns false for any other depth.
[[nodiscard]] bool hueSaturationReference(const PlaneView& image, int hueOffset, const HueSaturationTables& tables);
[[nodiscard]] bool hueSaturationOptimised(const PlaneView& image, int hueOffset, const HueSaturationTables& tables,
                                          RowBands& bands);
// Rows [y0, y1) of the optimised member on the calling thread.
void hueSaturationOptimisedRows(const PlaneView& image, int hueOffset, const HueSaturationTables& tables, int y0,
                                int y1);
// The same followed by a tone table (256 entries for 8-bit samples, 65536
// for 16-bit ones; null: none) over rows [y0, y1): one pass where the
// processor has AVX-512 VBMI, and for 16-bit samples with AVX2 or SSE4.1;
// else row by row while the row is in cache.
void hueSaturationToneRows(const PlaneView& image, int hueOffset, const HueSaturationTables& tables,
                           const std::vector<uint16_t>* tone, int y0, int y1);

// What a tone table answers for the samples hue/saturation writes: 8-bit
// samples, or 16-bit ones with a zero low byte (entry i << 8), as the low
// and high bytes of the entries.
struct HueToneBytes {
    HueToneBytes(const std::vector<uint16_t>& table, bool wide);
    std::array<uint8_t, 256> low{};
    std::array<uint8_t, 256> high{};
};

namespace detail {
// The sextant table: mask and step of each of the 12 hue sextant indices.
extern const int32_t kSextantMasks[12];
extern const int32_t kSextantSteps[12];
// Pixels [0, returned) of one 3/4/6/8-byte row with AVX2, 8 to 32 at a
// time, then the tone bytes when given; 0 when the processor lacks it or for
// other depths. The caller finishes the row with the scalar code.
int hueSaturationRowAvx2(uint8_t* row, int width, int bytesPerPixel, int hueOffset, const HueSaturationTables& tables,
                         const HueToneBytes* tone = nullptr);
// The same with SSE4.1 and SSSE3, for processors without AVX2: 8 or 16
// pixels at a time; the tone bytes only for 6/8-byte rows (0 for 3/4-byte ones).
int hueSaturationRowSse41(uint8_t* row, int width, int bytesPerPixel, int hueOffset, const HueSaturationTables& tables,
                          const HueToneBytes* tone = nullptr);
// A whole 3/4/6/8-byte row with AVX-512 VBMI, sixteen pixels at a time, then
// the tone bytes when given; false (nothing done) when the processor lacks
// it or for other depths.
bool hueSaturationRowAvx512(uint8_t* row, int width, int bytesPerPixel, int hueOffset,
                            const HueSaturationTables& tables, const HueToneBytes* tone);
} // namespace detail

} // namespace lumvek
