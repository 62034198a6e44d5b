// CaptureEngine: the per-frame work of the frame loop and SnapShot, and the
// buffers, window and records it uses.
#include "instance/capture_engine.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "imaging/convert/conversion_kernels.h"
#include "imaging/convert/output_copy.h"
#include "imaging/convert/restride.h"
#include "instance/auto_iris.h"
#include "instance/colour_modes.h"
#include "instance/notifier.h"
#include "platform/sync/clock.h"

namespace lumvek {

namespace {

constexpr uint32_t kRateIntervalMs = 1000;

// (Re)makes buffer at the size and depth asked for; keeps it when it already fits.
bool ensure(ImageBuffer& buffer, int width, int height, int bits) {
    if (buffer.width() == width && buffer.height() == height && buffer.bitsPerPixel() == bits && !buffer.empty()) {
        return true;
    }
    return buffer.create(width, height, bits);
}

void releaseUnless(ImageBuffer& buffer, bool used) {
    if (!used) {
        buffer.destroy();
    }
}

} // namespace

bool CaptureEngine::makeBuffers() {
    platform::MutexLock hold(lock_);
    bool made = true;
    for (auto& buffer : buffers_) {
        buffer.reset(new (std::nothrow) ImageBuffer());
        made = made && buffer != nullptr;
    }
    pipeline_ = std::make_unique<FramePipeline>();
    return made;
}

bool CaptureEngine::makePlanes(int width, int height) {
    // Dark references and masks start at 0, the white references at full scale.
    auto planes = std::make_unique<DefectPlanes>();
    if (!planes->create(width, height)) {
        return false;
    }
    platform::MutexLock hold(lock_);
    planes_ = std::move(planes);
    return true;
}

void CaptureEngine::freeBuffers() {
    platform::MutexLock hold(lock_);
    for (auto& buffer : buffers_) {
        buffer.reset();
    }
}

DefectPlanes* CaptureEngine::planes() {
    platform::MutexLock hold(lock_);
    return planes_.get();
}

CaptureWindowRecord CaptureEngine::window() const {
    platform::MutexLock hold(lock_);
    return window_;
}

void CaptureEngine::setWindow(const CaptureWindowRecord& window) {
    platform::MutexLock hold(lock_);
    window_ = window;
}

std::vector<std::pair<int32_t, int32_t>> CaptureEngine::configList() const {
    platform::MutexLock hold(lock_);
    return configList_;
}

void CaptureEngine::setConfigList(std::vector<std::pair<int32_t, int32_t>> pairs) {
    platform::MutexLock hold(lock_);
    configList_ = std::move(pairs);
}

CaptureWindow CaptureEngine::frameWindow() const {
    platform::MutexLock hold(lock_);
    return geometry_.window;
}

void CaptureEngine::setCallback(HWND window, void* buffer, int size, int topDown) {
    platform::MutexLock hold(lock_);
    callbackWindow_ = window;
    callbackBuffer_ = buffer;
    callbackSize_ = size;
    callbackTopDown_ = topDown;
}

HWND CaptureEngine::callbackWindow() const {
    platform::MutexLock hold(lock_);
    return callbackWindow_;
}

void CaptureEngine::restartFrameRate() {
    platform::MutexLock hold(lock_);
    frameCount_ = 0;
    lastRateTime_ = platform::tickMs();
    frameRateX10_ = 0;
}

const ImageBuffer* CaptureEngine::buffer(BufferId id) const {
    platform::MutexLock hold(lock_);
    return buffers_[static_cast<int>(id)].get();
}

ImageBuffer& CaptureEngine::rawBuffer() {
    return buf(isSixteenBitMode(geometry_.mode) ? BufferId::Raw16 : BufferId::Raw8);
}

ImageBuffer& CaptureEngine::outputBuffer() {
    static constexpr BufferId kOutput[] = {BufferId::Raw8,  BufferId::Raw16, BufferId::Out24,
                                           BufferId::Out32, BufferId::Out48, BufferId::Out64};
    return buf(kOutput[geometry_.mode]);
}

bool CaptureEngine::configure(const FrameGeometry& geometry) {
    platform::MutexLock hold(lock_);
    const ImageBuffer& before = outputBuffer();
    const int widthBefore = before.width();
    const int heightBefore = before.height();
    const int bitsBefore = before.bitsPerPixel();
    const int mode = geometry.mode;
    const int w = geometry.window.width;
    const int h = geometry.window.height;
    // Readers of the configured mode and window take this lock, so they
    // never see a mode whose buffers are not made yet.
    geometry_ = geometry;
    const int deliveredWidth_ = geometry.deliveredWidth;
    const int deliveredHeight_ = geometry.deliveredHeight;
    bool ok = true;
    if (mode <= 3) {
        ok = ok && ensure(buf(BufferId::Raw8), w, h, 8);
    }
    if (isSixteenBitMode(mode)) {
        ok = ok && ensure(buf(BufferId::Raw16), w, h, 16);
    }
    if (mode != 1) {
        ok = ok && ensure(buf(BufferId::Out24), w, h, 24);
    }
    if (mode == 3) {
        ok = ok && ensure(buf(BufferId::Out32), w, h, 32);
    }
    if (mode == 4) {
        ok = ok && ensure(buf(BufferId::Out48), w, h, 48);
    }
    if (mode == 5) {
        ok = ok && ensure(buf(BufferId::Out64), w, h, 64);
    }
    // The buffers of other modes go: frames of the mode before must not stay resident.
    releaseUnless(buf(BufferId::Raw8), mode <= 3);
    releaseUnless(buf(BufferId::Raw16), isSixteenBitMode(mode));
    releaseUnless(buf(BufferId::Out24), mode != 1);
    releaseUnless(buf(BufferId::Out32), mode == 3);
    releaseUnless(buf(BufferId::Out48), mode == 4);
    releaseUnless(buf(BufferId::Out64), mode == 5);
    // A device that delivers more than the window (the R13 always sends its
    // whole sensor) fills the delivery buffer; the window is cut from it.
    const bool cut = deliveredWidth_ != w || deliveredHeight_ != h;
    if (cut) {
        ok = ok && ensure(buf(BufferId::Delivery), deliveredWidth_, deliveredHeight_, isSixteenBitMode(mode) ? 16 : 8);
    } else {
        buf(BufferId::Delivery).destroy();
    }
    if (ok) {
        preview_.prepare(mode <= 1 ? 8 : 24);
    }
    finished_.clearUnlessLike(outputBuffer());
    const ImageBuffer& after = outputBuffer();
    outputFinished_ = outputFinished_ && ok && after.width() == widthBefore && after.height() == heightBefore &&
                      after.bitsPerPixel() == bitsBefore;
    return ok;
}

CaptureEngine::LoopFrame CaptureEngine::loopFrame(const FramePort& port) {
    LoopFrame result;
    platform::MutexLock hold(lock_);
    if (!readFrame(port, &result.metadata, true)) {
        postFrameMessage(callbackWindow_, 0, LUMVEK_ERR_FRAME);
        errors_.report(LUMVEK_ERR_FRAME);
        return result;
    }
    result.read = true;
    result.bytes = rawBuffer().sizeBytes();
    const bool deliver = !applicationIsBehind();
    result.delivered = deliver;
    LumvekFrameInfo* record;
    if (deliver) {
        record = &frameRecords_[nextFrameRecord_];
        nextFrameRecord_ = (nextFrameRecord_ + 1) % kFrameRecords;
        countLostBefore(result.metadata);
    } else {
        record = &droppedRecord_;  // filled, never posted
        framesDropped_.fetch_add(1);
        statistics_.notDelivered();
    }
    const ImageBuffer& raw = rawBuffer();
    record->reserved = 0;
    record->width = raw.width();
    record->height = raw.height();
    record->bitsPerPixel = kColorModeBits[geometry_.mode];
    record->buffer = callbackBuffer_;
    updateFrameRate();
    record->frameRateX10 = frameRateX10_.load();

    // A 24-bit picture is the pipeline's own output: its rows go to the
    // callback buffer while they are still in cache.
    RowDelivery delivery;
    if (deliver && callbackBuffer_ != nullptr && geometry_.mode == 2 && callbackSize_ > 0 &&
        static_cast<size_t>(callbackSize_) >= callerBytesFor(outputBuffer())) {
        delivery.rows = static_cast<uint8_t*>(callbackBuffer_);
        delivery.bottomUp = callbackTopDown_ == 0;
    }
    bool delivered = false;
    result.irisFactor = processFrame(result.metadata, delivery, &delivered);
    outputMetadata_ = result.metadata;
    publishPicture();
    stagePreview();
    if (deliver && callbackBuffer_ != nullptr && callbackSize_ != 0 && !delivered &&
        !copyPicture(outputBuffer(), callbackBuffer_, callbackSize_, callbackTopDown_, callbackWindow_)) {
        result.postTo = nullptr;
    } else if (deliver) {
        result.postTo = callbackWindow_;
    }
    result.record = record;
    return result;
}

CaptureEngine::SnapFrame CaptureEngine::snapFrame(const FramePort& port, void* buffer, int size, int topDown) {
    SnapFrame result;
    platform::MutexLock hold(lock_);
    if (!readFrame(port, &result.metadata)) {
        postFrameMessage(callbackWindow_, 0, LUMVEK_ERR_FRAME);
        result.failure = LUMVEK_ERR_FRAME;
        return result;
    }
    result.bytes = rawBuffer().sizeBytes();
    countLostBefore(result.metadata);
    result.irisFactor = processFrame(result.metadata);
    outputMetadata_ = result.metadata;
    publishPicture();
    if (buffer != nullptr && size != 0 && !copyPicture(outputBuffer(), buffer, size, topDown, callbackWindow_)) {
        result.failure = LUMVEK_ERR_MEMORY;
    }
    return result;
}

void CaptureEngine::countLostBefore(DeliveryMetadata& metadata) {
    const uint64_t number = metadata.stamp.frameNumber;
    if (number != 0 && lastDeliveredNumber_ != 0 && number > lastDeliveredNumber_) {
        metadata.framesLostBefore = static_cast<uint32_t>(std::min<uint64_t>(number - lastDeliveredNumber_ - 1, UINT32_MAX));
    }
    if (number != 0) {
        lastDeliveredNumber_ = number;
    }
}

void CaptureEngine::handedOver(LumvekFrameInfo* record, DeliveryMetadata metadata, uint64_t bytes) {
    metadata.deliveredMonotonicNs = platform::monotonicNs();
    const int index = recordIndex(record);
    if (index >= 0) {
        delivered_.deliveredWithRecord(index, metadata);
    } else {
        delivered_.delivered(metadata);
    }
    statistics_.delivered(metadata, bytes, metadata.deliveredMonotonicNs);
}

int CaptureEngine::recordIndex(const LumvekFrameInfo* record) const {
    // Only the records' addresses are compared: none is read.
    for (int i = 0; i < kFrameRecords; ++i) {
        if (record == &frameRecords_[static_cast<size_t>(i)]) {
            return i;
        }
    }
    return -1;
}

bool CaptureEngine::copyRawFrame(ImageBuffer& out) {
    platform::MutexLock hold(lock_);
    const ImageBuffer& raw = rawBuffer();
    if (raw.empty()) {
        out.destroy();
        return true;
    }
    if (!out.createLike(raw)) {
        return false;
    }
    std::memcpy(out.pixels(), raw.pixels(), raw.sizeBytes());
    return true;
}

void CaptureEngine::publishPicture() {
    outputFinished_ = true;
    if (finished_.wanted()) {
        (void)finished_.publish(outputBuffer(), outputBits(), outputMetadata_);
    }
}

int CaptureEngine::outputBits() const {
    return kColorModeBits[geometry_.mode];
}

bool CaptureEngine::copyPicture(const ImageBuffer& picture, void* buffer, int size, int topDown, HWND callbackWindow) {
    if (size < 0 || static_cast<size_t>(size) < callerBytesFor(picture) ||
        !copyToCaller(picture, buffer, static_cast<size_t>(size), topDown != 0)) {
        postFrameMessage(callbackWindow, 0, LUMVEK_ERR_MEMORY);
        errors_.report(LUMVEK_ERR_MEMORY);
        return false;
    }
    return true;
}

void CaptureEngine::postFrameMessage(HWND window, uintptr_t wParam, intptr_t lParam) {
    if (window != nullptr) {
        (void)postToWindow(window, LUMVEK_WM_FRAME, wParam, lParam);
    }
}

// The records in use are those of the frame messages still queued plus the
// one the application is reading (its handler runs one message at a time);
// the next record of the ring is free only while that leaves one over.
bool CaptureEngine::applicationIsBehind() const {
    if (callbackWindow_ == nullptr) {
        return false;
    }
    const size_t queued = queuedFrameMessages(callbackWindow_, frameRecords_.data(), sizeof frameRecords_);
    return queued + 2 > static_cast<size_t>(kFrameRecords);
}

bool CaptureEngine::readFrame(const FramePort& port, DeliveryMetadata* metadata, bool rowsLater) {
    ImageBuffer& raw = rawBuffer();
    ImageBuffer& delivery = buf(BufferId::Delivery);
    *metadata = DeliveryMetadata{};
    metadata->colourModeBits = kColorModeBits[geometry_.mode];
    metadata->window = geometry_.window;
    pinned_.reset();
    if (rowsLater && delivery.empty() && !raw.empty() && !needsRestride(raw)) {
        const int pinned = port.pinLatestFrame(pinned_, raw.sizeBytes());
        if (pinned == 1) {
            return false;
        }
        if (pinned == 0) {
            metadata->stamp = pinned_->stamp();
            const FrameRowOrder& order = pinned_->order();
            const size_t rowBytes = static_cast<size_t>(raw.width()) * static_cast<size_t>(raw.bytesPerPixel());
            if (order.height == raw.height() && order.rowBytes() == rowBytes) {
                return true;  // the rows come in with the chain's first step
            }
            // Rows of another width: packed into the buffer, as a whole copy would put them.
            if (order.rowBytes() * static_cast<size_t>(order.height) <= raw.sizeBytes()) {
                pinned_->copyRows(raw.pixels(), order.rowBytes(), 0, order.height);
            }
            pinned_.reset();
            return true;
        }
    }
    if (delivery.empty()) {
        if (port.latestFrame(raw.pixels(), raw.sizeBytes(), &metadata->stamp) != 0) {
            return false;
        }
        if (needsRestride(raw)) {
            restridePackedRows(raw);
        }
        return true;
    }
    // The device sent more than the window: cut the window out of its packed rows.
    if (port.latestFrame(delivery.pixels(), delivery.sizeBytes(), &metadata->stamp) != 0) {
        return false;
    }
    const size_t bytes = static_cast<size_t>(raw.bytesPerPixel());
    const size_t packedStride = static_cast<size_t>(delivery.width()) * bytes;
    const size_t rowBytes = static_cast<size_t>(geometry_.window.width) * bytes;
    for (int y = 0; y < geometry_.window.height; ++y) {
        const uint8_t* from = delivery.pixels() + static_cast<size_t>(geometry_.window.top + y) * packedStride +
                              static_cast<size_t>(geometry_.window.left) * bytes;
        std::memcpy(raw.row(y), from, rowBytes);
    }
    return true;
}

double CaptureEngine::processFrame(DeliveryMetadata& metadata, RowDelivery delivery, bool* delivered) {
    // One snapshot per frame: an edit lands between frames, never inside one.
    const ControlsSnapshot controls = controls_.snapshot();
    const ImageSettings& image = controls.image;
    const GainSettings& gain = controls.gain;
    metadata.exposure = gain.exposure;
    metadata.gain = gain.global;
    ImageBuffer& raw = rawBuffer();
    RawRowSource source;
    if (pinned_) {
        source.context = &*pinned_;
        source.copyRows = [](const void* frame, uint8_t* rows, size_t stride, int y0, int y1) {
            static_cast<const PinnedFrame*>(frame)->copyRows(rows, stride, y0, y1);
        };
    }
    double irisFactor = 0.0;
    if (gain.autoIris == 1 || gain.autoIris == 2) {
        source.copy(raw.pixels(), static_cast<size_t>(raw.stride()), 0, raw.height());  // the means read the whole frame
        source = {};
        const double d = autoIrisFactor(autoIrisWindowMeans(raw));
        irisFactor = autoIrisChanges(d) ? d : 0.0;
    }

    PipelineSettings settings;
    settings.colourMode = geometry_.mode;
    settings.window = geometry_.window;
    settings.mirrorV = gain.vMirror != 0;
    settings.mirrorH = gain.hMirror != 0;
    settings.deviceMirrorsV = geometry_.deviceMirrorsV;
    settings.deviceMirrorsH = geometry_.deviceMirrorsH;
    const FilterSettings& f = image.filter;
    settings.bayerMode = f.bayerMode;
    settings.bayerGainRed = f.rGain;
    settings.bayerGainGreen = f.gGain;
    settings.bayerGainBlue = f.bGain;
    settings.whiteBalanceAuto = image.autoWhiteBalance != 0;
    settings.whiteBalanceOneShot1 = image.whiteBalanceOneShot[0] != 0;
    settings.whiteBalanceOneShot2 = image.whiteBalanceOneShot[1] != 0;
    settings.hue = f.hue;
    settings.saturation = f.saturation;
    settings.gamma = f.gamma;
    settings.contrast = f.contrast;
    settings.sharpness = f.sharpness;
    settings.brightness = f.brightness;
    settings.maskFilter = image.maskFilter != 0;
    settings.dotFilter = image.dotFilter != 0;
    settings.grayMode = image.gray.mode;
    settings.grayLevels.gain = {image.gray.gainR, image.gray.gainG1, image.gray.gainG2, image.gray.gainB};
    settings.grayLevels.offset = {image.gray.offsetR, image.gray.offsetG1, image.gray.offsetG2, image.gray.offsetB};
    settings.grayMeasureRequest = image.grayMeasureRequest != 0;

    FrameBuffers buffers;
    buffers.raw = &raw;
    buffers.rawSource = source;
    buffers.output = geometry_.mode >= 2 ? &outputBuffer() : nullptr;
    buffers.colour24 = buf(BufferId::Out24).empty() ? nullptr : &buf(BufferId::Out24);
    buffers.delivery = delivery;
    const FrameOutcome outcome = pipeline_->process(buffers, settings, planes_.get());
    pinned_.reset();  // every row is in the raw buffer now
    if (delivered != nullptr) {
        *delivered = outcome.delivered;
    }

    if (outcome.bayerGainsChanged || outcome.grayGainsChanged) {
        controls_.edit([&](ImageSettings& kept, GainSettings&) {
            if (outcome.bayerGainsChanged) {
                kept.filter.rGain = settings.bayerGainRed;
                kept.filter.gGain = settings.bayerGainGreen;
                kept.filter.bGain = settings.bayerGainBlue;
                kept.whiteBalanceOneShot[0] = settings.whiteBalanceOneShot1 ? 1 : 0;
                kept.whiteBalanceOneShot[1] = settings.whiteBalanceOneShot2 ? 1 : 0;
            }
            if (outcome.grayGainsChanged) {
                kept.gray.gainR = settings.grayLevels.gain[kGrayR];
                kept.gray.gainG1 = settings.grayLevels.gain[kGrayG1];
                kept.gray.gainG2 = settings.grayLevels.gain[kGrayG2];
                kept.gray.gainB = settings.grayLevels.gain[kGrayB];
                kept.grayMeasureRequest = settings.grayMeasureRequest ? 1 : 0;
            }
        });
    }
    return irisFactor;
}

void CaptureEngine::updateFrameRate() {
    ++frameCount_;
    const uint32_t now = platform::tickMs();
    const uint32_t elapsed = now - lastRateTime_;
    if (elapsed > kRateIntervalMs) {
        frameRateX10_ = static_cast<int32_t>(static_cast<uint64_t>(frameCount_) * 10000u / elapsed);
        frameCount_ = 0;
        lastRateTime_ = now;
    }
}

void CaptureEngine::stagePreview() {
    if (!preview_.drawable()) {
        return;
    }
    switch (geometry_.mode) {
    case 0:
        preview_.stage(buf(BufferId::Raw8), false, false);
        break;
    case 1:
        // 16-bit samples carry 10 significant bits; the conversion turns the rows.
        (void)convertImage(buf(BufferId::Raw8), Conversion::TenBitTo8Flipped, buf(BufferId::Raw16));
        preview_.stage(buf(BufferId::Raw8), true, true);
        break;
    case 2:
        preview_.stage(buf(BufferId::Out24), false, false);
        break;
    case 3:
        (void)convertImage(buf(BufferId::Out24), Conversion::Copy24, buf(BufferId::Out32));
        preview_.stage(buf(BufferId::Out24), false, false);
        break;
    default:
        (void)convertImage(buf(BufferId::Out24), Conversion::HighBytesTo24, outputBuffer());
        preview_.stage(buf(BufferId::Out24), false, false);
        break;
    }
}

} // namespace lumvek
