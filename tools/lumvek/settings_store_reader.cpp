#include "settings_store_reader.h"

#include <cstdio>
#include <functional>
#include <set>
#include <sys/stat.h>

#include "platform/registry/registry_database.h"

namespace lumvek::tool {

namespace {
using platform::LONG;
using platform::registry_detail::kRootKeyId;
using platform::registry_detail::RegistryDatabase;

// A key tree deeper than this, or with a loop, is cut: the file is not trusted.
constexpr int kMaxDepth = 64;
constexpr int kRegSz = static_cast<int>(platform::REG_SZ);
constexpr int kRegBinary = static_cast<int>(platform::REG_BINARY);
constexpr int kRegDword = static_cast<int>(platform::REG_DWORD);

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            out += '?';  // control characters have no place in a .reg line
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string hexBytes(const std::vector<uint8_t>& data) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%s%02x", i == 0 ? "" : ",", data[i]);
        out += byte;
    }
    return out;
}

std::string formatValue(const StoreValue& value) {
    std::string line = quoted(value.name) + "=";
    if (value.type == kRegDword && value.data.size() == 4) {
        char text[16];
        const uint32_t number = uint32_t{value.data[0]} | uint32_t{value.data[1]} << 8 |
                                uint32_t{value.data[2]} << 16 | uint32_t{value.data[3]} << 24;
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return line + text;
    }
    if (value.type == kRegSz) {
        std::string text(value.data.begin(), value.data.end());
        if (const size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
        return line + quoted(text);
    }
    if (value.type == kRegBinary) return line + "hex:" + hexBytes(value.data);
    return line + "hex(" + std::to_string(value.type) + "):" + hexBytes(value.data);
}
} // namespace

bool readSettingsStore(const std::string& path, StoreContents& contents, std::string& error) {
    struct stat st {};
    if (path.empty()) {
        error = "no settings store path (neither LUMVEK_REGISTRY_FILE nor a home folder)";
        return false;
    }
    if (::stat(path.c_str(), &st) != 0) {
        error = "no settings store at " + path + " yet (the SDK creates it when a camera program first runs)";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + " is not a regular file";
        return false;
    }
    // The library's own store code reads the file: its schema is defined
    // once, there. The file is opened without creating anything.
    std::unique_ptr<RegistryDatabase> database;
    LONG status = RegistryDatabase::open(path, false, database);
    if (status != platform::ERROR_SUCCESS) {
        error = path + (status == platform::ERROR_BADDB ? " is not a Lumvek settings store"
                                                         : " cannot be opened (status " + std::to_string(status) + ")");
        return false;
    }
    std::set<int64_t> visited;
    std::function<LONG(int64_t, const std::string&, int)> walk = [&](int64_t id, const std::string& keyPath,
                                                                    int depth) -> LONG {
        if (depth > kMaxDepth || !visited.insert(id).second) return platform::ERROR_SUCCESS;
        if (id != kRootKeyId) {
            StoreKey key{keyPath, {}};
            for (platform::DWORD index = 0;; ++index) {
                StoreValue value;
                platform::DWORD type = 0;
                const LONG got = database->enumValue(id, index, value.name, &type, value.data);
                if (got == platform::ERROR_NO_MORE_ITEMS) break;
                if (got != platform::ERROR_SUCCESS) return got;
                value.type = static_cast<int>(type);
                key.values.push_back(std::move(value));
            }
            contents.keys.push_back(std::move(key));
        }
        for (platform::DWORD index = 0;; ++index) {
            std::string name;
            const LONG got = database->enumKey(id, index, name);
            if (got == platform::ERROR_NO_MORE_ITEMS) break;
            int64_t child = 0;
            LONG found = got == platform::ERROR_SUCCESS ? database->findKey(id, {name}, &child) : got;
            if (found == platform::ERROR_SUCCESS) {
                found = walk(child, keyPath.empty() ? name : keyPath + "\\" + name, depth + 1);
            }
            if (found != platform::ERROR_SUCCESS) return found;
        }
        return platform::ERROR_SUCCESS;
    };
    status = walk(kRootKeyId, "", 0);
    if (status != platform::ERROR_SUCCESS) {
        error = path + " is not readable as a Lumvek settings store (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

std::string formatRegText(const StoreContents& contents) {
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (const auto& key : contents.keys) {
        text += "\n[HKEY_CURRENT_USER\\" + key.path + "]\n";
        for (const auto& value : key.values) text += formatValue(value) + "\n";
    }
    return text;
}

} // namespace lumvek::tool
