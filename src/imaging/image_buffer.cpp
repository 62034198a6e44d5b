#include "imaging/image_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace lumvek {

namespace {
// Largest pixel block the library makes: far above any sensor of the family
// (the largest, 64-bit output at full frame, is under 40 MiB) and small
// enough that every offset fits the 32-bit fields of the file formats.
constexpr int64_t kMaxImageBytes = int64_t{1} << 31;
} // namespace

void ImageBuffer::FreeDeleter::operator()(uint8_t* p) const {
    std::free(p);
}

ImageBuffer::ImageBuffer() = default;
ImageBuffer::~ImageBuffer() = default;

bool ImageBuffer::create(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0 || bitsPerPixel % 8 != 0 || bitsPerPixel > 64) {
        return false;
    }
    const int64_t stride = strideFor(width, bitsPerPixel);
    const int64_t bytes = stride * height;
    if (stride > std::numeric_limits<int32_t>::max() || bytes > kMaxImageBytes) {
        return false;
    }
    // aligned_alloc wants a size that is a multiple of the alignment.
    const size_t allocation = (static_cast<size_t>(bytes) + kPixelAlignment - 1) & ~(kPixelAlignment - 1);
    auto* block = static_cast<uint8_t*>(std::aligned_alloc(kPixelAlignment, allocation));
    if (block == nullptr) {
        return false;
    }
    std::memset(block, 0, allocation);

    destroy();
    pixels_.reset(block);
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
