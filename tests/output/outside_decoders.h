#pragma once
// Decoders we did not write, run as separate programs: ImageMagick, Python
// PIL, libjpeg's djpeg, libtiff's tools, pngcheck, ffprobe and ffmpeg.
// Tests skip when a tool is missing (scripts/setup-deps.sh installs them).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/image_buffer.h"

namespace lumvek::test {

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output
};

// Runs a shell command; standard error is discarded.
CommandResult runCommand(const std::string& command);
// Finds a program in the system directories (not the PATH shims).
std::string findTool(const std::string& name);
#define LUMVEK_REQUIRE_TOOL(var, name)                                   \
    const std::string var = ::lumvek::test::findTool(name);              \
    if (var.empty()) {                                                   \
        GTEST_SKIP() << name << " is not installed (scripts/setup-deps.sh)"; \
    }

std::vector<uint8_t> readFileBytes(const std::filesystem::path& path);
uint32_t le32(const std::vector<uint8_t>& bytes, size_t at);
uint16_t le16(const std::vector<uint8_t>& bytes, size_t at);

// ImageMagick's decoding of a file as raw samples, top line first:
// map "gray", "rgb" or "rgba", depth 8 or 16 (16-bit samples little-endian).
std::vector<uint8_t> imageMagickSamples(const std::string& convert, const std::filesystem::path& file,
                                        const std::string& map, int depth);

// What a faithful decoder must give for a picture, in the same form:
// samples top line first, red-green-blue(-alpha), no row padding; 32-bit
// pictures with alpha = NOT fourth byte, 64-bit ones with alpha 0xFFFF.
// withAlpha false drops the fourth component.
std::vector<uint8_t> expectedSamples(const ImageBuffer& picture, bool withAlpha);

// A PGM/PPM file as written by djpeg: width, height, channels, samples.
struct Pnm {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> samples;
};
Pnm parsePnm(const std::vector<uint8_t>& bytes);

// Fills a picture of any depth with a deterministic pattern over every
// sample (padding left zero).
void fillPicture(ImageBuffer& picture, uint32_t seed);
// A smooth picture with some edges: what JPEG is made for.
void fillSmoothPicture(ImageBuffer& picture);

} // namespace lumvek::test
