#include <cstdint>

#include "imaging/convert/conversion_kernels.h"
#include "output/output_file.h"
#include "output/still/still_writers.h"

namespace lumvek {

namespace {

constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kColourTableBytes = 256 * 4;

} // namespace

bool writeBmp(const ImageBuffer& picture, const char* path) {
    if (picture.empty()) {
        return false;
    }
    // BMP stores the bottom line first.
    ImageBuffer bottomUp;
    if (!bottomUp.createLike(picture) || convertImage(bottomUp, Conversion::CopyRowsFlipped, picture) == 0) {
        return false;
    }
    OutputFile file;
    if (!file.open(path)) {
        return false;
    }
    const bool palette = picture.bitsPerPixel() <= 8;
    const uint32_t dataOffset = kFileHeaderBytes + kInfoHeaderBytes + (palette ? kColourTableBytes : 0);
    const uint64_t fileSize = dataOffset + static_cast<uint64_t>(picture.sizeBytes());
    if (fileSize > UINT32_MAX) {
        return false;
    }
    file.writeU16(kBmpMagic);
    file.writeU32(static_cast<uint32_t>(fileSize));
    file.writeU32(0);  // both reserved words
    file.writeU32(dataOffset);

    BitmapInfoHeader info;
    info.biWidth = picture.width();
    info.biHeight = picture.height();
    info.biPlanes = 1;
    info.biBitCount = picture.bitsPerPixel();
    info.biCompression = kBiRgb;
    file.write(&info, sizeof info);
    if (palette) {
        file.write(picture.colorTable().data(), kColourTableBytes);
    }
    file.write(bottomUp.pixels(), bottomUp.sizeBytes());
    return file.close();
}

bool writeRaw(const ImageBuffer& picture, const char* path) {
    if (picture.empty()) {
        return false;
    }
    OutputFile file;
    if (!file.open(path)) {
        return false;
    }
    file.write(picture.pixels(), picture.sizeBytes());
    return file.close();
}

} // namespace lumvek
