#pragma once
// A controller bound to one scripted camera on the in-process bus, with the
// camera selected and the transfer buffer allocated, as when a camera is
// opened.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/fx3/in_process_bus.h"
#include "scripted_camera.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek::test {

inline constexpr uint16_t kTestVendorId = 0x1f3a;
inline constexpr uint16_t kR13ProductId = 0x3090;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera_ = std::make_shared<ScriptedCamera>();
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        path_ = fx3::InProcessBus::instance().attach(camera_, kTestVendorId, kR13ProductId, name);
        ASSERT_FALSE(path_.empty());
        controller_ = std::make_unique<CQuelroCy3Cam>();
        const int entry = controller_->FindDeviceEntry(kR13ProductId, 0);
        ASSERT_GE(entry, 0);
        ASSERT_EQ(controller_->SelectDevice(entry), 1);
        ASSERT_EQ(controller_->AllocateTransferBuffer(), 1);
    }
    void TearDown() override {
        controller_.reset();
        fx3::InProcessBus::instance().detach(path_);
    }

    std::shared_ptr<ScriptedCamera> camera_;
    std::string path_;
    std::unique_ptr<CQuelroCy3Cam> controller_;
};

} // namespace lumvek::test
