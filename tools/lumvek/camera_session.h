#pragma once
// One SDK instance with one camera open, for the length of a subcommand.
// Errors come back through the instance's error history and, as
// LUMVEK_WM_ERROR messages, through a message window of our own.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "simulation.h"

namespace lumvek::tool {

struct CameraOptions {
    std::optional<int> deviceNumber;  // -d N; else the only camera present
    std::optional<std::string> deviceId;  // -d ID: the camera with this id (LumvekDevice.h)
    SimulationOptions simulation;
};

struct PresentCamera {
    int number = 0;     // device number, as -d takes it
    std::string name;   // the SDK's name for it
};

class CameraSession {
public:
    // An instance without choosing a camera (list, doctor).
    static CameraSession withoutCamera(const SimulationOptions& simulation);
    // An instance with a camera open; throws Failure when there is none.
    static CameraSession withCamera(const CameraOptions& options);

    ~CameraSession();
    CameraSession(CameraSession&& other) noexcept;
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;
    CameraSession& operator=(CameraSession&&) = delete;

    [[nodiscard]] int32_t handle() const { return handle_; }
    [[nodiscard]] HWND notifyWindow() const { return notifyWindow_; }
    [[nodiscard]] int deviceNumber() const { return deviceNumber_; }

    // Cameras of this model that can be opened now, lowest number first.
    [[nodiscard]] std::vector<PresentCamera> presentCameras();

    // Pops the newest error code (0 when the history is empty).
    [[nodiscard]] int popError();
    // The code of the failure just seen: the newest in the history, else the
    // last one posted to the message window. Drains both.
    [[nodiscard]] int lastErrorCode();
    // Empties the error history and the message window's queue.
    void clearErrors();
    // result 0: throws "<what>: <the SDK's error in words>".
    void require(int result, const std::string& what);
    [[noreturn]] void failWithLastError(const std::string& what);
    // As require, for the calls that configure a capture (Capture, SnapShot):
    // code 7 is told apart into a window that does not fit the sensor (with
    // the numbers that would) and a camera that did not take a window that
    // fits (a request to it failed).
    void requireCapture(int result, const std::string& what);

private:
    CameraSession() = default;
    void selectCamera(const std::optional<int>& requested);

    int32_t handle_ = 0;
    HWND notifyWindow_ = nullptr;
    int deviceNumber_ = -1;
    bool simulated_ = false;
};

} // namespace lumvek::tool
