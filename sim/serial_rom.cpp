#include "sim/serial_rom.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/log/log.h"

namespace lumvek::sim {

SerialRom::SerialRom() {
    bytes_.fill(0xFF);
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
