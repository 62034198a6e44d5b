// Writes the store cannot take: each fails with a status that says why, the
// write probe finds the same and leaves a writable store as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "support/scratch_mount.h"
#include "support/test_env.h"

namespace lumvek::platform {
namespace {

constexpr const char* kGain = "Software\\Quelro\\LumvekR13K7Sdk\\Camera_00\\Gain";

LONG setDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&value), sizeof value);
}

// Writes one value below the root; the status of the first call that failed.
LONG writeOne(DWORD value) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kGain, KEY_ALL_ACCESS, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = setDword(key, "Exposure", value);
        (void)RegCloseKey(key);
    }
    return status;
}

std::vector<std::string> topKeys() {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = sizeof name;
        if (RegEnumKeyExA(HKEY_CURRENT_USER, i, name, &chars) != ERROR_SUCCESS) break;
        names.emplace_back(name);
    }
    return names;
}

TEST(RegistryWriteFailure, TheProbeWritesNothingThatStaysAndFindsWhatCannotBeWritten) {
    const auto dir = test::makeTempDir("reg-probe");
    {
        test::ScopedEnv good("LUMVEK_REGISTRY_FILE", (dir / "good.sqlite3").string());
        ASSERT_EQ(writeOne(77), ERROR_SUCCESS);
        const auto before = topKeys();
        EXPECT_EQ(registryProbeWrite(), ERROR_SUCCESS);
        EXPECT_EQ(topKeys(), before);
    }
    std::filesystem::create_directories(dir / "folder.sqlite3");
    {
        std::ofstream corrupt(dir / "corrupt.sqlite3", std::ios::binary);
        for (int i = 0; i < 8192; ++i) corrupt.put(static_cast<char>(i * 131 + 7));
    }
    for (const std::string& path : {(dir / "folder.sqlite3").string(), std::string("/dev/null"),
                                    (dir / "corrupt.sqlite3").string()}) {
        test::ScopedEnv bad("LUMVEK_REGISTRY_FILE", path);
        EXPECT_EQ(registryProbeWrite(), ERROR_BADDB) << path;
        EXPECT_EQ(writeOne(1), ERROR_BADDB) << path;
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "corrupt.sqlite3"), 8192u);
    EXPECT_NE(registryStatusText(ERROR_DISK_FULL).find("full"), std::string::npos);
    EXPECT_NE(registryStatusText(ERROR_ACCESS_DENIED).find("read-only"), std::string::npos);
}

TEST(RegistryWriteFailure, AFullDiskAndAReadOnlyMountSayWhichItIs) {
    test::ScratchMount full(test::makeTempDir("reg-full") / "mnt", 256 * 1024);
    if (!full.ok()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const auto file = full.dir() / "registry.sqlite3";
    test::ScopedEnv store("LUMVEK_REGISTRY_FILE", file.string());
    ASSERT_EQ(writeOne(50), ERROR_SUCCESS);
    test::fillUp(full.dir() / "filler");
    // Enough values that the journal must grow past what it already holds.
    LONG status = ERROR_SUCCESS;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kGain, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    for (int i = 0; i < 4096 && status == ERROR_SUCCESS; ++i) {
        status = setDword(key, ("V" + std::to_string(i)).c_str(), static_cast<DWORD>(i));
    }
    (void)RegCloseKey(key);
    EXPECT_EQ(status, ERROR_DISK_FULL);
    EXPECT_EQ(registryProbeWrite(), ERROR_DISK_FULL);

    test::ScratchMount readOnly(test::makeTempDir("reg-ro") / "mnt", 1024 * 1024);
    ASSERT_TRUE(readOnly.ok());
    {
        test::ScopedEnv first("LUMVEK_REGISTRY_FILE", (readOnly.dir() / "registry.sqlite3").string());
        ASSERT_EQ(writeOne(50), ERROR_SUCCESS);
    }
    {
        // Opening another file closes the connection that no key uses, so
        // that the file system can be made read-only under the store.
        test::ScopedEnv elsewhere("LUMVEK_REGISTRY_FILE", (test::makeTempDir("reg-ro-other") / "r.sqlite3").string());
        ASSERT_EQ(writeOne(1), ERROR_SUCCESS);
    }
    ASSERT_TRUE(readOnly.makeReadOnly());
    test::ScopedEnv other("LUMVEK_REGISTRY_FILE", (readOnly.dir() / "registry.sqlite3").string());
    EXPECT_EQ(registryProbeWrite(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(writeOne(77), ERROR_ACCESS_DENIED);
    // What it holds can still be read.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kGain, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD value = 0, type = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "Exposure", nullptr, &type, reinterpret_cast<uint8_t*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 50u);
    (void)RegCloseKey(key);
}

} // namespace
} // namespace lumvek::platform
