// The registry calls over the system registry on Windows, the named shared
// memory and the named lock. The test main points LUMVEK_REGISTRY_ROOT at a
// key of this process, which stands for HKEY_CURRENT_USER.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/registry/registry.h"
#include "platform/shm/named_lock.h"
#include "platform/shm/process_identity.h"
#include "platform/shm/shared_memory_block.h"
#include "platform/sync/clock.h"
#include "win32_hive.h"

namespace reg = lumvek::platform;

namespace {

constexpr const char* kSettingsKey = "Software\\Quelro\\LumvekR13K7Sdk\\Camera_00";

uint32_t readDword(reg::HKEY key, const char* name, reg::LONG* status = nullptr) {
    uint32_t value = 0;
    reg::DWORD type = 0;
    reg::DWORD size = sizeof value;
    const reg::LONG result =
        reg::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(&value), &size);
    if (status != nullptr) {
        *status = result;
    }
    return result == reg::ERROR_SUCCESS && type == reg::REG_DWORD && size == 4 ? value : 0xFFFFFFFFu;
}

std::string testRoot() {
    const char* root = std::getenv("LUMVEK_REGISTRY_ROOT");
    return root != nullptr ? root : "";
}

} // namespace

TEST(Win32Registry, ValuesLandBelowTheProcessRootNotTheUsersSettings) {
    ASSERT_FALSE(testRoot().empty());
    reg::HKEY key = nullptr;
    reg::DWORD disposition = 0;
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, kSettingsKey, reg::KEY_ALL_ACCESS, &key, &disposition),
              reg::ERROR_SUCCESS);
    EXPECT_EQ(disposition, reg::REG_CREATED_NEW_KEY);
    const uint32_t width = 2336;
    ASSERT_EQ(reg::RegSetValueExA(key, "EH", 0, reg::REG_DWORD, reinterpret_cast<const uint8_t*>(&width), 4),
              reg::ERROR_SUCCESS);
    EXPECT_EQ(reg::RegCloseKey(key), reg::ERROR_SUCCESS);

    EXPECT_TRUE(hiveHasKey(testRoot() + "\\" + kSettingsKey));
    EXPECT_EQ(reg::registryFilePath(), "HKEY_CURRENT_USER\\" + testRoot());

    // Names compare without case, as the system's do.
    ASSERT_EQ(reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, "SOFTWARE\\quelro\\lumvekr13k7sdk\\CAMERA_00", 0,
                                 reg::KEY_READ, &key),
              reg::ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, "eh"), 2336u);
    // A second create finds the key.
    reg::HKEY again = nullptr;
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, kSettingsKey, reg::KEY_ALL_ACCESS, &again, &disposition),
              reg::ERROR_SUCCESS);
    EXPECT_EQ(disposition, reg::REG_OPENED_EXISTING_KEY);
    reg::RegCloseKey(again);
    reg::RegCloseKey(key);
}

TEST(Win32Registry, OpenForReadNeverCreatesAndReadHandlesRefuseWrites) {
    reg::HKEY key = nullptr;
    EXPECT_EQ(reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Missing", 0, reg::KEY_READ, &key),
              reg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(hiveHasKey(testRoot() + "\\Software\\Quelro\\Missing"));

    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\ReadOnly", reg::KEY_ALL_ACCESS, &key,
                                   nullptr),
              reg::ERROR_SUCCESS);
    reg::RegCloseKey(key);
    ASSERT_EQ(reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\ReadOnly", 0, reg::KEY_READ, &key),
              reg::ERROR_SUCCESS);
    const uint32_t one = 1;
    EXPECT_EQ(reg::RegSetValueExA(key, "x", 0, reg::REG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4),
              reg::ERROR_ACCESS_DENIED);
    reg::LONG status = 0;
    (void)readDword(key, "x", &status);
    EXPECT_EQ(status, reg::ERROR_FILE_NOT_FOUND);
    reg::RegCloseKey(key);
}

TEST(Win32Registry, SmallBuffersReportTheSizeAndDwordsNeedFourBytes) {
    reg::HKEY key = nullptr;
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Sizes", reg::KEY_ALL_ACCESS, &key,
                                   nullptr),
              reg::ERROR_SUCCESS);
    const double gain = 1.25;
    ASSERT_EQ(reg::RegSetValueExA(key, "Gain", 0, reg::REG_BINARY, reinterpret_cast<const uint8_t*>(&gain), 8),
              reg::ERROR_SUCCESS);
    uint8_t small[4];
    reg::DWORD size = sizeof small;
    EXPECT_EQ(reg::RegQueryValueExA(key, "Gain", nullptr, nullptr, small, &size), reg::ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    double back = 0;
    size = sizeof back;
    reg::DWORD type = 0;
    ASSERT_EQ(reg::RegQueryValueExA(key, "Gain", nullptr, &type, reinterpret_cast<uint8_t*>(&back), &size),
              reg::ERROR_SUCCESS);
    EXPECT_EQ(type, reg::REG_BINARY);
    EXPECT_EQ(back, 1.25);
    const uint8_t three[3] = {1, 2, 3};
    EXPECT_EQ(reg::RegSetValueExA(key, "Bad", 0, reg::REG_DWORD, three, 3), reg::ERROR_INVALID_PARAMETER);
    reg::RegCloseKey(key);
}

TEST(Win32Registry, EnumerationAndTreeDeletion) {
    reg::HKEY key = nullptr;
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Tree\\Size_01", reg::KEY_ALL_ACCESS,
                                   &key, nullptr),
              reg::ERROR_SUCCESS);
    reg::RegCloseKey(key);
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Tree\\Size_00", reg::KEY_ALL_ACCESS,
                                   &key, nullptr),
              reg::ERROR_SUCCESS);
    reg::RegCloseKey(key);
    ASSERT_EQ(reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Tree", 0, reg::KEY_READ, &key),
              reg::ERROR_SUCCESS);
    char name[16];
    reg::DWORD chars = sizeof name;
    ASSERT_EQ(reg::RegEnumKeyExA(key, 0, name, &chars), reg::ERROR_SUCCESS);
    EXPECT_STREQ(name, "Size_00");
    EXPECT_EQ(chars, 7u);
    chars = 4;
    EXPECT_EQ(reg::RegEnumKeyExA(key, 1, name, &chars), reg::ERROR_MORE_DATA);
    chars = sizeof name;
    EXPECT_EQ(reg::RegEnumKeyExA(key, 2, name, &chars), reg::ERROR_NO_MORE_ITEMS);
    reg::RegCloseKey(key);

    EXPECT_EQ(reg::RegDeleteTreeA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Tree"), reg::ERROR_SUCCESS);
    EXPECT_EQ(reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, "Software\\Quelro\\Tree", 0, reg::KEY_READ, &key),
              reg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg::registryProbeWrite(), reg::ERROR_SUCCESS);
}

TEST(Win32SharedMemory, TwoMappingsOfOneNameShareTheirBytes) {
    using lumvek::platform::SharedMemoryBlock;
    const std::string name = "/lumvek-win32-test-" + std::to_string(currentProcessId());
    EXPECT_EQ(SharedMemoryBlock::open(name, 8584, SharedMemoryBlock::Mode::OpenExisting), nullptr);
    auto first = SharedMemoryBlock::open(name, 8584, SharedMemoryBlock::Mode::OpenOrCreate);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->created());
    EXPECT_EQ(first->data()[8583], 0);  // the paging file hands out zeros
    auto second = SharedMemoryBlock::open(name, 8584, SharedMemoryBlock::Mode::OpenExisting);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->created());
    std::memcpy(first->data() + 100, "U3K7", 4);
    EXPECT_EQ(std::memcmp(second->data() + 100, "U3K7", 4), 0);
    // A mapping cannot grow: asking an existing one for more fails.
    EXPECT_EQ(SharedMemoryBlock::open(name, 1 << 20, SharedMemoryBlock::Mode::OpenOrCreate), nullptr);
    // The name lives with its handles.
    first.reset();
    second.reset();
    EXPECT_EQ(SharedMemoryBlock::open(name, 8584, SharedMemoryBlock::Mode::OpenExisting), nullptr);
}

TEST(Win32NamedLock, ExcludesAnotherThreadUntilReleased) {
    const std::string name = "/lumvek-win32-lock-" + std::to_string(currentProcessId());
    std::atomic<bool> entered{false};
    std::thread other;
    {
        lumvek::platform::NamedLockGuard held(name);
        ASSERT_TRUE(held.held());
        other = std::thread([&] {
            lumvek::platform::NamedLockGuard mine(name);
            entered = mine.held();
        });
        lumvek::platform::sleepMs(200);
        EXPECT_FALSE(entered.load());
    }
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(Win32ProcessIdentity, ThisProcessLivesAndAReusedIdDoesNot) {
    const auto self = lumvek::platform::currentProcessIdentity();
    EXPECT_EQ(self.pid, static_cast<int32_t>(currentProcessId()));
    EXPECT_NE(self.startTicks, 0u);
    EXPECT_TRUE(lumvek::platform::isProcessAlive(self));
    auto other = self;
    other.startTicks += 1;  // the same id, started at another time
    EXPECT_FALSE(lumvek::platform::isProcessAlive(other));
    EXPECT_FALSE(lumvek::platform::isProcessAlive({0, 0}));
}
#endif
