#include "camera_feed.h"

#include <algorithm>
#include <numeric>

#include "camera_count.h"
#include "frame_layout.h"
#include "sdk_errors.h"

namespace lumvek::gst {

namespace {
// The rate is measured over this many frame intervals after the first
// frames (which come late: buffers are allocated, the sensor starts), each
// waited for up to kMeasureFrameWaitMs (a slow machine processes a colour
// frame slowly).
constexpr int kMeasureWarmUpFrames = 2;
constexpr int kMeasureIntervals = 8;
constexpr int kMeasureFrameWaitMs = 10000;
constexpr int kMeasureBits = 8;
// Rates are given to a tenth of a frame per second.
constexpr int kRateDenominator = 10;

constexpr VideoFormat kFormats[] = {
    {"GRAY8", 8},
    {"GRAY16_LE", 16},
    {"BGR", 24},
    {"BGRx", 32},
};
} // namespace

std::span<const VideoFormat> videoFormats() {
    return kFormats;
}

const VideoFormat* formatByName(const std::string& name) {
    const auto it = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [&](const VideoFormat& format) { return name == format.name; });
    return it == std::end(kFormats) ? nullptr : &*it;
}

const VideoFormat* formatByBits(int bitsPerPixel) {
    const auto it = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [&](const VideoFormat& format) { return format.bitsPerPixel == bitsPerPixel; });
    return it == std::end(kFormats) ? nullptr : &*it;
}

size_t frameBytes(int width, int height, int bitsPerPixel) {
    const auto layout = tool::frameLayout(width, height, bitsPerPixel);
    return layout ? layout->sdkBytes() : 0;
}

CameraFeed::~CameraFeed() {
    close();
}

bool CameraFeed::failed(const std::string& what) {
    const int pushed = handle_ != 0 ? Lumvek_GetLastError(handle_) : 0;
    int posted = 0;
    LumvekMsg message{};
    while (notifyWindow_ != nullptr && LumvekWnd_GetMessage(notifyWindow_, &message, 0) == 1) {
        if (message.message == LUMVEK_WM_ERROR && message.lParam != 0) {
            posted = static_cast<int>(message.lParam);
        }
    }
    error_ = what + ": " + tool::describeSdkError(pushed != 0 ? pushed : posted);
    for (int i = 0; handle_ != 0 && i < LUMVEK_ERROR_HISTORY_DEPTH && Lumvek_GetLastError(handle_) != 0; ++i) {
    }
    return false;
}

bool CameraFeed::open(int device) {
    close();
    notifyWindow_ = LumvekWnd_CreateMessageWindow();
    frameWindow_ = LumvekWnd_CreateMessageWindow();
    handle_ = Lumvek_Initialize(notifyWindow_);
    if (handle_ == 0 || notifyWindow_ == nullptr || frameWindow_ == nullptr) {
        error_ = "the SDK could not create an instance";
        close();
        return false;
    }
    if (device >= 0) {
        if (Lumvek_SetDeviceNumber(handle_, device) == 0) {
            (void)failed("camera " + std::to_string(device) + " cannot be opened");
            close();
            return false;
        }
        rememberSettings();
        return true;
    }
    char names[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES] = {};
    if (const auto problem = tool::cameraCountProblem(Lumvek_EnumDevice(handle_, names), "device=N or camera-id=ID")) {
        error_ = *problem;
        close();
        return false;
    }
    rememberSettings();
    return true;
}

void CameraFeed::rememberSettings() {
    int ok = 0;
    StoredSettings now;
    now.exposure = Lumvek_GetExposureTime(handle_, &ok);
    now.known = ok == 1;
    now.globalGain = Lumvek_GetGlobalGain(handle_, &ok);
    now.known = now.known && ok == 1;
    int (*const colourGetters[])(int32_t, int*) = {Lumvek_GetColorGainRed, Lumvek_GetColorGainGreen1,
                                                   Lumvek_GetColorGainGreen2, Lumvek_GetColorGainBlue};
    for (int i = 0; i < 4; ++i) {
        now.colourGains[i] = colourGetters[i](handle_, &ok);
        now.known = now.known && ok == 1;
    }
    now.colourMode = Lumvek_GetColorMode(handle_);
    stored_ = now;
}

void CameraFeed::restoreSettings() {
    if (!stored_.known) return;
    // The global gain sets the four colour gains too: they come after it.
    (void)Lumvek_SetGlobalGain(handle_, stored_.globalGain);
    int (*const colourSetters[])(int32_t, int) = {Lumvek_SetColorGainRed, Lumvek_SetColorGainGreen1,
                                                  Lumvek_SetColorGainGreen2, Lumvek_SetColorGainBlue};
    for (int i = 0; i < 4; ++i) (void)colourSetters[i](handle_, stored_.colourGains[i]);
    (void)Lumvek_SetExposureTime(handle_, stored_.exposure);
    (void)Lumvek_SetColorMode(handle_, stored_.colourMode);
}

void CameraFeed::close() {
    stop();
    if (handle_ != 0) {
        if (!persist_) restoreSettings();
        (void)Lumvek_Release(handle_);
        handle_ = 0;
        stored_ = {};
    }
    for (HWND* window : {&notifyWindow_, &frameWindow_}) {
        if (*window != nullptr) {
            (void)LumvekWnd_DestroyWindow(*window);
            *window = nullptr;
        }
    }
}

int CameraFeed::width() const {
    return Lumvek_Width(handle_);
}

int CameraFeed::height() const {
    return Lumvek_Height(handle_);
}

int CameraFeed::colorMode() const {
    return Lumvek_GetColorMode(handle_);
}

bool CameraFeed::setExposure(int exposure) {
    return Lumvek_SetExposureTime(handle_, exposure) == 1 || failed("exposure " + std::to_string(exposure));
}

bool CameraFeed::setGain(int gain) {
    return Lumvek_SetGlobalGain(handle_, gain) == 1 || failed("gain " + std::to_string(gain));
}

bool CameraFeed::measureFrameRate(FrameRate& rate) {
    // Measured in the mono 8-bit mode, whose processing is lightest: the
    // camera's rate rather than the colour pipeline's. The mode is put back.
    const int mode = colorMode();
    const bool measured = measureAtBits(kMeasureBits, rate);
    if (Lumvek_SetColorMode(handle_, mode) == 0) {
        return failed("restoring colour mode " + std::to_string(mode));
    }
    return measured;
}

bool CameraFeed::measureAtBits(int bitsPerPixel, FrameRate& rate) {
    if (!start(bitsPerPixel)) {
        return false;
    }
    uint32_t first = 0;
    uint32_t last = 0;
    for (int frame = -kMeasureWarmUpFrames; frame <= kMeasureIntervals; ++frame) {
        const tool::FrameWait wait = waitFrame(kMeasureFrameWaitMs);
        if (wait.kind != tool::FrameWait::Frame) {
            stop();
            error_ = wait.kind == tool::FrameWait::Failed ? "measuring the frame rate: " + tool::describeSdkError(wait.code)
                                                          : "measuring the frame rate: no frame came";
            return false;
        }
        if (frame == 0) first = wait.timeMs;
        if (frame > 0) last = wait.timeMs;
    }
    stop();
    // Frames skipped while waiting make the rate lower, never higher: the
    // interval of one frame is at most the elapsed time over the count.
    const uint32_t elapsedMs = std::max<uint32_t>(last - first, 1);
    const int tenths = static_cast<int>((kMeasureIntervals * 1000.0 * kRateDenominator) / elapsedMs + 0.5);
    const int divisor = std::gcd(std::max(tenths, 1), kRateDenominator);
    rate = {std::max(tenths, 1) / divisor, kRateDenominator / divisor};
    return true;
}

bool CameraFeed::start(int bitsPerPixel) {
    stop();
    if (Lumvek_SetColorMode(handle_, bitsPerPixel) == 0) {
        return failed("colour mode " + std::to_string(bitsPerPixel));
    }
    // No preview window: frames go only to our message window.
    (void)Lumvek_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    LumvekMsg stale{};
    while (LumvekWnd_GetMessage(frameWindow_, &stale, 0) == 1) {
    }
    if (Lumvek_CallBackPreview(handle_, frameWindow_, nullptr, 0, 1) == 0) {
        return failed("starting the preview");
    }
    passedOver_.restart();
    previewing_ = true;
    return true;
}

void CameraFeed::stop() {
    if (previewing_) {
        (void)Lumvek_StopPreview(handle_);
        previewing_ = false;
    }
}

tool::FrameWait CameraFeed::waitFrame(int timeoutMs) {
    return tool::waitForNewestFrame(frameWindow_, timeoutMs);
}

bool CameraFeed::copyFrame(uint8_t* buffer, size_t size) {
    if (Lumvek_GetImage(handle_, buffer, static_cast<int>(size), 1) == 0) {
        return failed("reading the frame");
    }
    tool::markFramesTaken(frameWindow_);
    return true;
}

bool CameraFeed::copyFrame(uint8_t* buffer, size_t size, LumvekFrameMetadata& metadata) {
    metadata = {};
    metadata.size = sizeof metadata;
    if (LumvekStream_GetImage(handle_, buffer, static_cast<int>(size), 1, &metadata) == 0) {
        return failed("reading the frame");
    }
    tool::markFramesTaken(frameWindow_);
    passedOver_.count(metadata);
    return true;
}

bool CameraFeed::statistics(LumvekStreamStatistics& statistics) const {
    statistics = {};
    statistics.size = sizeof statistics;
    return handle_ != 0 && LumvekStream_GetStatistics(handle_, &statistics) == 1;
}

} // namespace lumvek::gst
