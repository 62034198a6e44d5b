// Selecting another camera while other threads use the device object: the
// sensor driver is replaced while getters and setters run, and none of them
// may reach a driver being freed or find the device object without one.
// The suite runs under ThreadSanitizer and AddressSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device_fixture.h"

namespace lumvek::test {
namespace {

constexpr int kSwitches = 6;                // camera selections by the switching thread
constexpr int kMaxReaderRounds = 100000;    // bound on each reader, should the switcher stall
constexpr int kReaders = 3;
constexpr int kFullWidth = 2336;
constexpr int kFullHeight = 1752;

class CameraSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 2; ++i) {
            std::string error;
            cameras_[i] = sim::InProcessCamera::create(
                "product=0x3090,name=" + currentTestName() + std::to_string(i) + ",pattern=ramp", error);
            ASSERT_TRUE(cameras_[i]) << error;
        }
        device_ = std::make_unique<CLumvekUSB3K7SimpleSdk>();
        ASSERT_EQ(device_->SetProductId(0x3090), 1);
        ASSERT_EQ(device_->CreateController(nullptr), 1);
        ASSERT_EQ(device_->CountDevices(0x3090), 2);
        ASSERT_EQ(device_->CreateSensor(0), 1);
    }
    void TearDown() override {
        device_.reset();
        for (auto& camera : cameras_) {
            camera.reset();
        }
    }

    std::unique_ptr<sim::InProcessCamera> cameras_[2];
    std::unique_ptr<CLumvekUSB3K7SimpleSdk> device_;
};

// What one reader saw that it should not have.
struct ReaderFaults {
    int missingDriver = 0;   // a getter answered as if no camera were open
    int outOfRange = 0;      // a gain outside the driver's own range
    int rounds = 0;
};

TEST_F(CameraSwitch, GettersAndSettersRunSafelyWhileTheCameraChanges) {
    std::atomic<bool> switching{true};
    std::vector<ReaderFaults> faults(kReaders);
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r) {
        readers.emplace_back([&, r] {
            ReaderFaults& seen = faults[r];
            for (int i = 0; i < kMaxReaderRounds && (switching.load() || i < 10); ++i, ++seen.rounds) {
                // Every camera here is an R13: whichever driver a call reaches,
                // it reports the R13's geometry and ranges.
                if (device_->GetFullWidth() != kFullWidth || device_->GetFullHeight() != kFullHeight) {
                    ++seen.missingDriver;
                }
                const int min = device_->GetGlobalGainMin();
                const int max = device_->GetGlobalGainMax();
                const int gain = device_->GetGlobalGain();
                if (max <= 0) {
                    ++seen.missingDriver;
                } else if (gain < min || gain > max) {
                    ++seen.outOfRange;
                }
                (void)device_->SetGlobalGain(min + (i + r) % 8);
                (void)device_->SetExposure(100 + r);
                if (device_->GetExposure() <= 0) {
                    ++seen.missingDriver;
                }
                int value = 0;
                (void)device_->SetChannelGain(1 + r, 10 + i % 4);
                (void)device_->GetChannelGain(1 + r, &value);
                (void)device_->GetChannelOffset(1 + r, &value);
                int x = 0, y = 0, w = 0, h = 0, m = 0;
                if (!device_->GetCaptureWindow(&x, &y, &w, &h, &m) || w <= 0 || h <= 0) {
                    ++seen.missingDriver;
                }
                (void)device_->IsCoolingSupported();
                (void)device_->GetMirrorH();
                char name[64] = {};
                (void)device_->GetDeviceName(i % 2, name, sizeof name);
                (void)device_->GetOpenDeviceNumber();
                double seconds = 0.0;
                (void)device_->GetExposureTimeEx(&seconds);
            }
        });
    }
    int selected = 0;
    for (int i = 0; i < kSwitches; ++i) {
        selected = 1 - selected;
        EXPECT_EQ(device_->CreateSensor(selected), 1) << "switch " << i;
    }
    switching = false;
    for (auto& reader : readers) {
        reader.join();
    }
    for (int r = 0; r < kReaders; ++r) {
        EXPECT_EQ(faults[r].missingDriver, 0) << "reader " << r;
        EXPECT_EQ(faults[r].outOfRange, 0) << "reader " << r;
        EXPECT_GT(faults[r].rounds, 0) << "reader " << r;
    }
    // The camera selected last is the one open, and it still streams.
    EXPECT_EQ(device_->GetOpenDeviceNumber(), selected);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    int result = 2;
    for (int i = 0; i < 30 && result == 2; ++i) {
        result = device_->WaitFrame(1000);
    }
    EXPECT_EQ(result, 3);
    EXPECT_EQ(device_->StopAcquisition(), 1);
}

// Streaming while the camera changes: the selection stops the transfer
// thread before the driver it borrows is replaced, and a reader copying the
// newest frame meanwhile gets a whole frame or a clean refusal.
TEST_F(CameraSwitch, ACameraChangeDuringStreamingStopsTheTransferFirst) {
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    std::atomic<bool> switching{true};
    std::atomic<int> copies{0};
    std::thread reader([&] {
        std::vector<uint8_t> frame(static_cast<size_t>(kFullWidth) * kFullHeight * 2);
        for (int i = 0; i < kMaxReaderRounds && switching.load(); ++i) {
            if (device_->WaitFrame(50) == 3 && device_->GetLatestFrame(frame.data(), frame.size(), 1) == 0) {
                copies.fetch_add(1);
            }
        }
    });
    int selected = 0;
    for (int i = 0; i < 2; ++i) {
        selected = 1 - selected;
        EXPECT_EQ(device_->CreateSensor(selected), 1);
        EXPECT_FALSE(device_->acquisitionRunning());
        ASSERT_EQ(device_->StartAcquisition(0), 1);
    }
    switching = false;
    reader.join();
    EXPECT_EQ(device_->StopAcquisition(), 1);
    EXPECT_EQ(device_->GetOpenDeviceNumber(), selected);
}

// Product 0x3200's exposure is reprogrammed by the transfer thread between
// frames, while application threads go on setting and reading it: the
// driver sees one caller at a time, and every exposure set is applied.
TEST(DeferredExposureWhileStreaming, TheThreadAppliesExposuresWhileOthersReadThem) {
    constexpr uint32_t kFrames = 10;
    std::string error;
    auto camera = sim::InProcessCamera::create("product=0x3200,name=" + currentTestName() + ",fps=100", error);
    ASSERT_TRUE(camera) << error;
    CLumvekUSB3K7SimpleSdk device;
    ASSERT_EQ(device.SetProductId(0x3200), 1);
    ASSERT_EQ(device.CreateController(nullptr), 1);
    ASSERT_EQ(device.CreateSensor(0), 1);
    ASSERT_EQ(device.StartAcquisition(0), 1);
    std::atomic<bool> streaming{true};
    std::thread setter([&] {
        for (int i = 0; i < kMaxReaderRounds && streaming.load(); ++i) {
            (void)device.SetExposure(100 + i % 50);
            (void)device.GetExposure();
            (void)device.GetExposureMax();
        }
    });
    for (int i = 0; i < 100 && device.framesStored() < kFrames; ++i) {
        (void)device.WaitFrame(200);
    }
    streaming = false;
    setter.join();
    EXPECT_GE(device.framesStored(), kFrames);

    // The last exposure set is applied before the next frame.
    EXPECT_EQ(device.SetExposure(1234), 1);
    for (int i = 0; i < 50 && device.deferredExposurePending(); ++i) {
        (void)device.WaitFrame(200);
    }
    EXPECT_FALSE(device.deferredExposurePending());
    EXPECT_EQ(device.StopAcquisition(), 1);
    EXPECT_EQ(device.GetExposure(), 1234);
}

} // namespace
} // namespace lumvek::test
