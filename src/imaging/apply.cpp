#include "imaging/apply.h"

#include <algorithm>

namespace lumvek {

int apply(ImageBuffer& dst, PixelKernel kernel, const ImageBuffer& src, Rect* rect, int x, int y, const void* p1,
          const void* p2) {
    if (kernel == nullptr || dst.empty() || src.empty()) {
        return 0;
    }
    Rect r = rect != nullptr ? *rect : Rect{0, 0, src.width(), src.height()};

    // Clip against the source, moving the destination origin with the rectangle.
    if (r.left < 0) {
        x -= r.left;
        r.left = 0;
    }
    if (r.top < 0) {
        y -= r.top;
        r.top = 0;
    }
    r.right = std::min(r.right, src.width());
    r.bottom = std::min(r.bottom, src.height());
    // Clip against the destination, moving the source rectangle with the origin.
    if (x < 0) {
        r.left -= x;
        x = 0;
    }
    if (y < 0) {
        r.top -= y;
        y = 0;
    }
    r.right = std::min(r.right, r.left + (dst.width() - x));
    r.bottom = std::min(r.bottom, r.top + (dst.height() - y));

    if (r.right <= r.left || r.bottom <= r.top) {
        if (rect != nullptr) {
            *rect = Rect{};
        }
        return 0;
    }
    if (rect != nullptr) {
        *rect = r;
    }

    // The kernel counts rows from the other end of both buffers.
    const int clippedHeight = r.bottom - r.top;
    const int kernelY = dst.height() - (y + clippedHeight);
    const Rect kernelRect{r.left, src.height() - r.bottom, r.right, src.height() - r.top};

    return kernel(dst.pixels(), src.pixels(), kernelRect, x, kernelY, static_cast<uint16_t>(dst.bytesPerPixel()),
                  static_cast<uint16_t>(src.bytesPerPixel()), dst.stride(), src.stride(), p1, p2);
}

} // namespace lumvek
