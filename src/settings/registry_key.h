#pragma once
// A registry key handle that closes itself, and typed value access.
#include <cstdint>
#include <string>

#include "platform/registry/registry.h"

namespace lumvek {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing key for reading (never creates).
    [[nodiscard]] static bool openRead(const std::string& path, RegistryKey& key);
    // Opens a key for writing, creating missing levels.
    [[nodiscard]] static bool openWrite(const std::string& path, RegistryKey& key);

    // A REG_DWORD of 4 bytes; false (value untouched) when missing or of another shape.
    [[nodiscard]] bool readDword(const char* name, uint32_t& value) const;
    [[nodiscard]] bool writeDword(const char* name, uint32_t value) const;
    // An 8-byte REG_BINARY holding an IEEE 754 double.
    [[nodiscard]] bool readDouble(const char* name, double& value) const;
    [[nodiscard]] bool writeDouble(const char* name, double value) const;

    // The status of the last open or write through this key that failed
    // (ERROR_SUCCESS when none has).
    [[nodiscard]] platform::LONG failure() const { return failure_; }

private:
    void close();
    bool note(platform::LONG status) const;
    platform::HKEY handle_ = nullptr;
    mutable platform::LONG failure_ = platform::ERROR_SUCCESS;
};

[[nodiscard]] std::string cameraKeyPath(int camera);                      // root\Camera_NN
[[nodiscard]] std::string presetName(int index);                          // Size_NN

} // namespace lumvek
