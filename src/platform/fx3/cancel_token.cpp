#include "platform/fx3/usb_device.h"

#include <chrono>

namespace lumvek::fx3 {

void CancelToken::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    cv_.notify_all();
}

bool CancelToken::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void CancelToken::setProbe(std::function<bool()> probe) {
    std::lock_guard lock(mutex_);
    probe_ = std::move(probe);
}

bool CancelToken::sleepFor(uint32_t ms) const {
    using Clock = std::chrono::steady_clock;
    const bool forever = ms == kForever;
    const auto end = Clock::now() + std::chrono::milliseconds(forever ? 0 : ms);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (cancelled_) {
            return true;
        }
        const auto now = Clock::now();
        if (!forever && now >= end) {
            return false;
        }
        auto slice = std::chrono::milliseconds(kProbeIntervalMs);
        if (!forever) {
            slice = std::min(slice, std::chrono::duration_cast<std::chrono::milliseconds>(end - now) +
                                        std::chrono::milliseconds(1));
        }
        cv_.wait_for(lock, slice);
        if (!cancelled_ && probe_) {
            auto probe = probe_;
            lock.unlock();
            const bool stop = probe();
            lock.lock();
            if (stop) {
                cancelled_ = true;
            }
        }
    }
}

} // namespace lumvek::fx3
