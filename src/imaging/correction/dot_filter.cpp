#include "imaging/correction/dot_filter.h"

#include <algorithm>
#include <cstdlib>

#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

constexpr int32_t kThreshold8 = 30;
constexpr int32_t kThreshold16 = 480;

bool pairs(const PlaneView& frame, const DotFilterPlanes& masks) {
    return !frame.empty() && (frame.bytesPerPixel == 1 || frame.bytesPerPixel == 2) && !masks.darkMask.empty() &&
           !masks.whiteMask.empty() && masks.darkMask.bytesPerPixel == frame.bytesPerPixel &&
           masks.whiteMask.bytesPerPixel == frame.bytesPerPixel;
}

template <typename Sample>
bool marked(const PlaneView& mask, int mx, int my) {
    if (mx < 0 || my < 0 || mx >= mask.width || my >= mask.height) {
        return false;
    }
    return reinterpret_cast<const Sample*>(mask.row(my))[mx] != 0;
}

template <typename Sample>
Sample& at(const PlaneView& frame, int y, int x) {
    return reinterpret_cast<Sample*>(frame.row(y))[x];
}

// Flags of rows [y0, y1) (already limited to 1..h-2), scalar reference.
template <typename Sample>
void flagRows(const PlaneView& frame, const DotFilterPlanes& masks, const CaptureWindow& window, uint8_t* flags,
              int y0, int y1) {
    const int32_t threshold = sizeof(Sample) == 1 ? kThreshold8 : kThreshold16;
    for (int y = y0; y < y1; ++y) {
        const auto* up = reinterpret_cast<const Sample*>(frame.row(y - 1));
        const auto* row = reinterpret_cast<const Sample*>(frame.row(y));
        const auto* down = reinterpret_cast<const Sample*>(frame.row(y + 1));
        uint8_t* f = flags + static_cast<size_t>(y) * static_cast<size_t>(frame.width);
        for (int x = 1; x < frame.width - 1; ++x) {
            const int32_t mean = (int32_t{row[x - 1]} + row[x + 1] + up[x] + down[x]) >> 2;
            const bool outlier = std::abs(int32_t{row[x]} - mean) >= threshold;
            const int mx = window.left + x;
            const int my = window.top + y;
            f[x] = (outlier || marked<Sample>(masks.darkMask, mx, my) || marked<Sample>(masks.whiteMask, mx, my)) ? 1
                                                                                                                   : 0;
        }
    }
}

// The same flags with the masks' rows looked up once per row and the
// columns that lie on the masks found once.
template <typename Sample>
void flagRowsOptimised(const PlaneView& frame, const DotFilterPlanes& masks, const CaptureWindow& window,
                       uint8_t* flags, int y0, int y1) {
    const int32_t threshold = sizeof(Sample) == 1 ? kThreshold8 : kThreshold16;
    const int maskWidth = std::min(masks.darkMask.width, masks.whiteMask.width);
    const int maskHeight = std::min(masks.darkMask.height, masks.whiteMask.height);
    // Frame columns [mx0, mx1) have a mask pixel.
    const int mx0 = std::max(1, -window.left);
    const int mx1 = std::min(frame.width - 1, maskWidth - window.left);
    for (int y = y0; y < y1; ++y) {
        const auto* up = reinterpret_cast<const Sample*>(frame.row(y - 1));
        const auto* row = reinterpret_cast<const Sample*>(frame.row(y));
        const auto* down = reinterpret_cast<const Sample*>(frame.row(y + 1));
        uint8_t* f = flags + static_cast<size_t>(y) * static_cast<size_t>(frame.width);
        for (int x = 1; x < frame.width - 1; ++x) {
            const int32_t mean = (int32_t{row[x - 1]} + row[x + 1] + up[x] + down[x]) >> 2;
            f[x] = std::abs(int32_t{row[x]} - mean) >= threshold ? 1 : 0;
        }
        const int my = window.top + y;
        if (my < 0 || my >= maskHeight) {
            continue;
        }
        const auto* dark = reinterpret_cast<const Sample*>(masks.darkMask.row(my));
        const auto* white = reinterpret_cast<const Sample*>(masks.whiteMask.row(my));
        for (int x = mx0; x < mx1; ++x) {
            f[x] |= static_cast<uint8_t>((dark[window.left + x] | white[window.left + x]) != 0);
        }
    }
}

// Repair of rows [y0, y1): reads only unflagged pixels, which never change,
// and writes only flagged ones, so bands may run side by side.
template <typename Sample>
void repairRows(const PlaneView& frame, const uint8_t* flags, int y0, int y1) {
    const int w = frame.width;
    const int h = frame.height;
    auto flagged = [&](int y, int x) { return flags[static_cast<size_t>(y) * static_cast<size_t>(w) + x] != 0; };
    for (int y = y0; y < y1; ++y) {
        for (int x = 1; x < w - 1; ++x) {
            if (!flagged(y, x)) {
                continue;
            }
            uint32_t sum = 0;
            uint32_t count = 0;
            auto take = [&](int yy, int xx) {
                sum += at<Sample>(frame, yy, xx);
                ++count;
            };
            for (int xx = x - 1; xx >= 0; --xx) {
                if (!flagged(y, xx)) {
                    take(y, xx);
                    break;
                }
            }
            for (int xx = x + 1; xx < w; ++xx) {
                if (!flagged(y, xx)) {
                    take(y, xx);
                    break;
                }
            }
            for (int yy = y - 1; yy >= 0; --yy) {
                if (!flagged(yy, x)) {
                    take(yy, x);
                    break;
                }
            }
            for (int yy = y + 1; yy < h; ++yy) {
                if (!flagged(yy, x)) {
                    take(yy, x);
                    break;
                }
            }
            if (count != 0) {
                at<Sample>(frame, y, x) = static_cast<Sample>(sum / count);
            }
        }
    }
}

template <typename Sample>
void filterReference(const PlaneView& frame, const DotFilterPlanes& masks, const CaptureWindow& window,
                     uint8_t* flags) {
    flagRows<Sample>(frame, masks, window, flags, 1, frame.height - 1);
    repairRows<Sample>(frame, flags, 1, frame.height - 1);
}

void clearFlags(const PlaneView& frame, std::vector<uint8_t>& flags) {
    flags.assign(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height), 0);
}

} // namespace

bool dotFilterReference(const PlaneView& frame, const DotFilterPlanes& masks, const CaptureWindow& window,
                        std::vector<uint8_t>& flags) {
    if (!pairs(frame, masks)) {
        return false;
    }
    clearFlags(frame, flags);
    if (frame.bytesPerPixel == 1) {
        filterReference<uint8_t>(frame, masks, window, flags.data());
    } else {
        filterReference<uint16_t>(frame, masks, window, flags.data());
    }
    return true;
}

bool dotFilterOptimised(const PlaneView& frame, const DotFilterPlanes& masks, const CaptureWindow& window,
                        std::vector<uint8_t>& flags, RowBands& bands) {
    if (!pairs(frame, masks)) {
        return false;
    }
    clearFlags(frame, flags);
    uint8_t* f = flags.data();
    const bool narrow = frame.bytesPerPixel == 1;
    bands.run(1, frame.height - 1, [&](int y0, int y1) {
        if (narrow) {
            flagRowsOptimised<uint8_t>(frame, masks, window, f, y0, y1);
        } else {
            flagRowsOptimised<uint16_t>(frame, masks, window, f, y0, y1);
        }
    });
    bands.run(1, frame.height - 1, [&](int y0, int y1) {
        if (narrow) {
            repairRows<uint8_t>(frame, f, y0, y1);
        } else {
            repairRows<uint16_t>(frame, f, y0, y1);
        }
    });
    return true;
}

} // namespace lumvek
