#pragma once
// The individual still-image writers. Each works on a temporary made for
// the call (the picture is never changed), frees everything on every path,
// and returns true only when the whole file reached the system. The file is
// written beside its target and takes the target's name only then
// (FileReplacement): a failed write leaves no empty or partial file, and an
// existing file at the path stays as it was.
//
// The picture is an image buffer of 8, 16, 24, 32, 48 or 64 bits per pixel
// whose row 0 is the top line; every format puts that line on top.
#include "imaging/image_buffer.h"

namespace lumvek {

// Windows bitmap: 14-byte file header, 40-byte info header, the grey colour
// table at 8 bits, then the rows bottom line first, stride bytes each.
[[nodiscard]] bool writeBmp(const ImageBuffer& picture, const char* path);
// The picture's height x stride bytes, rows in buffer order, padding included.
[[nodiscard]] bool writeRaw(const ImageBuffer& picture, const char* path);
// Progressive JPEG at the given quality: greyscale for 8 and 16 bits (high
// byte), RGB for the colour depths (high bytes at 48 and 64).
[[nodiscard]] bool writeJpeg(const ImageBuffer& picture, const char* path, int quality);
// PNG: 8/16-bit grey, RGB, or RGBA (32: alpha = NOT fourth byte; 64: alpha 0xFFFF).
[[nodiscard]] bool writePng(const ImageBuffer& picture, const char* path);
// Uncompressed, contiguous TIFF in one strip, red-green-blue sample order.
[[nodiscard]] bool writeTiff(const ImageBuffer& picture, const char* path);

} // namespace lumvek
