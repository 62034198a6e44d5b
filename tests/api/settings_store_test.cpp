// What Lumvek_Initialize leaves in the settings store, read back through the
// store itself (as another process would) and from a child process.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

#include "LumvekSdk.h"
#include "platform/registry/registry.h"
#include "support/test_env.h"

using namespace lumvek::platform;

namespace {

bool readDword(const char* path, const char* name, uint32_t& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD;
}

constexpr const char* kCamera = "Software\\Quelro\\LumvekR13K7Sdk\\Camera_00";
constexpr const char* kPreset = "Software\\Quelro\\LumvekR13K7Sdk\\Camera_00\\Size_00";

} // namespace

TEST(SettingsStoreThroughTheApi, FirstInitializeCreatesTheDefaultTreeForEveryProcess) {
    lumvek::test::ScopedEnv file("LUMVEK_REGISTRY_FILE",
                                 (lumvek::test::makeTempDir("api-store") / "registry.sqlite3").string());
    const int32_t handle = Lumvek_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(Lumvek_Release(handle), 1);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const struct {
            const char* path;
            const char* name;
            uint32_t value;
        } expected[] = {{kCamera, "Size", 0},   {kCamera, "Color", 2},   {kCamera, "SubSample", 0},
                        {kCamera, "WaitTime", 1}, {kCamera, "Clock", 0},   {kPreset, "TH", 2336},
                        {kPreset, "TV", 1752},  {kPreset, "EH", 2336},   {kPreset, "EV", 1752},
                        {kPreset, "EHS", 0},    {kPreset, "EVS", 0},     {kPreset, "Buf", 4}};
        int failures = 0;
        for (const auto& e : expected) {
            uint32_t value = 0xFFFFFFFF;
            if (!readDword(e.path, e.name, value) || value != e.value) {
                std::fprintf(stderr, "%s\\%s = %u, expected %u\n", e.path, e.name, value, e.value);
                ++failures;
            }
        }
        _exit(failures == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SettingsStoreThroughTheApi, ACorruptOrUnwritableStoreStillGivesAUsableHandle) {
    const auto dir = lumvek::test::makeTempDir("api-corrupt");
    const auto path = (dir / "registry.sqlite3").string();
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 256; ++i) {
            std::fputc(i * 37, f);
        }
        std::fclose(f);
    }
    for (const std::string& store : {path, std::string("/proc/lumvek-no-such-dir/registry.sqlite3")}) {
        lumvek::test::ScopedEnv file("LUMVEK_REGISTRY_FILE", store);
        const int32_t handle = Lumvek_Initialize(nullptr);
        ASSERT_NE(handle, 0) << store;
        EXPECT_EQ(Lumvek_GetColorMode(handle), 8);  // built-in value: nothing could be loaded
        EXPECT_EQ(Lumvek_SetColorMode(handle, 24), 1);
        EXPECT_EQ(Lumvek_GetWaitTime(handle), 10);
        EXPECT_EQ(Lumvek_Release(handle), 1);
    }
}
