// CLumvek: the frame loop on the worker thread (wait for a frame, let the
// capture engine process it, present the preview, correct exposure or gain,
// post the frame message) and the automatic exposure and gain step.
#include <pthread.h>

#include "instance/auto_iris.h"
#include "instance/lumvek.h"

namespace lumvek {

namespace {
constexpr int kFrameWaitMs = 3000;
// The loop waits for a frame in short slices so that a stop is seen at once.
constexpr int kFrameWaitSliceMs = 100;
constexpr int kWaitFailed = 1;
constexpr int kWaitNoFrame = 2;
constexpr int kWaitFrameReady = 3;
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
            const HWND window = engine_.callbackWindow();
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

        // Under the frame lock; everything after it runs without.
        const CaptureEngine::LoopFrame frame = engine_.loopFrame(port);
        if (!frame.read) {
            continue;
        }
        const HWND postTo = frame.postTo;
        LumvekFrameInfo* record = frame.record;
        const double irisFactor = frame.irisFactor;
        recorder_->notifyNewFrame();
        state_.setPictureReady(true);
        preview_.present();
        applyAutoIris(irisFactor);
        // Read once: a stop between counting the frame and posting its
        // message would count a frame the application never hears of.
        const bool posting = runFlag_.load() == 1 && postTo != nullptr;
        if (frame.delivered && (posting || postTo == nullptr)) {
            // Before the message: a handler reading the metadata finds this frame's.
            engine_.handedOver(record, frame.metadata, frame.bytes);
        }
        if (posting) {
            postFrameMessage(postTo, reinterpret_cast<uintptr_t>(record), 0);
        }
    }
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

} // namespace lumvek
