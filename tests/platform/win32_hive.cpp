#ifdef _WIN32
#include "win32_hive.h"

#include <windows.h>

bool hiveHasKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

unsigned long currentProcessId() {
    return GetCurrentProcessId();
}
#endif
