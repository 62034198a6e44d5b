#include "instance/auto_iris.h"

#include <algorithm>
#include <cstdint>

#include "imaging/apply.h"

namespace lumvek {

namespace {

// The five windows as fractions of the frame: left, top, right, bottom.
constexpr double kWindows[5][4] = {
    {0.1, 0.1, 0.2, 0.2}, {0.1, 0.8, 0.2, 0.9}, {0.45, 0.45, 0.55, 0.55}, {0.8, 0.1, 0.9, 0.2}, {0.8, 0.8, 0.9, 0.9},
};

struct MeanResult {
    int mean = 0;
};

// Mean of the rectangle's samples, truncated; the apply frame has already
// clipped the rectangle and counted its rows from the other end.
int meanKernel(uint8_t*, const uint8_t* src, const Rect& rect, int, int, uint16_t, uint16_t srcBytesPerPixel, int,
               int srcStride, const void* p1, const void*) {
    auto* result = static_cast<MeanResult*>(const_cast<void*>(p1));
    uint64_t sum = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const uint8_t* row = src + static_cast<size_t>(y) * static_cast<size_t>(srcStride);
        for (int x = rect.left; x < rect.right; ++x) {
            if (srcBytesPerPixel == 2) {
                const uint8_t low = row[2 * x];
                const uint8_t high = row[2 * x + 1];
                sum += static_cast<uint8_t>(((high << 6) & 0xFF) | (low >> 2));
            } else {
                sum += row[x];
            }
        }
    }
    const uint64_t count = static_cast<uint64_t>(rect.right - rect.left) * static_cast<uint64_t>(rect.bottom - rect.top);
    result->mean = count == 0 ? 0 : static_cast<int>(sum / count);
    return 1;
}

} // namespace

std::array<int, 5> autoIrisWindowMeans(const ImageBuffer& raw) {
    std::array<int, 5> means{};
    const int w = raw.width();
    const int h = raw.height();
    for (int i = 0; i < 5; ++i) {
        Rect rect{static_cast<int>(w * kWindows[i][0]), static_cast<int>(h * kWindows[i][1]),
                  static_cast<int>(w * kWindows[i][2]), static_cast<int>(h * kWindows[i][3])};
        MeanResult result;
        // The kernel only reads; apply() wants a destination, the frame itself.
        (void)apply(const_cast<ImageBuffer&>(raw), &meanKernel, raw, &rect, 0, 0, &result, nullptr);
        means[i] = result.mean;
    }
    return means;
}

double autoIrisFactor(const std::array<int, 5>& means) {
    const int first = means[0];
    double d = first > 200 ? 0.85 : first > 160 ? 0.9 : first >= 100 ? 1.0 : first >= 50 ? 1.05 : 1.1;
    for (int i = 1; i < 5; ++i) {
        const int m = means[i];
        if (m > 200) {
            d -= 0.15;
        } else if (m > 160) {
            d -= 0.1;
        } else if (m < 50) {
            d += 0.1;
        } else if (m < 100) {
            d += 0.05;
        }
    }
    return d;
}

bool autoIrisChanges(double d) {
    return !(d > 0.6 && d < 1.2);
}

int autoIrisGain(int current, double d, int min, int max) {
    const int g = std::max(current, 4);
    int next = static_cast<int>(g * d);
    if (d > 1.0 && next <= 4) {
        next = 4;
    }
    return std::clamp(next, min, std::max(min, max));
}

int autoIrisExposure(int current, double d, int min, int max) {
    int next = static_cast<int>(static_cast<int64_t>(current * d) & 0xFFFF);
    if (next == 0) {
        next = 1;
    }
    return std::clamp(next, min, std::max(min, max));
}

} // namespace lumvek
