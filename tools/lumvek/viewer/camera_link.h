#pragma once
// The viewer's camera, over the public C API only: the cameras present, the
// one open, its callback preview (frames posted to a message window of our
// own and read with Lumvek_GetImage, so a frame is never read while the
// library writes it), and the arrivals, removals and losses the library
// reports. Called on the GUI thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"

namespace lumvek::viewer {

struct CameraEntry {
    int number = 0;    // device number, as Lumvek_SetDeviceNumber takes it
    std::string name;  // the SDK's name
};

// What poll() found since the last call.
struct LinkEvents {
    int frames = 0;            // frame messages
    int lost = 0;              // frames the library could not read
    bool newFrame = false;     // a frame is ready for copyLatest()
    bool cameraLost = false;   // the preview ended: the camera went away
    bool devicesChanged = false;
};

class CameraLink {
public:
    // `notifyWindow`: the window given to Lumvek_Initialize (errors and
    // device changes arrive there); `deviceNumber` the camera already open
    // (-1: none).
    CameraLink(int32_t handle, HWND notifyWindow, int deviceNumber);
    ~CameraLink();
    CameraLink(const CameraLink&) = delete;
    CameraLink& operator=(const CameraLink&) = delete;

    [[nodiscard]] int32_t handle() const { return handle_; }
    [[nodiscard]] bool isOpen() const { return deviceNumber_ >= 0; }
    [[nodiscard]] int deviceNumber() const { return deviceNumber_; }
    [[nodiscard]] const std::string& deviceName() const { return deviceName_; }
    [[nodiscard]] bool previewing() const { return previewing_; }

    [[nodiscard]] std::vector<CameraEntry> cameras();
    // Stops the preview and opens camera `number`; false when it cannot be opened.
    [[nodiscard]] bool open(int number);
    // The camera went away: forget it (the preview has ended already).
    void forget();

    [[nodiscard]] bool startPreview();
    void stopPreview();
    [[nodiscard]] LinkEvents poll();
    // The newest processed frame, rows top-down; false when none is ready.
    [[nodiscard]] bool copyLatest(std::vector<uint8_t>& frame, int& width, int& height, int& bitsPerPixel);

    // Empties the error history and the notification queue (after calls
    // whose failure is shown otherwise); device changes seen are kept for poll().
    void clearErrors();

private:
    void drainNotifications(LinkEvents& events);

    const int32_t handle_;
    const HWND notifyWindow_;
    const HWND frameWindow_;
    int deviceNumber_;
    std::string deviceName_;
    bool previewing_ = false;
    bool devicesChangedPending_ = false;
};

} // namespace lumvek::viewer
