#pragma once
// The files `lumvek snap --product` writes of a camera's frame as the camera
// device delivers it (no image pipeline): the kind follows the file name.
//   .pgm  binary PGM, one sample per pixel (8 bits, or 16 most significant
//         byte first)
//   .ppm  binary PPM for three-byte pixels (the 0x3130 converter head, whose
//         pixels come blue, green, red as the library's 24-bit pictures)
//   .png  grey or RGB PNG, 8 or 16 bits per sample
//   .raw  the bytes as delivered
// Any other name is refused before a picture is taken.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lumvek::tool {

enum class RawPictureKind { Pgm, Ppm, Png, Raw };

struct RawFrameShape {
    int width = 0;           // pixels
    int height = 0;
    int samplesPerPixel = 1;  // 1, or 3 for blue-green-red pixels
    bool sixteenBit = false;  // samples of two bytes, least significant first
};

// The kind a file name asks for; nullopt for a name none of them has.
[[nodiscard]] std::optional<RawPictureKind> rawPictureKindOf(const std::string& path);

// Why `kind` cannot hold frames of `shape` (a PGM of three-byte pixels, a
// PPM of one-sample pixels), or nullopt when it can.
[[nodiscard]] std::optional<std::string> rawPictureMismatch(RawPictureKind kind, const RawFrameShape& shape);

// Writes `bytes` bytes of frame data (rows top-down, tightly packed).
// Throws Failure naming the file when it cannot be written.
void writeRawPicture(const std::string& path, RawPictureKind kind, const RawFrameShape& shape, const uint8_t* frame,
                     size_t bytes);

} // namespace lumvek::tool
