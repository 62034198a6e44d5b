#pragma once
// The one way a pixel kernel runs over images: clip a rectangle against both
// buffers, turn its rows round for the kernel, call the kernel once.
#include <cstdint>

#include "imaging/image_buffer.h"

namespace lumvek {

// Exclusive right and bottom.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A pixel kernel. dst and src are the buffers' pixel pointers (the same for
// an in-place kernel); rect is the source rectangle and (x, y) its place in
// the destination, both already clipped and with rows counted from the other
// end; p1 and p2 are small parameter records each kernel family defines.
using PixelKernel = int (*)(uint8_t* dst, const uint8_t* src, const Rect& rect, int x, int y, uint16_t dstBytesPerPixel,
                            uint16_t srcBytesPerPixel, int dstStride, int srcStride, const void* p1, const void* p2);

// Runs kernel over rect of src (the whole of src when rect is null) placed
// at (x, y) in dst. Returns the kernel's result, or 0 without calling it when
// the kernel is missing, a buffer is empty, or nothing is left after
// clipping (then *rect, when given, is set to all zeros).
int apply(ImageBuffer& dst, PixelKernel kernel, const ImageBuffer& src, Rect* rect, int x, int y, const void* p1,
          const void* p2);

} // namespace lumvek
