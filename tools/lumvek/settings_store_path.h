#pragma once
// Where the library keeps its settings store: $LUMVEK_REGISTRY_FILE, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/lumvek/registry.sqlite3 (an
// XDG_CONFIG_HOME that is not absolute is ignored, as the library does).
#include <string>

namespace lumvek::tool {

[[nodiscard]] std::string settingsStorePath();

// The folder of the default store, without the file name.
[[nodiscard]] std::string settingsFolder();

} // namespace lumvek::tool
