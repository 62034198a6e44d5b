// Instance lifetime, error history and version exports.
#include <memory>

#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::CSdkChain;
using lumvek::api::forward;

namespace {
// How long Lumvek_Release waits for calls still inside the instance (a
// snapshot waits up to its frame time-out) before leaving the teardown to
// the last of them.
constexpr uint32_t kReleaseWaitMs = 15000;
} // namespace

extern "C" {

LUMVEK_API int32_t Lumvek_Initialize(HWND notifyWindow) {
    try {
        const int32_t handle = CSdkChain::instance().Register(std::make_unique<CLumvek>());
        // The handle is returned whatever the initialisation gives.
        (void)forward(handle, 0, [notifyWindow](CLumvek& self) { return self.Initialize(notifyWindow); });
        return handle;
    } catch (...) {
        return 0;
    }
}

LUMVEK_API int Lumvek_Release(int32_t handle) {
    try {
        return CSdkChain::instance().Release(handle, kReleaseWaitMs);
    } catch (...) {
        return 0;
    }
}

LUMVEK_API int Lumvek_GetDllVersion(void) {
    return LUMVEK_DLL_VERSION;
}

LUMVEK_API int Lumvek_GetLastError(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.GetLastError(); });
}

LUMVEK_API int Lumvek_GetStatus(int32_t handle, int) {
    return forward(handle, 0, [](CLumvek& self) { return self.GetStatus(); });
}

} // extern "C"
