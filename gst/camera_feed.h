#pragma once
// The camera behind lumveksrc, in plain C++ over the public C API: opening,
// the video formats of the colour modes, the measured frame rate, and a
// callback preview whose newest frame is copied into a buffer on demand.
//
// Threads: open/close run on the element's state-change thread, the rest on
// its streaming thread; GStreamer never runs them at the same time.
#include <cstddef>
#include <cstdint>

#include "LumvekStream.h"
#include <optional>
#include <span>
#include <string>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "frame_messages.h"

namespace lumvek::gst {

// One colour mode as a GStreamer raw video format. Rows of both are padded
// to a multiple of 4 bytes, so the SDK's copy is the buffer's layout.
struct VideoFormat {
    const char* name;  // GRAY8, GRAY16_LE, BGR, BGRx
    int bitsPerPixel;  // the SDK's colour mode
};

[[nodiscard]] std::span<const VideoFormat> videoFormats();
[[nodiscard]] const VideoFormat* formatByName(const std::string& name);
[[nodiscard]] const VideoFormat* formatByBits(int bitsPerPixel);
[[nodiscard]] inline bool isColourFormat(const VideoFormat& format) { return format.bitsPerPixel >= 24; }
// Bytes of one frame (rows padded to 4 bytes); 0 for no valid frame.
[[nodiscard]] size_t frameBytes(int width, int height, int bitsPerPixel);

struct FrameRate {
    int numerator = 0;
    int denominator = 1;
};

class CameraFeed {
public:
    CameraFeed() = default;
    ~CameraFeed();
    CameraFeed(const CameraFeed&) = delete;
    CameraFeed& operator=(const CameraFeed&) = delete;

    // device < 0: the camera Lumvek_Initialize opens. False with error().
    [[nodiscard]] bool open(int device);
    // The camera whose id (LumvekDevice.h) is `id`, whatever its number.
    [[nodiscard]] bool openById(const std::string& id);
    // Sets the capture window; a refusal gives error() the library's window
    // rule in words (what was wrong, what would be accepted).
    [[nodiscard]] bool setWindow(int x, int y, int width, int height);
    // Why the window would be refused; empty when it would be taken.
    [[nodiscard]] std::string windowProblem(int x, int y, int width, int height) const;
    // The raw frames' Bayer order name ("bggr", ...), following the stored
    // Bayer mode and the mirrors in force.
    [[nodiscard]] const char* bayerOrder() const;
    void close();
    [[nodiscard]] bool isOpen() const { return handle_ != 0; }

    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    [[nodiscard]] int colorMode() const;
    [[nodiscard]] bool setExposure(int exposure);  // 0.1 ms units
    [[nodiscard]] bool setGain(int gain);
    // Without persisting, close() puts back the exposure, gains and colour
    // mode the camera had when opened before the SDK stores them at release,
    // so that the element's settings last only while it runs.
    void setPersist(bool persist) { persist_ = persist; }
    // Frames per second of a short preview (about ten frames).
    [[nodiscard]] bool measureFrameRate(FrameRate& rate);

    // Stops a running preview, sets the colour mode and starts a callback
    // preview without a buffer.
    [[nodiscard]] bool start(int bitsPerPixel);
    void stop();
    // The newest frame within timeoutMs.
    [[nodiscard]] tool::FrameWait waitFrame(int timeoutMs);
    // Lumvek_GetImage of the newest processed frame, first row on top.
    [[nodiscard]] bool copyFrame(uint8_t* buffer, size_t size);
    // The same, with the metadata of the frame copied; framesLostBefore also
    // counts the frames the wait passed over since the last copy.
    [[nodiscard]] bool copyFrame(uint8_t* buffer, size_t size, LumvekFrameMetadata& metadata);
    // The stream statistics; false when the camera is not open.
    [[nodiscard]] bool statistics(LumvekStreamStatistics& statistics) const;

    // The last failure in words, with the SDK's code when it gave one.
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    [[nodiscard]] bool failed(const std::string& what);
    [[nodiscard]] bool measureAtBits(int bitsPerPixel, FrameRate& rate);
    void rememberSettings();
    void restoreSettings();

    // What the camera had when opened (and the settings store holds).
    struct StoredSettings {
        int exposure = 0;
        int globalGain = 0;
        int colourGains[4] = {};
        int colourMode = 0;
        bool known = false;
    };

    int32_t handle_ = 0;
    HWND notifyWindow_ = nullptr;  // codes some calls only post
    HWND frameWindow_ = nullptr;   // frame messages of the preview
    bool previewing_ = false;
    bool persist_ = false;
    StoredSettings stored_;
    tool::PassedOverFrames passedOver_;
    std::string error_;
};

} // namespace lumvek::gst
