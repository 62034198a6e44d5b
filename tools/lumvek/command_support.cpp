#include "command_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "failure.h"

namespace lumvek::tool {

namespace {
constexpr int kMaxDeviceNumber = 31;
}

std::vector<OptionSpec> cameraOptionSpecs(std::initializer_list<OptionSpec> own) {
    std::vector<OptionSpec> specs{
        {"device", 'd', true}, {"simulate", 0, false}, {"scene", 0, true}, {"pattern", 0, true}, {"help", 'h', false},
    };
    specs.insert(specs.end(), own.begin(), own.end());
    return specs;
}

CameraOptions cameraOptionsFrom(const ParsedArgs& args, const std::string& command) {
    CameraOptions options;
    if (const auto device = args.value("device")) {
        // A number is a device number; anything else a camera's id.
        if (parseInteger(*device) || device->empty()) {
            options.deviceNumber = requireInteger(*device, command + ": --device", 0, kMaxDeviceNumber);
        } else {
            options.deviceId = *device;
        }
    }
    options.simulation.enabled = args.has("simulate");
    options.simulation.scenePath = args.value("scene").value_or("");
    options.simulation.pattern = args.value("pattern").value_or("");
    if (!options.simulation.enabled && (args.has("scene") || args.has("pattern"))) {
        usageError(command + ": --scene and --pattern need --simulate");
    }
    if (options.simulation.enabled) {
        (void)simulatedCameraDescription(options.simulation);  // reports a bad scene or pattern now
    }
    return options;
}

bool helpRequested(const ParsedArgs& args, const char* helpText) {
    if (!args.has("help")) return false;
    std::fputs(helpText, stdout);
    return true;
}

void requireOperands(const ParsedArgs& args, size_t minimum, size_t maximum, const std::string& command) {
    if (args.operands.size() < minimum) {
        usageError(command + ": missing operand (see lumvek " + command + " --help)");
    }
    if (args.operands.size() > maximum) {
        usageError(command + ": unexpected operand '" + args.operands[maximum] + "' (see lumvek " + command +
                   " --help)");
    }
}

std::optional<std::string> writeProblem(const std::string& path) {
    if (path.empty()) return "the file name is empty";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return "it is a directory";
        if (::access(path.c_str(), W_OK) != 0) return std::strerror(errno);
        return std::nullopt;
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (::stat(folder.c_str(), &st) != 0) return "folder " + folder.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return folder.string() + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return "folder " + folder.string() + ": " + std::strerror(errno);
    return std::nullopt;
}

std::string reasonWriteFails(const std::string& path) {
    if (const auto problem = writeProblem(path)) return *problem;
    // Looks writable: try it, leaving no file behind that was not there.
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    const int fd = ::open(path.c_str(), existed ? O_WRONLY : O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    if (!existed) ::unlink(path.c_str());
    return "the file opens, so writing it failed";
}

void requireWritableFile(const std::string& path, const std::string& command) {
    if (const auto problem = writeProblem(path)) {
        fail(command + ": cannot write " + path + ": " + *problem);
    }
}

} // namespace lumvek::tool
