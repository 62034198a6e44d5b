#pragma once
// What the subcommands share: the camera options every camera subcommand
// takes, --help handling and the output-file checks.
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "camera_session.h"
#include "command_line.h"

namespace lumvek::tool {

inline constexpr const char* kCameraOptionsHelp =
    "Camera options:\n"
    "  -d, --device N|ID  camera number or the camera's id (see lumvek list);\n"
    "                     required when several cameras are present, else the only\n"
    "                     camera. Numbers follow the order the cameras were found,\n"
    "                     ids stay with the camera; stored settings follow the number\n"
    "  --simulate         use a simulated R13 camera inside this process (no hardware,\n"
    "                     no daemon); its settings go to simulated-registry.sqlite3\n"
    "                     beside the settings store unless LUMVEK_REGISTRY_FILE is set\n"
    "  --pattern NAME     with --simulate: chart (default), ramp, black or white\n"
    "  --scene FILE.pgm   with --simulate: show this 8- or 16-bit PGM picture\n"
    "  --product ID       info, snap, get, set: a camera of another product of the\n"
    "                     family (lumvek info --product 0x32D0 --help)\n"
    "  -h, --help         this text\n";

// The camera options plus a subcommand's own.
[[nodiscard]] std::vector<OptionSpec> cameraOptionSpecs(std::initializer_list<OptionSpec> own);

// -d, --simulate, --scene, --pattern; usage errors for bad values.
[[nodiscard]] CameraOptions cameraOptionsFrom(const ParsedArgs& args, const std::string& command);

// Prints the help text and returns true when -h/--help was given.
[[nodiscard]] bool helpRequested(const ParsedArgs& args, const char* helpText);

// The number of operands must lie in [minimum, maximum].
void requireOperands(const ParsedArgs& args, size_t minimum, size_t maximum, const std::string& command);

// Fails early, before any picture is taken, when `path` cannot be written:
// a missing folder, a folder given as the file, no write permission.
void requireWritableFile(const std::string& path, const std::string& command);

// Why `path` cannot be written now, or nullopt when it looks writable.
[[nodiscard]] std::optional<std::string> writeProblem(const std::string& path);

// Why writing `path` failed, found by trying to open it (for after the SDK
// refused a file without an error code).
[[nodiscard]] std::string reasonWriteFails(const std::string& path);

} // namespace lumvek::tool
