#include "camera_session.h"

#include <algorithm>
#include <cstdio>

#include "LumvekDevice.h"
#include "camera_count.h"
#include "failure.h"
#include "sdk_errors.h"

namespace lumvek::tool {

namespace {
constexpr int kMaxDeviceNumbers = 32;  // entries of the open-device table

std::string numberList(const std::vector<PresentCamera>& cameras) {
    std::string text;
    for (const auto& camera : cameras) {
        text += (text.empty() ? "" : ", ") + std::to_string(camera.number);
    }
    return text;
}
} // namespace

CameraSession CameraSession::withoutCamera(const SimulationOptions& simulation) {
    CameraSession session;
    if (simulation.enabled) {
        enterSimulation(simulation);
        session.simulated_ = true;
    }
    session.notifyWindow_ = LumvekWnd_CreateMessageWindow();
    session.handle_ = Lumvek_Initialize(session.notifyWindow_);
    if (session.handle_ == 0) {
        fail("the SDK could not create an instance");
    }
    return session;
}

CameraSession CameraSession::withCamera(const CameraOptions& options) {
    CameraSession session = withoutCamera(options.simulation);
    if (options.deviceId) {
        const int number = LumvekDevice_FindNumber(options.deviceId->c_str());
        if (number < 0) {
            std::string ids;
            for (const PresentCamera& camera : session.presentCameras()) {
                char id[LUMVEK_DEVICE_ID_BYTES] = {};
                if (LumvekDevice_GetId(camera.number, id, sizeof id) == 0) continue;
                ids += (ids.empty() ? "" : ", ") + std::string(id);
            }
            fail("no camera has the id '" + *options.deviceId + "' (" +
                 (ids.empty() ? std::string("no camera present") : "present: " + ids) + "; see lumvek list)");
        }
        session.selectCamera(number);
        return session;
    }
    session.selectCamera(options.deviceNumber);
    return session;
}

CameraSession::CameraSession(CameraSession&& other) noexcept
    : handle_(other.handle_),
      notifyWindow_(other.notifyWindow_),
      deviceNumber_(other.deviceNumber_),
      simulated_(other.simulated_) {
    other.handle_ = 0;
    other.notifyWindow_ = nullptr;
    other.simulated_ = false;
}

CameraSession::~CameraSession() {
    if (handle_ != 0) {
        (void)Lumvek_Release(handle_);
    }
    if (notifyWindow_ != nullptr) {
        (void)LumvekWnd_DestroyWindow(notifyWindow_);
    }
    if (simulated_) {
        leaveSimulation();
    }
}

std::vector<PresentCamera> CameraSession::presentCameras() {
    std::vector<PresentCamera> cameras;
    char names[10][256];
    if (Lumvek_EnumDevice(handle_, names) <= 0) {
        clearErrors();
        return cameras;
    }
    for (int number = 0; number < kMaxDeviceNumbers; ++number) {
        char name[LUMVEK_DEVICE_NAME_BYTES] = {};
        if (Lumvek_GetDeviceName(handle_, number, name, sizeof name) == 1) {
            cameras.push_back({number, name});
        }
    }
    // Asking for numbers that are not present leaves code 2 behind each time.
    clearErrors();
    return cameras;
}

int CameraSession::popError() {
    return Lumvek_GetLastError(handle_);
}

void CameraSession::clearErrors() {
    for (int i = 0; i < LUMVEK_ERROR_HISTORY_DEPTH && popError() != 0; ++i) {
    }
    if (notifyWindow_ != nullptr) {
        LumvekMsg message{};
        while (LumvekWnd_GetMessage(notifyWindow_, &message, 0) == 1) {
        }
    }
}

void CameraSession::require(int result, const std::string& what) {
    if (result == 0) {
        failWithLastError(what);
    }
}

int CameraSession::lastErrorCode() {
    const int pushed = popError();
    // Some calls only post their code to the notification window.
    int posted = 0;
    if (notifyWindow_ != nullptr) {
        LumvekMsg message{};
        while (LumvekWnd_GetMessage(notifyWindow_, &message, 0) == 1) {
            if (message.message == LUMVEK_WM_ERROR && message.lParam != 0) {
                posted = static_cast<int>(message.lParam);
            }
        }
    }
    return pushed != 0 ? pushed : posted;
}

void CameraSession::failWithLastError(const std::string& what) {
    // The whole history, newest first: a failed request to the camera (6)
    // often stands behind the code the failing call reports (7 for a
    // capture whose window could not be set).
    std::vector<int> codes;
    for (int i = 0; i < LUMVEK_ERROR_HISTORY_DEPTH; ++i) {
        const int code = popError();
        if (code == 0) break;
        codes.push_back(code);
    }
    if (codes.empty()) codes.push_back(lastErrorCode());
    fail(what + ": " + describeSdkErrors(codes));
}

void CameraSession::requireCapture(int result, const std::string& what) {
    if (result != 0) {
        return;
    }
    std::vector<int> codes;
    for (int i = 0; i < LUMVEK_ERROR_HISTORY_DEPTH; ++i) {
        const int code = popError();
        if (code == 0) break;
        codes.push_back(code);
    }
    if (codes.empty()) codes.push_back(lastErrorCode());
    int th = 0, x = 0, width = 0, tv = 0, y = 0, height = 0;
    LumvekCameraInfo info{};
    info.size = sizeof info;
    if (codes.front() != LUMVEK_ERR_WINDOW_SIZE || Lumvek_GetCaptureWindowEx(handle_, &th, &x, &width, &tv, &y, &height) == 0 ||
        Lumvek_GetCameraInfo(handle_, &info) == 0) {
        fail(what + ": " + describeSdkErrors(codes));
    }
    // The library's one window rule says what was wrong and what it takes.
    char reason[512] = {};
    if (LumvekDevice_CheckCaptureWindow(handle_, x, y, width, height, reason, sizeof reason) == 0) {
        fail(what + ": " + reason + " (SDK error 7)");
    }
    char window[160];
    std::snprintf(window, sizeof window, "the capture window %d x %d at (%d, %d)", width, height, x, y);
    fail(what + ": the camera did not take " + window + ", which fits the " + std::to_string(info.fullWidth) + " x " +
         std::to_string(info.fullHeight) + " sensor: a request to the camera failed (SDK error 7)");
}

void CameraSession::selectCamera(const std::optional<int>& requested) {
    const std::vector<PresentCamera> cameras = presentCameras();
    if (requested) {
        const bool present = std::any_of(cameras.begin(), cameras.end(),
                                         [&](const PresentCamera& camera) { return camera.number == *requested; });
        if (!present || Lumvek_SetDeviceNumber(handle_, *requested) == 0) {
            const int code = popError();
            std::string detail = cameras.empty() ? noCameraProblem()
                                                 : "present: " + numberList(cameras) + " (see lumvek list)";
            if (present) detail = describeSdkError(code);
            fail("camera " + std::to_string(*requested) + " cannot be opened: " + detail);
        }
        deviceNumber_ = *requested;
        return;
    }
    if (cameras.empty()) {
        const std::string problem = noCameraProblem();
        fail(problem.rfind("no camera found", 0) == 0
                 ? "no camera found: attach one, start the simulator (lumvek-camsim), or add --simulate; "
                   "lumvek doctor tells more"
                 : problem);
    }
    // With exactly one camera present the SDK opened it already; with more
    // it opened none, and guessing one would act on the wrong camera.
    if (const auto problem = cameraCountProblem(static_cast<int>(cameras.size()), "-d N or -d ID")) {
        fail(*problem + " (present: " + numberList(cameras) + "; see lumvek list)");
    }
    deviceNumber_ = cameras.front().number;
}

} // namespace lumvek::tool
