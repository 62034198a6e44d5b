// Acquisition, preview and capture-window exports.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

extern "C" {

LUMVEK_API int Lumvek_Capture(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.Capture(); });
}

LUMVEK_API int Lumvek_Preview(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.Preview(); });
}

LUMVEK_API int Lumvek_StartPreview(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.StartPreview(); });
}

LUMVEK_API int Lumvek_StopPreview(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.StopPreview(); });
}

LUMVEK_API int Lumvek_Close(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.Close(); });
}

LUMVEK_API int Lumvek_SnapShot(int32_t handle, void* buffer, int size, int topDown) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SnapShot(buffer, size, topDown); });
}

LUMVEK_API int Lumvek_GetImage(int32_t handle, void* buffer, int size, int topDown) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetImage(buffer, size, topDown); });
}

LUMVEK_API int Lumvek_CallBackPreview(int32_t handle, HWND window, void* buffer, int size, int topDown) {
    return forward(handle, 0, [=](CLumvek& self) { return self.CallBackPreview(window, buffer, size, topDown); });
}

LUMVEK_API int Lumvek_SetPreviewWindow(int32_t handle, HWND parent, int left, int top, int right, int bottom) {
    return forward(handle, 0,
                   [=](CLumvek& self) { return self.SetPreviewWindow(parent, left, top, right, bottom); });
}

LUMVEK_API int Lumvek_Width(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.Width(); });
}

LUMVEK_API int Lumvek_Height(int32_t handle) {
    return forward(handle, 0, [](CLumvek& self) { return self.Height(); });
}

LUMVEK_API int Lumvek_SetCaptureWindow(int32_t handle, int width, int height) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetCaptureWindow(width, height); });
}

LUMVEK_API int Lumvek_SetCaptureWindowEx(int32_t handle, int th, int ehs, int eh, int tv, int evs, int ev) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetCaptureWindowEx(th, ehs, eh, tv, evs, ev); });
}

LUMVEK_API int Lumvek_GetCaptureWindowEx(int32_t handle, int* th, int* ehs, int* eh, int* tv, int* evs, int* ev) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetCaptureWindowEx(th, ehs, eh, tv, evs, ev); });
}

LUMVEK_API int Lumvek_SetColorMode(int32_t handle, int bitsPerPixel) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetColorMode(bitsPerPixel); });
}

LUMVEK_API int Lumvek_GetColorMode(int32_t handle) {
    return forward(handle, -1, [](CLumvek& self) { return self.GetColorMode(); });
}

LUMVEK_API int Lumvek_SetSubSample(int32_t handle, int mode) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetSubSample(mode); });
}

LUMVEK_API int Lumvek_GetSubSample(int32_t handle) {
    return forward(handle, -1, [](CLumvek& self) { return self.GetSubSample(); });
}

LUMVEK_API int Lumvek_SetWaitTime(int32_t handle, int milliseconds) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetWaitTime(milliseconds); });
}

LUMVEK_API int Lumvek_GetWaitTime(int32_t handle) {
    return forward(handle, -1, [](CLumvek& self) { return self.GetWaitTime(); });
}

} // extern "C"
