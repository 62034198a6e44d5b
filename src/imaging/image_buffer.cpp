#include "imaging/image_buffer.h"

#include <limits>

namespace lumvek {

bool imageSizeAllowed(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0 || bitsPerPixel % 8 != 0 || bitsPerPixel > 64) {
        return false;
    }
    const int64_t stride = strideFor(width, bitsPerPixel);
    return stride <= std::numeric_limits<int32_t>::max() && stride * height <= kMaxImageBytes;
}

ImageBuffer::ImageBuffer() = default;
ImageBuffer::~ImageBuffer() = default;

bool ImageBuffer::create(int width, int height, int bitsPerPixel) {
    if (!imageSizeAllowed(width, height, bitsPerPixel)) {
        return false;
    }
    const int64_t stride = strideFor(width, bitsPerPixel);
    const int64_t bytes = stride * height;
    // Zero until written, and not resident until then: a plane that is only
    // ever read (or never used) costs no memory.
    platform::ZeroedBlock block = platform::allocateZeroed(static_cast<size_t>(bytes));
    if (!block) {
        return false;
    }

    destroy();
    pixels_ = std::move(block);
    width_ = width;
    height_ = height;
    stride_ = static_cast<int>(stride);
    bitsPerPixel_ = static_cast<uint16_t>(bitsPerPixel);

    header_ = BitmapInfoHeader{};
    header_.biWidth = width;
    header_.biHeight = height;
    header_.biPlanes = 1;
    header_.biBitCount = bitsPerPixel_;
    header_.biCompression = kBiRgb;
    header_.biSizeImage = static_cast<uint32_t>(bytes);
    if (bitsPerPixel == 8) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            colorTable_[i] = RgbQuad{v, v, v, 0};
        }
    }
    return true;
}

bool ImageBuffer::createLike(const ImageBuffer& other) {
    if (other.empty()) {
        return false;
    }
    return create(other.width_, other.height_, other.bitsPerPixel_);
}

void ImageBuffer::destroy() {
    pixels_.reset();
    width_ = 0;
    height_ = 0;
    stride_ = 0;
    bitsPerPixel_ = 0;
    header_ = BitmapInfoHeader{};
    colorTable_ = {};
}

} // namespace lumvek
