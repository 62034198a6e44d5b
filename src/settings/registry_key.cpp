#include "settings/registry_key.h"

#include <cstdio>
#include <cstring>

#include "settings/settings_store.h"

namespace lumvek {

using namespace platform;

RegistryKey::~RegistryKey() {
    close();
}

void RegistryKey::close() {
    if (handle_ != nullptr) {
        (void)RegCloseKey(handle_);
        handle_ = nullptr;
    }
}

bool RegistryKey::openRead(const std::string& path, RegistryKey& key) {
    key.close();
    return RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key.handle_) == ERROR_SUCCESS;
}

bool RegistryKey::openWrite(const std::string& path, RegistryKey& key) {
    key.close();
    key.failure_ = ERROR_SUCCESS;
    return key.note(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS, &key.handle_, nullptr));
}

bool RegistryKey::note(LONG status) const {
    if (status != ERROR_SUCCESS) {
        failure_ = status;
    }
    return status == ERROR_SUCCESS;
}

bool RegistryKey::readDword(const char* name, uint32_t& value) const {
    DWORD type = 0;
    uint8_t data[4];
    DWORD size = sizeof data;
    if (RegQueryValueExA(handle_, name, nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof data) {
        return false;
    }
    value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
            static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    return true;
}

bool RegistryKey::writeDword(const char* name, uint32_t value) const {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return note(RegSetValueExA(handle_, name, 0, REG_DWORD, data, sizeof data));
}

bool RegistryKey::readDouble(const char* name, double& value) const {
    DWORD type = 0;
    uint8_t data[8];
    DWORD size = sizeof data;
    if (RegQueryValueExA(handle_, name, nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_BINARY ||
        size != sizeof data) {
        return false;
    }
    std::memcpy(&value, data, sizeof value);  // little-endian IEEE 754, as stored
    return true;
}

bool RegistryKey::writeDouble(const char* name, double value) const {
    uint8_t data[8];
    std::memcpy(data, &value, sizeof data);
    return note(RegSetValueExA(handle_, name, 0, REG_BINARY, data, sizeof data));
}

std::string cameraKeyPath(int camera) {
    char name[32];
    std::snprintf(name, sizeof name, "\\Camera_%02d", camera);
    return std::string(kSettingsRoot) + name;
}

std::string presetName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "Size_%02d", index);
    return name;
}

} // namespace lumvek
