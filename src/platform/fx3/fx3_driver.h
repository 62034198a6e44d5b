#pragma once
// User-space stand-in for the cameras' FX3 kernel driver, with the shape of
// the Windows calls the controller makes: device-interface enumeration,
// opening a device path (overlapped or not), DeviceIoControl with the seven
// I/O-control codes of driver_request.h, GetOverlappedResult, CloseHandle and
// the thread's last-error value. Underneath, backends (in-process simulator,
// simulator daemon sockets, libusb) serve the requests; callers above never
// see which.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumvek::platform {
class Event;
}

namespace lumvek::fx3 {

// System error codes the stand-in reports, as on Windows.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorSemTimeout = 121;
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoIncomplete = 996;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    friend bool operator==(const Guid&, const Guid&) = default;
};

// The interface class the cameras' driver registers:
// {328184C5-93E6-49B7-94B8-2ADA13AABB39}.
inline constexpr Guid kCameraInterfaceGuid{0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

// Device paths keep the Windows form
// \\?\usb#vid_vvvv&pid_pppp#<instance>#{328184c5-93e6-49b7-94b8-2ada13aabb39}
// so the identifiers sit at path offsets 12..15 (vendor) and 21..24 (product).
[[nodiscard]] std::string formatDevicePath(uint16_t vendorId, uint16_t productId, const std::string& instance);

// The interfaces of class `interfaceClass` present now, as device paths, in
// a stable order (the order a camera was first seen). Empty for any other class.
[[nodiscard]] std::vector<std::string> enumerateDeviceInterfaces(const Guid& interfaceClass);

struct DeviceObject;  // one open handle of the stand-in
using DeviceHandle = DeviceObject*;

// The OVERLAPPED of an asynchronous request. The caller owns it and the event
// and keeps both (and the request's buffers) alive until the request has
// completed or been cancelled; the driver sets `event` at completion.
struct Overlapped {
    platform::Event* event = nullptr;
    // Filled by the driver at completion.
    std::atomic<bool> completed{false};
    std::atomic<uint32_t> error{kErrorSuccess};
    std::atomic<uint32_t> transferred{0};
};

// Who opens a device path. A camera is used by one holder at a time, as it is
// by one process at a time: the handles of one holder (a controller, which
// opens a handle per request) share the device, and while any of them is
// open a handle of another holder in this process does not open
// (kErrorSharingViolation). nullptr is one anonymous holder.
using DeviceHolder = const void*;

// CreateFile on a device path (write access, open existing). Returns nullptr
// and sets the last error when the path names no present device
// (kErrorFileNotFound; also when another process holds it) or another holder
// of this process has it open (kErrorSharingViolation).
[[nodiscard]] DeviceHandle openDevice(const std::string& path, bool overlapped, DeviceHolder holder = nullptr);

// CloseHandle: cancels pending requests on the handle (they complete with
// kErrorOperationAborted and their events are set) and frees it.
void closeHandle(DeviceHandle handle);

// DeviceIoControl. Without `overlapped` the call completes before it returns.
// With `overlapped` (handle opened overlapped) it returns false with last
// error kErrorIoPending when the request is still running; completion sets
// overlapped->event. Returns true when done at once (bytes in *returned);
// false with the last error set on failure.
[[nodiscard]] bool deviceIoControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inBytes, void* out,
                                   uint32_t outBytes, uint32_t* returned, Overlapped* overlapped);

// GetOverlappedResult: false (last error kErrorIoIncomplete) while not complete and `wait` is false; with `wait` blocks
// until completion. On completion returns true and the byte count, or false
// with the request's error as last error.
[[nodiscard]] bool getOverlappedResult(DeviceHandle handle, Overlapped* overlapped, uint32_t* transferred, bool wait);

// GetLastError / SetLastError of the calling thread.
[[nodiscard]] uint32_t getLastError();
void setLastError(uint32_t error);

// Arrival and removal of interfaces of the camera class (simulator sockets
// appearing and vanishing, libusb hot-plug). The callback runs on a watcher
// thread of the stand-in, never on the caller's thread. Returns an id for
// unsubscribe; 0 if watching is not possible.
enum class DeviceChange { Arrival, Removal };
using DeviceChangeCallback = std::function<void(DeviceChange change, const std::string& path)>;
[[nodiscard]] int subscribeDeviceChanges(DeviceChangeCallback callback);
void unsubscribeDeviceChanges(int id);

} // namespace lumvek::fx3
