#include "output/still/save_image.h"

#include "output/still/still_writers.h"

namespace lumvek {

namespace {

constexpr int kJpegQualityHigh = 100;
constexpr int kJpegQualityMedium = 70;
constexpr int kJpegQualityLow = 20;
constexpr int kErrorNoPicture = 1;

bool knownDepth(int bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

} // namespace

SaveOutcome saveImage(const ImageBuffer& picture, int colourModeBits, const char* path, int fileType) {
    if (picture.empty() || picture.bitsPerPixel() != colourModeBits || !knownDepth(colourModeBits)) {
        return {0, kErrorNoPicture};
    }
    bool ok = false;
    switch (static_cast<StillFileType>(fileType)) {
    case StillFileType::Bmp:
        ok = writeBmp(picture, path);
        break;
    case StillFileType::Raw:
        ok = writeRaw(picture, path);
        break;
    case StillFileType::Jpeg100:
        ok = writeJpeg(picture, path, kJpegQualityHigh);
        break;
    case StillFileType::Jpeg70:
        ok = writeJpeg(picture, path, kJpegQualityMedium);
        break;
    case StillFileType::Jpeg20:
        ok = writeJpeg(picture, path, kJpegQualityLow);
        break;
    case StillFileType::Png:
        ok = writePng(picture, path);
        break;
    case StillFileType::Tiff:
        ok = writeTiff(picture, path);
        break;
    default:
        return {0, 0};
    }
    return {ok ? 1 : 0, 0};
}

} // namespace lumvek
