#include "daemon/usbrun/usb_run.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <umockdev.h>
#include <unistd.h>

#include "daemon/usbrun/usb_device_record.h"
#include "daemon/usbrun/usbfs_device.h"
#include "sim/camera_description.h"
#include "sim/control_socket.h"

extern char** environ;

namespace lumvek::sim::usbrun {

namespace {
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
constexpr int kExitSignalBase = 128;
constexpr int kKernelDefaultUsbfsMemoryMb = 16;
constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";
// A sanitizer runtime insists on being first in the initial library list;
// umockdev's preload library has to come first to see every open and ioctl.
constexpr const char* kSanitizerLinkOrder = "verify_asan_link_order=0";

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumvek-camsim usb-run: %s (usage: lumvek-camsim usb-run [--dir DIR] --camera DESC ... -- "
                         "COMMAND [ARG ...])\n",
                 message.c_str());
    return kExitUsage;
}

// One camera on the emulated bus.
struct UsbCamera {
    CameraDescription description;
    UsbPlacement placement;
    std::unique_ptr<UsbfsDevice> device;
    int controlFd = -1;
    std::string controlPath;
    bool plugged = true;
};

class Testbed {
public:
    Testbed() : testbed_(umockdev_testbed_new()) {}
    ~Testbed() { g_object_unref(testbed_); }
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // The kernel's default usbfs memory limit, where `lumvek doctor` reads it.
    void setUsbfsMemoryLimit(int megabytes) {
        const std::string dir = root() + "/sys/module/usbcore/parameters";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        std::ofstream(dir + "/usbfs_memory_mb") << megabytes << "\n";
    }

    [[nodiscard]] std::string root() const {
        gchar* dir = umockdev_testbed_get_root_dir(testbed_);
        std::string root = dir;
        g_free(dir);
        return root;
    }

    bool plug(UsbCamera& camera, std::string& error) {
        const std::string record =
            cameraRecord(camera.description.vendorId, camera.description.productId, camera.placement,
                         camera.description.serialNumber());
        GError* failure = nullptr;
        if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &failure) ||
            !umockdev_testbed_attach_ioctl(testbed_, cameraDevNode(camera.placement).c_str(),
                                           camera.device->handler(), &failure)) {
            error = failure != nullptr ? failure->message : "umockdev refused the device";
            if (failure != nullptr) g_error_free(failure);
            return false;
        }
        return true;
    }

    void announce(const UsbCamera& camera, const char* action) {
        umockdev_testbed_uevent(testbed_, cameraSysPath(camera.placement).c_str(), action);
    }

    void unplug(const UsbCamera& camera) {
        announce(camera, "remove");
        (void)umockdev_testbed_detach_ioctl(testbed_, cameraDevNode(camera.placement).c_str(), nullptr);
        umockdev_testbed_remove_device(testbed_, cameraSysPath(camera.placement).c_str());
    }

private:
    UMockdevTestbed* testbed_;
};

std::string command(Testbed& testbed, UsbCamera& camera, const std::string& line) {
    constexpr const char* kFault = "fault ";
    if (line.rfind(kFault, 0) == 0) {
        const std::string setting = line.substr(std::strlen(kFault));
        const size_t equals = setting.find('=');
        if (equals != std::string::npos && UsbfsDevice::isLinkFault(setting.substr(0, equals))) {
            std::string error;
            return camera.device->setLinkFault(setting.substr(0, equals), setting.substr(equals + 1), error)
                       ? "ok"
                       : "error: " + error;
        }
    }
    return runControlCommand(
        line, camera.device->camera().faults(),
        [&] {
            if (!camera.plugged) return;
            camera.device->unplug();
            testbed.unplug(camera);
            camera.plugged = false;
        },
        [&] {
            if (camera.plugged) return;
            std::string error;
            camera.device->replug();
            if (testbed.plug(camera, error)) {
                testbed.announce(camera, "add");
                camera.plugged = true;
            } else {
                std::fprintf(stderr, "lumvek-camsim usb-run: replug %s: %s\n", camera.description.name.c_str(),
                             error.c_str());
            }
        });
}

bool preloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, kPreloadLibrary) != nullptr;
}

// This environment with umockdev's preload library first in LD_PRELOAD and
// `root` as the testbed (none: UMOCKDEV_DIR left out).
std::vector<std::string> preloadEnvironment(const std::string& root) {
    std::vector<std::string> entries;
    std::string preload = kPreloadLibrary;
    std::string asanOptions = kSanitizerLinkOrder;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.rfind("LD_PRELOAD=", 0) == 0) {
            if (text.find(kPreloadLibrary) == std::string::npos) preload += ":" + text.substr(11);
        } else if (text.rfind("ASAN_OPTIONS=", 0) == 0) {
            asanOptions = text.substr(13) + ":" + asanOptions;
        } else if (text.rfind("UMOCKDEV_DIR=", 0) != 0) {
            entries.push_back(text);
        }
    }
    if (!root.empty()) entries.push_back("UMOCKDEV_DIR=" + root);
    entries.push_back("LD_PRELOAD=" + preload);
    entries.push_back("ASAN_OPTIONS=" + asanOptions);
    return entries;
}

// The testbed's uevents go through the system's udev library, which reads
// the device from sysfs: usb-run itself has to see the testbed's sysfs, so it
// runs under the preload library too (as umockdev-wrapper would run it).
int reexecPreloaded(const std::vector<std::string>& args) {
    std::vector<std::string> argStrings{"/proc/self/exe", "usb-run"};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argStrings) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = preloadEnvironment("");
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    ::execve("/proc/self/exe", argv.data(), envp.data());
    std::fprintf(stderr, "lumvek-camsim usb-run: cannot restart with %s: %s\n", kPreloadLibrary, std::strerror(errno));
    return kExitFailure;
}

pid_t spawnCommand(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                   const sigset_t& defaultSignals) {
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = environment;
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        std::fprintf(stderr, "lumvek-camsim usb-run: cannot run %s: %s\n", argv[0], std::strerror(failed));
        return -1;
    }
    return pid;
}

int exitStatusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return kExitSignalBase + WTERMSIG(status);
    return kExitFailure;
}

// Serves the control sockets until the child ends; returns its exit status.
int superviseChild(pid_t child, Testbed& testbed, std::vector<UsbCamera>& cameras, int signals) {
    const int childFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    for (;;) {
        std::vector<pollfd> fds{{childFd, POLLIN, 0}, {signals, POLLIN, 0}};
        for (const auto& camera : cameras) {
            fds.push_back({camera.controlFd, POLLIN, 0});
        }
        // Without a pidfd (old kernels) the child is looked at every 100 ms.
        (void)::poll(fds.data(), fds.size(), childFd >= 0 ? -1 : 100);
        if ((fds[1].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof info) == sizeof info) {
                ::kill(child, static_cast<int>(info.ssi_signo));
            }
        }
        for (size_t i = 0; i < cameras.size(); ++i) {
            if ((fds[i + 2].revents & POLLIN) == 0) continue;
            const int fd = ::accept4(cameras[i].controlFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                serveControlLine(fd, [&](const std::string& line) { return command(testbed, cameras[i], line); });
                ::close(fd);
            }
        }
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            if (childFd >= 0) ::close(childFd);
            return exitStatusOf(status);
        }
    }
}

struct Arguments {
    std::string directory;
    std::vector<CameraDescription> cameras;
    std::vector<std::string> command;
};

bool parseArguments(const std::vector<std::string>& args, Arguments& parsed, std::string& error) {
    std::set<std::string> names;
    size_t i = 0;
    for (; i < args.size() && args[i] != "--"; ++i) {
        const std::string& arg = args[i];
        if ((arg != "--dir" && arg != "--camera") || i + 1 >= args.size()) {
            error = arg == "--dir" || arg == "--camera" ? arg + " needs a value" : "unknown argument '" + arg + "'";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--dir") {
            if (value.empty()) {
                error = "--dir needs a directory";
                return false;
            }
            parsed.directory = value;
            continue;
        }
        CameraDescription description;
        if (!parseCameraDescription(value, description, error)) {
            error = "--camera " + value + ": " + error;
            return false;
        }
        if (!names.insert(description.name).second) {
            error = "camera name '" + description.name + "' is given twice";
            return false;
        }
        parsed.cameras.push_back(description);
    }
    if (parsed.cameras.empty()) {
        error = "no --camera given";
        return false;
    }
    if (i + 1 >= args.size()) {
        error = "no command after --";
        return false;
    }
    parsed.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
    return true;
}
} // namespace

int runUsbRun(const std::vector<std::string>& args) {
    Arguments parsed;
    std::string error;
    if (!parseArguments(args, parsed, error)) {
        return usageError(error);
    }
    if (!preloaded()) {
        return reexecPreloaded(args);
    }
    sigset_t forwarded;
    sigemptyset(&forwarded);
    sigaddset(&forwarded, SIGTERM);
    sigaddset(&forwarded, SIGINT);
    sigaddset(&forwarded, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &forwarded, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<UsbCamera> cameras(parsed.cameras.size());
    Testbed testbed;
    testbed.setUsbfsMemoryLimit(kKernelDefaultUsbfsMemoryMb);
    for (size_t i = 0; i < cameras.size(); ++i) {
        UsbCamera& camera = cameras[i];
        camera.description = parsed.cameras[i];
        camera.placement.port = static_cast<int>(i) + 1;
        camera.placement.address = static_cast<int>(i) + 2;
        camera.placement.speedMbps = camera.description.usbSpeedMbps;
        std::shared_ptr<SimulatedCamera> simulated = SimulatedCamera::create(camera.description, error);
        if (!simulated) {
            return usageError("camera '" + camera.description.name + "': " + error);
        }
        camera.device = std::make_unique<UsbfsDevice>(std::move(simulated));
        if (!testbed.plug(camera, error)) {
            std::fprintf(stderr, "lumvek-camsim usb-run: camera '%s': %s\n", camera.description.name.c_str(),
                         error.c_str());
            return kExitFailure;
        }
        if (camera.description.startUnplugged) {
            camera.device->unplug();
            testbed.unplug(camera);
            camera.plugged = false;
        }
        if (!parsed.directory.empty()) {
            camera.controlPath = parsed.directory + "/.ctl-" + camera.description.name + ".sock";
            camera.controlFd = listenUnix(camera.controlPath, error);
            if (camera.controlFd < 0) {
                std::fprintf(stderr, "lumvek-camsim usb-run: %s\n", error.c_str());
                return kExitFailure;
            }
        }
    }
    const int signals = ::signalfd(-1, &forwarded, SFD_CLOEXEC);
    const pid_t child = spawnCommand(parsed.command, preloadEnvironment(testbed.root()), forwarded);
    int status = kExitFailure;
    if (child > 0) {
        status = superviseChild(child, testbed, cameras, signals);
    }
    for (auto& camera : cameras) {
        if (camera.controlFd >= 0) {
            ::close(camera.controlFd);
            ::unlink(camera.controlPath.c_str());
        }
    }
    ::close(signals);
    return status;
}

} // namespace lumvek::sim::usbrun
