#pragma once
// A camera device object opened on one camera: either a scripted device
// (frames the test decides, byte for byte) or the camera simulator.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camera/lumvek_usb3k7_simple_sdk.h"
#include "platform/fx3/in_process_bus.h"
#include "scripted_camera.h"
#include "sim/in_process_camera.h"

namespace lumvek::test {

inline std::string currentTestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class ScriptedDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { openProduct(0x3090); }
    // Attaches a scripted camera of this product and opens it with its real
    // driver. The scripted camera does not answer every family driver's
    // probe or start-up; the device object keeps the driver, which is all a
    // test of the device object's own rules needs, so only the R13 must start.
    void openProduct(int productId) {
        camera_ = std::make_shared<ScriptedCamera>();
        path_ = fx3::InProcessBus::instance().attach(camera_, 0x04b4, static_cast<uint16_t>(productId),
                                                     currentTestName());
        ASSERT_FALSE(path_.empty());
        device_ = std::make_unique<CLumvekUSB3K7SimpleSdk>();
        ASSERT_EQ(device_->SetProductId(productId), 1);
        ASSERT_EQ(device_->CreateController(nullptr), 1);
        const int opened = device_->CreateSensor(0);
        if (productId == 0x3090) {
            ASSERT_EQ(opened, 1);
        }
        ASSERT_NE(device_->sensor(), nullptr);
        ASSERT_EQ(device_->UpdateFrameGeometry(), 1);
        frameBytes_ = static_cast<uint32_t>(device_->frameByteCount());
        ASSERT_GT(frameBytes_, 0u);
    }
    void TearDown() override {
        device_.reset();
        fx3::InProcessBus::instance().detach(path_);
    }
    // One frame: header announcing the frame byte count, then `fill` bytes.
    void queueFrame(uint8_t fill) { queueFrame(std::vector<uint8_t>(frameBytes_, fill), fill); }
    // The same with the given pixels (the header's byte 32 = `tag`), in transfers of 512 KiB.
    void queueFrame(const std::vector<uint8_t>& pixels, uint8_t tag = 0) {
        const auto bytes = static_cast<uint32_t>(pixels.size());
        std::vector<uint8_t> header(64, 0);
        for (int i = 0; i < 4; ++i) {
            header[16 + i] = static_cast<uint8_t>(bytes >> (8 * i));
        }
        header[32] = tag;
        camera_->queueBulk(0x81, {ScriptedCamera::BulkAnswer::Kind::Data, header});
        for (uint32_t at = 0; at < bytes; at += 0x80000) {
            const uint32_t piece = std::min<uint32_t>(0x80000, bytes - at);
            camera_->queueBulk(0x81, {ScriptedCamera::BulkAnswer::Kind::Data,
                                      std::vector<uint8_t>(pixels.begin() + at, pixels.begin() + at + piece)});
        }
    }
    // Waits (bounded) until `count` frames are in the ring.
    bool waitForStoredFrames(uint32_t count) {
        for (int i = 0; i < 200 && device_->framesStored() < count; ++i) {
            (void)device_->WaitFrame(100);
        }
        return device_->framesStored() >= count;
    }

    std::shared_ptr<ScriptedCamera> camera_;
    std::string path_;
    std::unique_ptr<CLumvekUSB3K7SimpleSdk> device_;
    uint32_t frameBytes_ = 0;
};

} // namespace lumvek::test
