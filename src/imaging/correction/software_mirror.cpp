#include "imaging/correction/software_mirror.h"

#include <algorithm>
#include <cstring>

#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

bool isRaw(const PlaneView& raw) {
    return !raw.empty() && (raw.bytesPerPixel == 1 || raw.bytesPerPixel == 2);
}

template <typename Sample>
void reverseRow(Sample* row, int width) {
    std::reverse(row, row + width);
}

void reverseRowOf(const PlaneView& raw, int y) {
    if (raw.bytesPerPixel == 1) {
        reverseRow(raw.row(y), raw.width);
    } else {
        reverseRow(raw.row16(y), raw.width);
    }
}

} // namespace

bool mirrorReference(const PlaneView& raw, bool horizontal, bool vertical) {
    if (!isRaw(raw)) {
        return false;
    }
    if (!horizontal && !vertical) {
        return true;
    }
    const size_t rowBytes = static_cast<size_t>(raw.width) * static_cast<size_t>(raw.bytesPerPixel);
    std::vector<uint8_t> copy(rowBytes * static_cast<size_t>(raw.height));
    for (int y = 0; y < raw.height; ++y) {
        const int from = vertical ? raw.height - 1 - y : y;
        uint8_t* dst = copy.data() + rowBytes * static_cast<size_t>(y);
        for (int x = 0; x < raw.width; ++x) {
            const int fromX = horizontal ? raw.width - 1 - x : x;
            std::memcpy(dst + static_cast<size_t>(x) * static_cast<size_t>(raw.bytesPerPixel),
                        raw.row(from) + static_cast<size_t>(fromX) * static_cast<size_t>(raw.bytesPerPixel),
                        static_cast<size_t>(raw.bytesPerPixel));
        }
    }
    for (int y = 0; y < raw.height; ++y) {
        std::memcpy(raw.row(y), copy.data() + rowBytes * static_cast<size_t>(y), rowBytes);
    }
    return true;
}

bool mirrorOptimised(const PlaneView& raw, bool horizontal, bool vertical, RowBands& bands) {
    if (!isRaw(raw)) {
        return false;
    }
    if (!horizontal && !vertical) {
        return true;
    }
    if (!vertical) {
        bands.run(0, raw.height, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                reverseRowOf(raw, y);
            }
        });
        return true;
    }
    // Pair row y with row h-1-y; the middle row of an odd height pairs with itself.
    const size_t rowBytes = static_cast<size_t>(raw.width) * static_cast<size_t>(raw.bytesPerPixel);
    bands.run(0, (raw.height + 1) / 2, [&](int y0, int y1) {
        std::vector<uint8_t> held(rowBytes);
        for (int y = y0; y < y1; ++y) {
            const int other = raw.height - 1 - y;
            if (other != y) {
                std::memcpy(held.data(), raw.row(y), rowBytes);
                std::memcpy(raw.row(y), raw.row(other), rowBytes);
                std::memcpy(raw.row(other), held.data(), rowBytes);
                if (horizontal) {
                    reverseRowOf(raw, other);
                }
            }
            if (horizontal) {
                reverseRowOf(raw, y);
            }
        }
    });
    return true;
}

} // namespace lumvek
