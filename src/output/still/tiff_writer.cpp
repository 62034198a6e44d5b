// TIFF through libtiff: uncompressed, contiguous samples, the whole picture
// as strip 0. libtiff's messages go to the SDK's log through handlers of
// this file's own (the process-wide ones stay the application's).
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "imaging/convert/conversion_kernels.h"
#include "output/file_replacement.h"
#include "output/still/still_writers.h"
#include "platform/log/log.h"

namespace lumvek {

namespace {

struct TiffFormat {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
};

TiffFormat formatFor(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8:
        return {8, PHOTOMETRIC_MINISBLACK, 1};
    case 16:
        return {16, PHOTOMETRIC_MINISBLACK, 1};
    case 24:
        return {8, PHOTOMETRIC_RGB, 3};
    case 32:
        return {8, PHOTOMETRIC_RGB, 4};
    case 48:
        return {16, PHOTOMETRIC_RGB, 3};
    default:
        return {16, PHOTOMETRIC_RGB, 4};
    }
}

// Red-green-blue samples (fourth byte 0 at 32 bits, fourth sample 0xFFFF at
// 64 bits), rows in buffer order.
bool makeTiffPixels(const ImageBuffer& picture, ImageBuffer& temp) {
    if (!temp.createLike(picture)) {
        return false;
    }
    switch (picture.bitsPerPixel()) {
    case 8:
    case 16:
        std::memcpy(temp.pixels(), picture.pixels(), picture.sizeBytes());
        return true;
    case 24:
    case 32:
        return convertImage(temp, Conversion::SwapRedBlue, picture) != 0;
    case 48:
    case 64:
        return convertImage(temp, Conversion::SwapRedBlue16, picture) != 0;
    default:
        return false;
    }
}

int logMessage(TIFF*, void* kind, const char* module, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    platform::logf(platform::LogCategory::Output, "libtiff %s: %s: %s", static_cast<const char*>(kind),
                   module != nullptr ? module : "", text);
    return 1;  // handled: libtiff's process-wide handler is not called
}

char kErrorKind[] = "error";
char kWarningKind[] = "warning";

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

} // namespace

bool writeTiff(const ImageBuffer& picture, const char* path) {
    if (picture.empty() || path == nullptr || path[0] == '\0') {
        return false;
    }
    ImageBuffer temp;
    if (!makeTiffPixels(picture, temp)) {
        return false;
    }
    // The strip holds rows without the buffer's padding.
    const size_t packedRow = static_cast<size_t>(picture.width()) * static_cast<size_t>(picture.bytesPerPixel());
    std::vector<uint8_t> packed;
    const uint8_t* strip = temp.pixels();
    if (packedRow != static_cast<size_t>(temp.stride())) {
        packed.resize(packedRow * static_cast<size_t>(temp.height()));
        for (int r = 0; r < temp.height(); ++r) {
            std::memcpy(packed.data() + packedRow * static_cast<size_t>(r), temp.row(r), packedRow);
        }
        strip = packed.data();
    }

    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) {
        return false;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), logMessage, kErrorKind);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), logMessage, kWarningKind);
    FileReplacement replacement;
    const int fd = replacement.open(path);
    if (fd < 0) {
        return false;
    }
    TIFF* tif = TIFFFdOpenExt(fd, replacement.writePath().c_str(), "w", options.get());
    if (tif == nullptr) {
        ::close(fd);
        return false;  // the replacement removes what was made
    }
    const TiffFormat format = formatFor(picture.bitsPerPixel());
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(picture.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(picture.height()));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, format.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, format.photometric);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, format.samplesPerPixel);
    if (format.photometric == PHOTOMETRIC_RGB && format.samplesPerPixel == 4) {
        // The fourth byte is no alpha: say so, or readers take its zeros as
        // fully transparent and show nothing.
        const uint16_t extra[1] = {EXTRASAMPLE_UNSPECIFIED};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }

    const tmsize_t bytes = static_cast<tmsize_t>(packedRow * static_cast<size_t>(temp.height()));
    const bool written = TIFFWriteEncodedStrip(tif, 0, const_cast<uint8_t*>(strip), bytes) == bytes;
    // The directory is written by the flush; a full disk shows up there.
    const bool flushed = written && TIFFFlush(tif) == 1;
    TIFFClose(tif);  // closes the descriptor too
    return flushed && replacement.commit();
}

} // namespace lumvek
