#pragma once
// A camera reached through the FX3 kernel driver's I/O-control interface.
// The requests the stand-in's backends answer directly (control transfers,
// bulk reads, pipe and port resets, the link speed) go on as the driver's
// own request packets: the 102-byte control buffer (38-byte header, 64 data
// bytes), direct transfers whose data lands in the output buffer, the
// one-byte endpoint of a pipe reset. The port underneath makes the system
// call: DeviceIoControl on a device path the driver exposes on Windows; in
// the tests the driver stand-in itself, so that the packets are checked by
// the same dispatch the simulator answers.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

// One open device path of the driver.
class IoctlPort {
public:
    virtual ~IoctlPort() = default;
    // Sends one request and waits for its completion: at most timeoutMs
    // (kNoTimeout: until it completes), ended early when `cancel` (may be
    // null) is cancelled; a request ended either way has completed, and
    // left the buffers, before this returns. Returns the system error code
    // (kErrorSuccess; kErrorSemTimeout when the wait ran out;
    // kErrorOperationAborted when cancelled; the driver's own otherwise) and
    // the bytes the driver returned in *returned.
    static constexpr uint32_t kNoTimeout = 0;
    [[nodiscard]] virtual uint32_t call(uint32_t code, const void* in, uint32_t inBytes, void* out,
                                        uint32_t outBytes, uint32_t* returned, uint32_t timeoutMs,
                                        const CancelToken* cancel) = 0;
};

class IoctlDevice final : public UsbDevice {
public:
    explicit IoctlDevice(std::unique_ptr<IoctlPort> port);

    ControlResult controlTransfer(const RequestHeader& header, std::span<uint8_t, kControlDataBytes> data) override;
    BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                        const CancelToken& cancel) override;
    bool resetPipe(uint8_t endpoint) override;
    bool resetPort() override;
    uint32_t linkSpeed() override;
    [[nodiscard]] bool connected() const override;

private:
    // The port's call, noting a camera that has gone.
    uint32_t call(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes, uint32_t* returned,
                  uint32_t timeoutMs, const CancelToken* cancel);

    std::unique_ptr<IoctlPort> port_;
    std::atomic<bool> gone_{false};
};

} // namespace lumvek::fx3
