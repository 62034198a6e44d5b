#include "imaging/convert/preview_scaler.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace lumvek {

namespace {

bool inside(const Rect& r, const ImageBuffer& b) {
    return r.left >= 0 && r.top >= 0 && r.right <= b.width() && r.bottom <= b.height() && r.left < r.right &&
           r.top < r.bottom;
}

} // namespace

bool scaleNearest(ImageBuffer& dst, const Rect& dstRect, const ImageBuffer& src, const Rect& srcRect, ScaleRows rows) {
    if (dst.empty() || src.empty() || dst.bitsPerPixel() != src.bitsPerPixel() ||
        (src.bitsPerPixel() != 8 && src.bitsPerPixel() != 24) || !inside(dstRect, dst) || !inside(srcRect, src)) {
        return false;
    }
    const int bpp = src.bytesPerPixel();
    const int srcW = srcRect.right - srcRect.left;
    const int srcH = srcRect.bottom - srcRect.top;
    const int dstW = dstRect.right - dstRect.left;
    const int dstH = dstRect.bottom - dstRect.top;
    const float ratioX = static_cast<float>(srcW) / static_cast<float>(dstW);
    const float ratioY = static_cast<float>(srcH) / static_cast<float>(dstH);

    for (int i = 0; i < dstH; ++i) {
        const int k = std::clamp(static_cast<int>(static_cast<float>(i) * ratioY), 0, srcH - 1);
        const int sy = rows == ScaleRows::Flipped ? srcRect.bottom - 1 - k : srcRect.top + k;
        const uint8_t* s = src.row(sy) + static_cast<ptrdiff_t>(srcRect.left) * bpp;
        uint8_t* d = dst.row(dstRect.top + i) + static_cast<ptrdiff_t>(dstRect.left) * bpp;
        for (int j = 0; j < dstW; ++j) {
            const int c = std::min(static_cast<int>(static_cast<float>(j) * ratioX), srcW - 1);
            std::memcpy(d + static_cast<ptrdiff_t>(j) * bpp, s + static_cast<ptrdiff_t>(c) * bpp,
                        static_cast<size_t>(bpp));
        }
    }
    return true;
}

} // namespace lumvek
