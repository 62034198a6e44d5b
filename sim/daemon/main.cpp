// lumvek-camsim: serves simulated cameras on Unix sockets.
//
//   lumvek-camsim [--dir DIR] --camera DESC [--camera DESC ...]
//   lumvek-camsim ctl [--dir DIR] unplug|replug NAME
//   lumvek-camsim ctl [--dir DIR] fault NAME KEY=VALUE
//   lumvek-camsim usb-run [--dir DIR] --camera DESC ... -- COMMAND [ARG ...]
//     (the cameras as USB devices under umockdev; see usbrun/usb_run.h)
//   lumvek-camsim --help | --version
//
// Prints "ready" once every camera is reachable and serves until SIGTERM or
// SIGINT, then removes its sockets and exits 0. Argument errors: one line on
// standard error, exit 2.
#include <csignal>
#include <cstdio>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "daemon/ctl_client.h"
#ifdef LUMVEK_HAVE_UMOCKDEV
#include "daemon/usbrun/usb_run.h"
#endif
#include "platform/fx3/socket_wire.h"
#include "sim/camera_server.h"
#include "sim/camera_description.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumvek-camsim: %s\n", message.c_str());
    return kExitUsage;
}

void printKeys(std::span<const lumvek::sim::KeyHelp> keys) {
    for (const auto& entry : keys) {
        const std::string pair = std::string(entry.key) + "=" + entry.value;
        std::printf("  %-30s %s\n", pair.c_str(), entry.meaning);
    }
}

void printHelp() {
    std::printf("usage: lumvek-camsim [--dir DIR] --camera DESC [--camera DESC ...]\n"
                "       lumvek-camsim ctl [--dir DIR] unplug|replug NAME\n"
                "       lumvek-camsim ctl [--dir DIR] fault NAME KEY=VALUE\n"
                "       lumvek-camsim --help | --version\n"
                "\n"
                "Serves simulated cameras on Unix sockets in DIR (default: $LUMVEK_DEVICE_DIR, else\n"
                "${XDG_RUNTIME_DIR:-/tmp}/lumvek-devices), prints \"ready\" when they can be opened\n"
                "and serves until SIGTERM or SIGINT.\n"
                "\n"
                "DESC is a comma-separated list of KEY=VALUE, e.g.\n"
                "  --camera product=0x3090,name=cam0,pattern=chart\n"
                "\n"
                "Camera keys:\n");
    printKeys(lumvek::sim::cameraDescriptionKeys());
    std::printf("\nFault keys (in DESC at start, or with ctl fault while running):\n");
    printKeys(lumvek::sim::faultKeys());
}

int serve(const std::string& directory, const std::vector<lumvek::sim::CameraDescription>& descriptions) {
    // Signals are taken by sigwait on this thread only; no server thread sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::unique_ptr<lumvek::sim::CameraServer>> servers;
    for (const auto& description : descriptions) {
        std::string error;
        std::shared_ptr<lumvek::sim::SimulatedCamera> camera = lumvek::sim::SimulatedCamera::create(description, error);
        if (!camera) {
            return usageError("camera '" + description.name + "': " + error);
        }
        auto server = lumvek::sim::CameraServer::start(std::move(camera), directory, error);
        if (!server) {
            std::fprintf(stderr, "lumvek-camsim: camera '%s': %s\n", description.name.c_str(), error.c_str());
            return kExitFailure;
        }
        servers.push_back(std::move(server));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
    servers.clear();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        printHelp();
        return 0;
    }
    if (!args.empty() && args[0] == "--version") {
        std::printf("lumvek-camsim %s\n", LUMVEK_VERSION);
        return 0;
    }
    if (!args.empty() && args[0] == "ctl") {
        return lumvek::sim::runCtl(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    if (!args.empty() && args[0] == "usb-run") {
#ifdef LUMVEK_HAVE_UMOCKDEV
        return lumvek::sim::usbrun::runUsbRun(std::vector<std::string>(args.begin() + 1, args.end()));
#else
        return usageError("usb-run needs umockdev (Debian libumockdev-dev), which this build did not find");
#endif
    }
    std::string directory = lumvek::fx3::wire::deviceDirectory();
    std::vector<lumvek::sim::CameraDescription> descriptions;
    std::set<std::string> names;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--dir" || arg == "--camera") {
            if (i + 1 >= args.size()) {
                return usageError(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--dir") {
                if (value.empty()) return usageError("--dir needs a directory");
                directory = value;
                continue;
            }
            lumvek::sim::CameraDescription description;
            std::string error;
            if (!lumvek::sim::parseCameraDescription(value, description, error)) {
                return usageError("--camera " + value + ": " + error);
            }
            if (!names.insert(description.name).second) {
                return usageError("camera name '" + description.name + "' is given twice");
            }
            descriptions.push_back(description);
        } else {
            return usageError("unknown argument '" + arg + "' (lumvek-camsim --help)");
        }
    }
    if (descriptions.empty()) {
        return usageError("no --camera given (usage: lumvek-camsim [--dir DIR] --camera DESC ...)");
    }
    return serve(directory, descriptions);
}
