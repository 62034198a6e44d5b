#include "platform/fx3/device_registry.h"

#include <algorithm>

#include "platform/fx3/in_process_bus.h"
#ifdef LUMVEK_HAVE_LIBUSB
#include "platform/fx3/libusb_backend.h"
#endif
#ifdef _WIN32
#include "platform/win32/kernel_driver_source.h"
#else
#include "platform/fx3/socket_backend.h"
#endif

namespace lumvek::fx3 {

namespace {
// Control requests come from the application thread and the transfer
// thread at once; more idle connections than that are never needed.
constexpr size_t kIdleConnectionsPerPath = 4;
} // namespace

DeviceRegistry& DeviceRegistry::instance() {
    static DeviceRegistry registry;
    return registry;
}

DeviceRegistry::DeviceRegistry() {
    sources_.push_back(&InProcessBus::instance());
#ifndef _WIN32
    // lumvek-camsim's cameras on Unix sockets (no such sockets on Windows).
    ownedSources_.push_back(std::make_unique<SocketDeviceSource>());
    sources_.push_back(ownedSources_.back().get());
#endif
#ifdef LUMVEK_HAVE_LIBUSB
    ownedSources_.push_back(std::make_unique<LibusbDeviceSource>());
    sources_.push_back(ownedSources_.back().get());
#endif
#ifdef _WIN32
    // Real cameras: the interfaces the FX3 kernel driver exposes.
    ownedSources_.push_back(std::make_unique<KernelDriverSource>());
    sources_.push_back(ownedSources_.back().get());
#endif
}

std::vector<std::string> DeviceRegistry::presentPaths() {
    InProcessBus::instance().createEnvironmentCameras();
    std::vector<std::string> present;
    for (DeviceSource* source : sources_) {
        for (auto& path : source->presentPaths()) {
            if (std::find(present.begin(), present.end(), path) == present.end()) {
                present.push_back(std::move(path));
            }
        }
    }
    // Stable order: the order in which each path was first seen.
    std::lock_guard lock(mutex_);
    for (const auto& path : present) {
        if (std::find(firstSeen_.begin(), firstSeen_.end(), path) == firstSeen_.end()) {
            firstSeen_.push_back(path);
        }
    }
    std::vector<std::string> ordered;
    for (const auto& path : firstSeen_) {
        if (std::find(present.begin(), present.end(), path) != present.end()) {
            ordered.push_back(path);
        }
    }
    return ordered;
}

std::unique_ptr<UsbDevice> DeviceRegistry::open(const std::string& path) {
    InProcessBus::instance().createEnvironmentCameras();
    for (DeviceSource* source : sources_) {
        if (auto device = source->open(path)) {
            return device;
        }
    }
    return nullptr;
}

bool DeviceRegistry::claim(const std::string& path, const void* holder) {
    std::lock_guard lock(claimMutex_);
    auto [it, added] = claims_.try_emplace(path, Claim{holder, 0, {}});
    if (!added && it->second.holder != holder) {
        return false;
    }
    ++it->second.handles;
    return true;
}

std::vector<std::unique_ptr<UsbDevice>> DeviceRegistry::unclaim(const std::string& path, const void* holder) {
    std::vector<std::unique_ptr<UsbDevice>> idle;
    std::lock_guard lock(claimMutex_);
    const auto it = claims_.find(path);
    if (it != claims_.end() && it->second.holder == holder && --it->second.handles <= 0) {
        idle = std::move(it->second.idle);
        claims_.erase(it);
    }
    return idle;
}

bool DeviceRegistry::keepIdle(const std::string& path, const void* holder, std::unique_ptr<UsbDevice>& device) {
    if (!device || !device->reusable()) {
        return false;
    }
    std::lock_guard lock(claimMutex_);
    const auto it = claims_.find(path);
    // handles still counts the closing one: keep only while another stays open.
    if (it == claims_.end() || it->second.holder != holder || it->second.handles < 2 ||
        it->second.idle.size() >= kIdleConnectionsPerPath) {
        return false;
    }
    it->second.idle.push_back(std::move(device));
    return true;
}

std::unique_ptr<UsbDevice> DeviceRegistry::takeIdle(const std::string& path, const void* holder) {
    std::vector<std::unique_ptr<UsbDevice>> stale;  // ended after the lock is left
    std::lock_guard lock(claimMutex_);
    const auto it = claims_.find(path);
    if (it == claims_.end() || it->second.holder != holder) {
        return nullptr;
    }
    auto& idle = it->second.idle;
    while (!idle.empty()) {
        std::unique_ptr<UsbDevice> device = std::move(idle.back());
        idle.pop_back();
        if (device->reusable()) {
            return device;
        }
        stale.push_back(std::move(device));
    }
    return nullptr;
}

} // namespace lumvek::fx3
