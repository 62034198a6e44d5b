#pragma once
// The recorder's write-behind buffer: a bounded set of 24-bit frames that
// the taking thread fills from the capture engine and the writing thread
// empties into the file, oldest first. A short stall of the disk costs no
// frame while a free buffer is left; when none is, the taking thread skips
// the frame instead of waiting (the camera never waits for the disk).
//
// The lock guards only the lists; no file I/O or conversion runs under it.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/image_buffer.h"

namespace lumvek {

class FrameQueue {
public:
    struct Slot {
        ImageBuffer frame;
        uint32_t takenMs = 0;  // when the picture was taken
    };

    // Makes `slots` frames of width x height at 24 bits (kept from the last
    // recording when the same) and opens the queue: every slot free, input
    // open. False when memory is short.
    [[nodiscard]] bool prepare(int width, int height, size_t slots);

    // A free slot to fill, or null when every slot is taken or queued.
    [[nodiscard]] Slot* acquireFree();
    // Queues a filled slot for writing.
    void push(Slot* slot);
    // No more slots will be pushed: popFilled() ends once the queue is empty.
    void closeInput();

    // The oldest filled slot; waits up to timeoutMs. Null on time-out, or
    // when the input is closed and nothing is queued (then ended() is true).
    [[nodiscard]] Slot* popFilled(uint32_t timeoutMs);
    // Returns a written (or unfilled) slot to the free ones.
    void release(Slot* slot);
    // Drops every queued slot; returns how many there were.
    size_t dropQueued();
    [[nodiscard]] bool ended() const;
    [[nodiscard]] size_t slotCount() const { return slots_.size(); }

private:
    std::vector<std::unique_ptr<Slot>> slots_;
    mutable std::mutex lock_;  // guards free_, filled_, inputClosed_
    std::condition_variable changed_;
    std::vector<Slot*> free_;
    std::deque<Slot*> filled_;
    bool inputClosed_ = false;
};

} // namespace lumvek
