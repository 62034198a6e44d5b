// CameraFeed: opening by id, the capture window and the Bayer order.
#include <array>

#include "LumvekDevice.h"
#include "camera_feed.h"

namespace lumvek::gst {

namespace {
constexpr int kMaxDeviceNumbers = 32;
constexpr std::array<const char*, 4> kBayerNames = {"gbrg", "rggb", "bggr", "grbg"};
constexpr int kReasonBytes = 512;
} // namespace

bool CameraFeed::openById(const std::string& id) {
    const int number = LumvekDevice_FindNumber(id.c_str());
    if (number < 0) {
        std::string ids;
        for (int n = 0; n < kMaxDeviceNumbers; ++n) {
            char present[LUMVEK_DEVICE_ID_BYTES] = {};
            if (LumvekDevice_GetId(n, present, sizeof present)) ids += (ids.empty() ? "" : ", ") + std::string(present);
        }
        error_ = "no camera has the id '" + id + "' (" + (ids.empty() ? "none present" : "present: " + ids) + ")";
        return false;
    }
    return open(number);
}

std::string CameraFeed::windowProblem(int x, int y, int width, int height) const {
    char reason[kReasonBytes] = {};
    if (LumvekDevice_CheckCaptureWindow(handle_, x, y, width, height, reason, sizeof reason) == 0) return reason;
    return {};
}

bool CameraFeed::setWindow(int x, int y, int width, int height) {
    if (const std::string problem = windowProblem(x, y, width, height); !problem.empty()) {
        error_ = problem;
        return false;
    }
    int th = 0, ehs = 0, eh = 0, tv = 0, evs = 0, ev = 0;
    if (Lumvek_GetCaptureWindowEx(handle_, &th, &ehs, &eh, &tv, &evs, &ev) == 0 ||
        Lumvek_SetCaptureWindowEx(handle_, th, x, width, tv, y, height) == 0) {
        return failed("capture window " + std::to_string(width) + " x " + std::to_string(height));
    }
    return true;
}

const char* CameraFeed::bayerOrder() const {
    const int order = LumvekDevice_GetRawBayerOrder(handle_);
    return order >= 0 && order < 4 ? kBayerNames[static_cast<size_t>(order)] : "bggr";
}

} // namespace lumvek::gst
