#include "api/handle_registry.h"

#include <chrono>
#include <cstdlib>

#include "instance/lumvek.h"
#include "platform/sync/clock.h"

namespace lumvek {

InstanceSlot::InstanceSlot(int32_t handle, std::unique_ptr<CLumvek> instance)
    : handle_(handle), instance_(std::move(instance)) {}

InstanceSlot::~InstanceSlot() = default;

bool InstanceSlot::enter() {
    std::lock_guard lock(lock_);
    if (released_) {
        return false;
    }
    ++calls_;
    return true;
}

void InstanceSlot::leave() {
    std::unique_lock lock(lock_);
    if (--calls_ != 0) {
        return;
    }
    idle_.notify_all();
    if (released_ && instance_) {
        freeInstance(lock);
    }
}

bool InstanceSlot::release(uint32_t waitMs) {
    std::unique_lock lock(lock_);
    if (released_) {
        return false;
    }
    released_ = true;
    if (idle_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return calls_ == 0; })) {
        freeInstance(lock);
    }
    return true;
}

// The instance is destroyed outside the slot lock: its teardown stops
// threads and posts messages, and must never wait on a caller of enter().
void InstanceSlot::freeInstance(std::unique_lock<std::mutex>& lock) {
    std::unique_ptr<CLumvek> doomed = std::move(instance_);
    lock.unlock();
    try {
        doomed.reset();
    } catch (...) {
        // Teardown failures stay inside: the handle is released regardless.
    }
    (void)CSdkChain::instance().Remove(handle_);
}

int32_t CSdkChain::Register(std::unique_ptr<CLumvek> instance) {
    std::lock_guard lock(lock_);
    auto candidate = static_cast<uint32_t>(platform::tickMs()) + static_cast<uint32_t>(std::rand()) +
                     static_cast<uint32_t>(count_);
    auto taken = [this](int32_t handle) { return findLocked([handle](const CSDKDATA& d) { return d.handle == handle; }); };
    while (candidate == 0 || taken(static_cast<int32_t>(candidate))) {
        ++candidate;
    }
    const auto handle = static_cast<int32_t>(candidate);
    addLocked(CSDKDATA{handle, std::make_shared<InstanceSlot>(handle, std::move(instance))});
    return handle;
}

CallLease CSdkChain::Enter(int32_t handle) {
    std::shared_ptr<InstanceSlot> slot;
    {
        std::lock_guard lock(lock_);
        if (!findLocked([handle](const CSDKDATA& d) { return d.handle == handle; })) {
            return {};
        }
        slot = cursor_->data.slot;
    }
    if (!slot->enter()) {
        return {};
    }
    return CallLease(std::move(slot));
}

int CSdkChain::Release(int32_t handle, uint32_t waitMs) {
    std::shared_ptr<InstanceSlot> slot;
    {
        std::lock_guard lock(lock_);
        if (!findLocked([handle](const CSDKDATA& d) { return d.handle == handle; })) {
            return 0;
        }
        slot = cursor_->data.slot;
    }
    return slot->release(waitMs) ? 1 : 0;
}

int CSdkChain::Remove(int32_t handle) {
    std::lock_guard lock(lock_);
    if (!findLocked([handle](const CSDKDATA& d) { return d.handle == handle; })) {
        return 0;
    }
    return removeCurrentLocked() ? 1 : 0;
}

CSdkChain& CSdkChain::instance() {
    // Constructed on first use and never destroyed: instances an application
    // never released stay reachable from nowhere, as with the original, and
    // no export can run into a registry already torn down at unload.
    static auto* chain = new CSdkChain();
    return *chain;
}

} // namespace lumvek
