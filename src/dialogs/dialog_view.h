#pragma once
// What shows a dialog model to the user: on Linux the GTK 3 view module,
// loaded at run time, on Windows dialog boxes from the library's own
// resources, or whatever a test or an application puts in its place.
#include <memory>

#include "LumvekWindow.h"
#include "dialogs/dialog_automation.h"

namespace lumvek::dialogs {

class DialogView {
public:
    virtual ~DialogView() = default;
    // Shows model modally on the calling thread and returns when it has
    // closed (a dialog the view ends without a button, e.g. because its
    // owner went away, is left open: the caller ends it as Cancel). False
    // when it could not be shown at all.
    [[nodiscard]] virtual bool run(DialogAutomation& model, HWND owner) = 0;
};

// The view of this system: the GTK module (loadModuleView) on Linux, the
// dialog boxes of dialogs/win32 on Windows; null when there is none.
[[nodiscard]] std::unique_ptr<DialogView> systemView();

#ifndef _WIN32
// The C entry point of the view module (libLumvekDialogsGtk.so):
// shows model modally, transient for the X11 window ownerX11 when it is not
// 0 (an id the server no longer knows is ignored); ownerAlive(context) is
// polled while it is open and the dialog ends as Cancel once it returns 0.
// Returns 1 when the dialog was shown, 0 when it could not be (no display).
extern "C" {
using DialogModuleRun = int (*)(DialogAutomation* model, unsigned long ownerX11, int (*ownerAlive)(void* context),
                                void* context);
}
inline constexpr const char* kDialogModuleFile = "libLumvekDialogsGtk.so";
inline constexpr const char* kDialogModuleEntry = "lumvek_dialog_gtk_run";

// The GTK view when its module loads from the library's own folder and a
// display is named (DISPLAY or WAYLAND_DISPLAY); null otherwise.
[[nodiscard]] std::unique_ptr<DialogView> loadModuleView();
#endif

// Ends model as Cancel when the view returned with it still open.
void cancelIfOpen(DialogAutomation& model);

} // namespace lumvek::dialogs
