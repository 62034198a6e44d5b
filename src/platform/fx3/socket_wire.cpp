#include "platform/fx3/socket_wire.h"

#include <cstdio>
#include <cstdlib>

namespace lumvek::fx3::wire {

namespace {
constexpr const char* kSocketSuffix = ".sock";
constexpr size_t kMaxInstanceChars = 64;

void put32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
uint32_t get32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) | (static_cast<uint32_t>(in[2]) << 16) |
           (static_cast<uint32_t>(in[3]) << 24);
}
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
bool parseHex4(const std::string& s, size_t at, uint16_t& out) {
    unsigned v = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const int d = hexDigit(s[i]);
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    out = static_cast<uint16_t>(v);
    return true;
}
} // namespace

void encodeFrame(const Frame& frame, uint8_t* out) {
    put32(out, frame.op);
    put32(out + 4, frame.a);
    put32(out + 8, frame.b);
    put32(out + 12, frame.c);
}

Frame decodeFrame(const uint8_t* in) {
    return Frame{get32(in), get32(in + 4), get32(in + 8), get32(in + 12)};
}

bool isValidInstanceName(const std::string& name) {
    if (name.empty() || name.size() > kMaxInstanceChars || name[0] == '.') {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_' || c == '.';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::string socketFileName(uint16_t vendorId, uint16_t productId, const std::string& instance) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x_%04x_", vendorId, productId);
    return ids + instance + kSocketSuffix;
}

std::optional<SocketName> parseSocketFileName(const std::string& fileName) {
    const std::string suffix = kSocketSuffix;
    if (fileName.size() <= 10 + suffix.size() || fileName[4] != '_' || fileName[9] != '_' ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    SocketName name;
    if (!parseHex4(fileName, 0, name.vendorId) || !parseHex4(fileName, 5, name.productId)) {
        return std::nullopt;
    }
    name.instance = fileName.substr(10, fileName.size() - 10 - suffix.size());
    if (!isValidInstanceName(name.instance)) {
        return std::nullopt;
    }
    return name;
}

std::string deviceDirectory() {
    if (const char* dir = std::getenv("LUMVEK_DEVICE_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = (runtime != nullptr && *runtime != '\0') ? runtime : "/tmp";
    return base + "/lumvek-devices";
}

} // namespace lumvek::fx3::wire
