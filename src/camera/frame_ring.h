#pragma once
// The ring of four raw frame buffers between the frame transfer thread and
// the readers (the SDK instance's worker and application threads).
//
// The write index names the buffer that receives the next frame; the read
// index is the write index as it stood when a reader last took the newest
// frame. A frame overwrites the oldest buffer whether or not it was read.
//
// A reader copying a buffer out pins it; the writer never fills a pinned
// buffer but takes the next free one (there are four and at most a few
// readers), so a frame copied out is never overwritten during the copy, no
// frame is copied twice, and the writer never waits for a reader. A reader
// asking for the buffer the writer is filling waits for that one copy.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "camera/frame_stamp.h"
#include "platform/memory/zeroed_block.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek {

class FrameRing {
public:
    static constexpr int kSlots = 4;

    // Frees and allocates every buffer with `bytes` each; waits until no
    // reader or writer holds a buffer. False (and no buffers) on failure.
    [[nodiscard]] bool allocate(size_t bytes) EXCLUDES(mutex_);
    void release() EXCLUDES(mutex_);
    [[nodiscard]] size_t bufferBytes() const EXCLUDES(mutex_);

    // Transfer thread: stores `bytes` from `source` in the next buffer (or
    // in buffer `slot` when slot >= 0, keeping the indexes), then advances
    // the write index. False when the ring is not allocated or too small.
    // `stamp` travels with the frame (its storedSequence is the ring's own).
    bool store(const uint8_t* source, size_t bytes, int slot = -1, const FrameStamp& stamp = {}) EXCLUDES(mutex_);
    // Transfer thread: the same without a copy. `filled` (a buffer of
    // `capacity` bytes holding the frame) becomes the ring's buffer and
    // `filled` receives the one it replaces, which holds an older frame and
    // is the caller's to fill next. False, and nothing exchanged, when the
    // capacity is not the ring's buffer size or no buffer is free.
    bool exchange(platform::ZeroedBlock& filled, size_t capacity, int slot = -1, const FrameStamp& stamp = {})
        EXCLUDES(mutex_);
    // Frames stored since construction.
    [[nodiscard]] uint64_t storedCount() const EXCLUDES(mutex_);

    // A buffer held for reading; released by the destructor.
    class ReadPin {
    public:
        ReadPin() = default;
        ReadPin(FrameRing* ring, int slot, const FrameStamp& stamp) : ring_(ring), slot_(slot), stamp_(stamp) {}
        ~ReadPin();
        ReadPin(ReadPin&& other) noexcept : ring_(other.ring_), slot_(other.slot_), stamp_(other.stamp_) {
            other.ring_ = nullptr;
        }
        ReadPin& operator=(ReadPin&&) = delete;
        ReadPin(const ReadPin&) = delete;
        [[nodiscard]] const uint8_t* data() const;
        [[nodiscard]] bool valid() const { return ring_ != nullptr; }
        [[nodiscard]] int slot() const { return slot_; }
        // What the transfer thread knew of the pinned frame.
        [[nodiscard]] const FrameStamp& stamp() const { return stamp_; }

    private:
        FrameRing* ring_ = nullptr;
        int slot_ = -1;
        FrameStamp stamp_;
    };
    // Pins buffer 0 (oldest) or the buffer written last.
    [[nodiscard]] ReadPin pin(bool oldest) EXCLUDES(mutex_);

    [[nodiscard]] int writeIndex() const EXCLUDES(mutex_);
    [[nodiscard]] int readIndex() const EXCLUDES(mutex_);
    // The newest frame has been taken: read index = write index as it stood
    // when that frame (in buffer `slot`) was pinned.
    void markRead(int slot) EXCLUDES(mutex_);
    // Mode 2 starts counting new frames from now: write index = read index.
    void syncWriteToRead() EXCLUDES(mutex_);

private:
    void unpin(int slot) EXCLUDES(mutex_);
    // The buffer a store fills: the next free one from the write index, or
    // `slot` when it is free; -1 when none. Moves the write index to it.
    int claimSlotLocked(int slot) REQUIRES(mutex_);
    void stampLocked(int slot, const FrameStamp& stamp) REQUIRES(mutex_);
    // A pinned buffer's memory: neither written nor freed while pinned.
    [[nodiscard]] const uint8_t* pinnedData(int slot) const NO_THREAD_SAFETY_ANALYSIS;

    // The ring's lock: taken by the transfer thread and the readers for a
    // few words at a time (never across a copy), inside the device object's
    // locks; nothing is locked under it.
    mutable platform::Mutex mutex_;
    platform::ConditionVariable changed_;
    std::array<platform::ZeroedBlock, kSlots> buffers_ GUARDED_BY(mutex_);
    size_t bytes_ GUARDED_BY(mutex_) = 0;
    int write_ GUARDED_BY(mutex_) = 0;
    int read_ GUARDED_BY(mutex_) = 3;
    int filling_ GUARDED_BY(mutex_) = -1;  // buffer the writer is copying into
    std::array<int, kSlots> pins_ GUARDED_BY(mutex_){};
    std::array<FrameStamp, kSlots> stamps_ GUARDED_BY(mutex_){};
    uint64_t stored_ GUARDED_BY(mutex_) = 0;
};

} // namespace lumvek
