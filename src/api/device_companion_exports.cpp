// The companion exports of LumvekDevice.h: camera ids, the window rule and
// the raw Bayer order.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "LumvekDevice.h"
#include "api/forward.h"
#include "camera/camera_identity.h"

using lumvek::CLumvek;
using lumvek::api::forward;

namespace {

constexpr int kProductR13 = lumvek::kProductR13;

int copyText(const std::string& text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0 || text.size() >= static_cast<size_t>(size)) {
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
}

template <typename Op>
int guarded(int failure, Op&& op) noexcept {
    try {
        return op();
    } catch (...) {
        return failure;
    }
}

} // namespace

extern "C" {

LUMVEK_DEVICE_API int LumvekDevice_GetId(int deviceNumber, char* buffer, int size) {
    return guarded(0, [&] {
        for (const auto& camera : lumvek::identifiedCamerasNow()) {
            if (camera.productId == kProductR13 && camera.deviceNumber == deviceNumber && !camera.id.empty()) {
                return copyText(camera.id, buffer, size);
            }
        }
        return 0;
    });
}

LUMVEK_DEVICE_API int LumvekDevice_FindNumber(const char* id) {
    if (id == nullptr) return -1;
    return guarded(-1, [&] {
        const auto camera = lumvek::findCameraByIdNow(id, kProductR13);
        return camera ? camera->deviceNumber : -1;
    });
}

LUMVEK_DEVICE_API int LumvekDevice_GetEntryId(int entry, char* buffer, int size) {
    return guarded(0, [&] {
        for (const auto& camera : lumvek::identifiedCamerasNow()) {
            if (camera.entry == entry && !camera.id.empty()) return copyText(camera.id, buffer, size);
        }
        return 0;
    });
}

LUMVEK_DEVICE_API int LumvekDevice_CheckCaptureWindow(int32_t handle, int x, int y, int width, int height,
                                                      char* reason, int size) {
    return forward(handle, -1, [&](CLumvek& self) {
        const std::string problem = self.CaptureWindowProblem(x, y, width, height);
        if (reason != nullptr && size > 0) {
            const size_t n = std::min(problem.size(), static_cast<size_t>(size) - 1);
            std::memcpy(reason, problem.data(), n);
            reason[n] = '\0';
        }
        return problem.empty() ? 1 : 0;
    });
}

LUMVEK_DEVICE_API int LumvekDevice_GetRawBayerOrder(int32_t handle) {
    return forward(handle, -1, [](CLumvek& self) { return self.RawBayerMode(); });
}

} // extern "C"
