// Camera selection and identity exports.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

extern "C" {

LUMVEK_API int Lumvek_SetDeviceNumber(int32_t handle, int index) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetDeviceNumber(index); });
}

LUMVEK_API int Lumvek_EnumDevice(int32_t handle, char names[10][256]) {
    return forward(handle, 0, [=](CLumvek& self) { return self.EnumDevice(names); });
}

LUMVEK_API int Lumvek_EnumDeviceW(int32_t handle, LUMVEK_WCHAR names[10][256]) {
    return forward(handle, 0, [=](CLumvek& self) { return self.EnumDeviceW(names); });
}

LUMVEK_API int Lumvek_GetDeviceName(int32_t handle, int index, char* buffer, int size) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetDeviceName(index, buffer, size); });
}

LUMVEK_API int Lumvek_GetDeviceNameW(int32_t handle, int index, LUMVEK_WCHAR* buffer, int size) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetDeviceNameW(index, buffer, size); });
}

LUMVEK_API int Lumvek_GetCameraInfo(int32_t handle, LumvekCameraInfo* record) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetCameraInfo(record); });
}

} // extern "C"
