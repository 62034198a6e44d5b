#pragma once
// The image buffer: the one image object of the library. A 40-byte bitmap
// information header and a 256-entry colour table (what the BMP and AVI
// writers write out), and a 64-byte-aligned, zero-filled pixel block (a
// large one takes resident memory only as its pages are written).
//
// Layout: row 0 is the top line of the picture; every row starts on a 4-byte
// boundary (stride = (width * bytesPerPixel + 3) & ~3); samples are
// little-endian; colour pixels are blue, green, red (then a fourth component
// at 32 and 64 bits per pixel); 48- and 64-bit pixels hold 16-bit samples.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/memory/zeroed_block.h"

namespace lumvek {

#pragma pack(push, 1)
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;  // BI_RGB
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(RgbQuad) == 4);

inline constexpr uint32_t kBiRgb = 0;
inline constexpr size_t kPixelAlignment = platform::kBlockAlignment;

// Stride of a row: width * (bits / 8) rounded up to a multiple of 4.
[[nodiscard]] constexpr int64_t strideFor(int64_t width, int bitsPerPixel) {
    return (width * (bitsPerPixel / 8) + 3) & ~int64_t{3};
}

// Largest pixel block the library makes: far above any sensor of the family
// (the largest, 64-bit output at full frame, is under 40 MiB) and small
// enough that every offset fits the 32-bit fields of the file formats.
inline constexpr int64_t kMaxImageBytes = int64_t{1} << 31;

// True when ImageBuffer::create accepts this size and depth: width and
// height above 0, a whole number of bytes per pixel up to 8, at most
// kMaxImageBytes.
[[nodiscard]] bool imageSizeAllowed(int width, int height, int bitsPerPixel);

class ImageBuffer {
public:
    ImageBuffer();
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Releases the old contents and makes a zero-filled image. Fails, leaving
    // the buffer as it was, for width <= 0, height <= 0, a depth that is not a
    // whole number of bytes (0 included), or a size that cannot be allocated.
    [[nodiscard]] bool create(int width, int height, int bitsPerPixel);
    // Same size and depth as other (contents not copied); fails if other is empty.
    [[nodiscard]] bool createLike(const ImageBuffer& other);
    // Frees the pixels and resets the header (biSize 40, all else 0).
    void destroy();
    // For a buffer shared by readers only: a write to a large pixel block
    // faults from now on. The buffer must not be written again (create and
    // destroy still work).
    void protectPixels() { (void)platform::protectReadOnly(pixels_); }
    // Exchanges everything with other: a picture built elsewhere takes this
    // one's place without a copy.
    void swap(ImageBuffer& other) noexcept {
        std::swap(header_, other.header_);
        std::swap(colorTable_, other.colorTable_);
        std::swap(pixels_, other.pixels_);
        std::swap(width_, other.width_);
        std::swap(height_, other.height_);
        std::swap(stride_, other.stride_);
        std::swap(bitsPerPixel_, other.bitsPerPixel_);
    }

    [[nodiscard]] bool empty() const { return pixels_ == nullptr; }
    [[nodiscard]] uint8_t* pixels() { return pixels_.get(); }
    [[nodiscard]] const uint8_t* pixels() const { return pixels_.get(); }
    [[nodiscard]] uint8_t* row(int y) { return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(stride_); }
    [[nodiscard]] const uint8_t* row(int y) const {
        return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(stride_);
    }

    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] int stride() const { return stride_; }
    [[nodiscard]] uint16_t bitsPerPixel() const { return bitsPerPixel_; }
    [[nodiscard]] int bytesPerPixel() const { return bitsPerPixel_ / 8; }
    [[nodiscard]] size_t sizeBytes() const { return static_cast<size_t>(stride_) * static_cast<size_t>(height_); }

    [[nodiscard]] const BitmapInfoHeader& header() const { return header_; }
    [[nodiscard]] const std::array<RgbQuad, 256>& colorTable() const { return colorTable_; }

private:
    BitmapInfoHeader header_;
    std::array<RgbQuad, 256> colorTable_{};
    platform::ZeroedBlock pixels_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    uint16_t bitsPerPixel_ = 0;
};

} // namespace lumvek
