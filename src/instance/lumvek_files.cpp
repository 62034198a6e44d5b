// CLumvek: still images, recordings, mask files and the settings dialogs.
#include "instance/lumvek.h"

namespace lumvek {

int CLumvek::SaveImage(const char*, int) {
    ReportError(LUMVEK_ERR_STATE);
    return 0;
}

int CLumvek::Record(const char*, int, int) {
    ReportError(LUMVEK_ERR_STATE);
    return 0;
}

int CLumvek::SaveMaskFile(const char*) {
    ReportError(LUMVEK_ERR_STATE);
    return 0;
}

int CLumvek::LoadMaskFile(const char*) {
    ReportError(LUMVEK_ERR_STATE);
    return 0;
}

int CLumvek::UpdateMaskData(int) {
    ReportError(LUMVEK_ERR_STATE);
    return 0;
}

// The settings dialogs need an open camera; this build has no dialog toolkit yet.
int CLumvek::SetCameraDlg(HWND) {
    return device_ ? NotSupported() : (ReportError(LUMVEK_ERR_STATE), 0);
}
int CLumvek::SetImageDlg(HWND) {
    return device_ ? NotSupported() : (ReportError(LUMVEK_ERR_STATE), 0);
}
int CLumvek::SetAnalogDlg(HWND) {
    return device_ ? NotSupported() : (ReportError(LUMVEK_ERR_STATE), 0);
}

} // namespace lumvek
