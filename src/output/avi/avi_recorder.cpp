#include "output/avi/avi_recorder.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "platform/log/log.h"
#include "platform/sync/clock.h"

namespace lumvek {

using platform::LogCategory;

namespace {
// Bound of one wait for a new frame or a queued one; stop() also wakes the
// threads at once.
constexpr uint32_t kFrameWaitMs = 100;
// How long a stopped recording goes on writing frames already queued.
constexpr uint32_t kStopDrainMs = 2000;
// The layout is chosen at the start from the time asked: frames are assumed
// to come at most this fast. A plain file holds four times what the
// estimate lets it take before it would be an OpenDML one.
constexpr uint64_t kLayoutFramesPerSecond = 100;
constexpr uint64_t kMsPerSecond = 1000;

bool isDiskFull(int error) {
#ifdef EDQUOT
    return error == ENOSPC || error == EDQUOT;
#else
    return error == ENOSPC;  // no disk quotas in the C runtime's errno set (Windows)
#endif
}

} // namespace

const char* recordingEndName(RecordingEnd end) {
    switch (end) {
    case RecordingEnd::Running: return "running";
    case RecordingEnd::TimeUp: return "time-up";
    case RecordingEnd::Stopped: return "stopped";
    case RecordingEnd::DiskFull: return "disk-full";
    case RecordingEnd::WriteFailed: return "write-failed";
    case RecordingEnd::SizeLimit: return "size-limit";
    }
    return "?";
}

namespace {
AviRecorder::Options withSizeBound(uint64_t maxRiffBytes) {
    AviRecorder::Options options;
    options.maxRiffBytes = maxRiffBytes;
    return options;
}
} // namespace

AviRecorder::AviRecorder(RecorderFrameSource& source, ErrorSink onError, uint64_t maxRiffBytes)
    : AviRecorder(source, std::move(onError), withSizeBound(maxRiffBytes)) {}

AviRecorder::AviRecorder(RecorderFrameSource& source, ErrorSink onError, Options options)
    : source_(source), onError_(std::move(onError)), options_(std::move(options)) {}

AviRecorder::~AviRecorder() {
    stop();
}

int AviRecorder::start(const char* path, int width, int height, uint32_t durationMs) {
    if (path == nullptr || path[0] == '\0') {
        return kErrorBadPath;
    }
    if (recording_.load()) {
        return kErrorBusy;
    }
    stop();  // joins the threads of a recording that ended by itself
    if (width <= 0 || height <= 0) {
        return kErrorFile;
    }
    const uint64_t frameBytes = avi::frameBytes(width, height);
    const uint64_t estimate = (frameBytes + avi::kChunkHeaderBytes) * kLayoutFramesPerSecond *
                              (uint64_t{durationMs} / kMsPerSecond + 1);
    const auto layout =
        estimate + avi::kHeaderBytes > options_.openDmlRiffBytes ? AviWriter::Layout::OpenDml : AviWriter::Layout::Classic;
    auto writer = std::make_unique<AviWriter>(options_.maxRiffBytes, options_.openDmlRiffBytes);
    if (!writer->open(path, width, height, layout)) {
        return kErrorFile;
    }
    const uint64_t bySize = frameBytes == 0 ? 1 : options_.writeBehindBytes / frameBytes;
    const size_t slots = static_cast<size_t>(std::max<uint64_t>(1, std::min<uint64_t>(options_.writeBehindFrames, bySize)));
    if (!producer_.prepare(width, height) || !queue_.prepare(width, height, slots)) {
        writer->discard();
        return kErrorThread;
    }
    writer_ = std::move(writer);
    stopRequested_ = false;
    pendingFrames_ = 0;
    framesRecorded_ = 0;
    framesSkipped_ = 0;
    end_ = static_cast<int>(RecordingEnd::Running);
    writeError_ = 0;
    fileKept_ = true;
    started_ = false;
    finished_.reset();
    recording_ = true;
    try {
        writerThread_ = std::thread([this] { writeFrames(); });
    } catch (...) {
        recording_ = false;
        writer_->discard();
        writer_.reset();
        return kErrorThread;
    }
    try {
        taker_ = std::thread([this, durationMs] { takeFrames(durationMs); });
    } catch (...) {
        queue_.closeInput();
        stopRequested_ = true;
        writerThread_.join();  // finalises the empty file
        return kErrorThread;
    }
    platform::logf(LogCategory::Output, "recording %s: %d x %d, %u ms, %s layout, %zu frames of write-behind", path,
                   width, height, durationMs, layout == AviWriter::Layout::Classic ? "plain" : "OpenDML", slots);
    return 0;
}

void AviRecorder::notifyNewFrame() {
    if (!recording_.load()) {
        return;
    }
    pendingFrames_.fetch_add(1);
    frameArrived_.set();
}

void AviRecorder::requestStop() {
    if (!stopRequested_.exchange(true)) {
        stopRequestedMs_ = platform::tickMs();
    }
    frameArrived_.set();
}

void AviRecorder::stop() {
    requestStop();
    if (taker_.joinable()) {
        taker_.join();
    }
    if (writerThread_.joinable()) {
        writerThread_.join();
    }
}

RecordingResult AviRecorder::result() const {
    RecordingResult r;
    r.framesWritten = framesRecorded_.load();
    r.framesSkipped = framesSkipped_.load();
    r.end = static_cast<RecordingEnd>(end_.load());
    r.writeError = writeError_.load();
    r.fileKept = fileKept_.load();
    return r;
}

bool AviRecorder::takeOneFrame(uint32_t durationMs) {
    FrameQueue::Slot* slot = queue_.acquireFree();
    if (slot == nullptr) {
        // Every buffer waits for the disk: this picture is lost.
        framesSkipped_.fetch_add(pendingFrames_.exchange(0));
        return true;
    }
    uint32_t notified = 0;
    bool converted = false;
    // The capture engine raises the flag under the frame lock after each
    // picture: what is counted here is exactly what this picture replaced.
    (void)source_.withNewestPicture([&](const ImageBuffer& picture) {
        notified = pendingFrames_.exchange(0);
        converted = notified != 0 && producer_.produceInto(picture, slot->frame);
    });
    if (!converted) {
        framesSkipped_.fetch_add(notified);
        queue_.release(slot);
        return true;
    }
    framesSkipped_.fetch_add(notified - 1);
    const uint32_t now = platform::tickMs();
    if (!started_) {
        started_ = true;
        startMs_ = now;
    }
    slot->takenMs = now;
    queue_.push(slot);
    return now - startMs_ <= durationMs;  // wrap-safe: elapsed since the first frame
}

void AviRecorder::takeFrames(uint32_t durationMs) {
    bool timeUp = false;
    while (!stopRequested_.load()) {
        (void)frameArrived_.wait(kFrameWaitMs);
        if (stopRequested_.load() || pendingFrames_.load() == 0) {
            continue;
        }
        if (!takeOneFrame(durationMs)) {
            timeUp = true;
            break;
        }
    }
    int expected = static_cast<int>(RecordingEnd::Running);
    end_.compare_exchange_strong(expected, static_cast<int>(timeUp ? RecordingEnd::TimeUp : RecordingEnd::Stopped));
    queue_.closeInput();
}

void AviRecorder::endWith(RecordingEnd end, int writeError) {
    writeError_ = writeError;
    end_ = static_cast<int>(end);
    stopRequested_ = true;
    frameArrived_.set();
    if (onError_) {
        onError_(kErrorFile);
    }
}

std::string AviRecorder::fileNote() const {
    const RecordingResult r = result();
    if (r.framesSkipped == 0 && r.end != RecordingEnd::DiskFull && r.end != RecordingEnd::WriteFailed) {
        return {};
    }
    // Read back by the SDK's own applications (the tool, Python); shown by
    // players as the file's comment.
    char note[160];
    std::snprintf(note, sizeof note, "lumvek recorder: frames=%u skipped=%" PRIu64 " end=%s", r.framesWritten,
                  r.framesSkipped, recordingEndName(r.end));
    return note;
}

void AviRecorder::writeFrames() {
    bool first = true;
    uint32_t firstMs = 0;
    uint32_t lastMs = 0;
    uint32_t refreshedMs = platform::tickMs();
    bool failed = false;
    while (true) {
        FrameQueue::Slot* slot = queue_.popFilled(kFrameWaitMs);
        if (slot == nullptr) {
            if (queue_.ended()) {
                break;
            }
            continue;
        }
        if (failed || (stopRequested_.load() && platform::tickMs() - stopRequestedMs_.load() > kStopDrainMs)) {
            // Stopped and the disk is still behind, or the file is ended:
            // what is queued is not written.
            if (!failed) {
                framesSkipped_.fetch_add(1 + queue_.dropQueued());
            }
            queue_.release(slot);
            continue;
        }
        if (options_.beforeFrameWrite) {
            options_.beforeFrameWrite();
        }
        const AviWriter::AppendResult appended = writer_->appendFrame(slot->frame);
        const uint32_t takenMs = slot->takenMs;
        queue_.release(slot);
        if (appended == AviWriter::AppendResult::Appended) {
            if (first) {
                first = false;
                firstMs = takenMs;
            }
            lastMs = takenMs;
            framesRecorded_.fetch_add(1);
            const uint32_t now = platform::tickMs();
            if (now - refreshedMs >= kHeaderRefreshMs) {
                refreshedMs = now;
                (void)writer_->refreshHeader(lastMs - firstMs);
            }
            continue;
        }
        failed = true;
        const int error = writer_->lastWriteError();
        if (appended == AviWriter::AppendResult::SizeLimit) {
            platform::logf(LogCategory::Output, "recording ended at the file size limit after %u frames",
                           writer_->frameCount());
            endWith(RecordingEnd::SizeLimit, 0);
        } else {
            platform::logf(LogCategory::Output, "recording ended: frame write failed after %u frames (errno %d)",
                           writer_->frameCount(), error);
            endWith(isDiskFull(error) ? RecordingEnd::DiskFull : RecordingEnd::WriteFailed, error);
        }
        (void)queue_.dropQueued();
    }
    // Time passed, limit reached, write failed or stopped early: the file
    // is finalised in every case, and removed when a failed write left it
    // without a single frame.
    const RecordingEnd end = static_cast<RecordingEnd>(end_.load());
    if (failed && writer_->frameCount() == 0) {
        writer_->discard();
        fileKept_ = false;
    } else {
        (void)writer_->finalize(first ? 0 : lastMs - firstMs, fileNote());
        framesRecorded_ = writer_->frameCount();  // less any frame the index had no room for
    }
    const RecordingResult r = result();
    platform::logf(LogCategory::Output, "recording ended (%s): %u frames written%s", recordingEndName(end),
                   r.framesWritten, r.fileKept ? "" : "; no frame could be written, file removed");
    if (r.framesSkipped != 0) {
        platform::logf(LogCategory::Output, "%" PRIu64 " frames skipped: the writes fell behind the camera",
                       r.framesSkipped);
    }
    recording_ = false;
    finished_.set();
}

} // namespace lumvek
