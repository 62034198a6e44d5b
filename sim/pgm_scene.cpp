#include "sim/pgm_scene.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace lumvek::sim {

namespace {
constexpr uint32_t kMaxSide = 65535;
constexpr uint64_t kMaxSamples = 64ull * 1024 * 1024;

class PgmScene final : public Scene {
public:
    PgmScene(uint32_t width, uint32_t height, uint32_t maxval, std::vector<uint16_t> samples)
        : width_(width), height_(height), maxval_(maxval), samples_(std::move(samples)) {}

    void render(uint32_t, const FrameGeometry& g, std::span<uint8_t> out) const override {
        if (out.size() < g.frameBytes()) {
            return;
        }
        const uint32_t fileBytes = maxval_ < 256 ? 1 : 2;
        const uint32_t outMax = g.bytesPerSample == 1 ? 255 : 65535;
        for (uint32_t y = 0; y < g.height; ++y) {
            const uint16_t* source = samples_.data() + size_t{y % height_} * width_;
            for (uint32_t x = 0; x < g.width; ++x) {
                uint32_t v = source[x % width_];
                if (fileBytes != g.bytesPerSample) {
                    v = (v * outMax + maxval_ / 2) / maxval_;
                }
                const size_t i = size_t{y} * g.width + x;
                if (g.bytesPerSample == 1) {
                    out[i] = static_cast<uint8_t>(v);
                } else {
                    out[2 * i] = static_cast<uint8_t>(v);
                    out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
                }
            }
        }
    }
    bool animated() const override { return false; }
    bool exact() const override { return true; }

private:
    const uint32_t width_, height_, maxval_;
    const std::vector<uint16_t> samples_;
};

bool isSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one unsigned decimal header field, skipping whitespace and comments.
bool readField(std::span<const uint8_t> file, size_t& at, uint32_t& value) {
    for (;;) {
        while (at < file.size() && isSpace(file[at])) {
            ++at;
        }
        if (at < file.size() && file[at] == '#') {
            while (at < file.size() && file[at] != '\n' && file[at] != '\r') {
                ++at;
            }
            continue;
        }
        break;
    }
    if (at >= file.size() || file[at] < '0' || file[at] > '9') {
        return false;
    }
    uint64_t v = 0;
    while (at < file.size() && file[at] >= '0' && file[at] <= '9') {
        v = v * 10 + (file[at] - '0');
        if (v > 0xFFFFFFFFull) {
            return false;
        }
        ++at;
    }
    value = static_cast<uint32_t>(v);
    return true;
}
} // namespace

std::unique_ptr<Scene> parsePgmScene(std::span<const uint8_t> file, std::string& error) {
    if (file.size() < 2 || file[0] != 'P' || file[1] != '5') {
        error = "not a binary PGM file (P5)";
        return nullptr;
    }
    size_t at = 2;
    uint32_t width = 0, height = 0, maxval = 0;
    if (!readField(file, at, width) || !readField(file, at, height) || !readField(file, at, maxval)) {
        error = "PGM header is incomplete";
        return nullptr;
    }
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        uint64_t{width} * height > kMaxSamples) {
        error = "PGM size " + std::to_string(width) + "x" + std::to_string(height) + " is out of range";
        return nullptr;
    }
    if (maxval == 0 || maxval > 65535) {
        error = "PGM maxval " + std::to_string(maxval) + " is out of range (1..65535)";
        return nullptr;
    }
    // Exactly one whitespace character separates the header from the samples.
    if (at >= file.size() || !isSpace(file[at])) {
        error = "PGM header does not end in whitespace";
        return nullptr;
    }
    ++at;
    const size_t bytesPerSample = maxval < 256 ? 1 : 2;
    const size_t count = size_t{width} * height;
    if (file.size() - at < count * bytesPerSample) {
        error = "PGM sample data is truncated";
        return nullptr;
    }
    std::vector<uint16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = file.data() + at + i * bytesPerSample;
        const uint32_t v = bytesPerSample == 1 ? p[0] : (uint32_t{p[0]} << 8) | p[1];
        if (v > maxval) {
            error = "PGM sample " + std::to_string(i) + " exceeds maxval";
            return nullptr;
        }
        samples[i] = static_cast<uint16_t>(v);
    }
    return std::make_unique<PgmScene>(width, height, maxval, std::move(samples));
}

std::unique_ptr<Scene> loadPgmScene(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open scene file " + path;
        return nullptr;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto scene = parsePgmScene(bytes, error);
    if (!scene) {
        error = path + ": " + error;
    }
    return scene;
}

} // namespace lumvek::sim
