// The whole-frame product (0x3042): frames arrive in one transfer on
// endpoint 0x83 and must have exactly the expected size.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_fixture.h"

namespace lumvek::test {
namespace {

class DirectTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        camera_ = std::make_shared<ScriptedCamera>();
        path_ = fx3::InProcessBus::instance().attach(camera_, 0x04b4, 0x3042, currentTestName());
        ASSERT_FALSE(path_.empty());
        device_ = std::make_unique<CLumvekUSB3K7SimpleSdk>();
        ASSERT_EQ(device_->SetProductId(0x3042), 1);
        ASSERT_EQ(device_->CreateController(nullptr), 1);
        (void)device_->CreateSensor(0);
        ASSERT_NE(device_->sensor(), nullptr);
        (void)device_->UpdateFrameGeometry();  // 0 for this product: no FPGA window
        frameBytes_ = static_cast<uint32_t>(device_->frameByteCount());
        ASSERT_GT(frameBytes_, 0u);
    }
    void TearDown() override {
        device_.reset();
        fx3::InProcessBus::instance().detach(path_);
    }
    std::shared_ptr<ScriptedCamera> camera_;
    std::string path_;
    std::unique_ptr<CLumvekUSB3K7SimpleSdk> device_;
    uint32_t frameBytes_ = 0;
};

TEST_F(DirectTransfer, WholeFramesAreStoredAndShortOnesRetried) {
    camera_->queueBulk(0x83, {ScriptedCamera::BulkAnswer::Kind::Data, std::vector<uint8_t>(frameBytes_ - 1, 1)});
    camera_->queueBulk(0x83, {ScriptedCamera::BulkAnswer::Kind::Data, std::vector<uint8_t>(frameBytes_, 2)});
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    ASSERT_EQ(device_->WaitFrame(10000), 3);
    EXPECT_EQ(device_->stepWaitAcquisitionEnd(10000), 1);
    EXPECT_EQ(device_->framesStored(), 1u);
    std::vector<uint8_t> frame(frameBytes_);
    ASSERT_EQ(device_->GetLatestFrame(frame.data(), frame.size(), 0), 0);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 2; }));
    // Every read asked for exactly one frame on the whole-frame endpoint.
    for (const auto& read : camera_->bulkReads()) {
        EXPECT_EQ(read.endpoint, 0x83);
        EXPECT_EQ(read.asked, frameBytes_);
    }
    // FPGA registers are not reachable on this product.
    int ok = 1;
    EXPECT_EQ(device_->ReadFpgaRegister(7, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(device_->WriteFpgaRegister(7, 1), 0);
}

} // namespace
} // namespace lumvek::test
