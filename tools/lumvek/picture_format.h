#pragma once
// Still-image file types of Lumvek_SaveImage by name and by file extension,
// and the colour modes by bits per pixel.
#include <optional>
#include <string>

namespace lumvek::tool {

struct PictureFormat {
    const char* name;  // bmp, raw, jpeg100, jpeg70, jpeg20, png, tiff
    int fileType;      // LUMVEK_FILE_*
};

// Case-insensitive; jpg and jpeg read as jpeg100, tif as tiff.
[[nodiscard]] std::optional<PictureFormat> formatByName(const std::string& name);
// .bmp .raw .jpg/.jpeg (quality 100) .png .tif/.tiff, case-insensitive.
[[nodiscard]] std::optional<PictureFormat> formatByExtension(const std::string& path);
[[nodiscard]] bool isColourModeBits(int bits);  // 8 16 24 32 48 64

// The SDK records uncompressed AVI only: true for a path ending in .avi
// (any case).
[[nodiscard]] bool isAviPath(const std::string& path);
// The GStreamer pipeline that records compressed video (H.264 in MP4) to path.
[[nodiscard]] std::string compressedVideoPipeline(const std::string& path);

// FILE itself for one picture; FILE with _0001, _0002 ... before the
// extension for each of several.
[[nodiscard]] std::string numberedPath(const std::string& path, int index, int count);

} // namespace lumvek::tool
