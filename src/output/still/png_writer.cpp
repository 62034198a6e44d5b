// PNG through libpng 1.6. All writer state (file, structures, row table,
// swap buffer) belongs to one call, so saves from several threads and
// instances run side by side. Errors raised inside libpng come back here
// through the structure's jump buffer instead of ending the process.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "imaging/convert/conversion_kernels.h"
#include "output/output_file.h"
#include "output/still/still_writers.h"
#include "platform/log/log.h"

namespace lumvek {

namespace {

// libpng's own lines go to the SDK's log, never to the application's terminal.
[[noreturn]] void returnToWriter(png_structp png, png_const_charp message) {
    platform::logf(platform::LogCategory::Output, "libpng error: %s", message);
    png_longjmp(png, 1);
}

void logWarning(png_structp, png_const_charp message) {
    platform::logf(platform::LogCategory::Output, "libpng warning: %s", message);
}

struct PngFormat {
    int bitDepth;
    int colourType;
};

PngFormat formatFor(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8:
        return {8, PNG_COLOR_TYPE_GRAY};
    case 16:
        return {16, PNG_COLOR_TYPE_GRAY};
    case 24:
        return {8, PNG_COLOR_TYPE_RGB};
    case 32:
        return {8, PNG_COLOR_TYPE_RGB_ALPHA};
    case 48:
        return {16, PNG_COLOR_TYPE_RGB};
    default:
        return {16, PNG_COLOR_TYPE_RGB_ALPHA};
    }
}

// PNG stores 16-bit samples most significant byte first.
void swapSampleBytes(ImageBuffer& buffer) {
    uint8_t* p = buffer.pixels();
    const size_t bytes = buffer.sizeBytes() & ~size_t{1};
    for (size_t i = 0; i < bytes; i += 2) {
        const uint8_t low = p[i];
        p[i] = p[i + 1];
        p[i + 1] = low;
    }
}

// The pixels libpng reads: the picture itself at 8 and 24 bits, a temporary
// otherwise (opaque alpha at 32 and 64 bits, swapped sample bytes at 16, 48
// and 64 bits).
bool prepareSource(const ImageBuffer& picture, ImageBuffer& temp, const ImageBuffer*& source) {
    switch (picture.bitsPerPixel()) {
    case 8:
    case 24:
        source = &picture;
        return true;
    case 32:
        if (!temp.createLike(picture) || convertImage(temp, Conversion::InvertFourthByte32, picture) == 0) {
            return false;
        }
        break;
    case 64:
        if (!temp.createLike(picture) || convertImage(temp, Conversion::OpaqueFourthSample64, picture) == 0) {
            return false;
        }
        swapSampleBytes(temp);
        break;
    case 16:
    case 48:
        if (!temp.createLike(picture)) {
            return false;
        }
        std::memcpy(temp.pixels(), picture.pixels(), picture.sizeBytes());
        swapSampleBytes(temp);
        break;
    default:
        return false;
    }
    source = &temp;
    return true;
}

// Nothing with a destructor is made between setjmp and the last libpng call.
bool encode(const ImageBuffer& source, png_bytep* rows, std::FILE* stream) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, returnToWriter, logWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    const PngFormat format = formatFor(source.bitsPerPixel());
    png_init_io(png, stream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(source.width()), static_cast<png_uint_32>(source.height()),
                 format.bitDepth, format.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);  // blue-green-red(-alpha) in memory, red-green-blue(-alpha) in the file
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const ImageBuffer& picture, const char* path) {
    if (picture.empty()) {
        return false;
    }
    ImageBuffer temp;
    const ImageBuffer* source = nullptr;
    if (!prepareSource(picture, temp, source)) {
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(source->height()));
    for (int r = 0; r < source->height(); ++r) {
        rows[static_cast<size_t>(r)] = const_cast<png_bytep>(source->row(r));
    }
    OutputFile file;
    if (!file.open(path)) {
        return false;
    }
    if (!encode(*source, rows.data(), file.stream())) {
        file.fail();
    }
    return file.close();
}

} // namespace lumvek
