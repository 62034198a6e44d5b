#pragma once
// The system's own view, for the Windows registry tests, in a file of its
// own: <windows.h> defines the registry names as macros that the platform
// layer's header declares as constants.
#ifdef _WIN32
#include <string>

// Whether the key exists below HKEY_CURRENT_USER of the real hive.
bool hiveHasKey(const std::string& path);
unsigned long currentProcessId();
#endif
