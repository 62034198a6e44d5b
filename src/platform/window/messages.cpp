#include "platform/window/messages.h"

#include "platform/sync/clock.h"
#include "platform/window/system_window.h"
#include "platform/window/window_table.h"

namespace lumvek::platform::window {

HWND createMessageWindow() {
    WindowSpec form;
    form.kind = WindowKind::Message;
    form.className = "LumvekMessageWindow";
    return WindowTable::instance().create(form);
}

bool destroyWindow(HWND hwnd) {
    const auto removed = WindowTable::instance().removeTree(hwnd);
    // Children first, so no child outlives its parent's queue.
    for (auto it = removed.rbegin(); it != removed.rend(); ++it)
        (*it)->markDestroyed();
    return !removed.empty() || destroySystemWindow(hwnd);
}

bool postMessage(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const auto window = WindowTable::instance().find(hwnd);
    if (!window)
        return postToSystemWindow(hwnd, message, wParam, lParam);
    const LumvekMsg msg{hwnd, message, wParam, lParam, tickMs()};
    return window->queue().post(msg);
}

size_t countQueuedMessages(HWND hwnd, uint32_t message, uintptr_t wParamFirst, uintptr_t wParamEnd) {
    const auto window = WindowTable::instance().find(hwnd);
    return window ? window->queue().countQueued(message, wParamFirst, wParamEnd)
                  : countPendingSystemMessages(hwnd, message, wParamFirst, wParamEnd);
}

int getMessage(HWND hwnd, LumvekMsg* msg, int timeoutMs) {
    // The shared pointer keeps the queue alive while this thread waits even
    // if another thread destroys the window meanwhile.
    const auto window = WindowTable::instance().find(hwnd);
    if (!window || msg == nullptr)
        return -1;
    return window->queue().get(msg, timeoutMs);
}

bool setMessageHandler(HWND hwnd, LumvekMsgHandler handler, void* context) {
    const auto window = WindowTable::instance().find(hwnd);
    return window && window->queue().setHandler(handler, context);
}

bool isWindow(HWND hwnd) {
    return WindowTable::instance().find(hwnd) != nullptr || isSystemWindow(hwnd);
}

} // namespace lumvek::platform::window
