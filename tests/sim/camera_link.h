#pragma once
// Test helper: speaks to a camera through the driver stand-in exactly as the
// controller does (control requests on a handle of their own, arm and bulk
// reads on an overlapped stream handle).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "platform/sync/event.h"

namespace lumvek::test {

struct ControlReply {
    bool ok = false;
    uint32_t returned = 0;
    fx3::ControlRequestBuffer buffer{};
};

class CameraLink {
public:
    explicit CameraLink(std::string path) : path_(std::move(path)) {}
    ~CameraLink() { closeStream(); }

    ControlReply control(uint8_t type, uint8_t code, uint16_t value, uint16_t index,
                         std::vector<uint8_t> data = {}) const {
        ControlReply reply;
        fx3::DeviceHandle handle = fx3::openDevice(path_, false);
        if (handle == nullptr) {
            return reply;
        }
        reply.buffer = fx3::makeControlRequest(type, code, value, index, data);
        reply.ok = fx3::deviceIoControl(handle, fx3::kIoctlControlTransfer, reply.buffer.data(),
                                        static_cast<uint32_t>(reply.buffer.size()), reply.buffer.data(),
                                        static_cast<uint32_t>(reply.buffer.size()), &reply.returned, nullptr);
        fx3::closeHandle(handle);
        return reply;
    }
    bool i2cWrite(uint8_t address, std::vector<uint8_t> bytes) const {
        return control(fx3::kRequestTypeVendorOut, 0x30, static_cast<uint16_t>(bytes.size()), address, bytes).ok;
    }
    std::optional<std::vector<uint8_t>> i2cRead(uint8_t address, uint8_t count) const {
        const auto reply = control(fx3::kRequestTypeVendorIn, 0x31, count, static_cast<uint16_t>(address | 1));
        if (!reply.ok || reply.returned < fx3::kRequestHeaderBytes + count) {
            return std::nullopt;
        }
        return std::vector<uint8_t>(reply.buffer.begin() + fx3::kRequestHeaderBytes,
                                    reply.buffer.begin() + fx3::kRequestHeaderBytes + count);
    }
    bool writeFpga(uint8_t reg, uint8_t value) const { return i2cWrite(0x40, {reg, 0, value}); }
    std::optional<uint8_t> readFpga(uint8_t reg) const {
        if (!i2cWrite(0x40, {reg})) return std::nullopt;
        const auto bytes = i2cRead(0x41, 2);
        if (!bytes) return std::nullopt;
        return (*bytes)[1];
    }
    void setWindow(uint16_t width, uint16_t height, uint8_t depth) const {
        (void)writeFpga(0x44, static_cast<uint8_t>(width));
        (void)writeFpga(0x45, static_cast<uint8_t>(width >> 8));
        (void)writeFpga(0x40, static_cast<uint8_t>(height));
        (void)writeFpga(0x41, static_cast<uint8_t>(height >> 8));
        (void)writeFpga(60, depth);
    }

    bool openStream() {
        if (stream_ == nullptr) {
            stream_ = fx3::openDevice(path_, true);
        }
        return stream_ != nullptr;
    }
    void closeStream() {
        if (stream_ != nullptr) {
            fx3::closeHandle(stream_);
            stream_ = nullptr;
        }
    }
    fx3::DeviceHandle stream() const { return stream_; }

    bool arm() {
        if (!openStream()) return false;
        auto buffer = fx3::makeControlRequest(fx3::kRequestTypeVendorOutEndpoint, 0xC2, 0, 0);
        uint32_t returned = 0;
        return fx3::deviceIoControl(stream_, fx3::kIoctlControlTransfer, buffer.data(), 102, buffer.data(), 102,
                                    &returned, nullptr);
    }

    struct Read {
        bool ok = false;
        uint32_t error = 0;
        uint32_t bytes = 0;
        uint32_t statusA = 0;
    };
    // A direct transfer waited for up to timeoutMs, aborted on expiry.
    Read readDirect(uint8_t endpoint, uint8_t* buffer, uint32_t length, uint32_t timeoutMs) {
        Read read;
        if (!openStream()) return read;
        uint8_t header[fx3::kRequestHeaderBytes];
        (void)fx3::encodeHeader(fx3::makeDirectTransferHeader(endpoint), header);
        platform::Event event(platform::Event::Reset::Auto);
        fx3::Overlapped overlapped;
        overlapped.event = &event;
        uint32_t returned = 0;
        bool done = fx3::deviceIoControl(stream_, fx3::kIoctlDirectTransfer, header, sizeof header, buffer, length,
                                         &returned, &overlapped);
        if (!done && fx3::getLastError() == fx3::kErrorIoPending) {
            if (!event.wait(timeoutMs)) {
                uint8_t endpointByte = endpoint;
                (void)fx3::deviceIoControl(stream_, fx3::kIoctlAbortPipe, &endpointByte, 1, nullptr, 0, nullptr,
                                           nullptr);
                (void)event.wait(platform::kInfinite);
            }
            done = true;
        }
        read.ok = fx3::getOverlappedResult(stream_, &overlapped, &read.bytes, false);
        read.error = read.ok ? 0 : fx3::getLastError();
        fx3::RequestHeader decoded;
        (void)fx3::decodeHeader(header, decoded);
        read.statusA = decoded.statusA;
        return read;
    }
    // Arm, then the 64-byte header; the pixel-data count at offset 16.
    std::optional<std::vector<uint8_t>> readHeader(uint32_t timeoutMs = 1000) {
        if (!arm()) return std::nullopt;
        std::vector<uint8_t> header(64);
        const Read read = readDirect(fx3::kEndpointFrames, header.data(), 64, timeoutMs);
        if (!read.ok || read.statusA != 0 || read.bytes != 64) return std::nullopt;
        return header;
    }
    static uint32_t word(const std::vector<uint8_t>& bytes, size_t at) {
        return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
    }
    // A whole frame in 512 KiB pieces; nullopt when any piece fails or comes short.
    std::optional<std::vector<uint8_t>> readFrame(uint32_t timeoutMs = 3000) {
        const auto header = readHeader();
        if (!header) return std::nullopt;
        const uint32_t count = word(*header, 16);
        if (count > fx3::kMaxDataTransferBytes) return std::nullopt;
        std::vector<uint8_t> pixels(count);
        for (uint32_t at = 0; at < count;) {
            const uint32_t piece = std::min<uint32_t>(count - at, 0x80000);
            const Read read = readDirect(fx3::kEndpointFrames, pixels.data() + at, piece, timeoutMs);
            if (!read.ok || read.bytes == 0) return std::nullopt;
            at += read.bytes;
        }
        return pixels;
    }

private:
    std::string path_;
    fx3::DeviceHandle stream_ = nullptr;
};

} // namespace lumvek::test
