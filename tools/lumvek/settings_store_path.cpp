#include "settings_store_path.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace lumvek::tool {

std::string settingsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/lumvek";
    }
    std::string home;
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') {
        home = value;
    } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        home = entry->pw_dir;
    }
    return home.empty() ? std::string() : home + "/.config/lumvek";
}

std::string settingsStorePath() {
    if (const char* value = std::getenv("LUMVEK_REGISTRY_FILE"); value != nullptr && *value != '\0') {
        return value;
    }
    const std::string folder = settingsFolder();
    return folder.empty() ? std::string() : folder + "/registry.sqlite3";
}

std::string simulatedSettingsStorePath() {
    const std::string folder = settingsFolder();
    return folder.empty() ? std::string() : folder + "/simulated-registry.sqlite3";
}

std::string settingsStorePathFor(bool simulated) {
    const char* named = std::getenv("LUMVEK_REGISTRY_FILE");
    if (simulated && (named == nullptr || *named == '\0') && !simulatedSettingsStorePath().empty()) {
        return simulatedSettingsStorePath();
    }
    return settingsStorePath();
}

} // namespace lumvek::tool
