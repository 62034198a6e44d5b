// GoogleTest main shared by every suite. Each test process gets its own
// settings store, shared-memory block name and simulator device folder, so
// suites can run in parallel and never touch the user's real settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "support/test_env.h"

namespace {
void isolateProcess() {
    const auto& dir = lumvek::test::processTempDir();
    const std::string pid = std::to_string(getpid());
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", ("/lumvek-test-" + pid).c_str(), 1);
    std::filesystem::create_directories(dir / "devices");
    setenv("LUMVEK_DEVICE_DIR", (dir / "devices").c_str(), 1);
}

void removeProcessDir() {
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
