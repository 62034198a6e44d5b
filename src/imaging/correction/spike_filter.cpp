#include "imaging/correction/spike_filter.h"

#include <cstdint>
#include <cstdlib>

#include "imaging/colour/bayer_pattern.h"

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

void optimised8(const PlaneView& frame, const SpikeFilterParams& p) {
    for (int y = 2; y < frame.height - 2; ++y) {
        uint8_t* row = frame.row(y);
        const uint8_t* up2 = frame.row(y - 2);
        const uint8_t* down2 = frame.row(y + 2);
        const int end = frame.width - 2;
        for (int x = 2; x < end; ++x) {
            const int32_t v = row[x];
            const int32_t sum = int32_t{row[x - 2]} + row[x + 2] + up2[x] + down2[x];
            const int32_t m = sum >> 2;
            if (v - m < kSpike8) {
                continue;
            }
            if (looksColoured(frame, p, y, x)) {
                row[x] = static_cast<uint8_t>(m);
            }
        }
    }
}

void optimised16(const PlaneView& frame) {
    for (int y = 2; y < frame.height - 2; ++y) {
        uint16_t* row = frame.row16(y);
        const uint16_t* up = frame.row16(y - 1);
        const uint16_t* down = frame.row16(y + 1);
        const uint16_t* up2 = frame.row16(y - 2);
        const uint16_t* down2 = frame.row16(y + 2);
        const int end = frame.width - 2;
        for (int x = 2; x < end; ++x) {
            const int32_t v = row[x];
            const int32_t m = (int32_t{row[x - 2]} + row[x + 2] + up2[x] + down2[x]) >> 2;
            if (std::abs(v - m) < kSpike16) {
                continue;
            }
            auto far = [v](int32_t n) { return std::abs(n - v) >= kSpike16; };
            if (far(row[x - 1]) && far(row[x + 1]) && far(up[x - 1]) && far(up[x]) && far(up[x + 1]) &&
                far(down[x - 1]) && far(down[x]) && far(down[x + 1])) {
                row[x] = static_cast<uint16_t>(m);
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
