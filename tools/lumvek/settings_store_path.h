#pragma once
// Where the library keeps its settings store: $LUMVEK_REGISTRY_FILE, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/lumvek/registry.sqlite3 (an
// XDG_CONFIG_HOME that is not absolute is ignored, as the library does).
#include <string>

namespace lumvek::tool {

[[nodiscard]] std::string settingsStorePath();

// The folder of the default store, without the file name.
[[nodiscard]] std::string settingsFolder();

// The store a --simulate run uses when LUMVEK_REGISTRY_FILE names none:
// simulated-registry.sqlite3 beside the default store ("" without a folder).
[[nodiscard]] std::string simulatedSettingsStorePath();

// The store a run uses: the simulated one for --simulate (unless
// LUMVEK_REGISTRY_FILE names one), else settingsStorePath().
[[nodiscard]] std::string settingsStorePathFor(bool simulated);

} // namespace lumvek::tool
