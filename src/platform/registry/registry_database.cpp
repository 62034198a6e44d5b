#include "platform/registry/registry_database.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/log/log.h"

namespace lumvek::platform::registry_detail {
namespace {

// Marks a file as ours ("LMRG"); a SQLite file of anything else is refused.
constexpr int kApplicationId = 0x4C4D5247;
// How long a call waits for another process's write before giving up.
constexpr int kBusyTimeoutMs = 5000;

std::atomic<uint64_t> nextSerial{1};

// One prepared statement, finalised on scope exit.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    [[nodiscard]] int prepared() const { return rc_; }
    void bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, std::string_view s) {
        sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    void bindBlob(int i, const uint8_t* data, DWORD size) {
        if (size == 0)
            sqlite3_bind_zeroblob(stmt_, i, 0);
        else
            sqlite3_bind_blob(stmt_, i, data, static_cast<int>(size), SQLITE_TRANSIENT);
    }
    [[nodiscard]] int step() { return rc_ == SQLITE_OK ? sqlite3_step(stmt_) : rc_; }
    [[nodiscard]] int64_t int64(int col) const { return sqlite3_column_int64(stmt_, col); }
    [[nodiscard]] std::string text(int col) const {
        const auto* p = sqlite3_column_text(stmt_, col);
        return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(stmt_, col)) : std::string();
    }
    void blob(int col, std::vector<uint8_t>& out) const {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, col));
        const int n = sqlite3_column_bytes(stmt_, col);
        out.assign(p, p + (p ? n : 0));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

LONG statusFromErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    default:
        return ERROR_CANTOPEN;
    }
}

// "file:PATH?immutable=1", with the characters a URI gives meaning escaped.
std::string immutableUri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

bool inWalMode(sqlite3* db) {
    Statement mode(db, "PRAGMA journal_mode");
    if (mode.step() != SQLITE_ROW) {
        return false;
    }
    return sqlite3_stricmp(mode.text(0).c_str(), "wal") == 0;
}

} // namespace

LONG statusFromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
    case SQLITE_ERROR:
        return ERROR_BADDB;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_CANTREAD;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    default:
        return ERROR_CANTWRITE;
    }
}

LONG RegistryDatabase::open(const std::string& path, bool create, std::unique_ptr<RegistryDatabase>& out) {
    out.reset();
    if (path.empty())
        return ERROR_CANTOPEN;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return statusFromErrno(errno);
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        std::error_code ec;
        const auto folder = std::filesystem::path(path).parent_path();
        if (!folder.empty())
            std::filesystem::create_directories(folder, ec);
        if (ec)
            return statusFromErrno(ec.value());
    } else if (!S_ISREG(st.st_mode)) {
        return ERROR_BADDB;
    }
    sqlite3* db = nullptr;
    // A file we may not write (permissions, a read-only file system) is
    // opened read-only, so every write fails as read-only. On a read-only
    // file system SQLite cannot make the journal's shared-memory file; a
    // store closed cleanly has none, and is read as unchangeable instead
    // (nothing can change it there).
    const bool writable = ::access(path.c_str(), W_OK) == 0 || errno == ENOENT;
    const bool readOnlyFileSystem = !writable && errno == EROFS;
    std::string name = path;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (!writable) {
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
        if (readOnlyFileSystem && ::access((path + "-shm").c_str(), F_OK) != 0) {
            name = immutableUri(path);
            flags |= SQLITE_OPEN_URI;
        }
    }
    int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int err = sqlite3_system_errno(db);
        sqlite3_close(db);
        logf(LogCategory::Platform, "registry: cannot open %s (%d, errno %d)", path.c_str(), rc, err);
        return err != 0 ? statusFromErrno(err) : statusFromSqlite(rc);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (::stat(path.c_str(), &st) != 0) {
        sqlite3_close(db);
        return ERROR_CANTOPEN;
    }
    std::unique_ptr<RegistryDatabase> database(new RegistryDatabase(db, st.st_dev, st.st_ino));
    LONG status = database->checkSchema();
    if (status != ERROR_SUCCESS)
        return status;
    if (create && !database->hasSchema_ && sqlite3_db_readonly(db, "main") == 0) {
        // WAL lets readers of other processes go on while one writes; the
        // mode is kept in the file. Failing to set it only costs concurrency.
        (void)exec(db, "PRAGMA journal_mode=WAL");
    }
    if (inWalMode(db)) {
        // In WAL mode a commit that does not wait for the disk still leaves
        // the file whole after a crash of the process or of the machine; a
        // power cut may only take back the last commits. Waiting for the disk
        // at every setting written made a first start (the default tree, one
        // transaction per value) wait for some fifty flushes.
        (void)exec(db, "PRAGMA synchronous=NORMAL");
    }
    out = std::move(database);
    return ERROR_SUCCESS;
}

RegistryDatabase::RegistryDatabase(sqlite3* db, dev_t device, ino_t inode)
    : db_(db), device_(device), inode_(inode), serial_(nextSerial++), ownerPid_(::getpid()) {}

RegistryDatabase::~RegistryDatabase() {
    if (db_)
        sqlite3_close_v2(db_);
}

void RegistryDatabase::abandon() {
    db_ = nullptr;
}

bool RegistryDatabase::isCurrent(const std::string& path) const {
    struct stat st {};
    return ownerPid_ == ::getpid() && ::stat(path.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_;
}

LONG RegistryDatabase::checkSchema() {
    if (hasSchema_)
        return ERROR_SUCCESS;
    Statement appId(db_, "PRAGMA application_id");
    int rc = appId.step();
    if (rc != SQLITE_ROW)
        return statusFromSqlite(rc);
    const int64_t id = appId.int64(0);
    if (id == kApplicationId) {
        hasSchema_ = true;
        return ERROR_SUCCESS;
    }
    Statement objects(db_, "SELECT count(*) FROM sqlite_master");
    rc = objects.step();
    if (rc != SQLITE_ROW)
        return statusFromSqlite(rc);
    // An empty file is a store not yet written; anything else is not ours.
    return (id == 0 && objects.int64(0) == 0) ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG RegistryDatabase::ensureSchema() {
    LONG status = checkSchema();
    if (status != ERROR_SUCCESS || hasSchema_)
        return status;
    const int rc = exec(db_,
                        "CREATE TABLE IF NOT EXISTS keys("
                        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                        " parent INTEGER NOT NULL,"
                        " name TEXT NOT NULL COLLATE NOCASE,"
                        " UNIQUE(parent, name));"
                        "CREATE TABLE IF NOT EXISTS vals("
                        " key INTEGER NOT NULL,"
                        " name TEXT NOT NULL COLLATE NOCASE,"
                        " type INTEGER NOT NULL,"
                        " data BLOB NOT NULL,"
                        " PRIMARY KEY(key, name)) WITHOUT ROWID;"
                        "PRAGMA application_id=1280135751;");
    if (rc != SQLITE_OK)
        return statusFromSqlite(rc);
    hasSchema_ = true;
    return ERROR_SUCCESS;
}

LONG RegistryDatabase::begin() {
    // IMMEDIATE takes the write lock up front, so two writers never both read
    // and then collide on the upgrade.
    return statusFromSqlite(exec(db_, "BEGIN IMMEDIATE"));
}

LONG RegistryDatabase::commit() {
    const int rc = exec(db_, "COMMIT");
    if (rc != SQLITE_OK)
        rollback();
    return statusFromSqlite(rc);
}

void RegistryDatabase::rollback() {
    if (sqlite3_get_autocommit(db_) == 0)
        (void)exec(db_, "ROLLBACK");
}

LONG RegistryDatabase::keyExists(int64_t key) {
    if (key == kRootKeyId)
        return ERROR_SUCCESS;
    LONG status = checkSchema();
    if (status != ERROR_SUCCESS)
        return status;
    if (!hasSchema_)
        return ERROR_KEY_DELETED;
    Statement q(db_, "SELECT 1 FROM keys WHERE id=?1");
    q.bind(1, key);
    const int rc = q.step();
    if (rc == SQLITE_ROW)
        return ERROR_SUCCESS;
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : statusFromSqlite(rc);
}

LONG RegistryDatabase::walk(int64_t parent, const std::vector<std::string>& path, size_t count, int64_t* id) {
    int64_t current = parent;
    for (size_t i = 0; i < count; ++i) {
        Statement q(db_, "SELECT id FROM keys WHERE parent=?1 AND name=?2");
        q.bind(1, current);
        q.bind(2, path[i]);
        const int rc = q.step();
        if (rc == SQLITE_DONE)
            return ERROR_FILE_NOT_FOUND;
        if (rc != SQLITE_ROW)
            return statusFromSqlite(rc);
        current = q.int64(0);
    }
    *id = current;
    return ERROR_SUCCESS;
}

LONG RegistryDatabase::findKey(int64_t parent, const std::vector<std::string>& path, int64_t* id) {
    LONG status = keyExists(parent);
    if (status != ERROR_SUCCESS)
        return status == ERROR_KEY_DELETED && parent == kRootKeyId ? ERROR_FILE_NOT_FOUND : status;
    if (!hasSchema_)
        return path.empty() ? (*id = parent, ERROR_SUCCESS) : ERROR_FILE_NOT_FOUND;
    return walk(parent, path, path.size(), id);
}

LONG RegistryDatabase::createKey(int64_t parent, const std::vector<std::string>& path, int64_t* id, bool* created) {
    LONG status = begin();
    if (status != ERROR_SUCCESS)
        return status;
    status = ensureSchema();
    if (status == ERROR_SUCCESS)
        status = keyExists(parent);
    int64_t current = parent;
    bool madeLast = false;
    for (size_t i = 0; status == ERROR_SUCCESS && i < path.size(); ++i) {
        Statement find(db_, "SELECT id FROM keys WHERE parent=?1 AND name=?2");
        find.bind(1, current);
        find.bind(2, path[i]);
        int rc = find.step();
        if (rc == SQLITE_ROW) {
            current = find.int64(0);
            madeLast = false;
            continue;
        }
        if (rc != SQLITE_DONE) {
            status = statusFromSqlite(rc);
            break;
        }
        Statement insert(db_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
        insert.bind(1, current);
        insert.bind(2, path[i]);
        rc = insert.step();
        if (rc != SQLITE_DONE) {
            status = statusFromSqlite(rc);
            break;
        }
        current = sqlite3_last_insert_rowid(db_);
        madeLast = true;
    }
    if (status != ERROR_SUCCESS) {
        rollback();
        return status;
    }
    status = commit();
    if (status != ERROR_SUCCESS)
        return status;
    *id = current;
    if (created)
        *created = madeLast;
    return ERROR_SUCCESS;
}

LONG RegistryDatabase::queryValue(int64_t key, std::string_view name, DWORD* type, std::vector<uint8_t>& data) {
    LONG status = keyExists(key);
    if (status != ERROR_SUCCESS)
        return status;
    if (!hasSchema_)
        return ERROR_FILE_NOT_FOUND;
    Statement q(db_, "SELECT type, data FROM vals WHERE key=?1 AND name=?2");
    q.bind(1, key);
    q.bind(2, name);
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW)
        return statusFromSqlite(rc);
    *type = static_cast<DWORD>(q.int64(0));
    q.blob(1, data);
    return ERROR_SUCCESS;
}

LONG RegistryDatabase::setValue(int64_t key, std::string_view name, DWORD type, const uint8_t* data, DWORD size) {
    LONG status = begin();
    if (status != ERROR_SUCCESS)
        return status;
    status = ensureSchema();
    if (status == ERROR_SUCCESS)
        status = keyExists(key);
    if (status == ERROR_SUCCESS) {
        // On replacement the name keeps the case it was first written with.
        Statement up(db_,
                     "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
                     " ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data");
        up.bind(1, key);
        up.bind(2, name);
        up.bind(3, static_cast<int64_t>(type));
        up.bindBlob(4, data, size);
        const int rc = up.step();
        if (rc != SQLITE_DONE)
            status = statusFromSqlite(rc);
    }
    if (status != ERROR_SUCCESS) {
        rollback();
        return status;
    }
    return commit();
}

LONG RegistryDatabase::enumKey(int64_t key, DWORD index, std::string& name) {
    LONG status = keyExists(key);
    if (status != ERROR_SUCCESS)
        return status;
    if (!hasSchema_)
        return ERROR_NO_MORE_ITEMS;
    Statement q(db_, "SELECT name FROM keys WHERE parent=?1 ORDER BY name LIMIT 1 OFFSET ?2");
    q.bind(1, key);
    q.bind(2, static_cast<int64_t>(index));
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW)
        return statusFromSqlite(rc);
    name = q.text(0);
    return ERROR_SUCCESS;
}

LONG RegistryDatabase::enumValue(int64_t key, DWORD index, std::string& name, DWORD* type,
                                 std::vector<uint8_t>& data) {
    LONG status = keyExists(key);
    if (status != ERROR_SUCCESS)
        return status;
    if (!hasSchema_)
        return ERROR_NO_MORE_ITEMS;
    Statement q(db_, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY name LIMIT 1 OFFSET ?2");
    q.bind(1, key);
    q.bind(2, static_cast<int64_t>(index));
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW)
        return statusFromSqlite(rc);
    name = q.text(0);
    *type = static_cast<DWORD>(q.int64(1));
    q.blob(2, data);
    return ERROR_SUCCESS;
}

LONG RegistryDatabase::deleteValue(int64_t key, std::string_view name) {
    LONG status = begin();
    if (status != ERROR_SUCCESS)
        return status;
    status = ensureSchema();
    if (status == ERROR_SUCCESS)
        status = keyExists(key);
    if (status == ERROR_SUCCESS) {
        Statement del(db_, "DELETE FROM vals WHERE key=?1 AND name=?2");
        del.bind(1, key);
        del.bind(2, name);
        const int rc = del.step();
        if (rc != SQLITE_DONE)
            status = statusFromSqlite(rc);
        else if (sqlite3_changes(db_) == 0)
            status = ERROR_FILE_NOT_FOUND;
    }
    if (status != ERROR_SUCCESS) {
        rollback();
        return status;
    }
    return commit();
}

LONG RegistryDatabase::deleteTree(int64_t parent, const std::vector<std::string>& path) {
    LONG status = begin();
    if (status != ERROR_SUCCESS)
        return status;
    status = ensureSchema();
    if (status == ERROR_SUCCESS)
        status = keyExists(parent);
    int64_t top = parent;
    if (status == ERROR_SUCCESS)
        status = walk(parent, path, path.size(), &top);
    const bool keepTop = path.empty();
    if (status == ERROR_SUCCESS) {
        Statement delValues(db_,
                            "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL"
                            " SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id)"
                            " DELETE FROM vals WHERE key IN (SELECT id FROM sub)");
        delValues.bind(1, top);
        int rc = delValues.step();
        if (rc == SQLITE_DONE) {
            Statement delKeys(db_,
                              "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL"
                              " SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id)"
                              " DELETE FROM keys WHERE id IN (SELECT id FROM sub) AND (?2=0 OR id<>?1)");
            delKeys.bind(1, top);
            delKeys.bind(2, keepTop ? 1 : 0);
            rc = delKeys.step();
        }
        if (rc != SQLITE_DONE)
            status = statusFromSqlite(rc);
    }
    if (status != ERROR_SUCCESS) {
        rollback();
        return status;
    }
    return commit();
}

} // namespace lumvek::platform::registry_detail
