#include "output/avi/avi_recorder.h"

#include "platform/log/log.h"
#include "platform/sync/clock.h"

namespace lumvek {

using platform::LogCategory;

namespace {
// Bound of one wait for a new frame; stop() also wakes the thread at once.
constexpr uint32_t kFrameWaitMs = 100;
} // namespace

AviRecorder::AviRecorder(RecorderFrameSource& source, ErrorSink onError, uint64_t maxRiffBytes)
    : source_(source), onError_(std::move(onError)), maxRiffBytes_(maxRiffBytes) {}

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
    if (thread_.joinable()) {  // the previous recording ended by itself
        thread_.join();
    }
    auto writer = std::make_unique<AviWriter>(maxRiffBytes_);
    if (!writer->open(path, width, height)) {
        return kErrorFile;
    }
    if (!producer_.prepare(width, height)) {
        return kErrorThread;
    }
    writer_ = std::move(writer);
    stopRequested_ = false;
    newFrame_ = false;
    framesRecorded_ = 0;
    finished_.reset();
    recording_ = true;
    try {
        thread_ = std::thread([this, durationMs] { run(durationMs); });
    } catch (...) {
        recording_ = false;
        writer_->finalize(0);
        writer_.reset();
        return kErrorThread;
    }
    return 0;
}

void AviRecorder::notifyNewFrame() {
    newFrame_.store(true);
    frameArrived_.set();
}

void AviRecorder::requestStop() {
    stopRequested_ = true;
    frameArrived_.set();
}

void AviRecorder::stop() {
    requestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool AviRecorder::recordOneFrame() {
    AviWriter::AppendResult result = AviWriter::AppendResult::WrongFrame;
    const ImageBuffer* frame = nullptr;
    const bool hadPicture = source_.withNewestPicture([&](const ImageBuffer& picture) { frame = producer_.produce(picture); });
    if (!hadPicture || frame == nullptr) {
        return true;  // nothing to record this turn
    }
    result = writer_->appendFrame(*frame);
    switch (result) {
    case AviWriter::AppendResult::Appended:
        framesRecorded_.fetch_add(1);
        return true;
    case AviWriter::AppendResult::SizeLimit:
        platform::logf(LogCategory::Output, "recording ended at the 4 GiB limit after %u frames",
                       writer_->frameCount());
        break;
    default:
        platform::logf(LogCategory::Output, "recording ended: frame write failed after %u frames",
                       writer_->frameCount());
        break;
    }
    if (onError_) {
        onError_(kErrorFile);
    }
    return false;
}

void AviRecorder::run(uint32_t durationMs) {
    bool started = false;
    uint32_t startMs = 0;
    uint32_t lastFrameMs = 0;
    while (!stopRequested_.load()) {
        (void)frameArrived_.wait(kFrameWaitMs);
        if (stopRequested_.load() || !newFrame_.exchange(false)) {
            continue;
        }
        const uint32_t now = platform::tickMs();
        if (!started) {
            started = true;
            startMs = now;
        }
        lastFrameMs = now;
        if (!recordOneFrame()) {
            break;
        }
        if (now - startMs > durationMs) {  // wrap-safe: elapsed since the first frame
            break;
        }
    }
    // Time passed, limit reached, write failed or stopped early: the file
    // is finalised in every case.
    writer_->finalize(started ? lastFrameMs - startMs : 0);
    recording_ = false;
    finished_.set();
}

} // namespace lumvek
