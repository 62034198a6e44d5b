#pragma once
// `lumvek-camsim ctl`: sends one command to a running daemon's camera.
#include <string>
#include <vector>

namespace lumvek::sim {

// Arguments after "ctl". Exit code: 0 done, 1 refused or unreachable, 2 usage.
int runCtl(const std::vector<std::string>& args);

} // namespace lumvek::sim
