// CLumvek: acquisition, preview, capture window and files. These need the
// camera device object; without one every call reports code 1.
#include "instance/lumvek.h"

namespace lumvek {

namespace {
int noDevice(CLumvek& self) {
    self.ReportError(LUMVEK_ERR_STATE);
    return 0;
}
} // namespace

int CLumvek::Capture() { return noDevice(*this); }
int CLumvek::Preview() { return noDevice(*this); }
int CLumvek::StartPreview() { return noDevice(*this); }
int CLumvek::StopPreview() { return noDevice(*this); }
int CLumvek::Close() {
    imageReady_ = 0;
    captureState_ = 0;
    return device_ ? 1 : 0;
}
int CLumvek::SnapShot(void*, int, int) { return noDevice(*this); }
int CLumvek::GetImage(void*, int, int) { return noDevice(*this); }
int CLumvek::CallBackPreview(HWND, void*, int, int) { return noDevice(*this); }
int CLumvek::SetPreviewWindow(HWND parent, int left, int top, int right, int bottom) {
    if (!device_) {
        return noDevice(*this);
    }
    previewParent_ = parent;
    previewRect_[0] = left;
    previewRect_[1] = top;
    previewRect_[2] = right;
    previewRect_[3] = bottom;
    return 1;
}
int CLumvek::SetCaptureWindow(int, int) { return noDevice(*this); }
int CLumvek::SetCaptureWindowEx(int, int, int, int, int, int) { return noDevice(*this); }
int CLumvek::GetCaptureWindowEx(int* th, int* ehs, int* eh, int* tv, int* evs, int* ev) const {
    const auto put = [](int* out, uint32_t value) {
        if (out != nullptr) {
            *out = static_cast<int>(value);
        }
    };
    put(th, window_.TH);
    put(ehs, window_.EHS);
    put(eh, window_.EH);
    put(tv, window_.TV);
    put(evs, window_.EVS);
    put(ev, window_.EV);
    return 1;
}
int CLumvek::SaveImage(const char*, int) { return noDevice(*this); }
int CLumvek::Record(const char*, int, int) { return noDevice(*this); }
int CLumvek::SaveMaskFile(const char*) { return noDevice(*this); }
int CLumvek::LoadMaskFile(const char*) { return noDevice(*this); }
int CLumvek::UpdateMaskData(int) { return noDevice(*this); }
// The settings dialogs need an open camera; this build has no dialog toolkit yet.
int CLumvek::SetCameraDlg(HWND) { return device_ ? NotSupported() : noDevice(*this); }
int CLumvek::SetImageDlg(HWND) { return device_ ? NotSupported() : noDevice(*this); }
int CLumvek::SetAnalogDlg(HWND) { return device_ ? NotSupported() : noDevice(*this); }

} // namespace lumvek
