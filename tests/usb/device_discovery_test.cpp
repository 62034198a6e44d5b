// Discovery and the numbering rules of the open-device table, within one
// process and across two real processes sharing the block.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "peer/peer_channel.h"
#include "platform/fx3/in_process_bus.h"
#include "scripted_camera.h"
#include "usb/fx3_api.h"

namespace lumvek::test {
namespace {

constexpr uint16_t kVendor = 0x1f3a;
constexpr uint16_t kR13 = 0x3090;
constexpr uint16_t kOther = 0x3040;

// Cameras this test made present; all removed at the end.
class Discovery : public ::testing::Test {
protected:
    void TearDown() override {
        controller_.reset();
        for (const auto& path : paths_) {
            fx3::InProcessBus::instance().detach(path);
        }
    }
    std::shared_ptr<ScriptedCamera> plug(uint16_t product, const std::string& name) {
        auto camera = std::make_shared<ScriptedCamera>();
        const std::string path = fx3::InProcessBus::instance().attach(camera, kVendor, product, name);
        EXPECT_FALSE(path.empty()) << name;
        paths_.push_back(path);
        names_.push_back(name);
        return camera;
    }
    void unplug(const std::string& name) {
        for (size_t i = 0; i < names_.size(); ++i) {
            if (names_[i] == name && !paths_[i].empty()) {
                fx3::InProcessBus::instance().detach(paths_[i]);
                paths_[i].clear();
            }
        }
    }
    // "pid:number" of every entry below the entry count.
    std::vector<std::string> numbering(CFx3Api& api) {
        std::vector<std::string> out;
        const auto table = api.TableCopy();
        for (int i = 0; i < table.entryCount; ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "%04x:%d", api.GetEntryProductId(i), api.GetEntryDeviceNumber(i));
            out.push_back(text);
        }
        return out;
    }

    std::unique_ptr<CFx3Api> controller_ = std::make_unique<CFx3Api>();
    std::vector<std::string> paths_;
    std::vector<std::string> names_;
};

TEST_F(Discovery, NumbersFollowDiscoveryOrderPerProductAndStay) {
    plug(kR13, "first");
    plug(kOther, "between");
    plug(kR13, "second");
    ASSERT_TRUE(controller_->HasTable());
    EXPECT_EQ(controller_->EnumerateDevices(), 3);
    const std::vector<std::string> expected{"3090:0", "3040:0", "3090:1"};
    EXPECT_EQ(numbering(*controller_), expected);
    EXPECT_EQ(controller_->GetEntryVendorId(0), kVendor);

    // Enumerating again with the same cameras changes nothing.
    const auto before = controller_->TableCopy();
    EXPECT_EQ(controller_->EnumerateDevices(), 3);
    const auto after = controller_->TableCopy();
    EXPECT_EQ(numbering(*controller_), expected);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(before.entries[i].path.data()), std::string(after.entries[i].path.data()));
    }
    EXPECT_EQ(controller_->CountDevicesOfProduct(kR13), 2);
    EXPECT_EQ(controller_->CountDevicesOfProduct(kOther), 1);
    EXPECT_EQ(controller_->CountDevicesOfProduct(0), 3);
    EXPECT_EQ(controller_->FindDeviceEntry(kR13, 1), 2);
    EXPECT_EQ(controller_->FindDeviceEntry(kR13, 2), -1);
}

TEST_F(Discovery, UnpluggedCameraKeepsItsEntryAndNumber) {
    plug(kR13, "a");
    plug(kR13, "b");
    ASSERT_EQ(controller_->EnumerateDevices(), 2);
    unplug("a");
    EXPECT_EQ(controller_->EnumerateDevices(), 2);  // still in the table
    EXPECT_EQ(controller_->CountDevicesOfProduct(kR13), 1);  // but not counted
    EXPECT_FALSE(controller_->IsDeviceNumberPresent(kR13, 0));
    EXPECT_TRUE(controller_->IsDeviceNumberPresent(kR13, 1));
    EXPECT_FALSE(controller_->IsDeviceOpenable(0));
    fx3::DeviceHandle handle = reinterpret_cast<fx3::DeviceHandle>(1);
    EXPECT_FALSE(controller_->OpenDevice(0, false, &handle));
    EXPECT_EQ(handle, nullptr);

    plug(kR13, "a");  // same path again
    EXPECT_EQ(controller_->EnumerateDevices(), 2);
    EXPECT_EQ(numbering(*controller_), (std::vector<std::string>{"3090:0", "3090:1"}));
    EXPECT_TRUE(controller_->IsDeviceNumberPresent(kR13, 0));
    plug(kR13, "c");
    EXPECT_EQ(controller_->EnumerateDevices(), 3);
    EXPECT_EQ(controller_->GetEntryDeviceNumber(2), 2);
}

TEST_F(Discovery, APathThatDoesNotOpenIsNeverAdded) {
    auto dead = plug(kR13, "dead");
    dead->setConnected(false);  // listed, but opening it fails
    EXPECT_EQ(controller_->EnumerateDevices(), 0);
    EXPECT_EQ(controller_->CountDevicesOfProduct(kR13), 0);
    EXPECT_EQ(controller_->FindDeviceEntry(kR13, 0), -1);
    dead->setConnected(true);
    EXPECT_EQ(controller_->EnumerateDevices(), 1);
    EXPECT_EQ(controller_->GetEntryDeviceNumber(0), 0);
}

TEST_F(Discovery, ThirtyThirdCameraIsNotRecorded) {
    for (int i = 0; i < 33; ++i) {
        plug(kR13, "n" + std::to_string(i));
    }
    EXPECT_EQ(controller_->EnumerateDevices(), 32);
    EXPECT_EQ(controller_->GetEntryDeviceNumber(31), 31);
    EXPECT_EQ(controller_->EnumerateDevices(), 32);
}

TEST_F(Discovery, IndicesOutsideTheTableAreRefused) {
    plug(kR13, "only");
    ASSERT_EQ(controller_->EnumerateDevices(), 1);
    fx3::DeviceHandle handle = nullptr;
    EXPECT_FALSE(controller_->OpenDevice(1, false, &handle));
    EXPECT_FALSE(controller_->OpenDevice(32, false, &handle));
    EXPECT_FALSE(controller_->OpenDevice(-1, false, &handle));
    EXPECT_FALSE(controller_->OpenDevice(0, false, nullptr));
    EXPECT_TRUE(controller_->OpenDevice(0, true, &handle));
    fx3::closeHandle(handle);
    EXPECT_EQ(controller_->GetEntryProductId(32), 0);
    EXPECT_EQ(controller_->GetEntryVendorId(-1), 0);
    EXPECT_EQ(controller_->GetEntryDeviceNumber(32), -1);
    EXPECT_EQ(controller_->GetEntryDeviceNumber(5), -1);  // a free entry
    EXPECT_FALSE(controller_->IsDeviceNumberPresent(-1, 0));
}

TEST_F(Discovery, TwoProcessesNumberTheSameCamerasAlike) {
    PeerProcess peer;
    ASSERT_TRUE(peer.started());
    ASSERT_EQ(peer.call("controller"), "ok 2");  // this process's controller came first

    plug(kR13, "shared-a");
    plug(kOther, "shared-b");
    ASSERT_EQ(controller_->EnumerateDevices(), 2);

    // The peer meets a new R13 before the known one: the known one keeps
    // number 0 and the new one becomes number 1, as this process sees too.
    ASSERT_EQ(peer.call("plug 1f3a 3090 shared-c"), "ok");
    ASSERT_EQ(peer.call("plug 1f3a 3090 shared-a"), "ok");
    EXPECT_EQ(peer.call("enumerate"), "ok 3");
    EXPECT_EQ(peer.call("entry 0"), "ok 1f3a 3090 0");
    EXPECT_EQ(peer.call("entry 1"), "ok 1f3a 3040 0");
    EXPECT_EQ(peer.call("entry 2"), "ok 1f3a 3090 1");
    EXPECT_EQ(peer.call("countof 3090"), "ok 2");
    EXPECT_EQ(peer.call("countof 3040"), "ok 0");  // not present in the peer

    EXPECT_EQ(controller_->EnumerateDevices(), 3);
    EXPECT_EQ(controller_->GetEntryDeviceNumber(2), 1);
    EXPECT_EQ(controller_->CountDevicesOfProduct(kR13), 1);  // shared-c is not present here

    // The table lives while the peer is attached, then starts afresh.
    controller_.reset();
    controller_ = std::make_unique<CFx3Api>();
    EXPECT_EQ(controller_->TableCopy().entryCount, 3);
    controller_.reset();
    EXPECT_TRUE(peer.quit());
    controller_ = std::make_unique<CFx3Api>();
    EXPECT_EQ(controller_->TableCopy().entryCount, 0);
}

} // namespace
} // namespace lumvek::test
