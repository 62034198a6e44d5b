// The registry calls: argument checks, the key-handle table and the choice of
// file; the SQL lives in registry_database.cpp.
#include "platform/registry/registry.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <pwd.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "platform/registry/registry_database.h"

namespace lumvek::platform {
namespace {

using registry_detail::kRootKeyId;
using registry_detail::RegistryDatabase;

// Handle values start far above anything small so that 0, 1, small integers
// and the predefined root are never mistaken for an open key.
constexpr uintptr_t kFirstHandle = uintptr_t{1} << 20;
constexpr REGSAM kAllAccessBits = KEY_ALL_ACCESS;

struct KeyHandle {
    std::string file;   // the store file the key was opened in
    uint64_t serial;    // the connection it was opened on
    int64_t keyId;
    REGSAM access;
};

// What a call works on once its handle has been resolved.
struct Target {
    RegistryDatabase* database = nullptr;
    int64_t keyId = kRootKeyId;
    REGSAM access = kAllAccessBits;
    std::string file;
};

class RegistryStore {
public:
    std::mutex mutex;  // guards handles, databases, nextHandle and every use of a database

    std::unordered_map<uintptr_t, KeyHandle> handles;
    std::map<std::string, std::unique_ptr<RegistryDatabase>> databases;
    uintptr_t nextHandle = kFirstHandle;

    // The connection for file, opened (with create: file and folders made)
    // when there is none yet or the file has been replaced. Caller holds mutex.
    LONG database(const std::string& file, bool create, RegistryDatabase** out) {
        auto it = databases.find(file);
        if (it != databases.end() && !it->second->isCurrent(file)) {
            if (it->second->ownerPid() != ::getpid())
                it->second->abandon();  // a forked child must not close its parent's connection
            databases.erase(it);
            it = databases.end();
        }
        if (it == databases.end()) {
            std::unique_ptr<RegistryDatabase> opened;
            const LONG status = RegistryDatabase::open(file, create, opened);
            if (status != ERROR_SUCCESS)
                return status;
            dropUnused(file);
            it = databases.emplace(file, std::move(opened)).first;
        }
        *out = it->second.get();
        return ERROR_SUCCESS;
    }

    // Resolves a handle (or the root) to its database; create decides whether
    // a missing file may be made.
    LONG resolve(HKEY key, bool create, Target& target) {
        if (key == HKEY_CURRENT_USER) {
            target.file = registryFilePath();
            target.keyId = kRootKeyId;
            target.access = kAllAccessBits;
            return database(target.file, create, &target.database);
        }
        const auto it = handles.find(reinterpret_cast<uintptr_t>(key));
        if (it == handles.end())
            return ERROR_INVALID_HANDLE;
        const KeyHandle& handle = it->second;
        target.file = handle.file;
        target.keyId = handle.keyId;
        target.access = handle.access;
        const LONG status = database(handle.file, create, &target.database);
        if (status != ERROR_SUCCESS)
            return status == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : status;
        if (target.database->serial() != handle.serial && handle.keyId != kRootKeyId)
            return ERROR_KEY_DELETED;  // the file was replaced (or we are a forked child)
        return ERROR_SUCCESS;
    }

    HKEY addHandle(const Target& target, int64_t keyId, REGSAM access) {
        const uintptr_t value = nextHandle++;
        handles.emplace(value, KeyHandle{target.file, target.database->serial(), keyId, access});
        return reinterpret_cast<HKEY>(value);
    }

private:
    // Closes connections to files other than keep that no open key uses, so
    // that changing the store file does not keep old files open.
    void dropUnused(const std::string& keep) {
        for (auto it = databases.begin(); it != databases.end();) {
            bool used = it->first == keep;
            for (const auto& [value, handle] : handles)
                used = used || handle.file == it->first;
            if (!used && it->second->ownerPid() != ::getpid())
                it->second->abandon();
            it = used ? std::next(it) : databases.erase(it);
        }
    }
};

RegistryStore& store() {
    // Never destroyed: registry calls may come from other static destructors.
    static RegistryStore* const instance = new RegistryStore;
    return *instance;
}

bool validName(std::string_view name) {
    return name.size() <= kRegistryMaxNameChars;
}

// Splits "A\\B\\C" into its levels; null or "" is no level. Empty levels
// and over-long names are refused.
bool splitPath(const char* subKey, std::vector<std::string>& levels) {
    levels.clear();
    if (subKey == nullptr || *subKey == '\0')
        return true;
    std::string_view rest(subKey);
    while (true) {
        const size_t cut = rest.find('\\');
        const std::string_view level = rest.substr(0, cut);
        if (level.empty() || !validName(level))
            return false;
        levels.emplace_back(level);
        if (cut == std::string_view::npos)
            return true;
        rest.remove_prefix(cut + 1);
    }
}

// Copies a value out under the query rules: size only, refusal of a short
// buffer, or the data.
LONG copyValue(const std::vector<uint8_t>& value, uint8_t* data, DWORD* size) {
    if (size == nullptr)
        return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    const DWORD available = *size;
    *size = static_cast<DWORD>(value.size());
    if (data == nullptr)
        return ERROR_SUCCESS;
    if (available < value.size())
        return ERROR_MORE_DATA;
    if (!value.empty())
        std::memcpy(data, value.data(), value.size());
    return ERROR_SUCCESS;
}

LONG copyName(const std::string& name, char* buffer, DWORD* chars) {
    if (buffer == nullptr || chars == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (*chars <= name.size())
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

std::string registryFilePath() {
    const char* override = std::getenv("LUMVEK_REGISTRY_FILE");
    if (override && *override)
        return override;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home && *home) {
            folder = home;
        } else {
            passwd entry {};
            passwd* found = nullptr;
            char text[4096];
            if (getpwuid_r(::getuid(), &entry, text, sizeof text, &found) == 0 && found && found->pw_dir)
                folder = found->pw_dir;
        }
        if (folder.empty())
            return {};
        folder += "/.config";
    }
    return folder + "/lumvek/registry.sqlite3";
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::string> levels;
    if (options != 0 || !splitPath(subKey, levels))
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::lock_guard lock(s.mutex);
    Target target;
    LONG status = s.resolve(key, false, target);
    if (status != ERROR_SUCCESS)
        return status;
    int64_t id = 0;
    status = target.database->findKey(target.keyId, levels, &id);
    if (status == ERROR_SUCCESS)
        *result = s.addHandle(target, id, access & kAllAccessBits);
    return status;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, REGSAM access, HKEY* result, DWORD* disposition) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::string> levels;
    if (!splitPath(subKey, levels))
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::lock_guard lock(s.mutex);
    Target target;
    LONG status = s.resolve(key, true, target);
    if (status != ERROR_SUCCESS)
        return status;
    if (!levels.empty() && (target.access & KEY_CREATE_SUB_KEY) == 0)
        return ERROR_ACCESS_DENIED;
    int64_t id = 0;
    bool created = false;
    status = target.database->createKey(target.keyId, levels, &id, &created);
    if (status != ERROR_SUCCESS)
        return status;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = s.addHandle(target, id, access & kAllAccessBits);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    RegistryStore& s = store();
    std::lock_guard lock(s.mutex);
    return s.handles.erase(reinterpret_cast<uintptr_t>(key)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, uint8_t* data, DWORD* size) {
    const std::string_view name = valueName ? valueName : "";
    if (reserved != nullptr || (data != nullptr && size == nullptr) || !validName(name))
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::vector<uint8_t> value;
    DWORD valueType = REG_NONE;
    {
        std::lock_guard lock(s.mutex);
        Target target;
        LONG status = s.resolve(key, false, target);
        if (status == ERROR_SUCCESS && (target.access & KEY_QUERY_VALUE) == 0)
            status = ERROR_ACCESS_DENIED;
        if (status == ERROR_SUCCESS)
            status = target.database->queryValue(target.keyId, name, &valueType, value);
        if (status != ERROR_SUCCESS)
            return status;
    }
    if (type)
        *type = valueType;
    return copyValue(value, data, size);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const uint8_t* data, DWORD size) {
    const std::string_view name = valueName ? valueName : "";
    if (reserved != 0 || !validName(name) || size > kRegistryMaxValueBytes || (data == nullptr && size != 0) ||
        (type == REG_DWORD && size != sizeof(DWORD)))
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::lock_guard lock(s.mutex);
    Target target;
    LONG status = s.resolve(key, true, target);
    if (status != ERROR_SUCCESS)
        return status;
    if ((target.access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    return target.database->setValue(target.keyId, name, type, data, size);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameChars) {
    if (name == nullptr || nameChars == nullptr)
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::string found;
    {
        std::lock_guard lock(s.mutex);
        Target target;
        LONG status = s.resolve(key, false, target);
        if (status == ERROR_FILE_NOT_FOUND && key == HKEY_CURRENT_USER)
            return ERROR_NO_MORE_ITEMS;  // no store yet: the root is empty
        if (status == ERROR_SUCCESS && (target.access & KEY_ENUMERATE_SUB_KEYS) == 0)
            status = ERROR_ACCESS_DENIED;
        if (status == ERROR_SUCCESS)
            status = target.database->enumKey(target.keyId, index, found);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return copyName(found, name, nameChars);
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD* type, uint8_t* data, DWORD* size) {
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::string found;
    std::vector<uint8_t> value;
    DWORD valueType = REG_NONE;
    {
        std::lock_guard lock(s.mutex);
        Target target;
        LONG status = s.resolve(key, false, target);
        if (status == ERROR_FILE_NOT_FOUND && key == HKEY_CURRENT_USER)
            return ERROR_NO_MORE_ITEMS;
        if (status == ERROR_SUCCESS && (target.access & KEY_QUERY_VALUE) == 0)
            status = ERROR_ACCESS_DENIED;
        if (status == ERROR_SUCCESS)
            status = target.database->enumValue(target.keyId, index, found, &valueType, value);
        if (status != ERROR_SUCCESS)
            return status;
    }
    LONG status = copyName(found, name, nameChars);
    if (status != ERROR_SUCCESS)
        return status;
    if (type)
        *type = valueType;
    return copyValue(value, data, size);
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
    const std::string_view name = valueName ? valueName : "";
    if (!validName(name))
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::lock_guard lock(s.mutex);
    Target target;
    LONG status = s.resolve(key, false, target);
    if (status != ERROR_SUCCESS)
        return status;
    if ((target.access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    return target.database->deleteValue(target.keyId, name);
}

LONG RegDeleteTreeA(HKEY key, const char* subKey) {
    std::vector<std::string> levels;
    if (!splitPath(subKey, levels))
        return ERROR_INVALID_PARAMETER;
    RegistryStore& s = store();
    std::lock_guard lock(s.mutex);
    Target target;
    LONG status = s.resolve(key, false, target);
    if (status != ERROR_SUCCESS)
        return status;
    if ((target.access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    return target.database->deleteTree(target.keyId, levels);
}

LONG registryProbeWrite() {
    // A name of this process only, so that two probes never meet.
    const std::string scratch = "LumvekWriteProbe-" + std::to_string(::getpid());
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, scratch.c_str(), KEY_ALL_ACCESS, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    const uint8_t probe[4] = {1, 0, 0, 0};
    status = RegSetValueExA(key, "probe", 0, REG_DWORD, probe, sizeof probe);
    (void)RegCloseKey(key);
    const LONG removed = RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
    return status != ERROR_SUCCESS ? status : removed;
}

std::string registryStatusText(LONG status) {
    switch (status) {
    case ERROR_SUCCESS:
        return "no error";
    case ERROR_FILE_NOT_FOUND:
        return "not found";
    case ERROR_ACCESS_DENIED:
        return "read-only (no write permission, or a read-only file system)";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "out of memory";
    case ERROR_DISK_FULL:
        return "the disk is full";
    case ERROR_BADDB:
        return "not a Lumvek settings store (a corrupt file, or a file or folder of something else)";
    case ERROR_CANTOPEN:
        return "the file cannot be opened or created";
    case ERROR_CANTREAD:
        return "the file is locked by another program";
    case ERROR_CANTWRITE:
        return "a write to the file failed";
    case ERROR_KEY_DELETED:
        return "the file was replaced or removed while in use";
    default:
        return "status " + std::to_string(status);
    }
}

} // namespace lumvek::platform
