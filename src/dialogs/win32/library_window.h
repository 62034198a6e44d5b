#pragma once
// The library's own window table as the dialog boxes see it (kept apart
// from <windows.h>, whose macros clash with the table's names).
#include <cstdint>

#include "LumvekWindow.h"

namespace lumvek::dialogs::win32 {

// Whether hwnd is a live window of the library's window table.
[[nodiscard]] bool isLibraryWindow(HWND hwnd);
// The system window that shows one of the library's windows; 0 when none.
[[nodiscard]] uintptr_t systemWindowOf(HWND hwnd);

} // namespace lumvek::dialogs::win32
