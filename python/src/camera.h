#pragma once
// One SDK instance with one camera open, as lumvek.Camera sees it. Plain
// C++ over the public C API: no Python here, so every call may run with the
// interpreter lock released.
//
// Threads: any thread may call any operation. callLock_ serialises the SDK
// calls made on this handle (and guards handle_), so that close() never
// releases the instance under a call that is still running. The rule that
// keeps the module free of deadlocks: never wait for the interpreter lock
// while holding callLock_.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "frame_layout.h"
#include "LumvekStream.h"
#include "settings_table.h"

namespace lumvek::python {

struct CaptureWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class Camera {
public:
    // nullopt: the camera Lumvek_Initialize opens (the only one present);
    // an index: Lumvek_SetDeviceNumber; an id: the camera with that id
    // (LumvekDevice_FindNumber), whatever its number. Throws SdkFailure.
    explicit Camera(std::optional<int> index, std::optional<std::string> id = std::nullopt);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    void close();
    [[nodiscard]] bool isOpen();

    [[nodiscard]] int colorMode();
    void setColorMode(int bits);
    [[nodiscard]] int setting(const tool::SettingInfo& setting);
    void setSetting(const tool::SettingInfo& setting, int value);
    [[nodiscard]] CaptureWindow window();
    // Refused windows raise with the library's window rule in words (what
    // was wrong, what would be accepted).
    void setWindow(const CaptureWindow& window);
    // The camera's stable id and its device number now.
    [[nodiscard]] std::string id();
    [[nodiscard]] int deviceNumber();
    // The Bayer order of raw frames: "gbrg", "rggb", "bggr" or "grbg".
    [[nodiscard]] std::string bayerOrder();
    // The raw mosaic: one frame in colour mode 8 (or 16 when the camera is in
    // a 16-bit mode), the camera's colour mode put back afterwards.
    void snapRaw(tool::FrameLayout& layout, std::vector<uint8_t>& frame, std::string& bayer);
    // The frame the next snapshot or preview delivers.
    [[nodiscard]] tool::FrameLayout layout();

    // One frame into `frame` (resized to layout.sdkBytes()), first row on
    // top; blocks for up to the SDK's snapshot time-out (3 s).
    void snap(tool::FrameLayout& layout, std::vector<uint8_t>& frame);
    // Lumvek_SaveImage of the last processed frame; format: a lumvek snap
    // --format name, or empty for the file's extension.
    void save(const std::string& path, const std::string& format);
    struct RecordOutcome {
        uint32_t frames = 0;   // in the file
        uint64_t skipped = 0;  // pictures the recorder could not take: the writes fell behind
    };
    // Records `milliseconds` of processed frames into an AVI file and waits
    // until it is finalised. A full disk or a failed write ends the
    // recording with the frames so far kept and throws (code 12).
    [[nodiscard]] RecordOutcome record(const std::string& path, int milliseconds);

    // One of the library's settings dialogs ("camera", "image", "analog"),
    // modal until closed; returns what the export returns (1: closed,
    // whatever button). Other calls on this camera wait meanwhile.
    [[nodiscard]] int dialog(const std::string& kind);

    // Callback preview into no buffer: each processed frame posts a frame
    // message to `window` and stays readable with copyLatest().
    void startStream(HWND window);
    void stopStream();
    // Lumvek_GetImage of the newest processed frame into `out`, which must
    // hold layout.sdkBytes().
    void copyLatest(const tool::FrameLayout& layout, uint8_t* out);
    // The same, with the metadata of the picture copied (LumvekStream_GetImage).
    void copyLatest(const tool::FrameLayout& layout, uint8_t* out, LumvekFrameMetadata& metadata);
    // The metadata of the frame delivered last (the last snap); false when none.
    [[nodiscard]] bool lastFrameMetadata(LumvekFrameMetadata& metadata);
    // The stream statistics (LumvekStream_GetStatistics).
    [[nodiscard]] LumvekStreamStatistics statistics();

private:
    // The failure of the call just made (callLock_ held): the SDK's newest
    // code in words.
    [[noreturn]] void fail(const std::string& what);
    // The handle under callLock_; throws when closed.
    [[nodiscard]] int32_t openHandle() const;
    [[nodiscard]] int lastErrorCode();
    void clearErrors();
    void selectCamera(std::optional<int> index);
    [[nodiscard]] int numberOfId(const std::string& id);
    [[nodiscard]] tool::FrameLayout layoutLocked(int32_t handle);

    std::mutex callLock_;  // guards handle_ and serialises SDK calls on it
    int32_t handle_ = 0;
    int deviceNumber_ = -1;        // the number opened; -1: the only camera, found at open
    HWND notifyWindow_ = nullptr;  // receives the codes some calls only post
};

} // namespace lumvek::python
