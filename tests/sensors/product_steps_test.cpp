// Product-specific steps run against simulated cameras of the products:
// window and geometry registers, colour mode, stop and close sequences,
// cooling and trigger registers, as the camera receives them.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "camera/product_step_runner.h"
#include "camera/sensor_factory.h"
#include "sensors/sensor_base.h"
#include "simulated_r13.h"

namespace lumvek {
namespace {

using sim::Access;
using sim::RegisterAccess;

// The camera device object's side of the steps over a real controller; the
// acquisition calls are recorded (the transfer thread is not part of this).
class ControllerStepHost : public ProductStepHost {
public:
    ControllerStepHost(CQuelroCy3Cam& controller, CSensorBase* sensor) : controller_(controller), sensor_(sensor) {
        (void)controller_.ReadDeviceInfo(info_.data());
    }
    CControllerBase* stepController() override { return &controller_; }
    CSensorBase* stepSensor() override { return sensor_; }
    int stepReadReadyStatus(uint8_t* status) override { return controller_.ReadReadyStatus(status); }
    int stepWriteOutputMode(uint8_t mode) override { return controller_.WriteOutputMode(mode); }
    int stepResetPort() override { return controller_.ResetPort(); }
    int stepResetPipe(uint8_t endpoint) override {
        pipeResets.push_back(endpoint);
        return controller_.ResetPipe(endpoint);
    }
    int stepRestartStream() override { return controller_.RestartStream(); }
    int stepReadSromByte(uint16_t address, uint8_t* value) override { return controller_.ReadSromByte(address, value); }
    int stepWriteSromByte(uint16_t address, uint8_t value) override {
        return controller_.WriteSromByte(address, value);
    }
    const uint8_t* stepDeviceInfo() override { return info_.data(); }
    int stepStartAcquisition(int mode) override {
        acquisition.push_back("start " + std::to_string(mode));
        return 1;
    }
    int stepWaitAcquisitionEnd(uint32_t timeoutMs) override {
        acquisition.push_back("wait-end " + std::to_string(timeoutMs));
        return 1;
    }
    int stepWaitFrame(uint32_t timeoutMs) override {
        acquisition.push_back("wait-frame " + std::to_string(timeoutMs));
        return 3;
    }
    int stepReadFrameTag() override {
        acquisition.push_back("tag");
        return 1;
    }

    std::vector<std::string> acquisition;
    std::vector<uint8_t> pipeResets;

private:
    CQuelroCy3Cam& controller_;
    CSensorBase* sensor_;
    std::array<uint8_t, 64> info_{};
};

class ProductSteps : public test::SimulatedCameraFixture {
protected:
    void open(int productId, const std::string& extra = "") {
        char description[64];
        std::snprintf(description, sizeof(description), "product=0x%04X,pattern=black", productId);
        attach(description + extra);
        row_ = &productRow(productId);
        sensor_ = createSensorForProduct(productId, controller_.get());
        host_ = std::make_unique<ControllerStepHost>(*controller_, sensor_.get());
        device().log().clear();
    }
    void TearDown() override {
        host_.reset();
        sensor_.reset();
        SimulatedCameraFixture::TearDown();
    }
    int fpga16(uint8_t reg) { return device().fpgaRegister(reg) | device().fpgaRegister(static_cast<uint8_t>(reg + 1)) << 8; }
    std::vector<RegisterAccess> fpgaWrites() { return accesses(Access::FpgaWrite); }
    FrameWindow window(int x, int y, int w, int h, int mode) {
        FrameWindow fw = frameWindowOf(*sensor_);
        fw.x = x;
        fw.y = y;
        fw.width = w;
        fw.height = h;
        fw.subSampleMode = mode;
        return fw;
    }

    const ProductRow* row_ = nullptr;
    std::unique_ptr<CSensorBase> sensor_;
    std::unique_ptr<ControllerStepHost> host_;
};

TEST_F(ProductSteps, R13WindowRegistersGiveTheCameraItsFrameSize) {
    open(0x3090);
    writeProductFrameGeometry(*row_, *host_, frameWindowOf(*sensor_));
    const std::vector<RegisterAccess> expected{{Access::FpgaWrite, 0x44, 2336 & 0xFF},
                                               {Access::FpgaWrite, 0x45, 2336 >> 8},
                                               {Access::FpgaWrite, 0x40, 1752 & 0xFF},
                                               {Access::FpgaWrite, 0x41, 1752 >> 8}};
    EXPECT_EQ(fpgaWrites(), expected);
    const sim::FrameGeometry g = device().currentGeometry();
    EXPECT_EQ(g.width, 2336u);
    EXPECT_EQ(g.height, 1752u);
}

TEST_F(ProductSteps, AlternateWindowRegistersAndOffsetsOf31E0) {
    open(0x31E0);
    writeProductFrameGeometry(*row_, *host_, window(0, 0, 1024, 512, 0));
    EXPECT_EQ(fpga16(0x9C), 1024);
    EXPECT_EQ(fpga16(0x9A), 512);
    EXPECT_EQ(fpga16(0x48), 20);
    EXPECT_EQ(fpga16(0x4C), 136);
    EXPECT_EQ(fpga16(0x44), 0);
    const sim::FrameGeometry g = device().currentGeometry();
    EXPECT_EQ(g.width, 1024u);
    EXPECT_EQ(g.height, 512u);
}

TEST_F(ProductSteps, DirectFrameProductWritesNoFpgaRegister) {
    open(0x3042);
    writeProductFrameGeometry(*row_, *host_, window(0, 0, 640, 480, 0));
    EXPECT_TRUE(fpgaWrites().empty());
    int stored = -1;
    ASSERT_EQ(applyProductColorMode(*row_, *host_, 1, &stored), 1);
    EXPECT_EQ(stored, 1);
    EXPECT_TRUE(fpgaWrites().empty()) << "the output mode goes by request 0x3C";
    EXPECT_EQ(device().currentGeometry().bytesPerSample, 2u);
    EXPECT_EQ(sensor_->GetTriggerWord(), 0);
    runProductOpenSteps(*row_, *host_);
    EXPECT_EQ(sensor_->GetTriggerWord(), 0x10000) << "the sensor is switched to request access";
}

TEST_F(ProductSteps, ImxOffsetsFollowWindowAndSubSampling) {
    open(0x31B0);
    writeProductFrameGeometry(*row_, *host_, window(100, 0, 2000, 1000, 0));
    EXPECT_EQ(fpga16(0x48), 11);
    EXPECT_EQ(fpga16(0x4C), 2448 - 100 - 2000);
    writeProductFrameGeometry(*row_, *host_, window(100, 0, 1000, 500, 1));
    EXPECT_EQ(fpga16(0x4C), 0);
}

TEST_F(ProductSteps, ColourModeDefaultPathProgramsSampleDepth) {
    open(0x3090);
    writeProductFrameGeometry(*row_, *host_, window(0, 0, 64, 8, 0));
    int stored = -1;
    ASSERT_EQ(applyProductColorMode(*row_, *host_, 1, &stored), 1);
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(device().fpgaRegister(60), 2);
    EXPECT_EQ(device().currentGeometry().bytesPerSample, 2u);
    ASSERT_EQ(applyProductColorMode(*row_, *host_, 4, &stored), 1);
    EXPECT_EQ(stored, 4);
    EXPECT_EQ(device().fpgaRegister(60), 1);
}

TEST_F(ProductSteps, AlternateRegisterProductsSwitchTheirSampleDepthThroughA3) {
    for (const uint16_t product : {uint16_t{0x31E0}, uint16_t{0x32D0}}) {
        open(product);
        writeProductFrameGeometry(*row_, *host_, window(0, 0, 64, 8, 0));
        int stored = -1;
        ASSERT_EQ(applyProductColorMode(*row_, *host_, 1, &stored), 1);
        EXPECT_EQ(stored, 1);
        EXPECT_EQ(device().fpgaRegister(0xA3), 2);
        EXPECT_EQ(device().currentGeometry().bytesPerSample, 2u) << std::hex << product;
        ASSERT_EQ(applyProductColorMode(*row_, *host_, 0, &stored), 1);
        EXPECT_EQ(device().currentGeometry().bytesPerSample, 1u) << std::hex << product;
    }
}

TEST_F(ProductSteps, ConverterColourModeAcceptsZeroToTwo) {
    open(0x3130);
    int stored = -1;
    ASSERT_EQ(applyProductColorMode(*row_, *host_, 2, &stored), 1);
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(device().fpgaRegister(0x3D), 2);
    stored = -1;
    EXPECT_EQ(applyProductColorMode(*row_, *host_, 3, &stored), 0);
    EXPECT_EQ(stored, -1);
    EXPECT_EQ(productFrameBytes(*row_, 100, 100, 1), 60000u);
    EXPECT_EQ(productFrameBufferBytes(*row_, 100, 100), 3u * 106496u);
}

TEST_F(ProductSteps, StopPulsesResetWritesStopAndRestartsTheStream) {
    open(0x3090);  // the camera's info word 0x1100 is newer than 0x10FF
    runProductStopSteps(*row_, *host_);
    EXPECT_EQ(host_->pipeResets, std::vector<uint8_t>{0x81});
    const std::vector<RegisterAccess> expected{{Access::FpgaWrite, 0x6C, 1},
                                               {Access::FpgaWrite, 0x6C, 0},
                                               {Access::FpgaWrite, 104, 2}};
    EXPECT_EQ(fpgaWrites(), expected);
    const auto requests = device().log().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().header.requestCode, 0xC0);
}

TEST_F(ProductSteps, OldFirmwareKeepsThePipeAnd30C0SkipsThePulse) {
    open(0x30C0, ",info-word=0x10FF");
    runProductStopSteps(*row_, *host_);
    EXPECT_TRUE(host_->pipeResets.empty());
    EXPECT_EQ(fpgaWrites(), (std::vector<RegisterAccess>{{Access::FpgaWrite, 104, 2}}));
}

TEST_F(ProductSteps, R13CloseParksTheSensorAndClearsTheFlags) {
    open(0x3090);
    runProductCloseSteps(*row_, *host_);
    const std::vector<RegisterAccess> sensorWrites{{Access::SensorWrite32, 0x0000, 3},
                                                   {Access::SensorWrite32, 0x8000, 3}};
    EXPECT_EQ(accesses(Access::SensorWrite32), sensorWrites);
    std::vector<RegisterAccess> flags;
    for (uint8_t reg : {37, 36, 31, 35, 34, 32, 33, 224}) flags.push_back({Access::FpgaWrite, reg, 0});
    EXPECT_EQ(fpgaWrites(), flags);
}

TEST_F(ProductSteps, CoolerOnFpga144) {
    open(0x3150);
    EXPECT_EQ(isProductCoolingSupported(*row_, *host_), 1);
    ASSERT_EQ(setProductCooling(*row_, *host_, 1), 1);
    EXPECT_EQ(device().fpgaRegister(144), 15);
    EXPECT_EQ(getProductCooling(*row_, *host_), 1);
    device().log().clear();
    ASSERT_EQ(setProductCooling(*row_, *host_, 1), 1);
    EXPECT_TRUE(fpgaWrites().empty()) << "an unchanged state is not written again";
    ASSERT_EQ(setProductCooling(*row_, *host_, 0), 1);
    EXPECT_EQ(device().fpgaRegister(144), 8);
}

TEST_F(ProductSteps, NoCoolerOnTheR13) {
    open(0x3090);
    EXPECT_EQ(isProductCoolingSupported(*row_, *host_), 0);
    EXPECT_EQ(setProductCooling(*row_, *host_, 1), 0);
    EXPECT_TRUE(fpgaWrites().empty());
}

TEST_F(ProductSteps, TriggerRegistersOf30F0) {
    open(0x30F0);
    EXPECT_EQ(applyProductTriggerMode(*row_, *host_, 1), 1);
    const std::vector<RegisterAccess> on{{Access::FpgaWrite, 48, 0}, {Access::FpgaWrite, 48, 1}};
    EXPECT_EQ(fpgaWrites(), on);
    EXPECT_TRUE(host_->acquisition.empty());
}

TEST_F(ProductSteps, TriggerOnCcd3050RunsOnePrimingFrame) {
    open(0x3050);
    EXPECT_EQ(applyProductTriggerMode(*row_, *host_, 2), 2);
    EXPECT_EQ(device().fpgaRegister(36), 1);
    EXPECT_EQ(host_->acquisition, (std::vector<std::string>{"start 3", "wait-end 5000", "start 2"}));
    host_->acquisition.clear();
    EXPECT_EQ(applyProductTriggerMode(*row_, *host_, 0), 0);
    EXPECT_EQ(device().fpgaRegister(36), 0);
    EXPECT_TRUE(host_->acquisition.empty());
}

TEST_F(ProductSteps, DefaultTriggerReadsTheTagInModeOne) {
    open(0x3090);
    EXPECT_EQ(applyProductTriggerMode(*row_, *host_, 1), 1);
    EXPECT_EQ(host_->acquisition, std::vector<std::string>{"tag"});
    EXPECT_EQ(applyProductTriggerMode(*row_, *host_, 3), 3);
    EXPECT_EQ(host_->acquisition.size(), 1u);
}

TEST_F(ProductSteps, Fpga140SequenceAtOpen) {
    open(0x3140);
    runProductOpenSteps(*row_, *host_);
    const std::vector<RegisterAccess> expected{{Access::FpgaWrite, 56, 0}, {Access::FpgaWrite, 62, 3},
                                               {Access::FpgaWrite, 56, 1}};
    EXPECT_EQ(fpgaWrites(), expected);
}

} // namespace
} // namespace lumvek
