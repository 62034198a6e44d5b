// The per-user registry on Windows: the system's own calls (advapi32). The
// header declares its own HKEY and status codes, and <windows.h> is included
// after it, so the two sets of names never meet in one scope: everything
// below names the system's with a leading ::, and this layer's root is
// kLayerRoot.
#include "platform/registry/registry.h"

// This layer's root, taken before <windows.h> redefines the name: the
// system's macro sign-extends 0x80000001 to a different pointer value.
static const lumvek::platform::HKEY kLayerRoot = lumvek::platform::HKEY_CURRENT_USER;

#include <windows.h>

#include <cstdlib>
#include <string>

// The hive itself, spelt while HKEY still means the system's type.
static const ::HKEY kCurrentUserHive = HKEY_CURRENT_USER;

namespace lumvek::platform {

namespace {

::HKEY native(HKEY key) {
    return reinterpret_cast<::HKEY>(key);
}

::DWORD* native(DWORD* value) {
    static_assert(sizeof(::DWORD) == sizeof(DWORD));
    return reinterpret_cast<::DWORD*>(value);
}

bool isRoot(HKEY key) {
    return key == kLayerRoot;
}

// The key that stands for HKEY_CURRENT_USER: the hive, or the subkey that
// $LUMVEK_REGISTRY_ROOT names below it.
std::string redirectedRoot() {
    const char* root = std::getenv("LUMVEK_REGISTRY_ROOT");
    return root != nullptr ? std::string(root) : std::string();
}

// A key below the root: "root\subKey", or the root's own path.
std::string belowRoot(const std::string& root, const char* subKey) {
    if (subKey == nullptr || *subKey == '\0') {
        return root;
    }
    return root.empty() ? std::string(subKey) : root + "\\" + subKey;
}

// Runs a call on `key` with the root resolved: a call on the redirected root
// opens that key (creating it when `create`) for the call's length.
template <class Call>
LONG onKey(HKEY key, bool create, REGSAM access, Call call) {
    if (!isRoot(key)) {
        return call(native(key));
    }
    const std::string root = redirectedRoot();
    if (root.empty()) {
        return call(kCurrentUserHive);
    }
    ::HKEY opened = nullptr;
    LONG status = create ? ::RegCreateKeyExA(kCurrentUserHive, root.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             access, nullptr, &opened, nullptr)
                         : ::RegOpenKeyExA(kCurrentUserHive, root.c_str(), 0, access, &opened);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = call(opened);
    ::RegCloseKey(opened);
    return status;
}

} // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
    if (result == nullptr || options != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    ::HKEY opened = nullptr;
    LONG status;
    if (isRoot(key)) {
        // One open from the hive: the root and the path below it at once.
        status = ::RegOpenKeyExA(kCurrentUserHive, belowRoot(redirectedRoot(), subKey).c_str(), 0, access, &opened);
        if (status == ERROR_SUCCESS && opened == nullptr) {
            status = ERROR_FILE_NOT_FOUND;
        }
    } else {
        status = ::RegOpenKeyExA(native(key), subKey != nullptr ? subKey : "", 0, access, &opened);
    }
    if (status == ERROR_SUCCESS) {
        *result = reinterpret_cast<HKEY>(opened);
    }
    return status;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, REGSAM access, HKEY* result, DWORD* disposition) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    ::HKEY parent = isRoot(key) ? kCurrentUserHive : native(key);
    const std::string path = isRoot(key) ? belowRoot(redirectedRoot(), subKey) : (subKey != nullptr ? subKey : "");
    ::HKEY opened = nullptr;
    ::DWORD made = 0;
    const LONG status = ::RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                          &opened, &made);
    if (status == ERROR_SUCCESS) {
        *result = reinterpret_cast<HKEY>(opened);
        if (disposition != nullptr) {
            *disposition = made;
        }
    }
    return status;
}

LONG RegCloseKey(HKEY key) {
    if (isRoot(key) || key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return ::RegCloseKey(native(key));
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, uint8_t* data, DWORD* size) {
    if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(key, false, KEY_QUERY_VALUE, [&](::HKEY k) {
        return ::RegQueryValueExA(k, valueName, nullptr, native(type), data, native(size));
    });
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const uint8_t* data, DWORD size) {
    if (reserved != 0 || (type == REG_DWORD && size != 4) || (data == nullptr && size != 0) ||
        size > kRegistryMaxValueBytes) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(key, true, KEY_SET_VALUE,
                 [&](::HKEY k) { return ::RegSetValueExA(k, valueName, 0, type, data, size); });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameChars) {
    if (name == nullptr || nameChars == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(key, false, KEY_ENUMERATE_SUB_KEYS, [&](::HKEY k) {
        return ::RegEnumKeyExA(k, index, name, native(nameChars), nullptr, nullptr, nullptr, nullptr);
    });
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD* type, uint8_t* data, DWORD* size) {
    if (name == nullptr || nameChars == nullptr || (data != nullptr && size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(key, false, KEY_QUERY_VALUE, [&](::HKEY k) {
        return ::RegEnumValueA(k, index, name, native(nameChars), nullptr, native(type), data, native(size));
    });
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
    return onKey(key, false, KEY_SET_VALUE, [&](::HKEY k) { return ::RegDeleteValueA(k, valueName); });
}

LONG RegDeleteTreeA(HKEY key, const char* subKey) {
    return onKey(key, false, KEY_ALL_ACCESS, [&](::HKEY k) {
        return ::RegDeleteTreeA(k, subKey != nullptr && *subKey != '\0' ? subKey : nullptr);
    });
}

std::string registryFilePath() {
    return belowRoot("HKEY_CURRENT_USER", redirectedRoot().empty() ? nullptr : redirectedRoot().c_str());
}

LONG registryProbeWrite() {
    // A name of this process only, so that two probes never meet.
    const std::string scratch = "LumvekWriteProbe-" + std::to_string(GetCurrentProcessId());
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(kLayerRoot, scratch.c_str(), KEY_ALL_ACCESS, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const uint8_t probe[4] = {1, 0, 0, 0};
    status = RegSetValueExA(key, "probe", 0, REG_DWORD, probe, sizeof probe);
    (void)RegCloseKey(key);
    const LONG removed = RegDeleteTreeA(kLayerRoot, scratch.c_str());
    return status != ERROR_SUCCESS ? status : removed;
}

std::string registryStatusText(LONG status) {
    if (status == ERROR_SUCCESS) {
        return "no error";
    }
    char text[512];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<::DWORD>(status), 0, text, sizeof text, nullptr);
    std::string words(text, n);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) {
        words.pop_back();
    }
    return words.empty() ? "status " + std::to_string(status) : words;
}

} // namespace lumvek::platform
