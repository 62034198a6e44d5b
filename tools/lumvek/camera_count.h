#pragma once
// What Lumvek_Initialize did about the cameras it found: with exactly one
// present it opened it; with none or several it opened none, and every
// later call fails with codes that do not say why.
#include <optional>
#include <string>

namespace lumvek::tool {

// nullopt when exactly one camera is present (it is open); else one line:
// "no camera found: ...", "no camera free: cam0 (simulated) is in use by
// process 1234 (lumvek); ..." or "2 cameras found; choose one with <howToChoose>".
[[nodiscard]] std::optional<std::string> cameraCountProblem(int count, const std::string& howToChoose);

// The line for no openable camera: who holds the cameras that are in use,
// or how to get one when there is none.
[[nodiscard]] std::string noCameraProblem();

} // namespace lumvek::tool
