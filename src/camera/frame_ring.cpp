#include "camera/frame_ring.h"

#include <cstring>

namespace lumvek {

bool FrameRing::allocate(size_t bytes) {
    platform::MutexLock lock(mutex_);
    changed_.wait(mutex_, [&]() REQUIRES(mutex_) {
        return filling_ < 0 && pins_[0] == 0 && pins_[1] == 0 && pins_[2] == 0 && pins_[3] == 0;
    });
    bytes_ = 0;
    for (auto& buffer : buffers_) {
        buffer.reset();
    }
    for (auto& buffer : buffers_) {
        // Zero pages: an 8-bit frame in a buffer sized for 16-bit ones makes
        // only the half it fills resident.
        buffer = platform::allocateZeroed(bytes);
        if (!buffer) {
            for (auto& other : buffers_) {
                other.reset();
            }
            return false;
        }
    }
    bytes_ = bytes;
    return true;
}

void FrameRing::release() {
    platform::MutexLock lock(mutex_);
    changed_.wait(mutex_, [&]() REQUIRES(mutex_) {
        return filling_ < 0 && pins_[0] == 0 && pins_[1] == 0 && pins_[2] == 0 && pins_[3] == 0;
    });
    for (auto& buffer : buffers_) {
        buffer.reset();
    }
    bytes_ = 0;
}

size_t FrameRing::bufferBytes() const {
    platform::MutexLock lock(mutex_);
    return bytes_;
}

int FrameRing::claimSlotLocked(int slot) {
    if (slot < 0) {
        slot = write_;
        // Skip buffers a reader is copying out.
        for (int tries = 0; tries < kSlots && pins_[static_cast<size_t>(slot)] > 0; ++tries) {
            slot = (slot + 1) % kSlots;
        }
        if (pins_[static_cast<size_t>(slot)] > 0) {
            return -1;  // every buffer is being read: drop this frame
        }
        write_ = slot;
    } else if (slot >= kSlots || pins_[static_cast<size_t>(slot)] > 0) {
        return -1;
    }
    return slot;
}

bool FrameRing::store(const uint8_t* source, size_t bytes, int slot, const FrameStamp& stamp) {
    uint8_t* target = nullptr;
    const bool advance = slot < 0;
    {
        platform::MutexLock lock(mutex_);
        if (bytes_ == 0 || bytes > bytes_ || source == nullptr) {
            return false;
        }
        slot = claimSlotLocked(slot);
        if (slot < 0) {
            return false;
        }
        filling_ = slot;
        target = buffers_[static_cast<size_t>(slot)].get();
    }
    std::memcpy(target, source, bytes);  // outside the lock: readers of other buffers go on
    {
        platform::MutexLock lock(mutex_);
        filling_ = -1;
        stampLocked(slot, stamp);
        if (advance) {
            write_ = (slot + 1) % kSlots;
        }
    }
    changed_.notifyAll();
    return true;
}

bool FrameRing::exchange(platform::ZeroedBlock& filled, size_t capacity, int slot, const FrameStamp& stamp) {
    {
        platform::MutexLock lock(mutex_);
        if (bytes_ == 0 || capacity != bytes_ || !filled) {
            return false;
        }
        const bool advance = slot < 0;
        slot = claimSlotLocked(slot);
        if (slot < 0) {
            return false;
        }
        // Neither buffer is pinned or being filled: the slot's takes the
        // caller's place and is written over by the next frame.
        buffers_[static_cast<size_t>(slot)].swap(filled);
        stampLocked(slot, stamp);
        if (advance) {
            write_ = (slot + 1) % kSlots;
        }
    }
    changed_.notifyAll();
    return true;
}

FrameRing::ReadPin FrameRing::pin(bool oldest) {
    platform::MutexLock lock(mutex_);
    const int slot = oldest ? 0 : (write_ + kSlots - 1) % kSlots;
    changed_.wait(mutex_, [&]() REQUIRES(mutex_) { return filling_ != slot; });
    if (bytes_ == 0) {
        return {};
    }
    ++pins_[static_cast<size_t>(slot)];
    return ReadPin(this, slot, stamps_[static_cast<size_t>(slot)]);
}

void FrameRing::unpin(int slot) {
    {
        platform::MutexLock lock(mutex_);
        --pins_[static_cast<size_t>(slot)];
    }
    changed_.notifyAll();
}

FrameRing::ReadPin::~ReadPin() {
    if (ring_ != nullptr) {
        ring_->unpin(slot_);
    }
}

const uint8_t* FrameRing::ReadPin::data() const {
    return ring_ != nullptr ? ring_->pinnedData(slot_) : nullptr;
}

const uint8_t* FrameRing::pinnedData(int slot) const {
    // A pinned buffer is neither written nor freed while the pin lives: the
    // writer skips it and allocate/release wait for it.
    return buffers_[static_cast<size_t>(slot)].get();
}

void FrameRing::stampLocked(int slot, const FrameStamp& stamp) {
    FrameStamp& kept = stamps_[static_cast<size_t>(slot)];
    kept = stamp;
    kept.storedSequence = ++stored_;
}

uint64_t FrameRing::storedCount() const {
    platform::MutexLock lock(mutex_);
    return stored_;
}

int FrameRing::writeIndex() const {
    platform::MutexLock lock(mutex_);
    return write_;
}

int FrameRing::readIndex() const {
    platform::MutexLock lock(mutex_);
    return read_;
}

void FrameRing::markRead(int slot) {
    platform::MutexLock lock(mutex_);
    read_ = slot >= 0 ? (slot + 1) % kSlots : write_;
}

void FrameRing::syncWriteToRead() {
    platform::MutexLock lock(mutex_);
    write_ = read_;
}

} // namespace lumvek
