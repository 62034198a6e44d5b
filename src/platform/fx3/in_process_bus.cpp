#include "platform/fx3/in_process_bus.h"

#include <cstdlib>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/simulator_module.h"
#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {
// A handle's view of a shared in-process device.
class SharedDeviceSession final : public UsbDevice {
public:
    explicit SharedDeviceSession(std::shared_ptr<UsbDevice> device) : device_(std::move(device)) {}
    ControlResult controlTransfer(const RequestHeader& header, std::span<uint8_t, kControlDataBytes> data) override {
        return device_->controlTransfer(header, data);
    }
    BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                        const CancelToken& cancel) override {
        return device_->bulkRead(endpoint, buffer, timeoutMs, cancel);
    }
    bool resetPipe(uint8_t endpoint) override { return device_->resetPipe(endpoint); }
    bool resetPort() override { return device_->resetPort(); }
    uint32_t linkSpeed() override { return device_->linkSpeed(); }
    bool connected() const override { return device_->connected(); }

private:
    std::shared_ptr<UsbDevice> device_;
};
} // namespace

InProcessBus& InProcessBus::instance() {
    static InProcessBus bus;
    return bus;
}

std::string InProcessBus::attach(std::shared_ptr<UsbDevice> device, uint16_t vendorId, uint16_t productId,
                                 const std::string& instanceName) {
    const std::string path = formatDevicePath(vendorId, productId, instanceName);
    Observer observer;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : entries_) {
            if (entry.path == path) {
                return {};
            }
        }
        entries_.push_back({path, std::move(device)});
        observer = observer_;
    }
    if (observer) {
        observer(true, path);
    }
    return path;
}

void InProcessBus::detach(const std::string& path) {
    Observer observer;
    bool removed = false;
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->path == path) {
                entries_.erase(it);
                removed = true;
                break;
            }
        }
        observer = observer_;
    }
    if (removed && observer) {
        observer(false, path);
    }
}

std::vector<std::string> InProcessBus::presentPaths() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    paths.reserve(entries_.size());
    for (const auto& entry : entries_) {
        paths.push_back(entry.path);
    }
    return paths;
}

std::unique_ptr<UsbDevice> InProcessBus::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
        if (entry.path == path && entry.device->connected()) {
            return std::make_unique<SharedDeviceSession>(entry.device);
        }
    }
    return nullptr;
}

void InProcessBus::setCameraFactory(CameraFactory factory) {
    std::lock_guard lock(mutex_);
    factory_ = std::move(factory);
}

void InProcessBus::createEnvironmentCameras() {
    const char* descriptions = std::getenv("LUMVEK_SIM_CAMERAS");
    const bool wanted = descriptions != nullptr && *descriptions != '\0';
    bool haveFactory = false;
    {
        std::lock_guard lock(mutex_);
        if (factoryRan_) {
            return;
        }
        haveFactory = static_cast<bool>(factory_);
    }
    // Simulated cameras asked for, and no simulator linked in: its module
    // installs the factory (outside the lock: it calls setCameraFactory).
    if (wanted && !haveFactory) {
        std::string error;
        if (!loadSimulatorModule(error)) {
            platform::logf(platform::LogCategory::Usb, "LUMVEK_SIM_CAMERAS: %s", error.c_str());
        }
    }
    CameraFactory factory;
    {
        std::lock_guard lock(mutex_);
        if (factoryRan_ || !factory_) {
            return;
        }
        factoryRan_ = true;
        factory = factory_;
    }
    if (wanted) {
        platform::logf(platform::LogCategory::Usb, "creating in-process cameras: %s", descriptions);
        factory(descriptions);
    }
}

void InProcessBus::setObserver(Observer observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

} // namespace lumvek::fx3
