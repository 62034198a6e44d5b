#pragma once
// How a subcommand gives up: one line for standard error and the exit code.
// Thrown inside the tool only and caught in main(); never crosses the SDK.
#include <stdexcept>
#include <string>

namespace lumvek::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work could not be done
inline constexpr int kExitUsage = 2;    // the command line is wrong

class Failure : public std::runtime_error {
public:
    Failure(const std::string& message, int exitCode = kExitFailure)
        : std::runtime_error(message), exitCode_(exitCode) {}
    [[nodiscard]] int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

[[noreturn]] inline void usageError(const std::string& message) { throw Failure(message, kExitUsage); }
[[noreturn]] inline void fail(const std::string& message) { throw Failure(message, kExitFailure); }

} // namespace lumvek::tool
