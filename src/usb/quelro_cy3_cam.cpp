#include "usb/quelro_cy3_cam.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/fx3/driver_request.h"
#include "platform/sync/clock.h"

namespace lumvek {

namespace {

// A device handle that lives for one request.
class RequestHandle {
public:
    RequestHandle() = default;
    ~RequestHandle() {
        if (handle_ != nullptr) {
            fx3::closeHandle(handle_);
        }
    }
    RequestHandle(const RequestHandle&) = delete;
    RequestHandle& operator=(const RequestHandle&) = delete;
    fx3::DeviceHandle* out() { return &handle_; }
    [[nodiscard]] fx3::DeviceHandle get() const { return handle_; }

private:
    fx3::DeviceHandle handle_ = nullptr;
};

uint16_t littleEndian16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

CQuelroCy3Cam::CQuelroCy3Cam(const fx3::Guid& interfaceGuid) : CFx3Api(interfaceGuid), interfaceGuid_(interfaceGuid) {}

CQuelroCy3Cam::~CQuelroCy3Cam() {
    CQuelroCy3Cam::CloseTransfer();
    releaseClaim();
}

void CQuelroCy3Cam::releaseClaim() {
    if (claimHandle_ != nullptr) {
        fx3::closeHandle(claimHandle_);
        claimHandle_ = nullptr;
    }
}

int CQuelroCy3Cam::CloseTransfer() {
    CloseStream();
    transferBuffer_.reset();
    return 1;
}

int CQuelroCy3Cam::SelectDevice(int index) {
    CloseStream();
    releaseClaim();
    // The selected camera stays claimed through a handle held open until the
    // next selection or the controller's end: another process cannot open
    // it meanwhile, even between two requests of this one.
    if (!OpenDevice(index, false, &claimHandle_)) {
        claimHandle_ = nullptr;
        return 0;
    }
    deviceIndex_ = index;
    return 1;
}

int CQuelroCy3Cam::sendControl(fx3::DeviceHandle handle, uint8_t requestType, uint8_t code, uint16_t value,
                               uint16_t index, std::span<const uint8_t> data, ControlReply* reply) {
    if (data.size() > fx3::kControlDataBytes) {
        return 0;
    }
    RequestHandle own;
    if (handle == nullptr) {
        if (!OpenDevice(deviceIndex_, false, own.out())) {
            return 0;
        }
        handle = own.get();
    }
    fx3::ControlRequestBuffer buffer = fx3::makeControlRequest(requestType, code, value, index, data);
    uint32_t returned = 0;
    const bool ok = fx3::deviceIoControl(handle, fx3::kIoctlControlTransfer, buffer.data(),
                                         static_cast<uint32_t>(buffer.size()), buffer.data(),
                                         static_cast<uint32_t>(buffer.size()), &returned, nullptr);
    if (reply != nullptr) {
        // The driver reports header + data bytes; a count below the header
        // size is taken as data bytes. Never more than the data area holds.
        const uint32_t dataBytes = returned >= fx3::kRequestHeaderBytes ? returned - fx3::kRequestHeaderBytes : returned;
        reply->dataBytes = std::min<uint32_t>(dataBytes, fx3::kControlDataBytes);
        std::memcpy(reply->data.data(), buffer.data() + fx3::kRequestHeaderBytes, fx3::kControlDataBytes);
    }
    return ok ? 1 : 0;
}

int CQuelroCy3Cam::I2cWrite(uint8_t address, const uint8_t* data, uint8_t count, uint32_t /*timeoutMs*/) {
    if (count > i2c::kMaxTransferBytes || (count > 0 && data == nullptr)) {
        return 0;
    }
    return sendControl(nullptr, fx3::kRequestTypeVendorOut, vendor::kI2cWrite, count, address, {data, count}, nullptr);
}

int CQuelroCy3Cam::I2cRead(uint8_t address, uint8_t* data, uint8_t count, uint32_t /*timeoutMs*/) {
    if (count > i2c::kMaxTransferBytes || (count > 0 && data == nullptr)) {
        return 0;
    }
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kI2cRead, count,
                               static_cast<uint8_t>(address | 1), {}, &reply);
    if (ok && count > 0 && reply.dataBytes >= count) {
        std::memcpy(data, reply.data.data(), count);
    }
    return ok;
}

int CQuelroCy3Cam::WriteSensorRegister32(uint16_t address, uint32_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    // The request's value carries the bank bit (address bit 15), its index the rest.
    return sendControl(nullptr, fx3::kRequestTypeVendorOut, vendor::kWriteSensorRegister32,
                       static_cast<uint16_t>((address >> 15) & 1), static_cast<uint16_t>(address & 0x7FFF), data,
                       nullptr);
}

int CQuelroCy3Cam::ReadSensorRegister16(uint16_t address, uint32_t* out) {
    if (out == nullptr) {
        return 0;
    }
    *out = 0;
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kReadSensorRegister16, 0, address, {},
                               &reply);
    if (ok && reply.dataBytes == fx3::kControlDataBytes) {
        *out = littleEndian16(reply.data.data());
    }
    return ok;
}

int CQuelroCy3Cam::WriteRegister16(uint16_t address, uint16_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                             static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return sendControl(nullptr, fx3::kRequestTypeVendorOut, vendor::kWriteRegister16, 0, 0, data, nullptr);
}

int CQuelroCy3Cam::ReadRegister16(uint16_t address, uint32_t* out) {
    if (out == nullptr) {
        return 0;
    }
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kReadRegister16, address, 0, {}, &reply);
    // One data byte is enough: the second comes from the reply buffer as it stands.
    if (ok && reply.dataBytes >= 1) {
        *out = littleEndian16(reply.data.data());
    }
    return ok;
}

int CQuelroCy3Cam::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    platform::MutexLock lock(registerLock_);
    const uint8_t data[3] = {reg, 0, value};
    return I2cWrite(i2c::kFpgaWrite, data, 3, fx3::kControlTimeoutMs);
}

int CQuelroCy3Cam::ReadFpgaRegister(uint8_t reg, uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    platform::MutexLock lock(registerLock_);
    uint8_t reply[2] = {0, 0};
    if (!I2cWrite(i2c::kFpgaWrite, &reg, 1, fx3::kControlTimeoutMs) ||
        !I2cRead(i2c::kFpgaRead, reply, 2, fx3::kControlTimeoutMs)) {
        return 0;
    }
    *out = reply[1];  // the register file answers with a leading byte, then the value
    return 1;
}

int CQuelroCy3Cam::ReadFpgaWord(uint16_t* out) {
    if (out == nullptr) {
        return 0;
    }
    uint8_t low = 0;
    uint8_t high = 0;
    (void)ReadFpgaRegister(0x10, &low);
    (void)ReadFpgaRegister(0x11, &high);
    *out = static_cast<uint16_t>((high << 8) | low);
    return 1;
}

int CQuelroCy3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[2] = {reg, value};
    return I2cWrite(i2c::kAuxWrite, data, 2, fx3::kControlTimeoutMs);
}

int CQuelroCy3Cam::ReadAuxRegister(uint8_t reg, uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    return I2cWrite(i2c::kAuxWrite, &reg, 1, fx3::kControlTimeoutMs) &&
                   I2cRead(i2c::kAuxRead, out, 1, fx3::kControlTimeoutMs)
               ? 1
               : 0;
}

int CQuelroCy3Cam::WriteSromByte(uint16_t address, uint8_t value) {
    const uint8_t data[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value};
    if (!I2cWrite(i2c::kSromWrite, data, 3, fx3::kControlTimeoutMs)) {
        return 0;
    }
    platform::sleepMs(kSromWritePauseMs);  // the ROM's write cycle
    return 1;
}

int CQuelroCy3Cam::ReadSromByte(uint16_t address, uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    const uint8_t data[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    if (!I2cWrite(i2c::kSromWrite, data, 2, fx3::kControlTimeoutMs)) {
        return 0;
    }
    platform::sleepMs(kSromReadPauseMs);
    return I2cRead(i2c::kSromRead, out, 1, fx3::kControlTimeoutMs);
}

int CQuelroCy3Cam::SendEndpointRequestCC() {
    return sendControl(nullptr, fx3::kRequestTypeVendorOutEndpoint, vendor::kEndpointRequestCC, 0, 0, {}, nullptr);
}

int CQuelroCy3Cam::WriteOutputMode(uint8_t value) {
    const uint8_t data[1] = {value};
    return sendControl(nullptr, fx3::kRequestTypeVendorOut, vendor::kWriteOutputMode, 0, 0, data, nullptr);
}

int CQuelroCy3Cam::ReadOutputMode(uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kReadOutputMode, 0, 0, {}, &reply);
    if (ok && reply.dataBytes >= 1) {
        *out = reply.data[0];
    }
    return ok;
}

int CQuelroCy3Cam::RestartStream() {
    return sendControl(nullptr, fx3::kRequestTypeVendorOut, vendor::kRestartStream, 0, 0, {}, nullptr);
}

int CQuelroCy3Cam::ArmTransfer(fx3::DeviceHandle handle) {
    if (handle == nullptr) {
        return 0;
    }
    return sendControl(handle, fx3::kRequestTypeVendorOutEndpoint, vendor::kArmTransfer, 0, 0, {}, nullptr);
}

int CQuelroCy3Cam::ReadDeviceInfo(uint8_t* block64) {
    if (block64 == nullptr) {
        return 0;
    }
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kReadDeviceInfo, 0, 0, {}, &reply);
    if (ok && reply.dataBytes == fx3::kControlDataBytes) {
        std::memcpy(block64, reply.data.data(), fx3::kControlDataBytes);
    }
    return ok;
}

int CQuelroCy3Cam::ReadDeviceInfoB1(uint8_t* block64) {
    if (block64 == nullptr) {
        return 0;
    }
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kReadDeviceInfoB1, 0, 0, {}, &reply);
    if (ok && reply.dataBytes == fx3::kControlDataBytes) {
        std::memcpy(block64, reply.data.data(), fx3::kControlDataBytes);
    }
    return ok;
}

int CQuelroCy3Cam::ReadReadyStatus(uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    ControlReply reply;
    const int ok = sendControl(nullptr, fx3::kRequestTypeVendorIn, vendor::kReadReadyStatus, 0, 0, {}, &reply);
    if (ok && reply.dataBytes == fx3::kControlDataBytes) {
        *out = reply.data[0];
    }
    return ok;
}

int CQuelroCy3Cam::sendPipeCommand(uint32_t ioctl, std::span<const uint8_t> input, std::span<uint8_t> output) {
    RequestHandle handle;
    if (!OpenDevice(deviceIndex_, false, handle.out())) {
        return 0;
    }
    uint32_t returned = 0;
    return fx3::deviceIoControl(handle.get(), ioctl, input.data(), static_cast<uint32_t>(input.size()),
                                output.data(), static_cast<uint32_t>(output.size()), &returned, nullptr)
               ? 1
               : 0;
}

int CQuelroCy3Cam::GetDeviceSpeed(uint32_t* out) {
    RequestHandle handle;
    if (!OpenDevice(deviceIndex_, false, handle.out())) {
        return 0;
    }
    uint8_t input[4] = {0, 0, 0, 0};
    uint8_t speed[4] = {0, 0, 0, 0};
    uint32_t returned = 0;
    if (fx3::deviceIoControl(handle.get(), fx3::kIoctlLinkSpeed, input, 4, speed, 4, &returned, nullptr) &&
        out != nullptr) {
        *out = static_cast<uint32_t>(speed[0]) | (static_cast<uint32_t>(speed[1]) << 8) |
               (static_cast<uint32_t>(speed[2]) << 16) | (static_cast<uint32_t>(speed[3]) << 24);
    }
    return 1;
}

int CQuelroCy3Cam::ResetPort() {
    return sendPipeCommand(fx3::kIoctlResetPort, {}, {});
}

int CQuelroCy3Cam::ResetPipe(uint8_t endpoint) {
    const uint8_t input[1] = {endpoint};
    return sendPipeCommand(fx3::kIoctlResetPipe, input, {});
}

int CQuelroCy3Cam::AllocateTransferBuffer() {
    if (!transferBuffer_) {
        transferBuffer_.reset(new (std::nothrow) uint8_t[kTransferBufferBytes]);
        if (!transferBuffer_) {
            return 0;
        }
    }
    (void)ResetPort();
    return 1;
}

int CQuelroCy3Cam::OpenStream() {
    if (streamHandle_ != nullptr) {
        return 1;
    }
    return OpenDevice(deviceIndex_, true, &streamHandle_) ? 1 : 0;
}

int CQuelroCy3Cam::CloseStream() {
    if (streamHandle_ != nullptr) {
        fx3::closeHandle(streamHandle_);
        streamHandle_ = nullptr;
    }
    return 1;
}

} // namespace lumvek
