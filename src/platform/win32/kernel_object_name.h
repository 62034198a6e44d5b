#pragma once
// The name of a kernel object (file mapping, mutex, event) of this login
// session for one of the POSIX-style names the callers use: "/U3K7-MemMap"
// becomes "U3K7-MemMap". Backslashes, the namespace separator, become
// underscores, so a name never reaches into another namespace.
#include <string>

namespace lumvek::platform::win32 {

[[nodiscard]] inline std::string kernelObjectName(const std::string& name) {
    std::string plain = (!name.empty() && name.front() == '/') ? name.substr(1) : name;
    for (char& c : plain) {
        if (c == '\\') {
            c = '_';
        }
    }
    return plain;
}

} // namespace lumvek::platform::win32
