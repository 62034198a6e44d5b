#pragma once
// What Lumvek_Initialize did about the cameras it found: with exactly one
// present it opened it; with none or several it opened none, and every
// later call fails with codes that do not say why.
#include <optional>
#include <string>

namespace lumvek::tool {

// nullopt when exactly one camera is present (it is open); else one line:
// "no camera found: ..." or "2 cameras found; choose one with <howToChoose>".
[[nodiscard]] std::optional<std::string> cameraCountProblem(int count, const std::string& howToChoose);

} // namespace lumvek::tool
