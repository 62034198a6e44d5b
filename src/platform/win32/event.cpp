#include "platform/sync/event.h"

#include <system_error>

#include <windows.h>

namespace lumvek::platform {

static_assert(kInfinite == INFINITE, "kInfinite is the system's INFINITE");

Event::Event(Reset reset, bool initiallySet)
    : reset_(reset), handle_(CreateEventW(nullptr, reset == Reset::Manual, initiallySet, nullptr)) {
    if (handle_ == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEventW");
    }
}

Event::~Event() {
    CloseHandle(handle_);
}

// A waiter that wakes may destroy the event at once (a local event of one
// transfer); the system keeps the object alive until SetEvent returns.
void Event::set() {
    (void)SetEvent(handle_);
}

void Event::reset() {
    (void)ResetEvent(handle_);
}

bool Event::wait(uint32_t timeoutMs) {
    return WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

bool Event::isSet() const {
    if (WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0) {
        return false;
    }
    // The system has no query that leaves an auto-reset event set: the test
    // took it, so it is set again.
    if (reset_ == Reset::Auto) {
        (void)SetEvent(handle_);
    }
    return true;
}

} // namespace lumvek::platform
