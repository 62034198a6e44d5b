// The driver stand-in's semantics over an in-process simulated camera:
// enumeration, opening, pending transfers, abort, close cancelling, the
// pipe/port/speed requests, byte counts and malformed requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "platform/sync/event.h"
#include "sim/in_process_camera.h"

namespace lumvek::fx3 {
namespace {

std::unique_ptr<sim::InProcessCamera> makeCamera(const std::string& description) {
    std::string error;
    auto camera = sim::InProcessCamera::create(description, error);
    EXPECT_NE(camera, nullptr) << error;
    return camera;
}

// A direct read started overlapped on `handle`; nothing is armed, so it stays pending.
struct PendingRead {
    uint8_t header[kRequestHeaderBytes];
    std::vector<uint8_t> buffer = std::vector<uint8_t>(64);
    platform::Event event{platform::Event::Reset::Manual};
    Overlapped overlapped;
    explicit PendingRead(DeviceHandle handle) {
        (void)encodeHeader(makeDirectTransferHeader(kEndpointFrames), header);
        overlapped.event = &event;
        started = deviceIoControl(handle, kIoctlDirectTransfer, header, sizeof header, buffer.data(), 64, nullptr,
                                  &overlapped);
        error = getLastError();
    }
    bool started;
    uint32_t error;
};

TEST(DriverEnumeration, StableOrderAndOnlyTheCameraClass) {
    auto b = makeCamera("product=0x3090,name=order-b");
    auto a = makeCamera("product=0x3090,name=order-a");
    auto paths = enumerateDeviceInterfaces(kCameraInterfaceGuid);
    const auto posB = std::find(paths.begin(), paths.end(), b->path());
    const auto posA = std::find(paths.begin(), paths.end(), a->path());
    ASSERT_NE(posA, paths.end());
    ASSERT_NE(posB, paths.end());
    EXPECT_LT(posB, posA);  // first seen first, whatever the names
    a->unplug();
    a->replug();
    paths = enumerateDeviceInterfaces(kCameraInterfaceGuid);
    EXPECT_LT(std::find(paths.begin(), paths.end(), b->path()), std::find(paths.begin(), paths.end(), a->path()));
    Guid other = kCameraInterfaceGuid;
    other.data1 ^= 1;
    EXPECT_TRUE(enumerateDeviceInterfaces(other).empty());
}

TEST(DriverHandles, OpenFailuresAndInvalidHandles) {
    EXPECT_EQ(openDevice(formatDevicePath(0x04b4, 0x3090, "nobody"), false), nullptr);
    EXPECT_EQ(getLastError(), kErrorFileNotFound);
    EXPECT_EQ(openDevice("garbage", true), nullptr);
    uint32_t returned = 0;
    EXPECT_FALSE(deviceIoControl(nullptr, kIoctlResetPort, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(getLastError(), kErrorInvalidHandle);
    setLastError(42);
    EXPECT_EQ(getLastError(), 42u);
    std::thread([] { EXPECT_EQ(getLastError(), 0u); }).join();  // per thread
}

// One holder at a time per camera: a controller's many handles share it,
// another holder's open is refused until the last of them closes.
TEST(DriverHandles, ACameraOneHolderHasOpenDoesNotOpenForAnother) {
    auto camera = makeCamera("product=0x3090,name=claimed");
    const int first = 0;
    const int second = 0;
    DeviceHandle control = openDevice(camera->path(), false, &first);
    ASSERT_NE(control, nullptr);
    DeviceHandle stream = openDevice(camera->path(), true, &first);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(openDevice(camera->path(), false, &second), nullptr);
    EXPECT_EQ(getLastError(), kErrorSharingViolation);
    EXPECT_EQ(openDevice(camera->path(), false), nullptr) << "the anonymous holder is another holder too";
    closeHandle(control);
    EXPECT_EQ(openDevice(camera->path(), false, &second), nullptr) << "the first holder still has a handle open";
    closeHandle(stream);
    DeviceHandle now = openDevice(camera->path(), false, &second);
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(openDevice(camera->path(), false, &first), nullptr);
    closeHandle(now);
    // A path that does not open leaves no claim behind.
    EXPECT_EQ(openDevice(formatDevicePath(0x04b4, 0x3090, "absent"), false, &first), nullptr);
    EXPECT_EQ(getLastError(), kErrorFileNotFound);
    DeviceHandle absentFreed = openDevice(camera->path(), false, &first);
    EXPECT_NE(absentFreed, nullptr);
    closeHandle(absentFreed);
}

TEST(DriverRequests, SpeedPipePortAndMalformedInput) {
    auto camera = makeCamera("product=0x3090,name=requests");
    DeviceHandle handle = openDevice(camera->path(), false);
    ASSERT_NE(handle, nullptr);
    uint8_t speed[4] = {};
    uint32_t returned = 0;
    ASSERT_TRUE(deviceIoControl(handle, kIoctlLinkSpeed, speed, 4, speed, 4, &returned, nullptr));
    EXPECT_EQ(speed[0], kLinkSpeedSuper);
    EXPECT_EQ(returned, 4u);
    const uint8_t endpoint = kEndpointFrames;
    EXPECT_TRUE(deviceIoControl(handle, kIoctlResetPipe, &endpoint, 1, nullptr, 0, &returned, nullptr));
    EXPECT_TRUE(deviceIoControl(handle, kIoctlResetPort, nullptr, 0, nullptr, 0, &returned, nullptr));
    // Short or missing buffers are refused, never read past.
    uint8_t small[10] = {};
    EXPECT_FALSE(deviceIoControl(handle, kIoctlControlTransfer, small, sizeof small, small, sizeof small, &returned,
                                 nullptr));
    EXPECT_EQ(getLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(deviceIoControl(handle, kIoctlResetPipe, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_FALSE(deviceIoControl(handle, kIoctlLinkSpeed, nullptr, 0, speed, 3, &returned, nullptr));
    EXPECT_FALSE(deviceIoControl(handle, 0x220000, nullptr, 0, nullptr, 0, &returned, nullptr));
    // A control request whose output is only the header: the reply data is cut, the count says so.
    auto request = makeControlRequest(kRequestTypeVendorIn, 0xB0, 0, 0);
    uint8_t headerOnly[kRequestHeaderBytes];
    ASSERT_TRUE(deviceIoControl(handle, kIoctlControlTransfer, request.data(), 102, headerOnly, sizeof headerOnly,
                                &returned, nullptr));
    EXPECT_EQ(returned, kRequestHeaderBytes);
    // A buffered transfer header announcing more than fits the output is clamped to it.
    std::vector<uint8_t> buffered(kRequestHeaderBytes + 16);
    (void)encodeHeader(makeBufferedTransferHeader(kEndpointFrames, 0x100000), buffered);
    auto arm = makeControlRequest(kRequestTypeVendorOutEndpoint, 0xC2, 0, 0);
    ASSERT_TRUE(deviceIoControl(handle, kIoctlControlTransfer, arm.data(), 102, arm.data(), 102, &returned, nullptr));
    ASSERT_TRUE(deviceIoControl(handle, kIoctlBufferedTransfer, buffered.data(), 38, buffered.data(),
                                static_cast<uint32_t>(buffered.size()), &returned, nullptr));
    EXPECT_EQ(returned, kRequestHeaderBytes + 16);
    closeHandle(handle);
    closeHandle(handle);  // a second close is refused, not a crash
    EXPECT_EQ(getLastError(), kErrorInvalidHandle);
}

TEST(DriverPending, AbortPipeCancelsAPendingRead) {
    auto camera = makeCamera("product=0x3090,name=abort");
    DeviceHandle stream = openDevice(camera->path(), true);
    ASSERT_NE(stream, nullptr);
    PendingRead read(stream);
    ASSERT_FALSE(read.started);
    ASSERT_EQ(read.error, kErrorIoPending);
    uint32_t transferred = 0;
    EXPECT_FALSE(getOverlappedResult(stream, &read.overlapped, &transferred, false));
    EXPECT_EQ(getLastError(), kErrorIoIncomplete);
    const uint8_t endpoint = kEndpointFrames;
    ASSERT_TRUE(deviceIoControl(stream, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, nullptr, nullptr));
    ASSERT_TRUE(read.event.wait(5000));
    EXPECT_FALSE(getOverlappedResult(stream, &read.overlapped, &transferred, true));
    EXPECT_EQ(getLastError(), kErrorOperationAborted);
    EXPECT_EQ(transferred, 0u);
    RequestHeader header;
    ASSERT_TRUE(decodeHeader(read.header, header));
    EXPECT_NE(header.statusA, 0u);  // the failure shows in the header's status words
    closeHandle(stream);
}

TEST(DriverPending, CloseHandleCancelsEveryPendingRead) {
    auto camera = makeCamera("product=0x3090,name=close");
    DeviceHandle stream = openDevice(camera->path(), true);
    ASSERT_NE(stream, nullptr);
    PendingRead first(stream);
    PendingRead second(stream);  // queued behind the first
    ASSERT_EQ(second.error, kErrorIoPending);
    closeHandle(stream);
    ASSERT_TRUE(first.event.isSet());
    ASSERT_TRUE(second.event.isSet());
    EXPECT_EQ(first.overlapped.error.load(), kErrorOperationAborted);
    EXPECT_EQ(second.overlapped.error.load(), kErrorOperationAborted);
}

TEST(DriverPending, ArmedReadCompletesThroughTheEventWithStatusClear) {
    auto camera = makeCamera("product=0x3090,name=complete,fps=500");
    DeviceHandle stream = openDevice(camera->path(), true);
    ASSERT_NE(stream, nullptr);
    auto arm = makeControlRequest(kRequestTypeVendorOutEndpoint, 0xC2, 0, 0);
    uint32_t returned = 0;
    ASSERT_TRUE(deviceIoControl(stream, kIoctlControlTransfer, arm.data(), 102, arm.data(), 102, &returned, nullptr));
    EXPECT_EQ(returned, kRequestHeaderBytes);
    PendingRead read(stream);
    ASSERT_TRUE(read.event.wait(5000));
    uint32_t transferred = 0;
    ASSERT_TRUE(getOverlappedResult(stream, &read.overlapped, &transferred, false));
    EXPECT_EQ(transferred, 64u);
    RequestHeader header;
    ASSERT_TRUE(decodeHeader(read.header, header));
    EXPECT_EQ(header.statusA, 0u);
    EXPECT_EQ(header.statusB, 0u);
    closeHandle(stream);
}

TEST(DriverPending, SynchronousReadOnAnotherThreadEndsOnAbort) {
    auto camera = makeCamera("product=0x3090,name=syncclose");
    DeviceHandle handle = openDevice(camera->path(), false);
    ASSERT_NE(handle, nullptr);
    std::atomic<uint32_t> error{0};
    platform::Event started(platform::Event::Reset::Manual);
    std::thread reader([&] {
        uint8_t header[kRequestHeaderBytes];
        (void)encodeHeader(makeDirectTransferHeader(kEndpointFrames), header);
        uint8_t data[64];
        started.set();
        const bool ok = deviceIoControl(handle, kIoctlDirectTransfer, header, sizeof header, data, 64, nullptr, nullptr);
        error = ok ? 0 : getLastError();
    });
    ASSERT_TRUE(started.wait(5000));
    // The reader may not have entered the device yet; abort until it has ended.
    const uint8_t endpoint = kEndpointFrames;
    while (error.load() == 0) {
        (void)deviceIoControl(handle, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, nullptr, nullptr);
        std::this_thread::yield();
    }
    reader.join();
    EXPECT_EQ(error.load(), kErrorOperationAborted);
    closeHandle(handle);
}

TEST(DriverDeviceChanges, InProcessArrivalAndRemovalReachSubscribers) {
    std::mutex mutex;
    std::vector<std::pair<DeviceChange, std::string>> seen;
    platform::Event removed(platform::Event::Reset::Manual);
    const int id = subscribeDeviceChanges([&](DeviceChange change, const std::string& path) {
        std::lock_guard lock(mutex);
        seen.emplace_back(change, path);
        if (change == DeviceChange::Removal) removed.set();
    });
    ASSERT_NE(id, 0);
    auto camera = makeCamera("product=0x3090,name=watched");
    const std::string path = camera->path();
    camera.reset();
    ASSERT_TRUE(removed.wait(5000));
    unsubscribeDeviceChanges(id);
    std::lock_guard lock(mutex);
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen.back(), std::make_pair(DeviceChange::Removal, path));
}

} // namespace
} // namespace lumvek::fx3
