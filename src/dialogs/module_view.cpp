// The GTK view module, found beside the library file this code is linked
// into and loaded with dlopen, so that the library never needs GTK or a
// display to load (Linux only: Windows has dialogs/win32).
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "dialogs/dialog_view.h"
#include "platform/window/display_backend.h"
#include "platform/window/messages.h"
#include "platform/window/windows.h"

namespace lumvek::dialogs {

namespace {

int ownerAlive(void* context) {
    HWND owner = static_cast<HWND>(context);
    return owner == nullptr || platform::window::isWindow(owner) ? 1 : 0;
}

bool displayNamed() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

class ModuleView final : public DialogView {
public:
    // The module stays loaded (RTLD_NODELETE): GTK cannot be unloaded once initialised.
    explicit ModuleView(DialogModuleRun run) : run_(run) {}

    bool run(DialogAutomation& model, HWND owner) override {
        // The X11 window an application handed over as owner; 0 for a plain message window.
        const unsigned long ownerX11 = owner != nullptr ? platform::window::nativeWindowId(owner) : 0;
        const bool shown = run_(&model, ownerX11, &ownerAlive, owner) == 1;
        // GTK, initialised by the first dialog, replaced Xlib's process-wide
        // handlers with ones that end the process on our connection's errors.
        platform::window::reclaimDisplayErrorHandlers();
        return shown;
    }

private:
    DialogModuleRun run_;
};

std::filesystem::path ownFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownerAlive), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path{} : file.parent_path();
}

} // namespace

std::unique_ptr<DialogView> loadModuleView() {
    if (!displayNamed()) {
        return nullptr;
    }
    const std::filesystem::path folder = ownFolder();
    if (folder.empty()) {
        return nullptr;
    }
    const std::string path = (folder / kDialogModuleFile).string();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        return nullptr;
    }
    auto run = reinterpret_cast<DialogModuleRun>(dlsym(handle, kDialogModuleEntry));
    if (run == nullptr) {
        dlclose(handle);
        return nullptr;
    }
    return std::make_unique<ModuleView>(run);
}

std::unique_ptr<DialogView> systemView() {
    return loadModuleView();
}

} // namespace lumvek::dialogs
