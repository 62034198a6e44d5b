#pragma once
// What the bodies that run the hue/saturation transform in 16-bit lanes
// share: the sextant table as per-component bytes for a byte shuffle, and
// the shuffles between 3-, 4-, 6- or 8-byte pixels and planes of one component.
#include <array>
#include <cstdint>

namespace lumvek::detail {

// Per component (0 blue, 1 green, 2 red) and hue index 0..11: mask is 0xFF
// where the sextant adds w to the component, sign the sign (1, -1 or 0) of
// the step it moves the component by. Entries 12..15 are 0.
struct SextantBytes {
    std::array<std::array<int8_t, 16>, 3> mask{};
    std::array<std::array<int8_t, 16>, 3> sign{};
};
[[nodiscard]] const SextantBytes& sextantBytes();

// pshufb masks between 48 bytes of B, G, R triples (three 16-byte chunks)
// and three 16-byte planes of sixteen samples each: kToPlanes[plane][chunk]
// gathers a plane's bytes from one chunk, kToTriples[chunk][plane] puts a
// plane's bytes of one chunk back. -128 clears a byte.
using ChunkMasks = std::array<std::array<int8_t, 16>, 3>;
using TripleMasks = std::array<ChunkMasks, 3>;
constexpr TripleMasks makeTripleMasks(bool toPlanes) {
    TripleMasks m{};
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int j = 0; j < 16; ++j) {
                if (toPlanes) {
                    const int byte = 3 * j + plane;  // sample j of the plane
                    m[plane][chunk][j] = static_cast<int8_t>(byte / 16 == chunk ? byte % 16 : -128);
                } else {
                    const int byte = chunk * 16 + j;
                    m[chunk][plane][j] = static_cast<int8_t>(byte % 3 == plane ? byte / 3 : -128);
                }
            }
        }
    }
    return m;
}
inline constexpr TripleMasks kToPlanes = makeTripleMasks(true);
inline constexpr TripleMasks kToTriples = makeTripleMasks(false);

// pshufb masks for eight pixels of kComponents (3 or 4) 16-bit samples in
// kComponents 16-byte chunks: toPlanes[plane][chunk] puts the high bytes of
// a component's samples into the low bytes of eight 16-bit lanes,
// toPixels[chunk][plane] puts a component's eight 16-bit samples back into
// a chunk (a fourth sample 0).
template <int kComponents>
struct WideMasks {
    std::array<std::array<std::array<int8_t, 16>, kComponents>, 3> toPlanes{};
    std::array<ChunkMasks, kComponents> toPixels{};
};
template <int kComponents>
constexpr WideMasks<kComponents> makeWideMasks() {
    WideMasks<kComponents> m{};
    for (int chunk = 0; chunk < kComponents; ++chunk) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int j = 0; j < 16; ++j) {
                const int sample = kComponents * (j / 2) + plane;  // the sample in lane j / 2 of the plane
                m.toPlanes[plane][chunk][j] =
                    static_cast<int8_t>(j % 2 == 0 && sample / 8 == chunk ? 2 * (sample % 8) + 1 : -128);
                const int word = 8 * chunk + j / 2;
                m.toPixels[chunk][plane][j] =
                    static_cast<int8_t>(word % kComponents == plane ? 2 * (word / kComponents) + j % 2 : -128);
            }
        }
    }
    return m;
}
template <int kComponents>
inline constexpr WideMasks<kComponents> kWideMasks = makeWideMasks<kComponents>();

// pshufb masks for eight 4-byte pixels in two 16-byte chunks:
// kQuadToPlanes[plane][chunk] puts a component's bytes into the low bytes of
// eight 16-bit lanes, kPlanesToQuads[chunk][plane] puts the low bytes of a
// component's lanes back into a chunk, the fourth byte of each pixel 0.
using QuadMasks = std::array<std::array<std::array<int8_t, 16>, 3>, 2>;
using PlaneMasks = std::array<std::array<std::array<int8_t, 16>, 2>, 3>;
constexpr PlaneMasks makeQuadToPlanes() {
    PlaneMasks m{};
    for (int plane = 0; plane < 3; ++plane) {
        for (int chunk = 0; chunk < 2; ++chunk) {
            for (int j = 0; j < 16; ++j) {
                const int pixel = j / 2;
                m[plane][chunk][j] =
                    static_cast<int8_t>(j % 2 == 0 && pixel / 4 == chunk ? 4 * (pixel % 4) + plane : -128);
            }
        }
    }
    return m;
}
constexpr QuadMasks makePlanesToQuads() {
    QuadMasks m{};
    for (int chunk = 0; chunk < 2; ++chunk) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int j = 0; j < 16; ++j) {
                m[chunk][plane][j] = static_cast<int8_t>(j % 4 == plane ? 2 * (4 * chunk + j / 4) : -128);
            }
        }
    }
    return m;
}
inline constexpr PlaneMasks kQuadToPlanes = makeQuadToPlanes();
inline constexpr QuadMasks kPlanesToQuads = makePlanesToQuads();

} // namespace lumvek::detail
