// Exports of operations this camera does not offer.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

extern "C" {

// One entry point under two names; further arguments are ignored.
LUMVEK_API int Lumvek_SendText(int32_t handle, ...) {
    return forward(handle, 0, [](CLumvek& self) { return self.NotSupported(); });
}
LUMVEK_API int Lumvek_ReceiveText(int32_t handle, ...) __attribute__((alias("Lumvek_SendText")));

LUMVEK_API int Lumvek_GetConfigFilter(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.NotSupportedConfigFilter(); });
}

LUMVEK_API int Lumvek_SetConfigFilter(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.NotSupportedConfigFilter(); });
}

// One entry point under seven names: posts code 11 without pushing it.
LUMVEK_API int Lumvek_Fps(int32_t handle, ...) {
    return forward(handle, 0, [](CLumvek& self) { return self.NotSupportedPostOnly(); });
}
LUMVEK_API int Lumvek_Trigger(int32_t handle, ...) __attribute__((alias("Lumvek_Fps")));
LUMVEK_API int Lumvek_GetHalfClock(int32_t handle, ...) __attribute__((alias("Lumvek_Fps")));
LUMVEK_API int Lumvek_SetHalfClock(int32_t handle, ...) __attribute__((alias("Lumvek_Fps")));
LUMVEK_API int Lumvek_GetInternalCorrection(int32_t handle, ...) __attribute__((alias("Lumvek_Fps")));
LUMVEK_API int Lumvek_SetInternalCorrection(int32_t handle, ...) __attribute__((alias("Lumvek_Fps")));
LUMVEK_API int Lumvek_SetCrossbar(int32_t handle, ...) __attribute__((alias("Lumvek_Fps")));

} // extern "C"
