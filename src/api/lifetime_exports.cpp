// Instance lifetime, error history and version exports.
#include <memory>

#include "LumvekSdk.h"
#include "api/forward.h"
#include "sim/in_process_camera.h"

using lumvek::CLumvek;
using lumvek::CSdkChain;
using lumvek::api::forward;

namespace {
// Simulated cameras named in LUMVEK_SIM_CAMERAS join the in-process bus the
// first time the library looks for cameras (`lumvek --simulate`, tests).
[[maybe_unused]] const bool kSimulatorFactoryInstalled = (lumvek::sim::installInProcessFactory(), true);
} // namespace

extern "C" {

LUMVEK_API int32_t Lumvek_Initialize(HWND notifyWindow) {
    try {
        auto instance = std::make_unique<CLumvek>();
        CLumvek* raw = instance.get();
        const int32_t handle = CSdkChain::instance().Register(raw);
        instance.release();  // the registry entry owns it now
        // The handle is returned whatever the initialisation gives.
        (void)forward(handle, 0, [notifyWindow](CLumvek& self) { return self.Initialize(notifyWindow); });
        return handle;
    } catch (...) {
        return 0;
    }
}

LUMVEK_API int Lumvek_Release(int32_t handle) {
    CLumvek* instance = CSdkChain::instance().Detach(handle);
    if (instance == nullptr) {
        return 0;
    }
    try {
        delete instance;
    } catch (...) {
        // Teardown failures stay inside: the handle is released regardless.
    }
    (void)CSdkChain::instance().Remove(handle);
    return 1;
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
