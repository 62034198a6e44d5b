#include "imaging/correction/mask_filter.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

// Frame rows [y0, y1) and columns [x0, x1) that are corrected and have a
// reference pixel.
struct Region {
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    [[nodiscard]] bool empty() const { return x1 <= x0 || y1 <= y0; }
};

bool pairs(const PlaneView& frame, const PlaneView& dark, const PlaneView& white) {
    return !frame.empty() && !dark.empty() && !white.empty() && (frame.bytesPerPixel == 1 || frame.bytesPerPixel == 2) &&
           dark.bytesPerPixel == frame.bytesPerPixel && white.bytesPerPixel == frame.bytesPerPixel &&
           dark.width == white.width && dark.height == white.height;
}

Region regionOf(const PlaneView& frame, const PlaneView& reference, const CaptureWindow& window) {
    const int divisor = subSampleDivisor(window.subSampleMode);
    const int w = window.width / divisor;
    const int h = window.height / divisor;
    // The sensor's outermost two pixels are left alone in full-width or full-height windows.
    const int margin = (window.width == kSensorWidth || window.height == kSensorHeight) ? 2 : 0;
    Region r;
    r.x0 = std::max(margin, -window.left);
    r.y0 = std::max(margin, -window.top);
    r.x1 = std::min({w - margin, frame.width, reference.width - window.left});
    r.y1 = std::min({h - margin, frame.height, reference.height - window.top});
    return r;
}

template <typename Sample>
const Sample* referenceRow(const PlaneView& reference, const CaptureWindow& window, int y) {
    return reinterpret_cast<const Sample*>(reference.row(window.top + y)) + window.left;
}

void referenceRows8(const PlaneView& frame, const PlaneView& dark, const PlaneView& white, const CaptureWindow& window,
                    const Region& r) {
    for (int y = r.y0; y < r.y1; ++y) {
        uint8_t* v = frame.row(y);
        const uint8_t* d = referenceRow<uint8_t>(dark, window, y);
        const uint8_t* w = referenceRow<uint8_t>(white, window, y);
        for (int x = r.x0; x < r.x1; ++x) {
            if (w[x] == d[x]) {
                continue;
            }
            const int32_t q = ((v[x] - d[x]) * 256) / (w[x] - d[x]);
            v[x] = static_cast<uint8_t>(std::clamp(q, 0, 255));
        }
    }
}

void referenceRows16(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                     const CaptureWindow& window, const Region& r) {
    for (int y = r.y0; y < r.y1; ++y) {
        uint16_t* v = frame.row16(y);
        const uint16_t* d = referenceRow<uint16_t>(dark, window, y);
        const uint16_t* w = referenceRow<uint16_t>(white, window, y);
        for (int x = r.x0; x < r.x1; ++x) {
            if (w[x] <= d[x]) {
                continue;
            }
            const int64_t q = (static_cast<int64_t>(v[x]) - d[x]) * 65536 / (static_cast<int64_t>(w[x]) - d[x]);
            v[x] = static_cast<uint16_t>(std::clamp<int64_t>(q, 0, 65535));
        }
    }
}

// ceil(2^32 / d): for 0 <= n < 2^16, (n x m) >> 32 == n / d exactly, since
// n x (m d - 2^32) < 2^16 x 255 < 2^32.
constexpr std::array<uint64_t, 256> makeReciprocals() {
    std::array<uint64_t, 256> m{};
    for (uint64_t d = 1; d < 256; ++d) {
        m[d] = ((uint64_t{1} << 32) + d - 1) / d;
    }
    return m;
}
constexpr std::array<uint64_t, 256> kReciprocals = makeReciprocals();

// The truncated quotient is positive only when numerator and divisor share
// a sign; otherwise the result is 0 after the limit.
void optimisedRows8(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                    const CaptureWindow& window, const Region& r, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        uint8_t* v = frame.row(y);
        const uint8_t* d = referenceRow<uint8_t>(dark, window, y);
        const uint8_t* w = referenceRow<uint8_t>(white, window, y);
        for (int x = r.x0; x < r.x1; ++x) {
            const int32_t divisor = w[x] - d[x];
            const int32_t numerator = v[x] - d[x];
            if (divisor == 0) {
                continue;
            }
            uint32_t q = 0;
            if (numerator != 0 && (numerator > 0) == (divisor > 0)) {
                const auto n = static_cast<uint64_t>(std::abs(numerator) * 256);
                q = static_cast<uint32_t>((n * kReciprocals[static_cast<size_t>(std::abs(divisor))]) >> 32);
            }
            v[x] = static_cast<uint8_t>(std::min<uint32_t>(q, 255));
        }
    }
}

// (v - d) >= (w - d) gives 65536 or more, so only quotients under 2^16 are
// computed, in double precision: their distance from the next integer
// (>= 1/65535) is far above the rounding error, so the floor is exact.
void optimisedRows16(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                     const CaptureWindow& window, const Region& r, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        uint16_t* v = frame.row16(y);
        const uint16_t* d = referenceRow<uint16_t>(dark, window, y);
        const uint16_t* w = referenceRow<uint16_t>(white, window, y);
        for (int x = r.x0; x < r.x1; ++x) {
            const int32_t divisor = w[x] - d[x];
            const int32_t numerator = v[x] - d[x];
            if (divisor <= 0) {
                continue;
            }
            uint16_t out;
            if (numerator <= 0) {
                out = 0;
            } else if (numerator >= divisor) {
                out = 65535;
            } else {
                out = static_cast<uint16_t>(static_cast<double>(numerator) * 65536.0 / divisor);
            }
            v[x] = out;
        }
    }
}

} // namespace

bool maskFilterReference(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                         const CaptureWindow& window) {
    if (!pairs(frame, dark, white)) {
        return false;
    }
    const Region r = regionOf(frame, dark, window);
    if (r.empty()) {
        return true;
    }
    if (frame.bytesPerPixel == 1) {
        referenceRows8(frame, dark, white, window, r);
    } else {
        referenceRows16(frame, dark, white, window, r);
    }
    return true;
}

bool maskFilterOptimised(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                         const CaptureWindow& window, RowBands& bands) {
    if (!pairs(frame, dark, white)) {
        return false;
    }
    const Region r = regionOf(frame, dark, window);
    if (r.empty()) {
        return true;
    }
    bands.run(r.y0, r.y1, [&](int y0, int y1) {
        if (frame.bytesPerPixel == 1) {
            optimisedRows8(frame, dark, white, window, r, y0, y1);
        } else {
            optimisedRows16(frame, dark, white, window, r, y0, y1);
        }
    });
    return true;
}

} // namespace lumvek
