#include "viewer_loader.h"

#include <dlfcn.h>

#include <filesystem>


namespace lumvek::tool {

namespace {
// The folder of the SDK library this tool runs with: the module is built and
// installed there.
std::filesystem::path libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&Lumvek_GetDllVersion), &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code error;
    const auto file = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path{} : file.parent_path();
}
} // namespace

LumvekViewerRun loadGtkViewer() {
    const auto folder = libraryFolder();
    if (folder.empty()) return nullptr;
    // Kept loaded: GTK cannot be unloaded once initialised.
    void* module = dlopen((folder / viewer::kViewerModuleFile).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<LumvekViewerRun>(dlsym(module, viewer::kViewerModuleEntry));
}

std::optional<int> runGtkViewer(LumvekViewerRun run, CameraSession& session, bool automate) {
    const LumvekViewerRequest request{session.handle(), session.notifyWindow(), session.deviceNumber(),
                                      automate ? 1 : 0};
    const int code = run(&request);
    if (code == viewer::kViewerNotShown) return std::nullopt;
    return code;
}

} // namespace lumvek::tool
