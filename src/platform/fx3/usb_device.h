#pragma once
// The device side of the driver stand-in: what a backend offers for one open
// connection to a camera. The stand-in (fx3_driver.cpp) parses the driver
// request packets and calls these; the in-process simulator implements them
// directly, the socket backend forwards them to the simulator daemon.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/fx3/driver_request.h"

namespace lumvek::fx3 {

// Cancels one pending bulk read (abort pipe, closing the handle). Waits in
// the device code go through sleepFor, so that cancelling wakes them.
class CancelToken {
public:
    void cancel();
    [[nodiscard]] bool cancelled() const;
    // Sleeps up to ms (kForever: no limit) or until cancelled; true when cancelled.
    // An installed probe runs at least every kProbeIntervalMs while sleeping and
    // cancels the token when it returns true (the socket server uses it to notice
    // an abort or a closed client).
    static constexpr uint32_t kForever = 0xFFFFFFFFu;
    static constexpr uint32_t kProbeIntervalMs = 10;
    [[nodiscard]] bool sleepFor(uint32_t ms) const;
    void setProbe(std::function<bool()> probe);

private:
    mutable std::mutex mutex_;  // guards cancelled_ and probe_
    mutable std::condition_variable cv_;
    mutable bool cancelled_ = false;
    std::function<bool()> probe_;
};

struct ControlResult {
    bool ok = false;
    uint32_t dataBytes = 0;  // data bytes the device gave back (0..64)
};

struct BulkResult {
    uint32_t error = 0;  // kErrorSuccess, kErrorOperationAborted, kErrorSemTimeout, kErrorDeviceNotConnected, ...
    uint32_t bytes = 0;
};

// One connection to a device. Calls may come from several threads (a control
// request on one handle while another handle reads bulk data).
class UsbDevice {
public:
    virtual ~UsbDevice() = default;
    // A vendor control request: the decoded driver header (type, code, value,
    // index, length, time-out) and its 64 data bytes, answered in place.
    virtual ControlResult controlTransfer(const RequestHeader& header, std::span<uint8_t, kControlDataBytes> data) = 0;
    // A bulk-in read of up to buffer.size() bytes. timeoutMs 0 waits until data
    // arrives or the token is cancelled.
    virtual BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                                const CancelToken& cancel) = 0;
    virtual bool resetPipe(uint8_t endpoint) = 0;
    virtual bool resetPort() = 0;
    virtual uint32_t linkSpeed() = 0;
    [[nodiscard]] virtual bool connected() const = 0;
    // True when this idle connection may serve the holder's next handle on
    // the same path instead of a new one (nothing pending, the far end still
    // there). Only connections that cost a round trip to make say so.
    [[nodiscard]] virtual bool reusable() const { return false; }
};

// A source of devices: lists the device paths present and opens one.
class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    [[nodiscard]] virtual std::vector<std::string> presentPaths() = 0;
    // nullptr when the path names none of this source's devices or it refuses.
    [[nodiscard]] virtual std::unique_ptr<UsbDevice> open(const std::string& path) = 0;
};

// The parts of a device path: \\?\usb#vid_vvvv&pid_pppp#<instance>#{guid}.
struct DevicePathParts {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string instance;
};
[[nodiscard]] bool parseDevicePath(const std::string& path, DevicePathParts& parts);

} // namespace lumvek::fx3
