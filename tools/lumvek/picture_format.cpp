#include "picture_format.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "LumvekSdk.h"
#include "frame_layout.h"

namespace lumvek::tool {

namespace {
constexpr PictureFormat kFormats[] = {
    {"bmp", LUMVEK_FILE_BMP},         {"raw", LUMVEK_FILE_RAW}, {"jpeg100", LUMVEK_FILE_JPEG100},
    {"jpeg70", LUMVEK_FILE_JPEG70},   {"jpeg20", LUMVEK_FILE_JPEG20}, {"png", LUMVEK_FILE_PNG},
    {"tiff", LUMVEK_FILE_TIFF},
};

// Names people type for the same files: jpg and jpeg are JPEG at quality
// 100 (as the .jpg extension), tif is TIFF.
struct Alias {
    const char* alias;
    const char* format;
};
constexpr Alias kAliases[] = {{"jpg", "jpeg100"}, {"jpeg", "jpeg100"}, {"tif", "tiff"}};

struct Extension {
    const char* extension;
    const char* format;
};
constexpr Extension kExtensions[] = {
    {".bmp", "bmp"}, {".raw", "raw"}, {".jpg", "jpeg100"}, {".jpeg", "jpeg100"},
    {".png", "png"}, {".tif", "tiff"}, {".tiff", "tiff"},
};

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}
} // namespace

std::optional<PictureFormat> formatByName(const std::string& name) {
    std::string wanted = name;
    for (char& c : wanted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& alias : kAliases) {
        if (wanted == alias.alias) wanted = alias.format;
    }
    for (const auto& format : kFormats) {
        if (wanted == format.name) return format;
    }
    return std::nullopt;
}

std::optional<PictureFormat> formatByExtension(const std::string& path) {
    const std::string extension = lowerExtension(path);
    for (const auto& entry : kExtensions) {
        if (extension == entry.extension) return formatByName(entry.format);
    }
    return std::nullopt;
}

bool isAviPath(const std::string& path) {
    return lowerExtension(path) == ".avi";
}

std::string compressedVideoPipeline(const std::string& path) {
    return "gst-launch-1.0 -e lumveksrc ! videoconvert ! x264enc ! mp4mux ! filesink location=" + path;
}

bool isColourModeBits(int bits) {
    return frameLayout(1, 1, bits).has_value();
}

std::string numberedPath(const std::string& path, int index, int count) {
    if (count <= 1) return path;
    const std::filesystem::path original(path);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%04d", index + 1);
    std::filesystem::path numbered = original;
    numbered.replace_filename(original.stem().string() + suffix + original.extension().string());
    return numbered.string();
}

} // namespace lumvek::tool
