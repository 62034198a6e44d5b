#include "settings_store_reader.h"

#include <cstdio>
#include <functional>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>

namespace lumvek::tool {

namespace {
// The library marks its store files with this SQLite application id.
constexpr int64_t kStoreApplicationId = 1280135751;
constexpr int64_t kRootKeyId = 0;
constexpr int kMaxDepth = 64;
constexpr int kBusyTimeoutMs = 2000;
constexpr int kRegSz = 1;
constexpr int kRegBinary = 3;
constexpr int kRegDword = 4;

struct Database {
    sqlite3* db = nullptr;
    ~Database() {
        if (db != nullptr) sqlite3_close(db);
    }
};

struct Statement {
    sqlite3_stmt* statement = nullptr;
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement, nullptr); }
    ~Statement() { sqlite3_finalize(statement); }
};

std::string columnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    const int bytes = sqlite3_column_bytes(statement, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
}

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
    Database database;
    if (sqlite3_open_v2(path.c_str(), &database.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = "cannot open " + path + ": " + sqlite3_errmsg(database.db);
        return false;
    }
    sqlite3_busy_timeout(database.db, kBusyTimeoutMs);
    {
        Statement id(database.db, "PRAGMA application_id");
        if (id.statement == nullptr || sqlite3_step(id.statement) != SQLITE_ROW) {
            error = path + " is not readable as SQLite: " + sqlite3_errmsg(database.db);
            return false;
        }
        if (sqlite3_column_int64(id.statement, 0) != kStoreApplicationId) {
            error = path + " is not a Lumvek settings store";
            return false;
        }
    }
    Statement children(database.db, "SELECT id, name FROM keys WHERE parent=?1 ORDER BY name COLLATE NOCASE");
    Statement values(database.db, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY name COLLATE NOCASE");
    if (children.statement == nullptr || values.statement == nullptr) {
        error = path + " does not hold the settings tables: " + sqlite3_errmsg(database.db);
        return false;
    }
    std::set<int64_t> visited;
    std::function<void(int64_t, const std::string&, int)> walk = [&](int64_t id, const std::string& keyPath, int depth) {
        if (depth > kMaxDepth || !visited.insert(id).second) return;
        std::vector<std::pair<int64_t, std::string>> found;
        sqlite3_reset(children.statement);
        sqlite3_bind_int64(children.statement, 1, id);
        while (sqlite3_step(children.statement) == SQLITE_ROW) {
            found.emplace_back(sqlite3_column_int64(children.statement, 0), columnText(children.statement, 1));
        }
        if (id != kRootKeyId) {
            StoreKey key{keyPath, {}};
            sqlite3_reset(values.statement);
            sqlite3_bind_int64(values.statement, 1, id);
            while (sqlite3_step(values.statement) == SQLITE_ROW) {
                StoreValue value;
                value.name = columnText(values.statement, 0);
                value.type = sqlite3_column_int(values.statement, 1);
                const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(values.statement, 2));
                const int bytes = sqlite3_column_bytes(values.statement, 2);
                if (blob != nullptr && bytes > 0) value.data.assign(blob, blob + bytes);
                key.values.push_back(std::move(value));
            }
            contents.keys.push_back(std::move(key));
        }
        for (const auto& [child, name] : found) {
            walk(child, keyPath.empty() ? name : keyPath + "\\" + name, depth + 1);
        }
    };
    walk(kRootKeyId, "", 0);
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
