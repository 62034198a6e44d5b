#include "platform/sync/event.h"

#include <chrono>

namespace lumvek::platform {

Event::Event(Reset reset, bool initiallySet) : reset_(reset), signalled_(initiallySet) {}

void Event::set() {
    // Notify while holding the lock: a waiter that wakes may destroy the
    // event at once (a local event of one transfer), so set() must not touch
    // it after the waiter can run.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    if (reset_ == Reset::Manual) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (timeoutMs == kInfinite) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (reset_ == Reset::Auto) {
        signalled_ = false;
    }
    return true;
}

bool Event::isSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

} // namespace lumvek::platform
