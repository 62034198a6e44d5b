// File, mask, configuration and dialog exports.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;
using lumvek::api::forwardWidePath;

extern "C" {

LUMVEK_API int Lumvek_LoadConfigFileA(int32_t handle, const char* path) {
    return forward(handle, 0, [=](CLumvek& self) { return self.LoadConfigFile(path); });
}

LUMVEK_API int Lumvek_LoadConfigFileW(int32_t handle, const LUMVEK_WCHAR* path) {
    return forwardWidePath(handle, path, [](CLumvek& self, const char* narrow) { return self.LoadConfigFile(narrow); });
}

LUMVEK_API int Lumvek_SaveImage(int32_t handle, const char* path, int fileType) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SaveImage(path, fileType); });
}

LUMVEK_API int Lumvek_SaveImageW(int32_t handle, const LUMVEK_WCHAR* path, int fileType) {
    return forwardWidePath(handle, path,
                           [=](CLumvek& self, const char* narrow) { return self.SaveImage(narrow, fileType); });
}

LUMVEK_API int Lumvek_Record(int32_t handle, const char* path, int milliseconds, int showWindow) {
    return forward(handle, 0, [=](CLumvek& self) { return self.Record(path, milliseconds, showWindow); });
}

LUMVEK_API int Lumvek_RecordW(int32_t handle, const LUMVEK_WCHAR* path, int milliseconds, int showWindow) {
    return forwardWidePath(handle, path, [=](CLumvek& self, const char* narrow) {
        return self.Record(narrow, milliseconds, showWindow);
    });
}

LUMVEK_API int Lumvek_SaveMaskFile(int32_t handle, const char* path) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SaveMaskFile(path); });
}

LUMVEK_API int Lumvek_SaveMaskFileW(int32_t handle, const LUMVEK_WCHAR* path) {
    return forwardWidePath(handle, path, [](CLumvek& self, const char* narrow) { return self.SaveMaskFile(narrow); });
}

LUMVEK_API int Lumvek_LoadMaskFile(int32_t handle, const char* path) {
    return forward(handle, 0, [=](CLumvek& self) { return self.LoadMaskFile(path); });
}

LUMVEK_API int Lumvek_LoadMaskFileW(int32_t handle, const LUMVEK_WCHAR* path) {
    return forwardWidePath(handle, path, [](CLumvek& self, const char* narrow) { return self.LoadMaskFile(narrow); });
}

LUMVEK_API int Lumvek_UpdateMaskData(int32_t handle, int kind) {
    return forward(handle, 0, [=](CLumvek& self) { return self.UpdateMaskData(kind); });
}

LUMVEK_API int Lumvek_SetCameraDlg(int32_t handle, HWND owner) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetCameraDlg(owner); });
}

LUMVEK_API int Lumvek_SetImageDlg(int32_t handle, HWND owner) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetImageDlg(owner); });
}

LUMVEK_API int Lumvek_SetAnalogDlg(int32_t handle, HWND owner) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetAnalogDlg(owner); });
}

} // extern "C"
