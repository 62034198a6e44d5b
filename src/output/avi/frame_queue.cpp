#include "output/avi/frame_queue.h"

#include <chrono>

namespace lumvek {

bool FrameQueue::prepare(int width, int height, size_t slots) {
    std::lock_guard lock(lock_);
    free_.clear();
    filled_.clear();
    const bool sameSize = !slots_.empty() && slots_.size() == slots && slots_.front()->frame.width() == width &&
                          slots_.front()->frame.height() == height;
    if (!sameSize) {
        slots_.clear();
        for (size_t i = 0; i < slots; ++i) {
            auto slot = std::make_unique<Slot>();
            if (!slot->frame.create(width, height, 24)) {
                slots_.clear();
                return false;
            }
            slots_.push_back(std::move(slot));
        }
    }
    for (const auto& slot : slots_) {
        free_.push_back(slot.get());
    }
    inputClosed_ = false;
    return !slots_.empty();
}

FrameQueue::Slot* FrameQueue::acquireFree() {
    std::lock_guard lock(lock_);
    if (free_.empty()) {
        return nullptr;
    }
    Slot* slot = free_.back();
    free_.pop_back();
    return slot;
}

void FrameQueue::push(Slot* slot) {
    {
        std::lock_guard lock(lock_);
        filled_.push_back(slot);
    }
    changed_.notify_all();
}

void FrameQueue::closeInput() {
    {
        std::lock_guard lock(lock_);
        inputClosed_ = true;
    }
    changed_.notify_all();
}

FrameQueue::Slot* FrameQueue::popFilled(uint32_t timeoutMs) {
    std::unique_lock lock(lock_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !filled_.empty() || inputClosed_; });
    if (filled_.empty()) {
        return nullptr;
    }
    Slot* slot = filled_.front();
    filled_.pop_front();
    return slot;
}

void FrameQueue::release(Slot* slot) {
    if (slot == nullptr) {
        return;
    }
    std::lock_guard lock(lock_);
    free_.push_back(slot);
}

size_t FrameQueue::dropQueued() {
    std::lock_guard lock(lock_);
    const size_t dropped = filled_.size();
    for (Slot* slot : filled_) {
        free_.push_back(slot);
    }
    filled_.clear();
    return dropped;
}

bool FrameQueue::ended() const {
    std::lock_guard lock(lock_);
    return inputClosed_ && filled_.empty();
}

} // namespace lumvek
