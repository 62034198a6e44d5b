#pragma once
// The settings store file read without an SDK instance, through the
// library's own store code (platform/registry), so its layout is defined
// once. Nothing in the file is trusted: names are escaped, odd types are
// shown as hex, and a key tree with loops is cut.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumvek::tool {

struct StoreValue {
    std::string name;
    int type = 0;  // 1 text, 3 binary, 4 32-bit number; others kept as they are
    std::vector<uint8_t> data;
};

struct StoreKey {
    std::string path;  // "Software\\Quelro\\..." below HKEY_CURRENT_USER
    std::vector<StoreValue> values;
};

struct StoreContents {
    std::vector<StoreKey> keys;  // depth first, names in order
};

// false with `error` set when the file is missing, cannot be opened or is
// not a settings store.
[[nodiscard]] bool readSettingsStore(const std::string& path, StoreContents& contents, std::string& error);

// The contents as .reg text (Windows Registry Editor Version 5.00).
[[nodiscard]] std::string formatRegText(const StoreContents& contents);

} // namespace lumvek::tool
