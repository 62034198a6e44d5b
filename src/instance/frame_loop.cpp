// CLumvek: the frame loop on the worker thread and the per-frame work it
// shares with SnapShot: read the newest frame, process it, draw it, hand it
// to the application.
#include <cstring>
#include <pthread.h>

#include "imaging/convert/conversion_kernels.h"
#include "imaging/convert/output_copy.h"
#include "imaging/convert/restride.h"
#include "instance/auto_iris.h"
#include "instance/colour_modes.h"
#include "instance/lumvek.h"
#include "instance/notifier.h"
#include "platform/sync/clock.h"

namespace lumvek {

namespace {
constexpr int kFrameWaitMs = 3000;
// The loop waits for a frame in short slices so that a stop is seen at once.
constexpr int kFrameWaitSliceMs = 100;
constexpr int kWaitFailed = 1;
constexpr int kWaitNoFrame = 2;
constexpr int kWaitFrameReady = 3;
constexpr uint32_t kRateIntervalMs = 1000;
} // namespace

void CLumvek::frameLoop(FramePort port) {
    // Named so that a debugger, top -H or a test can tell it apart.
    (void)pthread_setname_np(pthread_self(), "lumvek-frames");
    while (runFlag_.load() != 0) {
        (void)workerWake_.wait(static_cast<uint32_t>(waitTime_.load()));
        if (runFlag_.load() != 1) {
            continue;
        }
        int result = kWaitNoFrame;
        for (int waited = 0; waited < kFrameWaitMs && runFlag_.load() == 1; waited += kFrameWaitSliceMs) {
            result = port.waitFrame(kFrameWaitSliceMs);
            if (result != kWaitNoFrame) {
                break;
            }
        }
        if (result == kWaitFailed) {
            runFlag_ = 0;
            HWND window;
            {
                platform::MutexLock frame(frameLock_);
                window = callbackWindow_;
            }
            // The code is on the history before the message is posted: an
            // application that reads the history when the message arrives
            // finds it there.
            ReportError(LUMVEK_ERR_DEVICE_LOST);
            postFrameMessage(window, 0, LUMVEK_ERR_DEVICE_LOST);
            // No frame will come: a recording ends now with what it has.
            recorder_->requestStop();
            break;
        }
        if (result != kWaitFrameReady) {
            continue;
        }

        HWND postTo = nullptr;
        LumvekFrameInfo* record = nullptr;
        double irisFactor = 0.0;  // the exposure or gain correction, applied after the frame lock
        {
            platform::MutexLock frame(frameLock_);
            if (!readFrame(port)) {
                postFrameMessage(callbackWindow_, 0, LUMVEK_ERR_FRAME);
                ReportError(LUMVEK_ERR_FRAME);
                continue;
            }
            const bool deliver = !applicationIsBehind();
            if (deliver) {
                record = &frameRecords_[nextFrameRecord_];
                nextFrameRecord_ = (nextFrameRecord_ + 1) % kFrameRecords;
            } else {
                record = &droppedRecord_;  // filled, never posted
                framesDropped_.fetch_add(1);
            }
            const ImageBuffer& raw = rawBuffer();
            record->reserved = 0;
            record->width = raw.width();
            record->height = raw.height();
            record->bitsPerPixel = kColorModeBits[configuredMode_];
            record->buffer = callbackBuffer_;
            updateFrameRate();
            record->frameRateX10 = frameRateX10_.load();

            // A 24-bit picture is the pipeline's own output: its rows go to
            // the callback buffer while they are still in cache.
            RowDelivery delivery;
            if (deliver && callbackBuffer_ != nullptr && configuredMode_ == 2 && callbackSize_ > 0 &&
                static_cast<size_t>(callbackSize_) >= callerBytesFor(outputBuffer())) {
                delivery.rows = static_cast<uint8_t*>(callbackBuffer_);
                delivery.bottomUp = callbackTopDown_ == 0;
            }
            bool delivered = false;
            irisFactor = processFrame(delivery, &delivered);
            publishPicture();
            recorder_->notifyNewFrame();
            state_.setPictureReady(true);
            drawPreview();
            if (deliver && callbackBuffer_ != nullptr && callbackSize_ != 0 && !delivered &&
                !copyOutput(callbackBuffer_, callbackSize_, callbackTopDown_, callbackWindow_)) {
                postTo = nullptr;
            } else if (deliver) {
                postTo = callbackWindow_;
            }
        }
        preview_.present();
        applyAutoIris(irisFactor);
        if (runFlag_.load() == 1 && postTo != nullptr) {
            postFrameMessage(postTo, reinterpret_cast<uintptr_t>(record), 0);
        }
    }
}

// The records in use are those of the frame messages still queued plus the
// one the application is reading (its handler runs one message at a time);
// the next record of the ring is free only while that leaves one over.
bool CLumvek::applicationIsBehind() const {
    if (callbackWindow_ == nullptr) {
        return false;
    }
    const size_t queued = queuedFrameMessages(callbackWindow_, frameRecords_.data(), sizeof frameRecords_);
    return queued + 2 > static_cast<size_t>(kFrameRecords);
}

bool CLumvek::readFrame(const FramePort& port) {
    ImageBuffer& raw = rawBuffer();
    ImageBuffer& delivery = buf(BufferId::Delivery);
    if (delivery.empty()) {
        if (port.latestFrame(raw.pixels(), raw.sizeBytes()) != 0) {
            return false;
        }
        if (needsRestride(raw)) {
            restridePackedRows(raw);
        }
        return true;
    }
    // The device sent more than the window: cut the window out of its packed rows.
    if (port.latestFrame(delivery.pixels(), delivery.sizeBytes()) != 0) {
        return false;
    }
    const size_t bytes = static_cast<size_t>(raw.bytesPerPixel());
    const size_t packedStride = static_cast<size_t>(delivery.width()) * bytes;
    const size_t rowBytes = static_cast<size_t>(frameWindow_.width) * bytes;
    for (int y = 0; y < frameWindow_.height; ++y) {
        const uint8_t* from = delivery.pixels() + static_cast<size_t>(frameWindow_.top + y) * packedStride +
                              static_cast<size_t>(frameWindow_.left) * bytes;
        std::memcpy(raw.row(y), from, rowBytes);
    }
    return true;
}

double CLumvek::processFrame(RowDelivery delivery, bool* delivered) {
    // One snapshot per frame: an edit lands between frames, never inside one.
    const ControlsSnapshot controls = controls_.snapshot();
    const ImageSettings& image = controls.image;
    const GainSettings& gain = controls.gain;
    ImageBuffer& raw = rawBuffer();
    double irisFactor = 0.0;
    if (gain.autoIris == 1 || gain.autoIris == 2) {
        const double d = autoIrisFactor(autoIrisWindowMeans(raw));
        irisFactor = autoIrisChanges(d) ? d : 0.0;
    }

    PipelineSettings settings;
    settings.colourMode = configuredMode_;
    settings.window = frameWindow_;
    settings.mirrorV = gain.vMirror != 0;
    settings.mirrorH = gain.hMirror != 0;
    settings.deviceMirrorsV = deviceMirrorsV_;
    settings.deviceMirrorsH = deviceMirrorsH_;
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
    buffers.output = configuredMode_ >= 2 ? &outputBuffer() : nullptr;
    buffers.colour24 = buf(BufferId::Out24).empty() ? nullptr : &buf(BufferId::Out24);
    buffers.delivery = delivery;
    const FrameOutcome outcome = pipeline_->process(buffers, settings, planes_.get());
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

void CLumvek::applyAutoIris(double d) {
    if (d == 0.0) {
        return;
    }
    platform::MutexLock hold(session_.mutex());
    CameraDevice* device = session_.device();
    if (device == nullptr) {
        return;
    }
    const int mode = controls_.gain().autoIris;
    if (mode == 2) {
        const int next =
            autoIrisGain(device->GetGlobalGain(), d, device->GetGlobalGainMin(), device->GetGlobalGainMax());
        (void)device->SetGlobalGain(next);
        controls_.edit([next](ImageSettings&, GainSettings& g) {
            g.global = g.colorG1 = g.colorR = g.colorB = g.colorG2 = next;
        });
    } else {
        const int next =
            autoIrisExposure(device->GetExposure(), d, device->GetExposureMin(), device->GetExposureMax());
        (void)device->SetExposure(next);
        controls_.edit([next](ImageSettings&, GainSettings& g) { g.exposure = next; });
        refreshExposureSeconds();
    }
}

void CLumvek::updateFrameRate() {
    ++frameCount_;
    const uint32_t now = platform::tickMs();
    const uint32_t elapsed = now - lastRateTime_;
    if (elapsed > kRateIntervalMs) {
        frameRateX10_ = static_cast<int32_t>(static_cast<uint64_t>(frameCount_) * 10000u / elapsed);
        frameCount_ = 0;
        lastRateTime_ = now;
    }
}

void CLumvek::drawPreview() {
    if (!preview_.drawable()) {
        return;
    }
    switch (configuredMode_) {
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
