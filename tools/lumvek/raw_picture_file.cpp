#include "raw_picture_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include "failure.h"

namespace lumvek::tool {

namespace {

bool endsWith(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    if (text.size() <= s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = text[text.size() - s.size() + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != s[i]) return false;
    }
    return true;
}

size_t rowBytesOf(const RawFrameShape& shape) {
    return static_cast<size_t>(shape.width) * static_cast<size_t>(shape.samplesPerPixel) * (shape.sixteenBit ? 2 : 1);
}

// Netpbm keeps 16-bit samples most significant byte first, and RGB order.
std::vector<uint8_t> netpbmSamples(const RawFrameShape& shape, const uint8_t* frame, size_t bytes) {
    std::vector<uint8_t> out(frame, frame + bytes);
    const size_t sampleBytes = shape.sixteenBit ? 2 : 1;
    if (shape.samplesPerPixel == 3) {
        const size_t pixelBytes = 3 * sampleBytes;
        for (size_t p = 0; p + pixelBytes <= out.size(); p += pixelBytes) {
            for (size_t b = 0; b < sampleBytes; ++b) std::swap(out[p + b], out[p + 2 * sampleBytes + b]);
        }
    }
    if (shape.sixteenBit) {
        for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    }
    return out;
}

void writeNetpbm(const std::string& path, const RawFrameShape& shape, const uint8_t* frame, size_t bytes) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) fail("snap: cannot write " + path);
    const std::vector<uint8_t> samples = netpbmSamples(shape, frame, bytes);
    const bool ok = std::fprintf(file.get(), "%s\n%d %d\n%d\n", shape.samplesPerPixel == 3 ? "P6" : "P5", shape.width,
                                 shape.height, shape.sixteenBit ? 65535 : 255) > 0 &&
                    std::fwrite(samples.data(), 1, samples.size(), file.get()) == samples.size();
    if (!ok || std::fclose(file.release()) != 0) fail("snap: cannot write " + path);
}

void writePng(const std::string& path, const RawFrameShape& shape, const uint8_t* frame) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) fail("snap: cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        fail("snap: cannot write " + path + ": out of memory");
    }
    const size_t rowBytes = rowBytesOf(shape);
    std::vector<png_bytep> rows(static_cast<size_t>(shape.height));
    for (int y = 0; y < shape.height; ++y) {
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(frame + static_cast<size_t>(y) * rowBytes);
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fail("snap: cannot write " + path);
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(shape.width), static_cast<png_uint_32>(shape.height),
                 shape.sixteenBit ? 16 : 8, shape.samplesPerPixel == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (shape.samplesPerPixel == 3) png_set_bgr(png);
    if (shape.sixteenBit) png_set_swap(png);  // our samples are least significant byte first
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file.release()) != 0) fail("snap: cannot write " + path);
}

} // namespace

std::optional<RawPictureKind> rawPictureKindOf(const std::string& path) {
    if (endsWith(path, ".pgm")) return RawPictureKind::Pgm;
    if (endsWith(path, ".ppm")) return RawPictureKind::Ppm;
    if (endsWith(path, ".png")) return RawPictureKind::Png;
    if (endsWith(path, ".raw")) return RawPictureKind::Raw;
    return std::nullopt;
}

std::optional<std::string> rawPictureMismatch(RawPictureKind kind, const RawFrameShape& shape) {
    if (kind == RawPictureKind::Pgm && shape.samplesPerPixel != 1) {
        return std::string("this camera's pixels have three samples (blue, green, red): write .ppm, .png or .raw");
    }
    if (kind == RawPictureKind::Ppm && shape.samplesPerPixel != 3) {
        return std::string("this camera's pixels have one sample: write .pgm, .png or .raw");
    }
    return std::nullopt;
}

void writeRawPicture(const std::string& path, RawPictureKind kind, const RawFrameShape& shape, const uint8_t* frame,
                     size_t bytes) {
    const size_t expected = rowBytesOf(shape) * static_cast<size_t>(shape.height);
    if (kind != RawPictureKind::Raw && bytes < expected) {
        fail("snap: the camera delivered " + std::to_string(bytes) + " bytes, not the " + std::to_string(expected) +
             " of a " + std::to_string(shape.width) + " x " + std::to_string(shape.height) + " frame");
    }
    switch (kind) {
    case RawPictureKind::Pgm:
    case RawPictureKind::Ppm: writeNetpbm(path, shape, frame, expected); return;
    case RawPictureKind::Png: writePng(path, shape, frame); return;
    case RawPictureKind::Raw: break;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file || std::fwrite(frame, 1, bytes, file.get()) != bytes || std::fclose(file.release()) != 0) {
        fail("snap: cannot write " + path);
    }
}

} // namespace lumvek::tool
