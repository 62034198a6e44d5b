#pragma once
// Whether the X server DISPLAY names answers, found out within a bound, so
// that a window command says at once when there is nothing to show it on
// instead of running unseen.
#include <optional>
#include <string>

namespace lumvek::tool {

// nullopt when the server answered within timeoutMs; else why not, in words
// ("DISPLAY is not set", "the X server :99 cannot be reached", ...).
[[nodiscard]] std::optional<std::string> displayProblem(int timeoutMs);

// Throws Failure "<command>: <problem>" when displayProblem() finds one.
void requireDisplay(const std::string& command);

} // namespace lumvek::tool
