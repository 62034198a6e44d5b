#ifdef LUMVEK_HAVE_LIBUSB
#include "platform/fx3/libusb_context.h"

#include <libusb.h>

#include <cstdio>
#include <string>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/libusb_backend.h"
#include "platform/fx3/socket_wire.h"
#include "platform/fx3/usb_id_filter.h"
#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {
constexpr int kEventSliceMs = 100;  // how soon the event thread notices a stop
constexpr int kMaxPortDepth = 7;    // USB 3 allows at most seven tiers of ports
constexpr int kMaxSerialBytes = 256; // a string descriptor holds at most 126 UTF-16 units
} // namespace

struct HotplugTrampoline {
    static int LIBUSB_CALL call(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                void* self) {
        return LibusbContext::onHotplug(context, device, static_cast<int>(event), self);
    }
};

LibusbContext* LibusbContext::instance() {
    // Never destroyed: the event thread serves the process until it ends.
    static LibusbContext* context = [] {
        auto* made = new LibusbContext();
        if (!made->start()) {
            delete made;
            return static_cast<LibusbContext*>(nullptr);
        }
        return made;
    }();
    return context;
}

bool LibusbContext::start() {
    const int result = libusb_init(&context_);
    if (result != LIBUSB_SUCCESS) {
        platform::logf(platform::LogCategory::Usb, "libusb unavailable: %s", libusb_error_name(result));
        context_ = nullptr;
        return false;
    }
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
        libusb_hotplug_callback_handle handle = 0;
        const int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
        if (libusb_hotplug_register_callback(context_, static_cast<libusb_hotplug_event>(events),
                                             LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY,
                                             LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
                                             &HotplugTrampoline::call, this, &handle) == LIBUSB_SUCCESS) {
            hotplugHandle_ = handle;
        }
    }
    thread_ = std::thread([this] { handleEvents(); });
    return true;
}

void LibusbContext::handleEvents() {
    while (!stop_) {
        timeval slice{0, kEventSliceMs * 1000};
        (void)libusb_handle_events_timeout_completed(context_, &slice, nullptr);
    }
}

void LibusbContext::setObserver(Observer observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

int LibusbContext::onHotplug(libusb_context*, libusb_device* device, int event, void* self) {
    auto& context = *static_cast<LibusbContext*>(self);
    const bool arrived = event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
    if (!arrived) {
        LibusbDeviceSource::deviceLeft(device);  // fail its requests at once
    }
    const std::string path = libusbDevicePath(device);
    if (path.empty()) {
        return 0;
    }
    Observer observer;
    {
        std::lock_guard lock(context.mutex_);
        observer = context.observer_;
    }
    if (observer) {
        observer(arrived, path, device);
    }
    return 0;  // stay registered
}

namespace {

// The kernel's copy of the device's serial-number string, read from sysfs
// rather than asked of the device: no open, so safe in the hot-plug
// callback and for a camera another process holds. Empty when it has none,
// or one that is no usable instance name.
std::string sysfsSerial(int bus, const uint8_t* ports, int depth) {
    if (depth <= 0) return {};
    std::string name = "/sys/bus/usb/devices/" + std::to_string(bus);
    for (int i = 0; i < depth; ++i) name += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    std::FILE* file = std::fopen((name + "/serial").c_str(), "r");
    if (file == nullptr) return {};
    char line[kMaxSerialBytes] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    if (!read) return {};
    std::string serial = line;
    while (!serial.empty() && (serial.back() == '\n' || serial.back() == '\r' || serial.back() == ' ')) serial.pop_back();
    return wire::isValidInstanceName(serial) ? serial : std::string();
}

} // namespace

std::string libusbDevicePath(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
        !isCameraUsbId(usbVendorIds(), descriptor.idVendor, descriptor.idProduct)) {
        return {};
    }
    uint8_t ports[kMaxPortDepth];
    const int depth = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    std::string instance = "usb" + std::to_string(libusb_get_bus_number(device));
    if (depth <= 0) {
        instance += "-a" + std::to_string(libusb_get_device_address(device));  // no port path known
    }
    for (int i = 0; i < depth; ++i) {
        instance += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    }
    // A camera with a serial number keeps its path (and id) on any port.
    if (descriptor.iSerialNumber != 0) {
        if (std::string serial = sysfsSerial(libusb_get_bus_number(device), ports, depth); !serial.empty()) {
            instance = std::move(serial);
        }
    }
    return formatDevicePath(descriptor.idVendor, descriptor.idProduct, instance);
}

} // namespace lumvek::fx3

#endif // LUMVEK_HAVE_LIBUSB
