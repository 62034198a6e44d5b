#pragma once
// The library's three settings dialogs by the names the tool and the Python
// package give them: camera (capture formats), image (filters), analog
// (gains, exposure, mirrors).
#include <cstdint>
#include <span>
#include <string>

#include "LumvekWindow.h"

namespace lumvek::tool {

struct DialogKind {
    const char* name;
    // Lumvek_SetCameraDlg / Lumvek_SetImageDlg / Lumvek_SetAnalogDlg: 1 once
    // the dialog has closed, whatever button closed it; 0 when it could not
    // open (no camera, no display), with the code in the error history.
    int (*open)(int32_t handle, HWND owner);
};

[[nodiscard]] std::span<const DialogKind> dialogKinds();
// nullptr for a name that is none of them.
[[nodiscard]] const DialogKind* findDialog(const std::string& name);
// "camera, image or analog", for messages.
[[nodiscard]] std::string dialogNames();

} // namespace lumvek::tool
