#include "platform/fx3/simulator_module.h"

#include <dlfcn.h>
#include <filesystem>
#include <mutex>

#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {

// The folder of the shared object holding this code (the core library; the
// program itself where the platform layer is linked in statically).
std::filesystem::path ownFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&loadSimulatorModule), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path{} : file.parent_path();
}

std::string loadOnce() {
    const std::filesystem::path folder = ownFolder();
    if (folder.empty()) {
        return "the simulator is not installed (the library cannot find its own folder)";
    }
    const std::string path = (folder / kSimulatorModuleFile).string();
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        return "the simulator is not installed (no " + path + ")";
    }
    // Kept for the life of the process: the cameras it makes live that long.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* why = dlerror();
        return "cannot load the simulator " + path + ": " + (why != nullptr ? why : "unknown error");
    }
    auto entry = reinterpret_cast<SimulatorModuleEntry>(dlsym(handle, kSimulatorModuleEntry));
    if (entry == nullptr || entry() != 1) {
        return path + " is not a simulator module of this library";
    }
    platform::logf(platform::LogCategory::Usb, "simulator loaded from %s", path.c_str());
    return {};
}

} // namespace

bool loadSimulatorModule(std::string& error) {
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [] { failure = loadOnce(); });
    error = failure;
    return failure.empty();
}

} // namespace lumvek::fx3
