// Exposure, gain mode, mirror and temperature exports.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

extern "C" {

LUMVEK_API int Lumvek_SetAutoIris(int32_t handle, int mode) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetAutoIris(mode); });
}

LUMVEK_API int Lumvek_GetAutoIris(int32_t handle, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetAutoIris(ok); });
}

LUMVEK_API int Lumvek_SetMirrorH(int32_t handle, int on) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetMirrorH(on); });
}

LUMVEK_API int Lumvek_SetMirrorV(int32_t handle, int on) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetMirrorV(on); });
}

LUMVEK_API int Lumvek_GetMirrorH(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.GetMirrorH(); });
}

LUMVEK_API int Lumvek_GetMirrorV(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.GetMirrorV(); });
}

LUMVEK_API int Lumvek_SetExposureTimeEx(int32_t handle, double seconds) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetExposureTimeEx(seconds); });
}

LUMVEK_API double Lumvek_GetExposureTimeEx(int32_t handle, int* ok) {
    return forward(handle, 0.0, [=](CLumvek& self) { return self.GetExposureTimeEx(ok); });
}

LUMVEK_API int Lumvek_SetRealExposureTime(int32_t handle, int microseconds) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetRealExposureTime(microseconds); });
}

LUMVEK_API int Lumvek_GetRealExposureTime(int32_t handle, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetRealExposureTime(ok); });
}

LUMVEK_API double Lumvek_GetTemperatureEx(int32_t handle, int* ok) {
    return forward(handle, 0.0, [=](CLumvek& self) { return self.GetTemperatureEx(ok); });
}

} // extern "C"
