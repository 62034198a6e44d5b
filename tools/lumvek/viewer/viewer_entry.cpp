// The entry point of the GTK viewer module.
#include <gtk/gtk.h>

#include <memory>
#include <type_traits>

#include "camera_link.h"
#include "viewer_automation.h"
#include "viewer_module.h"
#include "viewer_texts.h"
#include "viewer_window.h"

extern "C" __attribute__((visibility("default"))) int lumvek_viewer_gtk_run(const LumvekViewerRequest* request) {
    using namespace lumvek::viewer;
    if (request == nullptr || !gtk_init_check(nullptr, nullptr)) return kViewerNotShown;
    try {
        CameraLink link(request->handle, request->notifyWindow, request->deviceNumber);
        ViewerWindow window(link, textsForLocale());
        std::unique_ptr<ViewerAutomation> automation;
        if (request->automate != 0) automation = std::make_unique<ViewerAutomation>(window);
        return window.run();
    } catch (...) {
        return 1;
    }
}

// The tool calls the entry through this type: a mismatch fails here, not at run time.
static_assert(std::is_same_v<decltype(&lumvek_viewer_gtk_run), LumvekViewerRun>);
