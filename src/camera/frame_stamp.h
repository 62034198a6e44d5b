#pragma once
// What the frame transfer thread knows about each frame it stores, kept with
// the frame in the ring, and the loss counters it keeps while streaming.
#include <atomic>
#include <cstdint>

namespace lumvek {

// Written by the transfer thread when it stores a frame; copied out with
// the frame under the ring's lock.
struct FrameStamp {
    // Counts every frame the camera produced: from the frame tag of the
    // header where the product sends one, else the transfer thread's own
    // count of frames it stored or lost. 0 means "no frame".
    uint64_t frameNumber = 0;
    bool fromFrameTag = false;
    // Host clocks, nanoseconds: the frame header's arrival and the frame's
    // completion (the last pixel byte). A product without a header (whole
    // frames on one transfer) has both at completion.
    uint64_t headerMonotonicNs = 0;
    uint64_t headerWallNs = 0;
    uint64_t completeMonotonicNs = 0;
    uint64_t completeWallNs = 0;
    // The ring's own count of frames stored, this one included: a reader
    // that sees it jump learns how many frames were overwritten unread.
    uint64_t storedSequence = 0;
    // Frames lost in the transfer between the frame stored before this one
    // and this one (tag gaps, failed frames).
    uint32_t lostInTransferBefore = 0;
};

// Loss and traffic counters of one camera device object. Written by the
// transfer thread (and the readers for the ring's overwrites), read by any
// thread: every word is atomic and read on its own.
struct TransferCounters {
    std::atomic<uint64_t> framesStored{0};
    std::atomic<uint64_t> bytesStored{0};
    std::atomic<uint64_t> lostInTransfer{0};  // tag gaps, or failed frames where the product sends no tag
    std::atomic<uint64_t> failedFrames{0};    // header or data reads that failed and were retried
    std::atomic<uint64_t> streamResets{0};    // recoveries: stream reopened, pipe reset, FPGA pulsed
    std::atomic<uint64_t> overwrittenInRing{0};  // stored, then overwritten before a reader took them
    std::atomic<uint64_t> framesTaken{0};     // frames copied out by readers as the newest
};

// A plain copy of the counters for a reader.
struct TransferCountersSnapshot {
    uint64_t framesStored = 0;
    uint64_t bytesStored = 0;
    uint64_t lostInTransfer = 0;
    uint64_t failedFrames = 0;
    uint64_t streamResets = 0;
    uint64_t overwrittenInRing = 0;
    uint64_t framesTaken = 0;
};

inline TransferCountersSnapshot snapshotOf(const TransferCounters& c) {
    return {c.framesStored.load(), c.bytesStored.load(),       c.lostInTransfer.load(), c.failedFrames.load(),
            c.streamResets.load(), c.overwrittenInRing.load(), c.framesTaken.load()};
}

// Extends the header's frame tag, a byte (FPGA register 8) that wraps, to
// a 64-bit frame number. Transfer thread only.
class FrameTagCounter {
public:
    static constexpr uint32_t kTagModulus = 256;
    // Numbers go on from `last` (the last frame number of an earlier run).
    explicit FrameTagCounter(uint64_t last = 0) : number_(last) {}
    // The number of the frame whose header carries `tag`; *lost receives
    // the frames skipped since the previous one. `failedSince` (frames the
    // thread saw fail since the previous one) is what is lost when the tag
    // says nothing: the first frame of a run, or a tag that did not change
    // (a product that sends none). False in those cases.
    bool next(uint32_t tag, uint32_t failedSince, uint64_t* number, uint32_t* lost) {
        tag %= kTagModulus;
        const bool known = started_ && tag != last_;
        const uint32_t step = known ? (tag + kTagModulus - last_) % kTagModulus : failedSince + 1;
        started_ = true;
        last_ = tag;
        *lost = step - 1;
        number_ += step;
        *number = number_;
        return known;
    }
    // A frame without a tag: the thread's own count.
    uint64_t nextUntagged(uint32_t failedSince) {
        number_ += uint64_t{failedSince} + 1;
        return number_;
    }
    [[nodiscard]] uint64_t last() const { return number_; }

private:
    bool started_ = false;
    uint32_t last_ = 0;
    uint64_t number_ = 0;
};

} // namespace lumvek
