// The libusb backend under the driver stand-in against simulated cameras
// on umockdev's emulated bus: control requests, frames, faults, abort and
// unplug, as the controller meets them. Each UsbFx3 test re-runs this
// program under usb-run for its UsbFx3Inner twin.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "camera_link.h"
#include "platform/fx3/fx3_driver.h"
#include "support/test_env.h"
#include "usb_run_launcher.h"

namespace lumvek::test {
namespace {

using Clock = std::chrono::steady_clock;

// The path the backend gives the first camera of usb-run: bus 2, port 1
// (the cameras here have no serial-number string: "serial=").
const std::string kPath = fx3::formatDevicePath(0x04b4, 0x3090, "usb2-1");

void expectInnerPasses(const std::string& name, const std::vector<std::string>& cameras) {
    EXPECT_EQ(runUnderUsbRun(cameras, "UsbFx3Inner." + name, makeTempDir("usbrun").string()), 0)
        << "UsbFx3Inner." << name << " failed under usb-run (its output is above)";
}

int ctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{LUMVEK_CAMSIM_PATH, "ctl", "--dir", usbRunControlDir()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv);
}

bool isPresent(const std::string& path) {
    const auto paths = fx3::enumerateDeviceInterfaces(fx3::kCameraInterfaceGuid);
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

class UsbFx3Inner : public ::testing::Test {
protected:
    void SetUp() override {
        if (!underUsbRun()) GTEST_SKIP() << "runs inside lumvek-camsim usb-run only";
    }
};

TEST(UsbFx3, RequestsFramesAndLinkSpeed) {
    expectInnerPasses("RequestsFramesAndLinkSpeed", {"product=0x3050,name=gen,pattern=ramp,fps=200,serial="});
}

TEST_F(UsbFx3Inner, RequestsFramesAndLinkSpeed) {
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3050, "usb2-1");
    ASSERT_TRUE(isPresent(path));
    CameraLink link(path);
    link.setWindow(320, 10, 2);
    EXPECT_EQ(link.readFpga(0x44), 320 & 0xFF);
    const auto frame = link.readFrame();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->size(), 320u * 10u * 2u);
    // The generic sensor sends the ramp as it is: 0 at the left, 65535 at the right.
    EXPECT_EQ((*frame)[0] | ((*frame)[1] << 8), 0);
    EXPECT_EQ((*frame)[638] | ((*frame)[639] << 8), 65535);
    link.closeStream();
    fx3::DeviceHandle handle = fx3::openDevice(path, false);
    ASSERT_NE(handle, nullptr);
    uint8_t speed[4] = {};
    uint32_t returned = 0;
    EXPECT_TRUE(fx3::deviceIoControl(handle, fx3::kIoctlLinkSpeed, speed, 4, speed, 4, &returned, nullptr));
    EXPECT_EQ(speed[0], fx3::kLinkSpeedSuper);
    // A second handle in the same process shares the claim of the first.
    fx3::DeviceHandle second = fx3::openDevice(path, true);
    EXPECT_NE(second, nullptr);
    fx3::closeHandle(second);
    // Clear halt and port reset reach the camera and leave it usable.
    const uint8_t endpoint = fx3::kEndpointFrames;
    EXPECT_TRUE(fx3::deviceIoControl(handle, fx3::kIoctlResetPipe, &endpoint, 1, nullptr, 0, &returned, nullptr));
    EXPECT_TRUE(fx3::deviceIoControl(handle, fx3::kIoctlResetPort, nullptr, 0, nullptr, 0, &returned, nullptr));
    fx3::closeHandle(handle);
    EXPECT_TRUE(link.readFrame());
}

TEST(UsbFx3, OtherVendorsAreNotCameras) {
    expectInnerPasses("OtherVendorsAreNotCameras", {"product=0x3090,name=cam0,vid=0x1234,serial="});
}

TEST_F(UsbFx3Inner, OtherVendorsAreNotCameras) {
    const std::string path = fx3::formatDevicePath(0x1234, 0x3090, "usb2-1");
    EXPECT_FALSE(isPresent(path));
    {
        ScopedEnv vendors("LUMVEK_USB_VENDOR_IDS", "04b4, 0x1234");
        EXPECT_TRUE(isPresent(path));
    }
    ScopedEnv none("LUMVEK_USB_VENDOR_IDS", "");
    EXPECT_FALSE(isPresent(path));
}

TEST(UsbFx3, StallsAndShortDataFailTheRequestAndTheCameraRecovers) {
    expectInnerPasses("StallsAndShortData", {"product=0x3090,name=cam0,pattern=black,fps=200,serial="});
}

TEST_F(UsbFx3Inner, StallsAndShortData) {
    CameraLink link(kPath);
    link.setWindow(64, 8, 1);
    ASSERT_EQ(ctl({"fault", "cam0", "fail-control=1"}), 0);
    EXPECT_FALSE(link.writeFpga(1, 1));  // the request stalls
    EXPECT_TRUE(link.writeFpga(1, 1));
    ASSERT_EQ(ctl({"fault", "cam0", "drop-headers=1"}), 0);
    EXPECT_FALSE(link.readHeader(80));  // nothing came: aborted
    EXPECT_TRUE(link.readHeader(1000));
    ASSERT_EQ(ctl({"fault", "cam0", "short-data=1"}), 0);
    EXPECT_FALSE(link.readFrame(300));  // half the pixel data, then nothing
    link.closeStream();
    const auto frame = link.readFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), 64u * 8u);
}

TEST(UsbFx3, StallBabbleAndShortControlDataOnTheLink) {
    expectInnerPasses("LinkFaults", {"product=0x3090,name=cam0,pattern=black,fps=200,serial="});
}

TEST_F(UsbFx3Inner, LinkFaults) {
    CameraLink link(kPath);
    link.setWindow(64, 8, 1);
    // A stalled endpoint fails the read; the next one works.
    ASSERT_EQ(ctl({"fault", "cam0", "usb-stall=1"}), 0);
    EXPECT_FALSE(link.readHeader(1000));
    EXPECT_TRUE(link.readHeader(1000));
    // Babble: the data that came is not taken as a header.
    ASSERT_EQ(ctl({"fault", "cam0", "usb-babble=1"}), 0);
    EXPECT_FALSE(link.readHeader(1000));
    link.closeStream();
    EXPECT_TRUE(link.readFrame());
    // A control reply shorter than asked: the request succeeds with the bytes that came.
    ASSERT_TRUE(link.i2cWrite(0x40, {0x44}));
    ASSERT_EQ(ctl({"fault", "cam0", "usb-short-control=1"}), 0);
    const auto reply = link.control(fx3::kRequestTypeVendorIn, 0xB0, 0, 0);
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.returned, fx3::kRequestHeaderBytes + fx3::kControlDataBytes / 2);
    const auto full = link.control(fx3::kRequestTypeVendorIn, 0xB0, 0, 0);
    EXPECT_EQ(full.returned, fx3::kRequestHeaderBytes + fx3::kControlDataBytes);
    EXPECT_NE(ctl({"fault", "cam0", "usb-stall=many"}), 0);
}

TEST(UsbFx3, AbortEndsAPendingReadPromptly) {
    expectInnerPasses("AbortEndsAPendingReadPromptly", {"product=0x3090,name=cam0,pattern=black,fps=200,serial="});
}

TEST_F(UsbFx3Inner, AbortEndsAPendingReadPromptly) {
    CameraLink link(kPath);
    uint8_t buffer[64];
    for (int i = 0; i < 5; ++i) {
        // Nothing armed: the read waits until the 50 ms wait gives up and aborts it.
        const auto start = Clock::now();
        const auto read = link.readDirect(0x81, buffer, sizeof buffer, 50);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, fx3::kErrorOperationAborted);
        std::printf("abort: read ended %lld ms after it started (50 ms wait)\n", static_cast<long long>(ms));
        // Generous for a loaded machine; typically 50-60 ms.
        EXPECT_LT(ms, 50 + 200);
    }
    // The handle is still good afterwards.
    EXPECT_TRUE(link.readHeader(1000));
}

TEST(UsbFx3, AnUnpluggedCameraFailsItsPendingReadAtOnce) {
    expectInnerPasses("UnplugFailsPendingReadAtOnce", {"product=0x3090,name=cam0,pattern=black,fps=200,rate=20,serial="});
}

TEST_F(UsbFx3Inner, UnplugFailsPendingReadAtOnce) {
    CameraLink link(kPath);
    link.setWindow(2336, 1752, 2);
    ASSERT_TRUE(link.readHeader(1000));
    ASSERT_TRUE(link.openStream());
    // A big read that the 20 MB/s cap keeps in flight for about 400 ms; its
    // own time-out is far away.
    std::vector<uint8_t> pixels(0x800000);
    uint8_t header[fx3::kRequestHeaderBytes];
    (void)fx3::encodeHeader(fx3::makeDirectTransferHeader(0x81), header);
    platform::Event event(platform::Event::Reset::Manual);
    fx3::Overlapped overlapped;
    overlapped.event = &event;
    ASSERT_FALSE(fx3::deviceIoControl(link.stream(), fx3::kIoctlDirectTransfer, header, sizeof header, pixels.data(),
                                      static_cast<uint32_t>(pixels.size()), nullptr, &overlapped));
    ASSERT_EQ(fx3::getLastError(), fx3::kErrorIoPending);
    ASSERT_EQ(ctl({"unplug", "cam0"}), 0);
    ASSERT_TRUE(event.wait(2000));
    uint32_t transferred = 0;
    EXPECT_FALSE(fx3::getOverlappedResult(link.stream(), &overlapped, &transferred, false));
    EXPECT_EQ(fx3::getLastError(), fx3::kErrorDeviceNotConnected);
    EXPECT_EQ(transferred, 0u);
    // Later requests fail at once; the path is gone and does not open.
    EXPECT_FALSE(link.arm());
    link.closeStream();
    EXPECT_FALSE(isPresent(kPath));
    EXPECT_EQ(fx3::openDevice(kPath, false), nullptr);
    // Plugged back into the same port: the same path, working again.
    ASSERT_EQ(ctl({"replug", "cam0"}), 0);
    EXPECT_TRUE(isPresent(kPath));
    link.setWindow(64, 8, 1);
    EXPECT_TRUE(link.readFrame());
}

TEST(UsbFx3, AClaimedCameraDoesNotOpenInAnotherProcess) {
    expectInnerPasses("HoldWhileAnotherProcessTries", {"product=0x3090,name=cam0,pattern=black,fps=200,serial="});
}

// The other process: run by HoldWhileAnotherProcessTries with LUMVEK_TEST_HELD
// saying whether the camera is held now.
TEST_F(UsbFx3Inner, OpenFromTheOtherProcess) {
    const char* held = std::getenv("LUMVEK_TEST_HELD");
    if (held == nullptr) GTEST_SKIP() << "started by HoldWhileAnotherProcessTries";
    EXPECT_TRUE(isPresent(kPath)) << "a held camera is still present";
    fx3::DeviceHandle handle = fx3::openDevice(kPath, false);
    if (std::string(held) == "1") {
        EXPECT_EQ(handle, nullptr);
    } else {
        EXPECT_NE(handle, nullptr);
    }
    if (handle != nullptr) fx3::closeHandle(handle);
}

TEST_F(UsbFx3Inner, HoldWhileAnotherProcessTries) {
    CameraLink link(kPath);
    link.setWindow(64, 8, 1);
    ASSERT_TRUE(link.openStream());  // held from here on
    ASSERT_TRUE(link.readFrame());
    const std::vector<std::string> other{selfPath(), "--gtest_filter=UsbFx3Inner.OpenFromTheOtherProcess"};
    EXPECT_EQ(runProgram(other, {"LUMVEK_TEST_HELD=1"}), 0);
    // The holder keeps streaming.
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(link.readFrame());
    link.closeStream();
    EXPECT_EQ(runProgram(other, {"LUMVEK_TEST_HELD=0"}), 0);
}

} // namespace
} // namespace lumvek::test
