// Loads the simulator module (LumvekSimulator.dll) from the folder of the
// module holding this code, with LoadLibrary.
#include "platform/fx3/simulator_module.h"

#include <windows.h>

#include <filesystem>
#include <mutex>

#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {

// The folder of the DLL holding this code (the core library; the program
// itself where the platform layer is linked in statically).
std::filesystem::path ownFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&loadSimulatorModule), &self)) {
        return {};
    }
    wchar_t file[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(self, file, static_cast<DWORD>(std::size(file)));
    if (n == 0 || n >= std::size(file)) {
        return {};
    }
    return std::filesystem::path(file).parent_path();
}

std::string loadOnce() {
    const std::filesystem::path folder = ownFolder();
    if (folder.empty()) {
        return "the simulator is not installed (the library cannot find its own folder)";
    }
    const std::filesystem::path path = folder / kSimulatorModuleFile;
    const std::string shown = path.string();
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        return "the simulator is not installed (no " + shown + ")";
    }
    // Kept for the life of the process: the cameras it makes live that long.
    // The module's own imports (the core) are looked up beside it.
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        return "cannot load the simulator " + shown + ": error " + std::to_string(GetLastError());
    }
    auto entry = reinterpret_cast<SimulatorModuleEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, kSimulatorModuleEntry)));
    if (entry == nullptr || entry() != 1) {
        return shown + " is not a simulator module of this library";
    }
    platform::logf(platform::LogCategory::Usb, "simulator loaded from %s", shown.c_str());
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
