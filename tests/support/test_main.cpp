// GoogleTest main shared by every suite. Each test process gets its own
// settings store, shared-memory block name and simulator device folder, so
// suites can run in parallel and never touch the user's real settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "support/test_env.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
#ifdef _WIN32
// The registry key below HKEY_CURRENT_USER that stands for it in this process.
std::string registryRoot() {
    return "Software\\LumvekTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount64());
}
#endif

void isolateProcess() {
    const auto& dir = lumvek::test::processTempDir();
    const std::string pid = std::to_string(getpid());
#ifdef _WIN32
    setenv("LUMVEK_REGISTRY_ROOT", registryRoot().c_str(), 1);
#else
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
#endif
    setenv("LUMVEK_SHM_NAME", ("/lumvek-test-" + pid).c_str(), 1);
    std::filesystem::create_directories(dir / "devices");
    setenv("LUMVEK_DEVICE_DIR", (dir / "devices").string().c_str(), 1);
}

void removeProcessDir() {
#ifdef _WIN32
    if (const char* root = std::getenv("LUMVEK_REGISTRY_ROOT"); root != nullptr && *root != '\0') {
        (void)RegDeleteTreeA(HKEY_CURRENT_USER, root);
        (void)RegDeleteKeyA(HKEY_CURRENT_USER, root);
    }
#endif
    std::error_code ignored;
    std::filesystem::remove_all(lumvek::test::processTempDir(), ignored);
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    isolateProcess();
    const int result = RUN_ALL_TESTS();
    removeProcessDir();
    return result;
}
