// The open-device table's shared block across real processes: layout, the
// attach count, emptying on first attach, and recovery from processes that
// die while attached or while holding the table's lock.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

#include "peer/peer_channel.h"
#include "platform/shm/named_lock.h"
#include "platform/shm/shared_memory_block.h"
#include "usb/device_table.h"
#include "support/test_env.h"
#include "usb/shared_device_table.h"

namespace lumvek {
namespace {

using platform::SharedMemoryBlock;
using usb::DeviceTable;
using usb::SharedDeviceTable;

std::unique_ptr<SharedMemoryBlock> openBlock() {
    return SharedMemoryBlock::open(usb::sharedBlockName(), usb::kSharedBlockBytes, SharedMemoryBlock::Mode::OpenExisting);
}

int32_t blockAttachCount() {
    auto block = openBlock();
    return block ? usb::readAttachCount(block->data()) : -100;
}

// A block as another process would have left it: attach count and two entries.
void seedBlock(int32_t attachCount) {
    auto block = SharedMemoryBlock::open(usb::sharedBlockName(), usb::kSharedBlockBytes,
                                         SharedMemoryBlock::Mode::OpenOrCreate);
    ASSERT_TRUE(block);
    DeviceTable table;
    table.entries[0] = {0x1f3a, 0x3090, 0, {}};
    table.entries[0].setPath(R"(\\?\usb#vid_1f3a&pid_3090#a#{guid})");
    table.entries[1] = {0x1f3a, 0x3090, 1, {}};
    table.entries[1].setPath(R"(\\?\usb#vid_1f3a&pid_3090#b#{guid})");
    table.entryCount = 2;
    usb::writeTable(block->data(), table);
    usb::writeAttachCount(block->data(), attachCount);
}

class SharedTable : public ::testing::Test {
protected:
    void TearDown() override {
        // Leave nothing in /dev/shm whatever the test did.
        const std::string name = usb::sharedBlockName();
        shm_unlink(name.c_str());
        shm_unlink((name + ".lock").c_str());
        shm_unlink((name + ".attach").c_str());
    }
};

TEST_F(SharedTable, BlockHasTheSharedLayoutAndStartsEmpty) {
    auto view = SharedDeviceTable::attach();
    ASSERT_TRUE(view);
    auto block = openBlock();
    ASSERT_TRUE(block);
    struct stat st {};
    ASSERT_EQ(fstat(block->fd(), &st), 0);
    EXPECT_EQ(st.st_size, 8584);
    EXPECT_EQ(usb::readAttachCount(block->data()), 1);
    DeviceTable table;
    usb::readTable(block->data(), table);
    EXPECT_EQ(table.entryCount, 0);
    for (const auto& entry : table.entries) {
        EXPECT_EQ(entry.productId, 0);
        EXPECT_EQ(entry.deviceNumber, -1);
        EXPECT_EQ(entry.path[0], '\0');
    }
    SharedDeviceTable::detach(std::move(view));
}

TEST_F(SharedTable, AttachToALiveTableKeepsItsEntriesAndCounts) {
    seedBlock(2);
    auto first = SharedDeviceTable::attach();
    ASSERT_TRUE(first);
    EXPECT_EQ(blockAttachCount(), 3);
    EXPECT_EQ(SharedDeviceTable::processAttachCount(), 3);
    const DeviceTable copy = SharedDeviceTable::processCopy();
    EXPECT_EQ(copy.entryCount, 2);
    EXPECT_EQ(copy.entries[1].deviceNumber, 1);
    EXPECT_TRUE(copy.entries[1].hasPath(R"(\\?\usb#vid_1f3a&pid_3090#b#{guid})"));

    auto second = SharedDeviceTable::attach();
    EXPECT_EQ(blockAttachCount(), 4);
    SharedDeviceTable::detach(std::move(second));
    SharedDeviceTable::detach(std::move(first));
    // The two attachments of the seeding "process" remain.
    EXPECT_EQ(blockAttachCount(), 2);
    auto block = openBlock();
    ASSERT_TRUE(block);
    DeviceTable after;
    usb::readTable(block->data(), after);
    EXPECT_EQ(after.entryCount, 2);
}

TEST_F(SharedTable, FirstAttachAfterEveryoneLeftStartsAFreshTable) {
    seedBlock(0);  // entries left behind, nobody attached
    auto view = SharedDeviceTable::attach();
    ASSERT_TRUE(view);
    EXPECT_EQ(SharedDeviceTable::processCopy().entryCount, 0);
    SharedDeviceTable::detach(std::move(view));
    // The last detach removes the block; nothing is left for the next user.
    EXPECT_FALSE(openBlock());
}

TEST_F(SharedTable, UntrustedBlockContentIsClamped) {
    auto block = SharedMemoryBlock::open(usb::sharedBlockName(), usb::kSharedBlockBytes,
                                         SharedMemoryBlock::Mode::OpenOrCreate);
    ASSERT_TRUE(block);
    std::memset(block->data(), 'A', usb::kSharedBlockBytes);  // no NUL anywhere, absurd counts
    DeviceTable table;
    usb::readTable(block->data(), table);
    EXPECT_LE(table.entryCount, usb::kMaxDevices);
    EXPECT_GE(table.entryCount, 0);
    for (const auto& entry : table.entries) {
        EXPECT_LT(std::strlen(entry.path.data()), usb::kDevicePathBytes);
    }
}

TEST_F(SharedTable, TwoProcessesShareOneAttachCount) {
    test::PeerProcess peer;
    ASSERT_TRUE(peer.started());
    EXPECT_EQ(peer.call("attach"), "ok 1");
    auto view = SharedDeviceTable::attach();
    ASSERT_TRUE(view);
    EXPECT_EQ(SharedDeviceTable::processAttachCount(), 2);
    EXPECT_EQ(peer.call("attach"), "ok 3");
    EXPECT_EQ(peer.call("detach"), "ok 2");
    EXPECT_EQ(peer.call("detach"), "ok 1");
    EXPECT_EQ(blockAttachCount(), 1);
    SharedDeviceTable::detach(std::move(view));
    EXPECT_FALSE(openBlock());
}

TEST_F(SharedTable, AttachmentsOfAKilledProcessAreReleased) {
    test::PeerProcess peer;
    ASSERT_TRUE(peer.started());
    ASSERT_EQ(peer.call("attach"), "ok 1");
    ASSERT_EQ(peer.call("attach"), "ok 2");
    peer.killHard();
    EXPECT_EQ(blockAttachCount(), 2);  // nobody has looked yet

    auto view = SharedDeviceTable::attach();
    ASSERT_TRUE(view);
    EXPECT_EQ(SharedDeviceTable::processAttachCount(), 1);
    EXPECT_EQ(blockAttachCount(), 1);
    SharedDeviceTable::detach(std::move(view));
    EXPECT_FALSE(openBlock());  // numbering can start afresh
}

TEST_F(SharedTable, AProcessExitingWithControllersGivesThemBack) {
    test::PeerProcess peer;
    ASSERT_TRUE(peer.started());
    ASSERT_EQ(peer.call("attach"), "ok 1");
    ASSERT_EQ(peer.call("attach"), "ok 2");
    auto view = SharedDeviceTable::attach();
    ASSERT_TRUE(view);
    EXPECT_EQ(peer.call("exit-leaking"), "ok");
    EXPECT_TRUE(peer.quit());  // waits for its exit
    EXPECT_EQ(blockAttachCount(), 1);
    SharedDeviceTable::detach(std::move(view));
    EXPECT_FALSE(openBlock());
}

TEST_F(SharedTable, AttachmentsOfALiveProcessAreKept) {
    test::PeerProcess peer;
    ASSERT_TRUE(peer.started());
    ASSERT_EQ(peer.call("attach"), "ok 1");
    auto view = SharedDeviceTable::attach();
    ASSERT_TRUE(view);
    EXPECT_EQ(blockAttachCount(), 2);
    SharedDeviceTable::detach(std::move(view));
    EXPECT_EQ(blockAttachCount(), 1);
    EXPECT_EQ(peer.call("detach"), "ok 0");
}

TEST_F(SharedTable, ALockHeldByAKilledProcessIsFreed) {
    test::PeerProcess peer;
    ASSERT_TRUE(peer.started());
    ASSERT_EQ(peer.call("hold-lock"), "ok");

    std::mutex mutex;
    std::condition_variable changed;
    bool attached = false;
    std::thread attacher([&] {
        auto view = SharedDeviceTable::attach();
        SharedDeviceTable::detach(std::move(view));
        std::lock_guard lock(mutex);
        attached = true;
        changed.notify_all();
    });
    {
        // While the peer holds the lock, attaching must wait.
        std::unique_lock lock(mutex);
        EXPECT_FALSE(changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return attached; }));
    }
    peer.killHard();
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return attached; }));
    }
    attacher.join();
}

} // namespace
} // namespace lumvek

namespace lumvek::test {
namespace {

// Each user has a block of their own: another user's running program can
// neither hide this user's cameras nor lock them out with a 0600 block.
TEST(SharedBlockName, IsPerUserUnlessTheEnvironmentNamesOne) {
    {
        ScopedEnv unset("LUMVEK_SHM_NAME", std::nullopt);
        EXPECT_EQ(usb::sharedBlockName(), "/U3K7-MemMap-" + std::to_string(::getuid()));
    }
    ScopedEnv named("LUMVEK_SHM_NAME", "lumvek-test-block");
    EXPECT_EQ(usb::sharedBlockName(), "/lumvek-test-block");
}

} // namespace
} // namespace lumvek::test
