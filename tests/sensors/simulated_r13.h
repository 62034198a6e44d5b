#pragma once
// A simulated camera on the in-process bus with a real controller bound to
// it, as when the camera device object has selected it: sensor drivers run
// over the actual request protocol, and the camera's register log shows what
// reached the device.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "sim/in_process_camera.h"
#include "sim/register_log.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek::test {

class SimulatedCameraFixture : public ::testing::Test {
protected:
    // Attaches a camera described by `description` (name= is added from the test
    // name) and selects its table entry on a new controller.
    void attach(const std::string& description) { attachCamera(description, nullptr); }

    // The same with a sensor model of the test's choosing.
    void attachCamera(const std::string& description, std::unique_ptr<sim::SensorModel> model) {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string error;
        if (model) {
            sim::CameraDescription parsed;
            ASSERT_TRUE(sim::parseCameraDescription(description + ",name=" + name, parsed, error)) << error;
            std::shared_ptr<sim::SimulatedCamera> device = sim::SimulatedCamera::create(parsed, std::move(model), error);
            ASSERT_TRUE(device) << error;
            camera_ = sim::InProcessCamera::create(std::move(device), error);
        } else {
            camera_ = sim::InProcessCamera::create(description + ",name=" + name, error);
        }
        ASSERT_TRUE(camera_) << error;
        controller_ = std::make_unique<CQuelroCy3Cam>();
        ASSERT_GT(controller_->EnumerateDevices(), 0);
        const auto table = controller_->TableCopy();
        int entry = -1;
        for (int i = 0; i < 32; ++i) {
            if (std::strcmp(table.entries[static_cast<size_t>(i)].path.data(), camera_->path().c_str()) == 0) entry = i;
        }
        ASSERT_GE(entry, 0);
        ASSERT_EQ(controller_->SelectDevice(entry), 1);
        ASSERT_EQ(controller_->AllocateTransferBuffer(), 1);
    }

    void TearDown() override {
        controller_.reset();
        camera_.reset();
    }

    sim::SimulatedCamera& device() { return camera_->device(); }
    std::vector<sim::RegisterAccess> accesses(sim::Access kind) { return device().log().accesses(kind); }

    std::unique_ptr<sim::InProcessCamera> camera_;
    std::unique_ptr<CQuelroCy3Cam> controller_;
};

} // namespace lumvek::test
