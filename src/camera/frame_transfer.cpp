// CLumvekU3K7Base: acquisition and the frame transfer thread. The thread
// arms each transfer, reads the frame header and pixel data through the
// controller into the receive buffer, stores complete frames in the ring and
// signals the frame event; it retries lost frames a bounded number of times
// and then gives up with the frame error flag set.
#include <algorithm>
#include <cstring>
#include <system_error>

#include "camera/lumvek_u3k7_base.h"
#include "camera/product_step_runner.h"
#include "camera/product_table.h"
#include "imaging/convert/row_reverse.h"
#include "platform/diag/thread_start.h"
#include "platform/fx3/driver_request.h"
#include "platform/log/log.h"
#include "platform/sync/clock.h"
#include "platform/sync/thread_priority.h"
#include "sensors/sensor_base.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek {

namespace {

using platform::Event;
using platform::LogCategory;
using platform::MutexLock;

constexpr int kModeStopped = 0;
constexpr int kModeOneFrame = 1;
constexpr int kModeNextTag = 2;
constexpr int kModeHeaderOnly = 3;
constexpr int kLastRowGoodRevision = 8;
constexpr uint8_t kFrameTagRegister = 8;
constexpr int kHeaderedFailureLimit = 5;
constexpr int kDirectAttemptLimit = 9;  // give up when the counter is above it
constexpr uint32_t kDirectGiveUpMs = 9999;
constexpr uint32_t kSingleFrameDataTimeoutMs = 3000;
constexpr uint32_t kThreadEndWaitMs = 3000;
constexpr uint32_t kStopSettleMs = 5;

} // namespace

// ---- Events ----

void CLumvekU3K7Base::ensureFrameEvent() {
    MutexLock hold(eventMutex_);
    if (!frameEvent_) {
        frameEvent_ = std::make_shared<Event>(Event::Reset::Auto);
    }
}

std::shared_ptr<Event> CLumvekU3K7Base::frameEvent() const {
    MutexLock hold(eventMutex_);
    return frameEvent_;
}

void CLumvekU3K7Base::signalFrameEvent() {
    if (auto event = frameEvent()) {
        event->set();
    }
}

// ---- Acquisition control (application threads) ----

int CLumvekU3K7Base::SetFrameTimeout(int timeoutMs) {
    frameTimeoutMs_ = timeoutMs;
    return 1;
}

int CLumvekU3K7Base::SetAcquisitionMode(int mode) {
    MutexLock hold(lock_);
    return setAcquisitionModeLocked(mode);
}

int CLumvekU3K7Base::setAcquisitionModeLocked(int mode) {
    if (!controller_) {
        return 0;
    }
    if (mode != acquisitionMode_.load()) {
        stopAcquisitionLocked();
        ensureFrameEvent();
        if (mode == kModeNextTag) {
            ring_.syncWriteToRead();
            (void)readFrameTagLocked();
        }
    }
    acquisitionMode_ = mode;
    return 1;
}

int CLumvekU3K7Base::StartAcquisition(int mode) {
    MutexLock hold(lock_);
    return startAcquisitionLocked(mode);
}

int CLumvekU3K7Base::startAcquisitionLocked(int mode) {
    if (running_.load()) {
        stopAcquisitionLocked();
    }
    ensureFrameEvent();
    if (!setAcquisitionModeLocked(mode)) {
        return 0;
    }
    if (geometryStale_.load()) {
        (void)updateFrameGeometryLocked();  // acquisition starts whatever its result
    }
    if (thread_.joinable()) {
        thread_.join();  // a body that ended by itself (one frame, gave up)
    }
    running_ = 1;
    // Manual reset: once the body has ended, every waiter sees it (a product
    // step waiting for a one-frame run and a later stop alike); an auto-reset
    // event taken by the first would leave the stop waiting for ever.
    TransferContext context{.controller = controller_.get(),
                            .sensor = sensor_.get(),
                            .end = std::make_shared<Event>(Event::Reset::Manual),
                            .mode = acquisitionMode_.load()};
    {
        MutexLock events(eventMutex_);
        threadEnd_ = context.end;
    }
    try {
        thread_ = platform::startThread([this, context] { threadMain(context); });
    } catch (const std::system_error&) {
        // No thread: nothing will ever set the end event, so nothing may wait for it.
        platform::logf(LogCategory::Camera, "frame transfer: the thread could not start");
        running_ = 0;
        context.end->set();
        return 0;
    }
    {
        MutexLock driver(driverLock_);
        if (sensor_) {
            sensor_->OnCaptureStart();
        }
    }
    return 1;
}

void CLumvekU3K7Base::threadMain(const TransferContext& context) {
    platform::raiseCurrentThreadToTimeCritical();
    if (row().frameDirect) {
        (void)RunDirectTransfer(context);
    } else {
        (void)RunHeaderedTransfer(context);
    }
}

int CLumvekU3K7Base::StopAcquisition() {
    MutexLock hold(lock_);
    return stopAcquisitionLocked();
}

int CLumvekU3K7Base::stopAcquisitionLocked() {
    {
        MutexLock driver(driverLock_);
        if (sensor_) {
            sensor_->OnCaptureStop();
        }
    }
    if (controller_) {
        controller_->RequestStreamStop();  // a frame read in progress gives up now
    }
    std::shared_ptr<Event> end;
    {
        MutexLock events(eventMutex_);
        end = threadEnd_;
    }
    if (running_.exchange(0) && end) {
        // The reads of a stopping thread give up within one poll of the stop
        // request; a thread that has not ended in time is logged and then
        // joined (its reads are bounded by their own time-outs).
        if (!end->wait(kThreadEndWaitMs)) {
            platform::logf(LogCategory::Camera, "frame transfer: thread still running %u ms after stop",
                           static_cast<unsigned>(kThreadEndWaitMs));
        }
    }
    if (thread_.joinable()) {
        thread_.join();  // the body has returned (or returns at once): bounded
    }
    if (controller_) {
        controller_->ClearStreamStop();
    }
    std::shared_ptr<Event> event;
    {
        MutexLock events(eventMutex_);
        threadEnd_.reset();
        event = std::move(frameEvent_);
    }
    if (event) {
        event->set();  // a waiter holding it wakes; it is forgotten here
    }
    (void)stopTransferLocked();
    platform::sleepMs(kStopSettleMs);
    acquisitionMode_ = kModeStopped;
    return 1;
}

int CLumvekU3K7Base::StopTransfer() {
    MutexLock hold(lock_);
    return stopTransferLocked();
}

int CLumvekU3K7Base::stopTransferLocked() {
    // Nothing to stop before a camera is selected: the stop steps would reach
    // table entry 0, which may be another instance's camera mid-frame.
    if (!controller_ || !controller_->HasSelectedDevice()) {
        return 0;
    }
    MutexLock driver(driverLock_);
    runProductStopSteps(row(), *this);  // ends with RestartStream
    return 1;
}

int CLumvekU3K7Base::stepWaitAcquisitionEnd(uint32_t timeoutMs) {
    std::shared_ptr<Event> end;
    {
        MutexLock events(eventMutex_);
        end = threadEnd_;
    }
    if (!end) {
        return 1;
    }
    return end->wait(timeoutMs) ? 1 : 0;
}

void CLumvekU3K7Base::applyDeferredExposure(CSensorBase* sensor) {
    if (sensor == nullptr || !deferredExposurePending_.exchange(0)) {
        return;
    }
    MutexLock driver(driverLock_);
    (void)sensor->SetExposureTime(static_cast<uint32_t>(deferredExposureValue_.load()));
}

void CLumvekU3K7Base::storeFrame(FrameRecord& record, int slot, const FrameStamp& stamp) {
    const int bytes = frameBytes_.load();
    if (bytes <= 0 || static_cast<size_t>(bytes) > receiveCapacity_) {
        return;
    }
    counters_.lostInTransfer.fetch_add(stamp.lostInTransferBefore);
    lastFrameNumber_ = stamp.frameNumber;
    // The receive buffer and the ring's buffers have one size: the frame
    // changes places with the ring's oldest instead of being copied, and the
    // next read goes into the buffer that comes back.
    if (record.destination == receiveBuffer_.get() && ring_.exchange(receiveBuffer_, receiveCapacity_, slot, stamp)) {
        record.destination = receiveBuffer_.get();
        countStored(static_cast<uint64_t>(bytes));
        return;
    }
    if (ring_.store(record.destination, static_cast<size_t>(bytes), slot, stamp)) {
        countStored(static_cast<uint64_t>(bytes));
    }
}

void CLumvekU3K7Base::countStored(uint64_t bytes) {
    framesStored_.fetch_add(1);
    counters_.framesStored.fetch_add(1);
    counters_.bytesStored.fetch_add(bytes);
}

namespace {
// The host clocks at one instant of a frame.
void stampHeader(FrameStamp& stamp) {
    stamp.headerMonotonicNs = platform::monotonicNs();
    stamp.headerWallNs = platform::wallClockNs();
}
void stampComplete(FrameStamp& stamp) {
    stamp.completeMonotonicNs = platform::monotonicNs();
    stamp.completeWallNs = platform::wallClockNs();
}
} // namespace

// ---- Thread bodies (frame transfer thread) ----

int CLumvekU3K7Base::RunHeaderedTransfer(const TransferContext& context) {
    CQuelroCy3Cam* const controller = context.controller;
    if (!controller || !receiveBuffer_) {
        context.end->set();
        running_ = 0;
        return 0;
    }
    FrameRecord record;
    record.destination = receiveBuffer_.get();
    record.capacity = static_cast<uint32_t>(receiveCapacity_);
    record.expectedSize = static_cast<uint32_t>(frameBytes_.load());
    frameError_ = false;
    int failures = 0;
    uint32_t failedSinceStored = 0;  // frames failed since the last one stored
    FrameTagCounter numbers(lastFrameNumber_.load());
    FrameStamp stamp;
    const int mode = context.mode;

    if (controller->OpenStream()) {
        while (running_.load()) {
            const uint32_t timeoutMs = static_cast<uint32_t>(std::max(frameTimeoutMs_.load(), 1));
            applyDeferredExposure(context.sensor);
            if (mode == kModeNextTag) {
                uint8_t tag = 0;
                if (controller->ReadFpgaRegister(kFrameTagRegister, &tag) && tag == lastFrameTag_.load()) {
                    platform::sleepMs(1);
                    continue;
                }
                lastFrameTag_ = tag;
            }
            bool ok = controller->ReadFrameHeader(&record) != 0;
            if (ok) {
                stampHeader(stamp);
                if (mode == kModeHeaderOnly) {
                    lastFrameTag_ = static_cast<int>(record.headerWord);
                    break;
                }
                if (mode != kModeNextTag) {
                    lastFrameTag_ = static_cast<int>(record.headerWord);
                }
                ok = controller->ReadFrameData(&record, timeoutMs) != 0;
            }
            if (ok) {
                stampComplete(stamp);
                stamp.fromFrameTag = numbers.next(record.headerWord, failedSinceStored, &stamp.frameNumber,
                                                  &stamp.lostInTransferBefore);
                failedSinceStored = 0;
                failures = 0;
                frameError_ = false;
                storeFrame(record, -1, stamp);
                signalFrameEvent();
                if (mode == kModeOneFrame || mode == kModeNextTag) {
                    break;
                }
                continue;
            }
            if (!running_.load()) {
                break;  // stopped during the read: not a failed frame
            }
            // Recovery: a clean pipe for the next header.
            counters_.failedFrames.fetch_add(1);
            ++failedSinceStored;
            controller->CloseStream();
            const bool giveUpAtOnce = mode == kModeNextTag && row().noRetryInTriggerMode2;
            if (giveUpAtOnce || ++failures >= kHeaderedFailureLimit) {
                platform::logf(LogCategory::Camera, "frame transfer: giving up after %d failed frame(s)", failures);
                frameError_ = true;
                signalFrameEvent();
                break;
            }
            counters_.streamResets.fetch_add(1);
            if (row().resetPipeOnRecovery) {
                (void)controller->ResetPipe(fx3::kEndpointFrames);
            }
            if (context.sensor) {
                // Not a driver setting: FPGA register writes through the
                // controller, whose register lock serialises them.
                (void)context.sensor->PulseFpgaReset();
            }
            (void)controller->OpenStream();
        }
    }
    controller->CloseStream();
    context.end->set();
    if (frameError_.load()) {
        signalFrameEvent();
    }
    running_ = 0;
    return 1;
}

int CLumvekU3K7Base::RunDirectTransfer(const TransferContext& context) {
    CQuelroCy3Cam* const controller = context.controller;
    if (!controller || !receiveBuffer_) {
        context.end->set();
        running_ = 0;
        return 0;
    }
    FrameRecord record;
    record.destination = receiveBuffer_.get();
    record.capacity = static_cast<uint32_t>(receiveCapacity_);
    record.expectedSize = static_cast<uint32_t>(frameBytes_.load());
    (void)controller->RestartStream();
    frameError_ = false;
    uint32_t lastGood = platform::tickMs();
    const int mode = context.mode;
    // Whole frames carry no tag: the thread counts frames itself, a failed
    // transfer being one frame lost.
    FrameTagCounter numbers(lastFrameNumber_.load());
    uint32_t failedSinceStored = 0;
    if (controller->OpenStream()) {
        int attempts = 0;
        while (running_.load()) {
            if (controller->ReadFrameDirect(&record)) {
                lastGood = platform::tickMs();
                frameError_ = false;
                FrameStamp stamp;
                stampComplete(stamp);
                stamp.headerMonotonicNs = stamp.completeMonotonicNs;
                stamp.headerWallNs = stamp.completeWallNs;
                stamp.frameNumber = numbers.nextUntagged(failedSinceStored);
                stamp.lostInTransferBefore = failedSinceStored;
                failedSinceStored = 0;
                storeFrame(record, -1, stamp);
                signalFrameEvent();
                if (mode == kModeOneFrame) {
                    break;
                }
                attempts = 0;
                continue;
            }
            if (!running_.load()) {
                break;  // stopped during the read
            }
            if (platform::tickMs() - lastGood > kDirectGiveUpMs || attempts > kDirectAttemptLimit) {
                frameError_ = true;
                break;
            }
            counters_.failedFrames.fetch_add(1);
            counters_.streamResets.fetch_add(1);
            ++failedSinceStored;
            (void)controller->ResetPort();
            (void)controller->RestartStream();
            (void)controller->ResetPipe(fx3::kEndpointFrames);
            ++attempts;
        }
    }
    controller->CloseStream();
    context.end->set();
    running_ = 0;
    return 1;
}

int CLumvekU3K7Base::RunSingleFrame() {
    MutexLock hold(lock_);
    if (!controller_) {
        return 2;
    }
    if (geometryStale_.load()) {
        (void)updateFrameGeometryLocked();
    }
    if (!receiveBuffer_) {
        return 2;
    }
    const bool direct = row().frameDirect;
    FrameRecord record;
    record.destination = receiveBuffer_.get();
    record.capacity = static_cast<uint32_t>(receiveCapacity_);
    record.expectedSize = static_cast<uint32_t>(frameBytes_.load());
    if (direct) {
        (void)controller_->RestartStream();
    }
    frameError_ = false;
    const uint32_t started = platform::tickMs();
    FrameTagCounter numbers(lastFrameNumber_.load());
    uint32_t failedSinceStored = 0;
    if (controller_->OpenStream()) {
        for (int attempts = 0;;) {
            FrameStamp stamp;
            stampHeader(stamp);
            const bool ok = direct ? controller_->ReadFrameDirect(&record) != 0
                                   : controller_->ReadFrameHeader(&record) &&
                                         controller_->ReadFrameData(&record, kSingleFrameDataTimeoutMs);
            if (ok) {
                // One frame on its own: its tag says nothing about frames before it.
                stampComplete(stamp);
                stamp.frameNumber = numbers.nextUntagged(failedSinceStored);
                stamp.lostInTransferBefore = failedSinceStored;
                storeFrame(record, 0, stamp);
                break;
            }
            counters_.failedFrames.fetch_add(1);
            ++failedSinceStored;
            if (platform::tickMs() - started > kDirectGiveUpMs || attempts > kDirectAttemptLimit) {
                frameError_ = true;
                break;
            }
            ++attempts;
            if (direct) {
                (void)controller_->ResetPort();
            }
        }
    }
    controller_->CloseStream();
    {
        MutexLock events(eventMutex_);
        if (threadEnd_) threadEnd_->set();
    }
    running_ = 0;
    return 0;
}

// ---- Frames out (application threads) ----

int CLumvekU3K7Base::WaitFrame(int timeoutMs) {
    if (frameError_.load()) {
        return 1;
    }
    auto event = frameEvent();  // kept alive while waiting, even if a stop forgets it
    if (!event) {
        return 2;
    }
    if (!event->wait(timeoutMs < 0 ? platform::kInfinite : static_cast<uint32_t>(timeoutMs))) {
        return 2;
    }
    if (frameError_.load()) {
        return 1;
    }
    return ring_.writeIndex() != ring_.readIndex() ? 3 : 2;
}

int CLumvekU3K7Base::CopyFrame(uint8_t* buffer, size_t length, bool oldest, int flag) {
    int slot = -1;
    return copyFrameOut(buffer, length, oldest, flag, &slot);
}

int CLumvekU3K7Base::copyFrameOut(uint8_t* buffer, size_t length, bool oldest, int flag, int* slot,
                                  FrameStamp* stamp) {
    const int frameBytes = frameBytes_.load();
    if (buffer == nullptr || frameBytes <= 0 || length < static_cast<size_t>(frameBytes)) {
        return 0;
    }
    FrameRing::ReadPin pin = ring_.pin(oldest);
    if (!pin.valid() || static_cast<size_t>(frameBytes) > ring_.bufferBytes()) {
        return 0;
    }
    *slot = pin.slot();
    if (stamp != nullptr) {
        *stamp = pin.stamp();
    }
    const uint8_t* source = pin.data();
    const size_t total = static_cast<size_t>(frameBytes);
    CopyLayout layout;
    {
        MutexLock hold(layoutLock_);
        layout = copyLayout_;
    }
    if (!layout.hasDriver) {
        std::memcpy(buffer, source, total);  // no orientation to undo
        return 1;
    }
    const size_t bytesPerPixel = colorMode_.load() != 0 ? 2 : 1;
    const size_t width = layout.width > 0 ? static_cast<size_t>(layout.width) : 0;
    const size_t height = layout.height > 0 ? static_cast<size_t>(layout.height) : 0;
    const size_t rowBytes = width * bytesPerPixel;
    if (row().lastRowRepair) {
        std::memcpy(buffer, source, total);  // no orientation to undo
        // Heads of firmware revision below 8 send a broken last row: it is
        // replaced by the row before it.
        if (layout.revision < kLastRowGoodRevision && height >= 2 && rowBytes * height <= total) {
            std::memcpy(buffer + (height - 1) * rowBytes, source + (height - 2) * rowBytes, rowBytes);
        }
        return 1;
    }
    const int m = layout.rawOrientation;
    const bool bottomUp = m == 3 || m == 4;
    const bool reverseRows = (flag == 0 && !bottomUp) || (flag == 1 && bottomUp);
    const bool reversePixels = m == 2 || m == 4;
    if (rowBytes == 0 || height == 0 || rowBytes * height > total || (!reverseRows && !reversePixels)) {
        std::memcpy(buffer, source, total);
        return 1;
    }
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* from = source + (reverseRows ? height - 1 - y : y) * rowBytes;
        uint8_t* to = buffer + y * rowBytes;
        if (!reversePixels) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        reverseRow(to, from, width, bytesPerPixel);
    }
    return 1;
}

int CLumvekU3K7Base::GetLatestFrame(uint8_t* buffer, size_t capacity, int flag) {
    return GetLatestFrameStamped(buffer, capacity, flag, nullptr);
}

int CLumvekU3K7Base::GetLatestFrameStamped(uint8_t* buffer, size_t capacity, int flag, FrameStamp* stamp) {
    // The frame taken is the one pinned, so a frame stored during the copy
    // still counts as new for the next WaitFrame.
    int slot = -1;
    FrameStamp taken;
    const int copied = copyFrameOut(buffer, capacity, false, flag, &slot, &taken);
    ring_.markRead(slot);
    if (copied) {
        countTaken(taken);
    }
    if (stamp != nullptr) {
        *stamp = copied ? taken : FrameStamp{};
    }
    return copied ? 0 : 1;
}

int CLumvekU3K7Base::PinLatestFrame(std::optional<PinnedFrame>& out, size_t capacity, int flag) {
    out.reset();
    const int frameBytes = frameBytes_.load();
    if (frameBytes <= 0 || capacity < static_cast<size_t>(frameBytes)) {
        ring_.markRead(-1);  // as a failed GetLatestFrameStamped
        return 1;
    }
    if (row().lastRowRepair) {
        return 2;  // the repaired last row is a copy of the one before
    }
    CopyLayout layout;
    {
        MutexLock hold(layoutLock_);
        layout = copyLayout_;
    }
    // The rows as copyFrameOut lays them out; a frame that is not whole rows of the window is copied whole.
    FrameRowOrder order;
    order.bytesPerPixel = colorMode_.load() != 0 ? 2 : 1;
    order.width = layout.width > 0 ? static_cast<size_t>(layout.width) : 0;
    order.height = layout.height > 0 ? layout.height : 0;
    if (!layout.hasDriver || order.rowBytes() * static_cast<size_t>(order.height) != static_cast<size_t>(frameBytes) ||
        order.height == 0) {
        return 2;
    }
    const int m = layout.rawOrientation;
    const bool bottomUp = m == 3 || m == 4;
    order.reverseRows = (flag == 0 && !bottomUp) || (flag == 1 && bottomUp);
    order.reversePixels = m == 2 || m == 4;
    FrameRing::ReadPin pin = ring_.pin(false);
    if (!pin.valid() || static_cast<size_t>(frameBytes) > ring_.bufferBytes()) {
        ring_.markRead(-1);
        return 1;
    }
    const FrameStamp taken = pin.stamp();
    ring_.markRead(pin.slot());
    countTaken(taken);
    out.emplace(std::move(pin), order);
    return 0;
}

void CLumvekU3K7Base::countTaken(const FrameStamp& stamp) {
    if (stamp.storedSequence == 0) {
        return;
    }
    const uint64_t before = lastTakenSequence_.exchange(stamp.storedSequence);
    if (stamp.storedSequence > before + 1) {
        counters_.overwrittenInRing.fetch_add(stamp.storedSequence - before - 1);
    }
    if (stamp.storedSequence != before) {
        counters_.framesTaken.fetch_add(1);
    }
}

int CLumvekU3K7Base::GetFirstFrame(uint8_t* buffer, size_t length, int flag) {
    if (buffer == nullptr) {
        return -2;
    }
    (void)CopyFrame(buffer, length, true, flag);
    return 0;
}

} // namespace lumvek
