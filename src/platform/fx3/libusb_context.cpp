#ifdef LUMVEK_HAVE_LIBUSB
#include "platform/fx3/libusb_context.h"

#include <libusb.h>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/libusb_backend.h"
#include "platform/fx3/usb_id_filter.h"
#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {
constexpr int kEventSliceMs = 100;  // how soon the event thread notices a stop
constexpr int kMaxPortDepth = 7;    // USB 3 allows at most seven tiers of ports
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
    return formatDevicePath(descriptor.idVendor, descriptor.idProduct, instance);
}

} // namespace lumvek::fx3

#endif // LUMVEK_HAVE_LIBUSB
