#include "instance/notifier.h"

#include <mutex>

#include "platform/fx3/fx3_driver.h"
#include "platform/window/device_notification.h"
#include "platform/window/messages.h"

namespace lumvek {

namespace {

// One subscription per process carries the driver stand-in's arrival and
// removal events to every registered window; it lives as long as the process.
void bridgeDeviceChangesOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        (void)fx3::subscribeDeviceChanges([](fx3::DeviceChange change, const std::string&) {
            (void)platform::window::postDeviceChange(change == fx3::DeviceChange::Arrival
                                                         ? platform::window::DBT_DEVICEARRIVAL
                                                         : platform::window::DBT_DEVICEREMOVECOMPLETE);
        });
    });
}

} // namespace

bool postToWindow(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return platform::window::postMessage(window, message, wParam, lParam);
}

size_t queuedFrameMessages(HWND window, const void* records, size_t bytes) {
    const auto first = reinterpret_cast<uintptr_t>(records);
    return platform::window::countQueuedMessages(window, LUMVEK_WM_FRAME, first, first + bytes);
}

bool registerForDeviceChanges(HWND window) {
    if (!platform::window::registerDeviceNotification(window)) {
        return false;
    }
    bridgeDeviceChangesOnce();
    return true;
}

} // namespace lumvek
