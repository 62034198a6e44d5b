#include "camera_holders.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/fx3/socket_backend.h"
#include "platform/fx3/socket_wire.h"
#include "system_checks.h"
#include "usb_checks.h"

namespace lumvek::tool {

namespace {

std::string programName(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

void addSimulatedHolders(unsigned productId, std::vector<CameraHolder>& holders) {
    const std::string folder = deviceFolder();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto name = fx3::wire::parseSocketFileName(entry.path().filename().string());
        if (!name || name->productId != productId) continue;
        const fx3::SocketCameraAnswer answer = fx3::querySocketCamera(entry.path().string());
        if (!answer.answered || answer.holderPid == 0) continue;
        const int pid = static_cast<int>(answer.holderPid);
        holders.push_back({name->instance + " (simulated)", pid, programName(pid)});
    }
}

void addUsbHolders(unsigned productId, std::vector<CameraHolder>& holders) {
    for (const UsbCamera& camera : findUsbCameras(productId)) {
        char label[64];
        std::snprintf(label, sizeof label, "%04x:%04x at %s", camera.vendorId, camera.productId,
                      camera.sysfsName.c_str());
        const auto found = processesHolding(camera.deviceNode);
        for (const NodeHolder& holder : found) {
            holders.push_back({label, holder.pid, programName(holder.pid)});
        }
    }
}

} // namespace

std::vector<CameraHolder> camerasInUse(unsigned productId) {
    std::vector<CameraHolder> holders;
    addSimulatedHolders(productId, holders);
    addUsbHolders(productId, holders);
    return holders;
}

std::string describeCamerasInUse(const std::vector<CameraHolder>& holders) {
    std::string text;
    const int self = static_cast<int>(::getpid());
    for (const CameraHolder& holder : holders) {
        if (!text.empty()) text += "; ";
        text += holder.camera + " is in use by ";
        if (holder.pid == self) {
            text += "another SDK instance of this program (pid " + std::to_string(self) + ")";
        } else {
            text += "process " + std::to_string(holder.pid) +
                    (holder.program.empty() ? std::string() : " (" + holder.program + ")");
        }
    }
    return text;
}

} // namespace lumvek::tool
