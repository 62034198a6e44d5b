#pragma once
// setenv and unsetenv for the tests on Windows, over the C runtime's
// environment (the one getenv reads, in the library as in the tests).
// Force-included into every test source of the Windows build.
#ifdef _WIN32
#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) {
        return 0;
    }
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    // An empty value removes the variable from the C runtime's environment.
    return _putenv_s(name, "") == 0 ? 0 : -1;
}
#endif
