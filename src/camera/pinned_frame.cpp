#include "camera/pinned_frame.h"

#include <algorithm>
#include <cstring>

#include "imaging/convert/row_reverse.h"

namespace lumvek {

void PinnedFrame::copyRows(uint8_t* rows, size_t stride, int y0, int y1) const {
    const int height = order_.height;
    const size_t rowBytes = order_.rowBytes();
    const uint8_t* source = pin_.data();
    y0 = std::max(y0, 0);
    y1 = std::min(y1, height);
    if (!order_.reverseRows && !order_.reversePixels && stride == rowBytes && y0 < y1) {
        std::memcpy(rows + static_cast<size_t>(y0) * stride, source + static_cast<size_t>(y0) * rowBytes,
                    static_cast<size_t>(y1 - y0) * rowBytes);
        return;
    }
    for (int y = y0; y < y1; ++y) {
        const size_t stored = static_cast<size_t>(order_.reverseRows ? height - 1 - y : y);
        const uint8_t* from = source + stored * rowBytes;
        uint8_t* to = rows + static_cast<size_t>(y) * stride;
        if (order_.reversePixels) {
            reverseRow(to, from, order_.width, order_.bytesPerPixel);
        } else {
            std::memcpy(to, from, rowBytes);
        }
    }
}

} // namespace lumvek
