#include "system_checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/fx3/socket_backend.h"

namespace lumvek::tool {

namespace {
constexpr const char* kUsbDevices = "/sys/bus/usb/devices";

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Asked with the SDK's own bounded query: a stopped daemon does not answer.
bool socketAnswers(const std::string& path) {
    return fx3::querySocketCamera(path).answered;
}
} // namespace

std::string deviceFolder() {
    if (const char* folder = std::getenv("LUMVEK_DEVICE_DIR"); folder != nullptr && *folder != '\0') return folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime != nullptr && *runtime != '\0' ? runtime : "/tmp") + "/lumvek-devices";
}

DeviceFolderState inspectDeviceFolder(const std::string& folder) {
    DeviceFolderState state;
    std::error_code error;
    state.exists = std::filesystem::is_directory(folder, error);
    if (!state.exists) return state;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        // Camera sockets only; the daemon's hidden control sockets start with '.'.
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".sock" || name.front() == '.') continue;
        state.sockets.push_back({name, socketAnswers(entry.path().string())});
    }
    return state;
}

std::vector<UsbCamera> findUsbCameras(unsigned productId) {
    std::vector<UsbCamera> cameras;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kUsbDevices, error)) {
        const auto product = firstLine(entry.path() / "idProduct");
        if (product.empty() || std::strtoul(product.c_str(), nullptr, 16) != productId) continue;
        UsbCamera camera;
        camera.sysfsName = entry.path().filename().string();
        camera.productId = productId;
        camera.vendorId = static_cast<unsigned>(std::strtoul(firstLine(entry.path() / "idVendor").c_str(), nullptr, 16));
        camera.speedMbps = std::atoi(firstLine(entry.path() / "speed").c_str());
        const int bus = std::atoi(firstLine(entry.path() / "busnum").c_str());
        const int device = std::atoi(firstLine(entry.path() / "devnum").c_str());
        char node[64];
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, device);
        camera.deviceNode = node;
        camera.accessible = ::access(node, R_OK | W_OK) == 0;
        cameras.push_back(camera);
    }
    return cameras;
}

} // namespace lumvek::tool
