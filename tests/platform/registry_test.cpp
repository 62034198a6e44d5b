// The per-user registry over its SQLite file: value round trips, name rules,
// handle safety, several writers, and files that are corrupt or unwritable.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/registry/registry.h"
#include "support/test_env.h"

namespace lumvek::platform {
namespace {

constexpr const char* kRoot = "Software\\Quelro\\LumvekR13K7Sdk";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = test::makeTempDir(std::string("reg-") + info->name());
        file_ = (dir_ / "store" / "registry.sqlite3").string();
        env_.emplace("LUMVEK_REGISTRY_FILE", file_);
    }

    static HKEY create(const char* path, HKEY parent = HKEY_CURRENT_USER) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, path, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS) << path;
        return key;
    }
    static LONG setDword(HKEY key, const char* name, DWORD value) {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&value), sizeof value);
    }
    static LONG getDword(HKEY key, const char* name, DWORD* value) {
        DWORD type = 0, size = sizeof *value;
        const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(value), &size);
        if (status == ERROR_SUCCESS && (type != REG_DWORD || size != 4))
            return ERROR_BADDB;
        return status;
    }

    std::filesystem::path dir_;
    std::string file_;
    std::optional<test::ScopedEnv> env_;
};

TEST_F(RegistryTest, DwordAndBinaryDoubleRoundTripWithTypeAndSize) {
    HKEY gain = create("Software\\Quelro\\LumvekR13K7Sdk\\Camera_00\\Gain");
    ASSERT_EQ(setDword(gain, "Exposure", 0xFFFFFFF6u), ERROR_SUCCESS);  // -10 as a signed setting
    const double seconds = 0.0123456789;
    ASSERT_EQ(RegSetValueExA(gain, "ExposureEx", 0, REG_BINARY, reinterpret_cast<const uint8_t*>(&seconds), 8),
              ERROR_SUCCESS);
    ASSERT_EQ(setDword(gain, "Global", 7), ERROR_SUCCESS);
    ASSERT_EQ(setDword(gain, "Global", 9), ERROR_SUCCESS);  // replaces
    ASSERT_EQ(RegCloseKey(gain), ERROR_SUCCESS);

    HKEY read = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quelro\\LumvekR13K7Sdk\\Camera_00\\Gain", 0, KEY_READ, &read),
              ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(getDword(read, "Exposure", &value), ERROR_SUCCESS);
    EXPECT_EQ(static_cast<int32_t>(value), -10);
    EXPECT_EQ(getDword(read, "Global", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, 9u);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(read, "ExposureEx", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 8u);
    double back = 0;
    size = 7;  // one byte short: refused, nothing copied, size reported
    EXPECT_EQ(RegQueryValueExA(read, "ExposureEx", nullptr, &type, reinterpret_cast<uint8_t*>(&back), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(back, 0.0);
    size = 8;
    EXPECT_EQ(RegQueryValueExA(read, "ExposureEx", nullptr, &type, reinterpret_cast<uint8_t*>(&back), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(&back, &seconds, 8), 0);
    EXPECT_EQ(getDword(read, "Missing", &value), ERROR_FILE_NOT_FOUND);
    RegCloseKey(read);
}

TEST_F(RegistryTest, RejectsMalformedValuesAndPaths) {
    HKEY key = create(kRoot);
    const uint8_t three[3] = {1, 2, 3};
    EXPECT_EQ(RegSetValueExA(key, "Short", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "Null", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, std::string(300, 'n').c_str(), 0, REG_BINARY, three, 3), ERROR_INVALID_PARAMETER);
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, reinterpret_cast<uint8_t*>(&value), nullptr),
              ERROR_INVALID_PARAMETER);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExA(key, "a\\\\b", KEY_ALL_ACCESS, &sub, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(key, "\\a", KEY_ALL_ACCESS, &sub, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(sub, nullptr);
    EXPECT_EQ(RegCreateKeyExA(key, "a", KEY_ALL_ACCESS, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    HKEY key = create("Software\\Quelro\\LumvekR13K7Sdk\\Camera_00");
    DWORD disposition = 0;
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\quelro\\lumvekr13k7sdk\\CAMERA_00", KEY_ALL_ACCESS,
                              &again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    ASSERT_EQ(setDword(key, "SubSample", 1), ERROR_SUCCESS);
    ASSERT_EQ(setDword(again, "SUBSAMPLE", 2), ERROR_SUCCESS);  // same value, first spelling kept
    DWORD value = 0;
    EXPECT_EQ(getDword(key, "subsample", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);

    char name[64];
    DWORD chars = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &chars, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "SubSample");
    chars = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &chars, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\QUELRO", 0, KEY_READ, &parent), ERROR_SUCCESS);
    chars = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &chars), ERROR_SUCCESS);
    EXPECT_STREQ(name, "LumvekR13K7Sdk");
    EXPECT_EQ(chars, 14u);
    RegCloseKey(parent);
    RegCloseKey(again);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationInOrderWithBufferChecks) {
    HKEY root = create(kRoot);
    for (const char* size : {"Size_02", "size_00", "Size_01"})
        RegCloseKey(create(size, root));
    ASSERT_EQ(setDword(root, "b", 2), ERROR_SUCCESS);
    ASSERT_EQ(setDword(root, "A", 1), ERROR_SUCCESS);

    std::vector<std::string> keys;
    char name[16];
    for (DWORD i = 0;; ++i) {
        DWORD chars = sizeof name;
        const LONG status = RegEnumKeyExA(root, i, name, &chars);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        keys.emplace_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"size_00", "Size_01", "Size_02"}));
    DWORD chars = 7;  // "Size_01" needs 8 with its terminator
    EXPECT_EQ(RegEnumKeyExA(root, 1, name, &chars), ERROR_MORE_DATA);

    DWORD type = 0, value = 0, size = sizeof value;
    chars = sizeof name;
    ASSERT_EQ(RegEnumValueA(root, 0, name, &chars, &type, reinterpret_cast<uint8_t*>(&value), &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "A");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 1u);
    RegCloseKey(root);
}

TEST_F(RegistryTest, ReadingNeverCreatesKeysOrTheFile) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(file_).parent_path()));
    char name[16];
    DWORD chars = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(HKEY_CURRENT_USER, 0, name, &chars), ERROR_NO_MORE_ITEMS);

    RegCloseKey(create("Software"));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quelro", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    chars = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &chars), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, HandlesAreCheckedNeverTrusted) {
    HKEY key = create(kRoot);
    ASSERT_EQ(setDword(key, "Size", 0), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(getDword(key, "Size", &value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setDword(key, "Size", 1), ERROR_INVALID_HANDLE);
    for (uintptr_t bogus : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0xDEADBEEF}, ~uintptr_t{0}}) {
        const HKEY fake = reinterpret_cast<HKEY>(bogus);
        EXPECT_EQ(getDword(fake, "Size", &value), ERROR_INVALID_HANDLE);
        HKEY out = nullptr;
        EXPECT_EQ(RegOpenKeyExA(fake, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteTreeA(fake, nullptr), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_INVALID_HANDLE);

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(setDword(readOnly, "Size", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(readOnly, "Size"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExA(readOnly, "Camera_00", KEY_ALL_ACCESS, &sub, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(getDword(readOnly, "Size", &value), ERROR_SUCCESS);
    RegCloseKey(readOnly);
}

TEST_F(RegistryTest, DeleteValueAndTreeAndStaleHandles) {
    HKEY root = create(kRoot);
    HKEY size = create("Camera_00\\Size_00", root);
    ASSERT_EQ(setDword(size, "TH", 2336), ERROR_SUCCESS);
    ASSERT_EQ(setDword(root, "Keep", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(size, "th"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(size, "TH"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(setDword(size, "TH", 2336), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteTreeA(root, "Camera_00"), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(getDword(size, "TH", &value), ERROR_KEY_DELETED);
    EXPECT_EQ(setDword(size, "TH", 1), ERROR_KEY_DELETED);
    // A newly created key of the same name is a different key.
    HKEY fresh = create("Camera_00\\Size_00", root);
    EXPECT_EQ(getDword(fresh, "TH", &value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(getDword(size, "TH", &value), ERROR_KEY_DELETED);
    EXPECT_EQ(getDword(root, "Keep", &value), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(root, "NoSuchKey"), ERROR_FILE_NOT_FOUND);

    // Without a subkey: everything below, the key itself stays.
    EXPECT_EQ(RegDeleteTreeA(root, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(getDword(root, "Keep", &value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(getDword(fresh, "TH", &value), ERROR_KEY_DELETED);
    EXPECT_EQ(setDword(root, "Again", 1), ERROR_SUCCESS);
    for (HKEY k : {root, size, fresh})
        EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNothing) {
    constexpr int kThreads = 4, kValues = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string path = std::string(kRoot) + "\\Camera_0" + std::to_string(t);
            for (int i = 0; i < kValues; ++i) {
                HKEY key = nullptr;
                if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS, &key, nullptr) != ERROR_SUCCESS)
                    return;
                (void)setDword(key, ("V" + std::to_string(i)).c_str(), static_cast<DWORD>(t * 1000 + i));
                RegCloseKey(key);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kRoot) + "\\Camera_0" + std::to_string(t)).c_str(), 0,
                                KEY_READ, &key),
                  ERROR_SUCCESS);
        for (int i = 0; i < kValues; ++i) {
            DWORD value = 0;
            ASSERT_EQ(getDword(key, ("v" + std::to_string(i)).c_str(), &value), ERROR_SUCCESS);
            EXPECT_EQ(value, static_cast<DWORD>(t * 1000 + i));
        }
        RegCloseKey(key);
    }
}

// A second process writes while this one writes; each then sees the other's values.
TEST_F(RegistryTest, TwoProcessesShareOneStore) {
    constexpr int kValues = 100;
    HKEY mine = create("Software\\Quelro\\Parent");  // the file exists before the fork
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failures = 0;
        for (int i = 0; i < kValues; ++i) {
            HKEY key = nullptr;
            failures += RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quelro\\Child", KEY_ALL_ACCESS, &key, nullptr) !=
                        ERROR_SUCCESS;
            failures += setDword(key, ("C" + std::to_string(i)).c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS;
            RegCloseKey(key);
        }
        _exit(failures == 0 ? 0 : 1);
    }
    for (int i = 0; i < kValues; ++i)
        EXPECT_EQ(setDword(mine, ("P" + std::to_string(i)).c_str(), static_cast<DWORD>(i)), ERROR_SUCCESS);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    HKEY theirs = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quelro\\Child", 0, KEY_READ, &theirs), ERROR_SUCCESS);
    for (int i = 0; i < kValues; ++i) {
        DWORD value = 0;
        ASSERT_EQ(getDword(theirs, ("C" + std::to_string(i)).c_str(), &value), ERROR_SUCCESS);
        EXPECT_EQ(value, static_cast<DWORD>(i));
    }

    // And the other way round: a fresh process reads what this one wrote.
    const pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        HKEY key = nullptr;
        DWORD value = 0;
        const bool ok = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quelro\\Parent", 0, KEY_READ, &key) ==
                            ERROR_SUCCESS &&
                        getDword(key, "P99", &value) == ERROR_SUCCESS && value == 99;
        _exit(ok ? 0 : 1);
    }
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    RegCloseKey(theirs);
    RegCloseKey(mine);
}

TEST_F(RegistryTest, CorruptOrForeignFileFailsCleanly) {
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
    {
        std::ofstream out(file_, std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            out.put(static_cast<char>(i * 37));
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, KEY_ALL_ACCESS, &key, nullptr), ERROR_BADDB);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(std::filesystem::file_size(file_), 4096u);  // left as found

    // A valid SQLite file of something else: refused rather than written into.
    const std::string foreign = (dir_ / "foreign.sqlite3").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE photos(id INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    test::ScopedEnv other("LUMVEK_REGISTRY_FILE", foreign);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, &key, nullptr), ERROR_BADDB);

    // Once the file is mended the store works again in the same process.
    std::filesystem::remove(file_);
    test::ScopedEnv back("LUMVEK_REGISTRY_FILE", file_);
    key = create(kRoot);
    EXPECT_EQ(setDword(key, "Size", 0), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, UnwritableLocationsFailCleanly) {
    // A folder that cannot exist (below a regular file) and a file system
    // that refuses new files, so the checks hold even with root rights.
    const auto plainFile = dir_ / "plain";
    std::ofstream(plainFile) << "x";
    for (const std::string& path : {(plainFile / "reg.sqlite3").string(), std::string("/proc/self/lumvek.sqlite3")}) {
        test::ScopedEnv location("LUMVEK_REGISTRY_FILE", path);
        HKEY key = nullptr;
        EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS) << path;
        EXPECT_EQ(key, nullptr);
        EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &key), ERROR_SUCCESS);
        const DWORD one = 1;
        EXPECT_NE(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4),
                  ERROR_SUCCESS);
    }
    if (geteuid() != 0) {
        HKEY key = create(kRoot);
        RegCloseKey(key);
        std::filesystem::permissions(file_, std::filesystem::perms::owner_read);
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        EXPECT_EQ(setDword(key, "Size", 1), ERROR_ACCESS_DENIED);
        RegCloseKey(key);
    }
}

TEST_F(RegistryTest, FileFollowsTheEnvironmentAndHandlesKeepTheirFile) {
    HKEY first = create(kRoot);
    const std::string second = (dir_ / "second.sqlite3").string();
    {
        test::ScopedEnv other("LUMVEK_REGISTRY_FILE", second);
        EXPECT_EQ(registryFilePath(), second);
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(setDword(first, "InFirst", 1), ERROR_SUCCESS);  // the handle stays on its own file
        RegCloseKey(create("Other"));
    }
    DWORD value = 0;
    HKEY check = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &check), ERROR_SUCCESS);
    EXPECT_EQ(getDword(check, "InFirst", &value), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Other", 0, KEY_READ, &check), ERROR_FILE_NOT_FOUND);

    // A store file removed under open handles: the handles fail, new keys go to a new file.
    std::filesystem::remove(file_);
    EXPECT_EQ(getDword(first, "InFirst", &value), ERROR_KEY_DELETED);
    HKEY again = create(kRoot);
    EXPECT_EQ(getDword(again, "InFirst", &value), ERROR_FILE_NOT_FOUND);
    RegCloseKey(again);
    RegCloseKey(first);

    test::ScopedEnv noOverride("LUMVEK_REGISTRY_FILE", std::nullopt);
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir_ / "cfg").string());
    EXPECT_EQ(registryFilePath(), (dir_ / "cfg" / "lumvek" / "registry.sqlite3").string());
    RegCloseKey(create("Software"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "cfg" / "lumvek" / "registry.sqlite3"));
    test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");  // ignored: must be absolute
    test::ScopedEnv home("HOME", (dir_ / "home").string());
    EXPECT_EQ(registryFilePath(), (dir_ / "home" / ".config" / "lumvek" / "registry.sqlite3").string());
}

} // namespace
} // namespace lumvek::platform
