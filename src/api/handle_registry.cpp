#include "api/handle_registry.h"

#include <cstdlib>

#include "platform/sync/clock.h"

namespace lumvek {

int32_t CSdkChain::Register(CLumvek* instance) {
    std::lock_guard lock(lock_);
    auto candidate = static_cast<uint32_t>(platform::tickMs()) + static_cast<uint32_t>(std::rand()) +
                     static_cast<uint32_t>(count_);
    auto taken = [this](int32_t handle) { return findLocked([handle](const CSDKDATA& d) { return d.handle == handle; }); };
    while (candidate == 0 || taken(static_cast<int32_t>(candidate))) {
        ++candidate;
    }
    const auto handle = static_cast<int32_t>(candidate);
    addLocked(CSDKDATA{handle, instance});
    return handle;
}

CLumvek* CSdkChain::Lookup(int32_t handle) {
    std::lock_guard lock(lock_);
    if (!findLocked([handle](const CSDKDATA& d) { return d.handle == handle; })) {
        return nullptr;
    }
    return cursor_->data.instance;
}

CLumvek* CSdkChain::Detach(int32_t handle) {
    std::lock_guard lock(lock_);
    if (!findLocked([handle](const CSDKDATA& d) { return d.handle == handle && d.instance != nullptr; })) {
        return nullptr;
    }
    CLumvek* instance = cursor_->data.instance;
    cursor_->data.instance = nullptr;
    return instance;
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
