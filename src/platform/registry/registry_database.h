#pragma once
// One open registry file: the SQLite connection and the statements behind
// the registry calls. Not thread-safe by itself; the registry serialises all
// use of a database under its store lock.
//
// Layout: table keys(id, parent, name) with id 0 standing for the root
// (HKEY_CURRENT_USER, never stored), table vals(key, name, type, data).
// Names use SQLite's NOCASE collation, so lookups and the uniqueness of
// names ignore ASCII case while the stored case is kept. Key ids are never
// reused (AUTOINCREMENT), so a handle of a deleted key cannot reach a newer
// key that happens to get the same id.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "platform/registry/registry.h"

struct sqlite3;

namespace lumvek::platform::registry_detail {

inline constexpr int64_t kRootKeyId = 0;

class RegistryDatabase {
public:
    // Opens the file at path. With create, missing folders and the file are
    // made; without it a missing file is ERROR_FILE_NOT_FOUND.
    [[nodiscard]] static LONG open(const std::string& path, bool create, std::unique_ptr<RegistryDatabase>& out);
    ~RegistryDatabase();
    RegistryDatabase(const RegistryDatabase&) = delete;
    RegistryDatabase& operator=(const RegistryDatabase&) = delete;

    // Identifies this connection; handles remember it so that a handle made
    // on a file that has since been replaced is refused.
    [[nodiscard]] uint64_t serial() const { return serial_; }
    // True while the file at the path is still the one this connection opened
    // and the process is the one that opened it.
    [[nodiscard]] bool isCurrent(const std::string& path) const;
    // True when the connection may be used after a fork (never: the child
    // must open its own).
    [[nodiscard]] pid_t ownerPid() const { return ownerPid_; }
    // Leaves the connection open without closing it: used in a forked child,
    // where closing the parent's connection is not safe.
    void abandon();

    [[nodiscard]] LONG keyExists(int64_t key);
    [[nodiscard]] LONG findKey(int64_t parent, const std::vector<std::string>& path, int64_t* id);
    [[nodiscard]] LONG createKey(int64_t parent, const std::vector<std::string>& path, int64_t* id, bool* created);
    [[nodiscard]] LONG queryValue(int64_t key, std::string_view name, DWORD* type, std::vector<uint8_t>& data);
    [[nodiscard]] LONG setValue(int64_t key, std::string_view name, DWORD type, const uint8_t* data, DWORD size);
    [[nodiscard]] LONG enumKey(int64_t key, DWORD index, std::string& name);
    [[nodiscard]] LONG enumValue(int64_t key, DWORD index, std::string& name, DWORD* type, std::vector<uint8_t>& data);
    [[nodiscard]] LONG deleteValue(int64_t key, std::string_view name);
    // Deletes the key at path below parent and everything under it; with an
    // empty path, everything under parent and parent's values.
    [[nodiscard]] LONG deleteTree(int64_t parent, const std::vector<std::string>& path);

private:
    RegistryDatabase(sqlite3* db, dev_t device, ino_t inode);
    [[nodiscard]] LONG checkSchema();
    [[nodiscard]] LONG ensureSchema();
    [[nodiscard]] LONG begin();
    [[nodiscard]] LONG commit();
    void rollback();
    [[nodiscard]] LONG walk(int64_t parent, const std::vector<std::string>& path, size_t count, int64_t* id);

    sqlite3* db_;
    const dev_t device_;
    const ino_t inode_;
    const uint64_t serial_;
    const pid_t ownerPid_;
    bool hasSchema_ = false;
};

// SQLite result code -> registry status.
[[nodiscard]] LONG statusFromSqlite(int rc);

} // namespace lumvek::platform::registry_detail
