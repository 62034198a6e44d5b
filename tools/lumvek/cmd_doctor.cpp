// lumvek doctor
#include <cstdio>
#include <filesystem>
#include <string>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "camera_holders.h"
#include "camera_session.h"
#include "command_support.h"
#include "commands.h"
#include "device_table_view.h"
#include "failure.h"
#include "settings_store_check.h"
#include "settings_store_path.h"
#include "settings_store_reader.h"
#include "system_checks.h"
#include "usb_checks.h"

namespace lumvek::tool {

namespace {

constexpr unsigned kProductId = 0x3090;
constexpr int kSuperSpeedMbps = 5000;
constexpr int kPlausibleAttachCount = 1000;

constexpr const char* kDoctorHelp =
    "usage: lumvek doctor\n"
    "\n"
    "Checks what finding and using a camera depends on and prints one line per\n"
    "check, 'ok' or 'problem' with the fix: the simulator's device folder and\n"
    "sockets, USB cameras (link speed, device permissions), the shared open-device\n"
    "table, the settings store (that it can be written: a scratch value is written\n"
    "and removed; and every stored value the SDK would refuse), and whether the SDK\n"
    "finds a camera.\n"
    "Exit status 0 when every check is ok, 1 otherwise.\n"
    "\n"
    "  -h, --help         this text\n";

constexpr OptionSpec kSpecs[] = {{"help", 'h', false}};

class Report {
public:
    void ok(const std::string& topic, const std::string& detail) {
        std::printf("ok       %-15s %s\n", topic.c_str(), detail.c_str());
    }
    void problem(const std::string& topic, const std::string& detail, const std::string& fix) {
        std::printf("problem  %-15s %s; fix: %s\n", topic.c_str(), detail.c_str(), fix.c_str());
        ++problems_;
    }
    [[nodiscard]] int problems() const { return problems_; }

private:
    int problems_ = 0;
};

std::string startSimulator(const std::string& folder) {
    return "start the simulator: lumvek-camsim --dir " + folder +
           " --camera product=0x3090,name=cam0,pattern=chart &  (or run any camera command with --simulate)";
}

// Returns the number of simulated cameras that answer.
int checkDeviceFolder(Report& report, const std::string& folder) {
    const DeviceFolderState state = inspectDeviceFolder(folder);
    if (!state.exists) {
        report.ok("simulator", "no device folder " + folder + ": no simulator daemon is running");
        return 0;
    }
    int answering = 0;
    std::string stale;
    for (const auto& socket : state.sockets) {
        if (socket.answers) {
            ++answering;
        } else {
            stale += (stale.empty() ? "" : " ") + socket.name;
        }
    }
    if (!stale.empty()) {
        report.problem("simulator", "sockets in " + folder + " that nobody serves: " + stale,
                       "the daemon that made them is gone; remove them or restart lumvek-camsim --dir " + folder);
    }
    if (answering > 0) {
        report.ok("simulator", std::to_string(answering) + " simulated camera socket(s) answering in " + folder);
    } else if (stale.empty()) {
        report.ok("simulator", "device folder " + folder + " holds no camera socket: no daemon serves it");
    }
    return answering;
}

void checkUsbfsMemory(Report& report) {
    const auto limit = usbfsMemoryLimitMb();
    if (!limit) {
        report.ok("usb memory", "usbfs memory limit not readable (no usbcore module parameters)");
    } else if (*limit != 0 && *limit < kWantedUsbfsMemoryMb) {
        report.problem("usb memory",
                       "usbfs memory limit is " + std::to_string(*limit) +
                           " MB, shared by every USB program: too small for cameras streaming full frames",
                       usbfsMemoryFix());
    } else {
        report.ok("usb memory", *limit == 0 ? std::string("usbfs memory is not limited")
                                            : "usbfs memory limit is " + std::to_string(*limit) + " MB");
    }
}

int checkUsb(Report& report) {
    const auto cameras = findUsbCameras(kProductId);
    if (cameras.empty()) {
        report.ok("usb", "no USB camera with product 0x3090 is attached");
        return 0;
    }
    for (const auto& camera : cameras) {
        char name[96];
        std::snprintf(name, sizeof name, "%04x:%04x at %s", camera.vendorId, camera.productId,
                      camera.sysfsName.c_str());
        if (camera.speedMbps < kSuperSpeedMbps) {
            report.problem("usb link",
                           std::string(name) + " runs at " + std::to_string(camera.speedMbps) +
                               " Mbit/s: it is on a USB 2 port or cable",
                           "use a USB 3 port and cable: the camera needs SuperSpeed (5000 Mbit/s)");
        } else {
            report.ok("usb link", std::string(name) + " at " + std::to_string(camera.speedMbps) + " Mbit/s");
        }
        if (!camera.accessible) {
            report.problem("usb access", camera.deviceNode + " cannot be opened for reading and writing",
                           accessFix(camera.deviceNode));
        } else {
            report.ok("usb access", camera.deviceNode + " can be opened");
        }
        for (const auto& holder : processesHolding(camera.deviceNode)) {
            report.problem("usb in use",
                           std::string(name) + " is held by process " + std::to_string(holder.pid) + " (" +
                               holder.command + ", see /proc/" + std::to_string(holder.pid) + ")",
                           "end that program, or use another camera");
        }
    }
    checkUsbfsMemory(report);
    return static_cast<int>(cameras.size());
}

// "user NAME (uid N)" for the owner of a file, or "" when it cannot be told.
std::string ownerOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "";
    }
    const struct passwd* user = ::getpwuid(st.st_uid);
    return "user " + std::string(user != nullptr ? user->pw_name : "?") + " (uid " + std::to_string(st.st_uid) + ")";
}

// Open-device blocks of other users: each user has their own, so they are
// named for information only.
void noteOtherUsersBlocks(Report& report) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
        const std::string file = entry.path().filename().string();
        struct stat st {};
        if (file.rfind("U3K7-MemMap", 0) != 0 || ::stat(entry.path().c_str(), &st) != 0 || st.st_uid == ::getuid()) {
            continue;
        }
        report.ok("device table", "/" + file + " belongs to " + ownerOf(entry.path().string()) +
                                      ": that user's cameras; it does not hide yours");
    }
}

void checkSharedTable(Report& report) {
    const std::string name = sharedBlockName();
    noteOtherUsersBlocks(report);
    std::string error;
    const auto table = readDeviceTable(error);
    if (!table) {
        if (error == "not present") {
            report.ok("device table", "shared block " + name + " not present (made when a program opens the SDK)");
        } else {
            const std::string owner = ownerOf("/dev/shm" + name);
            report.problem("device table",
                           "shared block " + name + ": " + error + (owner.empty() ? "" : ", it belongs to " + owner),
                           "unset LUMVEK_SHM_NAME (each user has a block of their own), or if no SDK program runs, "
                           "remove /dev/shm" + name);
        }
        return;
    }
    if (table->attachCount < 0 || table->attachCount > kPlausibleAttachCount) {
        report.problem("device table",
                       "shared block " + name + " has an impossible attach count " + std::to_string(table->attachCount),
                       "if no SDK program runs, remove /dev/shm" + name);
        return;
    }
    report.ok("device table", "shared block " + name + ": " + std::to_string(table->attachCount) +
                                  " attachment(s), " + std::to_string(table->entries.size()) + " camera(s) known");
}

void checkSettingsStore(Report& report) {
    const std::string path = settingsStorePath();
    if (path.empty()) {
        report.problem("settings store", "no path: neither LUMVEK_REGISTRY_FILE nor HOME is set",
                       "set HOME or LUMVEK_REGISTRY_FILE");
        return;
    }
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        while (!folder.empty() && !std::filesystem::exists(folder, ignored)) folder = folder.parent_path();
        if (!folder.empty() && ::access(folder.c_str(), W_OK | X_OK) != 0) {
            report.problem("settings store", path + " does not exist and " + folder.string() + " is not writable",
                           "make " + folder.string() + " writable or set LUMVEK_REGISTRY_FILE");
            return;
        }
        report.ok("settings store", path + " not created yet (made at the first camera use)");
        return;
    }
    StoreContents contents;
    std::string error;
    if (!readSettingsStore(path, contents, error)) {
        report.problem("settings store", error, "move the file aside (mv " + path + " " + path + ".bad); the SDK makes a new one");
        return;
    }
    if (const std::string problem = settingsStoreWriteProblem(path); !problem.empty()) {
        report.problem("settings store", unwritableStoreMessage(path, problem) + ": settings set now are lost",
                       "make " + path + " writable (or its file system: disk space, a writable mount), or point "
                       "LUMVEK_REGISTRY_FILE at a writable place");
        return;
    }
    const auto outOfRange = outOfRangeStoredValues();
    const std::string moveAside = "move the store aside (mv " + path + " " + path + ".bad)";
    for (const auto& value : outOfRange) {
        // The SDK writes the Gain, Filter and Gray groups back as it releases
        // a camera; the per-camera values and presets only from the dialog.
        const bool savedBack = value.value.find("\\Gain\\") != std::string::npos ||
                               value.value.find("\\Filter\\") != std::string::npos ||
                               value.value.find("\\Gray\\") != std::string::npos;
        report.problem("stored value",
                       value.value + " = " + value.stored + " is outside " + value.allowed + ": the SDK uses " +
                           value.used + " instead",
                       savedBack ? "run any camera command (the SDK saves the value it uses), or " + moveAside
                                 : moveAside);
    }
    if (outOfRange.empty()) {
        report.ok("settings store",
                  path + " opens and can be written (" + std::to_string(contents.keys.size()) + " keys, every value in range)");
    }
}

void checkCameras(Report& report, const std::string& folder, int simulated, int usb) {
    CameraSession session = CameraSession::withoutCamera({});
    const auto cameras = session.presentCameras();
    if (!cameras.empty()) {
        std::string names;
        for (const auto& camera : cameras) {
            names += (names.empty() ? "" : ", ") + std::to_string(camera.number) + " " + camera.name;
        }
        const std::string inUse = describeCamerasInUse(camerasInUse(kProductId));
        report.ok("cameras", std::to_string(cameras.size()) + " found: " + names + (inUse.empty() ? "" : "; " + inUse));
        return;
    }
    if (simulated == 0 && usb == 0) {
        report.problem("cameras", "no camera found: none is attached and no simulator daemon is running",
                       startSimulator(folder));
    } else {
        const std::string inUse = describeCamerasInUse(camerasInUse(kProductId));
        report.problem("cameras",
                       inUse.empty() ? "the SDK finds no camera although one is attached or served" : inUse,
                       inUse.empty() ? "see the problems above; LUMVEK_LOG=all lumvek list shows the SDK's view"
                                     : "end that program, or wait until it lets the camera go");
    }
}

} // namespace

int runDoctor(const Args& words) {
    const ParsedArgs args = parseArgs(words, kSpecs, "doctor");
    if (helpRequested(args, kDoctorHelp)) return kExitOk;
    requireOperands(args, 0, 0, "doctor");
    Report report;
    const std::string folder = deviceFolder();
    const int simulated = checkDeviceFolder(report, folder);
    const int usb = checkUsb(report);
    checkSharedTable(report);
    checkSettingsStore(report);
    checkCameras(report, folder, simulated, usb);
    return report.problems() == 0 ? kExitOk : kExitFailure;
}

} // namespace lumvek::tool
