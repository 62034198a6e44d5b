#include "platform/window/device_notification.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/window/messages.h"

namespace lumvek::platform::window {
namespace {

struct NotificationList {
    std::mutex mutex;  // guards windows
    std::vector<HWND> windows;

    static NotificationList& instance() {
        static NotificationList* const list = new NotificationList;
        return *list;
    }
};

} // namespace

bool registerDeviceNotification(HWND hwnd) {
    if (!isWindow(hwnd))
        return false;
    NotificationList& list = NotificationList::instance();
    std::lock_guard lock(list.mutex);
    if (std::find(list.windows.begin(), list.windows.end(), hwnd) == list.windows.end())
        list.windows.push_back(hwnd);
    return true;
}

bool unregisterDeviceNotification(HWND hwnd) {
    NotificationList& list = NotificationList::instance();
    std::lock_guard lock(list.mutex);
    const auto it = std::find(list.windows.begin(), list.windows.end(), hwnd);
    if (it == list.windows.end())
        return false;
    list.windows.erase(it);
    return true;
}

int postDeviceChange(uintptr_t event) {
    NotificationList& list = NotificationList::instance();
    std::vector<HWND> targets;
    {
        std::lock_guard lock(list.mutex);
        // Handles are never reused, so a dead one can be dropped for good.
        std::erase_if(list.windows, [](HWND hwnd) { return !isWindow(hwnd); });
        targets = list.windows;
    }
    int posted = 0;
    for (HWND hwnd : targets)
        posted += postMessage(hwnd, WM_DEVICECHANGE, event, 0) ? 1 : 0;
    return posted;
}

} // namespace lumvek::platform::window
