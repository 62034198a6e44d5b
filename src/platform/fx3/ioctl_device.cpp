#include "platform/fx3/ioctl_device.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/fx3/fx3_driver.h"

namespace lumvek::fx3 {

namespace {
// The driver bounds a control request by the time-out in its header; the
// wait for its completion allows that and a margin for the system.
constexpr uint32_t kCompletionMarginMs = 1000;
// Pipe and port resets and the speed question answer at once on a working
// driver; a driver that does not is treated as a failure.
constexpr uint32_t kQuickRequestMs = 5000;
} // namespace

IoctlDevice::IoctlDevice(std::unique_ptr<IoctlPort> port) : port_(std::move(port)) {}

uint32_t IoctlDevice::call(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes,
                           uint32_t* returned, uint32_t timeoutMs, const CancelToken* cancel) {
    const uint32_t error = port_->call(code, in, inBytes, out, outBytes, returned, timeoutMs, cancel);
    if (error == kErrorDeviceNotConnected || error == kErrorFileNotFound || error == kErrorInvalidHandle) {
        gone_.store(true);
    }
    return error;
}

ControlResult IoctlDevice::controlTransfer(const RequestHeader& header, std::span<uint8_t, kControlDataBytes> data) {
    ControlResult result;
    if (gone_.load()) {
        return result;
    }
    // The buffer the driver takes and answers in place: header, then data.
    std::array<uint8_t, kControlRequestBytes> packet{};
    RequestHeader sent = header;
    sent.statusA = 0;
    sent.statusB = 0;
    sent.dataOffset = static_cast<uint32_t>(kRequestHeaderBytes);
    sent.dataLength = static_cast<uint32_t>(kControlDataBytes);
    if (!encodeHeader(sent, packet)) {
        return result;
    }
    std::memcpy(packet.data() + kRequestHeaderBytes, data.data(), kControlDataBytes);
    uint32_t returned = 0;
    const uint32_t waitMs = std::max(header.timeoutMs, kControlTimeoutMs) + kCompletionMarginMs;
    if (call(kIoctlControlTransfer, packet.data(), kControlRequestBytes, packet.data(), kControlRequestBytes,
             &returned, waitMs, nullptr) != kErrorSuccess ||
        returned < kRequestHeaderBytes) {
        return result;
    }
    RequestHeader answered;
    if (!decodeHeader(packet, answered) || answered.statusA != 0) {
        return result;
    }
    result.ok = true;
    result.dataBytes = std::min<uint32_t>(returned - static_cast<uint32_t>(kRequestHeaderBytes),
                                          static_cast<uint32_t>(kControlDataBytes));
    std::memcpy(data.data(), packet.data() + kRequestHeaderBytes, result.dataBytes);
    return result;
}

BulkResult IoctlDevice::bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                                 const CancelToken& cancel) {
    BulkResult result;
    if (gone_.load()) {
        result.error = kErrorDeviceNotConnected;
        return result;
    }
    if (buffer.size() > kMaxDataTransferBytes) {
        result.error = kErrorInvalidParameter;
        return result;
    }
    // A direct transfer: the header names the endpoint, the data goes
    // straight into the caller's buffer, the driver writes its completion
    // status back into the header.
    std::array<uint8_t, kRequestHeaderBytes> header{};
    if (!encodeHeader(makeDirectTransferHeader(endpoint), header)) {
        result.error = kErrorInvalidParameter;
        return result;
    }
    uint32_t returned = 0;
    result.error = call(kIoctlDirectTransfer, header.data(), kRequestHeaderBytes, buffer.data(),
                        static_cast<uint32_t>(buffer.size()), &returned, timeoutMs, &cancel);
    result.bytes = result.error == kErrorSuccess ? std::min<uint32_t>(returned, static_cast<uint32_t>(buffer.size()))
                                                 : 0;
    return result;
}

bool IoctlDevice::resetPipe(uint8_t endpoint) {
    uint32_t returned = 0;
    return call(kIoctlResetPipe, &endpoint, 1, nullptr, 0, &returned, kQuickRequestMs, nullptr) == kErrorSuccess;
}

bool IoctlDevice::resetPort() {
    uint32_t returned = 0;
    return call(kIoctlResetPort, nullptr, 0, nullptr, 0, &returned, kQuickRequestMs, nullptr) == kErrorSuccess;
}

uint32_t IoctlDevice::linkSpeed() {
    std::array<uint8_t, 4> speed{};
    uint32_t returned = 0;
    if (call(kIoctlLinkSpeed, nullptr, 0, speed.data(), 4, &returned, kQuickRequestMs, nullptr) != kErrorSuccess ||
        returned < 4) {
        return 0;
    }
    return static_cast<uint32_t>(speed[0]) | static_cast<uint32_t>(speed[1]) << 8 |
           static_cast<uint32_t>(speed[2]) << 16 | static_cast<uint32_t>(speed[3]) << 24;
}

bool IoctlDevice::connected() const {
    return !gone_.load();
}

} // namespace lumvek::fx3
