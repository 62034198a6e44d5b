// The kernel driver path's request packets: an IoctlDevice sends the
// driver's own I/O-control requests, here answered by the driver stand-in
// over an in-process simulated camera, so that each packet is checked by the
// dispatch the simulator answers: control requests both ways, a frame header
// read after an arm, a pending read ended by its token or its time-out, the
// pipe, port and speed requests, and a camera that leaves.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/ioctl_device.h"
#include "platform/sync/event.h"
#include "sim/in_process_camera.h"
#include "usb/controller_protocol.h"

namespace lumvek::fx3 {
namespace {

// DeviceIoControl on a stand-in handle opened for overlapped I/O. A request
// ended early is aborted on the endpoint its header names, and waited for.
class StandInPort final : public IoctlPort {
public:
    explicit StandInPort(DeviceHandle handle) : handle_(handle) {}
    ~StandInPort() override { closeHandle(handle_); }
    StandInPort(const StandInPort&) = delete;
    StandInPort& operator=(const StandInPort&) = delete;

    uint32_t call(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes, uint32_t* returned,
                  uint32_t timeoutMs, const CancelToken* cancel) override {
        platform::Event done(platform::Event::Reset::Manual);
        Overlapped overlapped;
        overlapped.event = &done;
        if (deviceIoControl(handle_, code, in, inBytes, out, outBytes, returned, &overlapped)) {
            return kErrorSuccess;
        }
        const uint32_t error = getLastError();
        if (error != kErrorIoPending) {
            return error;
        }
        const auto started = std::chrono::steady_clock::now();
        while (!done.wait(CancelToken::kProbeIntervalMs)) {
            const bool cancelled = cancel != nullptr && cancel->cancelled();
            const bool late = timeoutMs != kNoTimeout &&
                              std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(timeoutMs);
            if (cancelled || late) {
                RequestHeader header;
                const uint8_t endpoint =
                    decodeHeader(std::span(static_cast<const uint8_t*>(in), inBytes), header) ? header.endpoint : 0;
                uint32_t ignored = 0;
                (void)deviceIoControl(handle_, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &ignored, nullptr);
                (void)getOverlappedResult(handle_, &overlapped, returned, true);
                return cancelled ? kErrorOperationAborted : kErrorSemTimeout;
            }
        }
        return getOverlappedResult(handle_, &overlapped, returned, false) ? kErrorSuccess : getLastError();
    }

private:
    DeviceHandle handle_;
};

class IoctlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        camera_ = sim::InProcessCamera::create("product=0x3090,name=kernel-path,fps=50", error);
        ASSERT_NE(camera_, nullptr) << error;
        DeviceHandle handle = openDevice(camera_->path(), true);
        ASSERT_NE(handle, nullptr);
        device_ = std::make_unique<IoctlDevice>(std::make_unique<StandInPort>(handle));
    }

    // A vendor request as the controller sends it, through the device.
    ControlResult control(uint8_t type, uint8_t code, uint16_t value, uint16_t index,
                          std::array<uint8_t, kControlDataBytes>& data) {
        RequestHeader header;
        header.requestType = type;
        header.requestCode = code;
        header.value = value;
        header.index = index;
        header.length = static_cast<uint16_t>(kControlRequestBytes);
        header.timeoutMs = kControlTimeoutMs;
        return device_->controlTransfer(header, data);
    }

    std::unique_ptr<sim::InProcessCamera> camera_;
    std::unique_ptr<IoctlDevice> device_;
};

TEST_F(IoctlDeviceTest, ControlRequestsReachTheFpgaBothWays) {
    // FPGA register 0x3F (mirror) <- 2 over the I2C bus, then read back: a
    // write of the register number, a read of two bytes (a lead byte, the value).
    std::array<uint8_t, kControlDataBytes> data{0x3F, 0, 2};
    ASSERT_TRUE(control(kRequestTypeVendorOut, vendor::kI2cWrite, 3, i2c::kFpgaWrite, data).ok);
    EXPECT_EQ(camera_->device().fpgaRegister(0x3F), 2);
    data = {0x3F};
    ASSERT_TRUE(control(kRequestTypeVendorOut, vendor::kI2cWrite, 1, i2c::kFpgaWrite, data).ok);
    data = {};
    const ControlResult read = control(kRequestTypeVendorIn, vendor::kI2cRead, 2, i2c::kFpgaRead, data);
    ASSERT_TRUE(read.ok);
    EXPECT_GE(read.dataBytes, 2u);
    EXPECT_EQ(data[1], 2);
}

TEST_F(IoctlDeviceTest, AnArmedFrameHeaderArrivesByDirectTransfer) {
    std::array<uint8_t, kControlDataBytes> none{};
    ASSERT_TRUE(control(kRequestTypeVendorOutEndpoint, vendor::kArmTransfer, 0, 0, none).ok);
    std::array<uint8_t, kFrameHeaderBytes> header{};
    CancelToken token;
    const BulkResult result = device_->bulkRead(kEndpointFrames, header, 5000, token);
    ASSERT_EQ(result.error, kErrorSuccess);
    EXPECT_EQ(result.bytes, kFrameHeaderBytes);
    const uint32_t pixels = header[16] | header[17] << 8 | header[18] << 16 | static_cast<uint32_t>(header[19]) << 24;
    EXPECT_EQ(pixels, 2336u * 1752u) << "the header's pixel-data byte count";
}

TEST_F(IoctlDeviceTest, APendingReadEndsOnItsTokenOrItsTimeOut) {
    std::array<uint8_t, kFrameHeaderBytes> header{};
    CancelToken token;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        token.cancel();
    });
    const BulkResult cancelled = device_->bulkRead(kEndpointFrames, header, IoctlPort::kNoTimeout, token);
    canceller.join();
    EXPECT_EQ(cancelled.error, kErrorOperationAborted);
    EXPECT_EQ(cancelled.bytes, 0u);

    CancelToken untouched;
    const BulkResult late = device_->bulkRead(kEndpointFrames, header, 100, untouched);
    EXPECT_EQ(late.error, kErrorSemTimeout);
    // The device still answers afterwards.
    EXPECT_TRUE(device_->connected());
    EXPECT_EQ(device_->linkSpeed(), kLinkSpeedSuper);
}

TEST_F(IoctlDeviceTest, PipePortAndSpeedAndACameraThatLeaves) {
    EXPECT_TRUE(device_->resetPipe(kEndpointFrames));
    EXPECT_TRUE(device_->resetPort());
    EXPECT_EQ(device_->linkSpeed(), kLinkSpeedSuper);
    camera_->unplug();
    std::array<uint8_t, kControlDataBytes> data{};
    EXPECT_FALSE(control(kRequestTypeVendorIn, vendor::kI2cRead, 2, i2c::kFpgaRead, data).ok);
    EXPECT_FALSE(device_->connected());
    CancelToken token;
    std::array<uint8_t, kFrameHeaderBytes> header{};
    EXPECT_EQ(device_->bulkRead(kEndpointFrames, header, 100, token).error, kErrorDeviceNotConnected);
    camera_->replug();
}

} // namespace
} // namespace lumvek::fx3
