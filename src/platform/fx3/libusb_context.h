#pragma once
// The process's one libusb context and its one event-handling thread, which
// completes every asynchronous transfer and delivers hot-plug events. Made
// at first use and kept until the process ends. Internal to src/platform/fx3.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <atomic>

struct libusb_context;
struct libusb_device;

namespace lumvek::fx3 {

class LibusbContext {
public:
    // nullptr when libusb cannot be initialised (no usbfs, no permission).
    static LibusbContext* instance();

    [[nodiscard]] libusb_context* context() const { return context_; }

    // Arrival/removal of cameras (the libusb backend's paths); called on the
    // event thread. An empty observer stops the reports.
    using Observer = std::function<void(bool arrived, const std::string& path, libusb_device* device)>;
    void setObserver(Observer observer);
    [[nodiscard]] bool hotplugAvailable() const { return hotplugHandle_ != 0; }

private:
    LibusbContext() = default;
    bool start();
    void handleEvents();
    static int onHotplug(libusb_context* context, libusb_device* device, int event, void* self);
    friend struct HotplugTrampoline;

    libusb_context* context_ = nullptr;
    int hotplugHandle_ = 0;
    std::mutex mutex_;  // guards observer_
    Observer observer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The device path of a libusb device, "" when it is not a camera of the
// configured vendors and known products. Instance part: bus and port path
// ("usb2-1.4"), so a camera plugged back into the same port keeps its path.
[[nodiscard]] std::string libusbDevicePath(libusb_device* device);

} // namespace lumvek::fx3
