#pragma once
// The in-process device registry: simulated cameras living in the calling
// process (unit tests, `lumvek --simulate`). The simulator attaches a camera
// under a device path; the driver stand-in lists and opens it like any other.
// A process-wide singleton, as a machine has one USB bus.
//
//   auto path = fx3::InProcessBus::instance().attach(camera, 0x1f3a, 0x3090, "cam0");
//   ...
//   fx3::InProcessBus::instance().detach(path);   // unplugged
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

class InProcessBus final : public DeviceSource {
public:
    static InProcessBus& instance();

    // Makes `device` present under the path formed from the identifiers and
    // instance name; returns the path (empty if that path is already present).
    // Every open of the path shares the device.
    std::string attach(std::shared_ptr<UsbDevice> device, uint16_t vendorId, uint16_t productId,
                       const std::string& instanceName);
    // Removes the path; open handles keep their borrow and fail once the device
    // reports itself disconnected.
    void detach(const std::string& path);

    std::vector<std::string> presentPaths() override;
    std::unique_ptr<UsbDevice> open(const std::string& path) override;

    // Called once, before the first enumeration or open of the process, with
    // the value of LUMVEK_SIM_CAMERAS (camera descriptions separated by ';') when it is
    // set. The simulator installs it (sim::installInProcessFactory: linked in
    // by tests, or loaded as its module when the variable is set and no
    // factory is there, see simulator_module.h); platform code cannot create
    // simulated cameras itself.
    using CameraFactory = std::function<void(const std::string& descriptions)>;
    void setCameraFactory(CameraFactory factory);
    void createEnvironmentCameras();

    // Arrival/removal observers (the driver stand-in's device-change hook).
    using Observer = std::function<void(bool arrived, const std::string& path)>;
    void setObserver(Observer observer);

private:
    InProcessBus() = default;
    struct Entry {
        std::string path;
        std::shared_ptr<UsbDevice> device;
    };
    std::mutex mutex_;  // guards entries_, factory_, factoryRan_, observer_
    std::vector<Entry> entries_;
    CameraFactory factory_;
    bool factoryRan_ = false;
    Observer observer_;
};

} // namespace lumvek::fx3
