// JPEG through libjpeg(-turbo). Errors raised inside the library come back
// here through the error manager's jump buffer instead of ending the process.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "imaging/convert/conversion_kernels.h"
#include "output/output_file.h"
#include "output/still/still_writers.h"
#include "platform/log/log.h"

namespace lumvek {

namespace {

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// libjpeg's own lines (errors and warnings) go to the SDK's log, never to
// the application's terminal.
void logMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    platform::logf(platform::LogCategory::Output, "libjpeg: %s", text);
}

[[noreturn]] void returnToWriter(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// The temporary the encoder reads: 8-bit grey or 24-bit blue-green-red,
// bottom line first (the rows are walked back to front below).
bool makeBottomUpSource(const ImageBuffer& picture, ImageBuffer& temp) {
    switch (picture.bitsPerPixel()) {
    case 8:
        return temp.create(picture.width(), picture.height(), 8) &&
               convertImage(temp, Conversion::CopyRowsFlipped, picture) != 0;
    case 16:
        return temp.create(picture.width(), picture.height(), 8) &&
               convertImage(temp, Conversion::HighByte16To8Flipped, picture) != 0;
    case 24:
    case 32:
        return temp.create(picture.width(), picture.height(), 24) &&
               convertImage(temp, Conversion::Copy24Flipped, picture) != 0;
    case 48:
    case 64:
        return temp.create(picture.width(), picture.height(), 24) &&
               convertImage(temp, Conversion::HighBytesTo24Flipped, picture) != 0;
    default:
        return false;
    }
}

// Everything between setjmp and a possible longjmp lives in memory the jump
// does not unwind: cinfo and err are this frame's, the row and the source
// belong to the caller.
bool compress(const ImageBuffer& bottomUp, uint8_t* row, std::FILE* stream, int quality) {
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = returnToWriter;
    err.base.output_message = logMessage;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
    jpeg_stdio_dest(&cinfo, stream);

    const bool grey = bottomUp.bitsPerPixel() == 8;
    cinfo.image_width = static_cast<JDIMENSION>(bottomUp.width());
    cinfo.image_height = static_cast<JDIMENSION>(bottomUp.height());
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);

    const int width = bottomUp.width();
    for (int r = bottomUp.height() - 1; r >= 0; --r) {
        const uint8_t* src = bottomUp.row(r);
        if (grey) {
            std::memcpy(row, src, static_cast<size_t>(width));
        } else {
            for (int c = 0; c < width; ++c) {
                row[3 * c] = src[3 * c + 2];
                row[3 * c + 1] = src[3 * c + 1];
                row[3 * c + 2] = src[3 * c];
            }
        }
        JSAMPROW rows[1] = {row};
        if (jpeg_write_scanlines(&cinfo, rows, 1) != 1) {  // a stdio destination never suspends
            jpeg_destroy_compress(&cinfo);
            return false;
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

bool writeJpeg(const ImageBuffer& picture, const char* path, int quality) {
    if (picture.empty()) {
        return false;
    }
    ImageBuffer bottomUp;
    if (!makeBottomUpSource(picture, bottomUp)) {
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(bottomUp.width()) * (bottomUp.bitsPerPixel() / 8));
    OutputFile file;
    if (!file.open(path)) {
        return false;
    }
    if (!compress(bottomUp, row.data(), file.stream(), quality)) {
        file.fail();
    }
    return file.close();
}

} // namespace lumvek
