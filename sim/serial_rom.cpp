#include "sim/serial_rom.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/log/log.h"

namespace lumvek::sim {

namespace {
// A camera leaves the factory with its channel block set: gains 1..4 at
// unity (0x1000) and offsets 1..4 at 0, little-endian words from 0x1062.
constexpr size_t kChannelBlock = 0x1062;
constexpr uint16_t kUnityChannelGain = 0x1000;
} // namespace

SerialRom::SerialRom() {
    bytes_.fill(0xFF);
    for (size_t channel = 0; channel < 4; ++channel) {
        bytes_[kChannelBlock + 2 * channel] = static_cast<uint8_t>(kUnityChannelGain & 0xFF);
        bytes_[kChannelBlock + 2 * channel + 1] = static_cast<uint8_t>(kUnityChannelGain >> 8);
        bytes_[kChannelBlock + 8 + 2 * channel] = 0;
        bytes_[kChannelBlock + 8 + 2 * channel + 1] = 0;
    }
}

bool SerialRom::bindFile(const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        const auto size = std::filesystem::file_size(path, ec);
        if (ec || size != kBytes) {
            error = "serial ROM image " + path + " is not " + std::to_string(kBytes) + " bytes";
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in.read(reinterpret_cast<char*>(bytes_.data()), kBytes)) {
            error = "cannot read serial ROM image " + path;
            return false;
        }
        path_ = path;
        return true;
    }
    bytes_.fill(0xFF);
    path_ = path;
    save();
    if (!std::filesystem::exists(path, ec)) {
        error = "cannot create serial ROM image " + path;
        path_.clear();
        return false;
    }
    return true;
}

void SerialRom::save() {
    if (path_.empty()) {
        return;
    }
    // Written beside and renamed over, so a reader never sees half an image.
    const std::string temporary = path_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes_.data()), kBytes);
        if (!out) {
            platform::logf(platform::LogCategory::Sim, "cannot write %s", temporary.c_str());
            return;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path_, ec);
}

} // namespace lumvek::sim
