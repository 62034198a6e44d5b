#pragma once
// The newest frame held in the frame ring while a reader takes its rows,
// in the orientation GetLatestFrame gives them (the camera's raw
// orientation undone). A reader whose first step walks the frame row by
// row copies each row as it gets there instead of copying the whole frame
// first and reading it back. The ring never fills a held buffer.
#include <cstddef>
#include <cstdint>

#include "camera/frame_ring.h"

namespace lumvek {

// How the rows of a stored frame map onto the rows handed out.
struct FrameRowOrder {
    size_t width = 0;          // pixels per row
    size_t bytesPerPixel = 1;  // 1 or 2
    int height = 0;
    bool reverseRows = false;    // handed-out row y is stored row height - 1 - y
    bool reversePixels = false;  // and each row is read right to left
    [[nodiscard]] size_t rowBytes() const { return width * bytesPerPixel; }
};

class PinnedFrame {
public:
    PinnedFrame(FrameRing::ReadPin pin, const FrameRowOrder& order) : pin_(std::move(pin)), order_(order) {}
    PinnedFrame(const PinnedFrame&) = delete;
    PinnedFrame& operator=(const PinnedFrame&) = delete;

    [[nodiscard]] const FrameRowOrder& order() const { return order_; }
    [[nodiscard]] const FrameStamp& stamp() const { return pin_.stamp(); }
    // Handed-out rows [y0, y1) into `rows`, row y at rows + y * stride.
    void copyRows(uint8_t* rows, size_t stride, int y0, int y1) const;

private:
    FrameRing::ReadPin pin_;
    FrameRowOrder order_;
};

} // namespace lumvek
