#pragma once
// CQuelroCy3Cam: the only path between the library and a camera. It speaks
// to the camera's USB3 controller through the FX3 driver: vendor control
// requests on endpoint 0 (FPGA, sensor and serial-ROM registers, I2C devices,
// status blocks, stream commands), bulk-in reads of frame headers and pixel
// data (endpoint 0x81) or whole frames (0x83), and pipe/port commands.
//
// Every control request opens the selected entry's device path for itself;
// only arming and the bulk reads use the stream handle, and those come from
// the frame transfer thread alone. Results are 1 for success, 0 for failure.
#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "usb/controller_base.h"
#include "usb/controller_protocol.h"
#include "usb/frame_record.h"
#include "usb/fx3_api.h"

namespace lumvek::platform {
class Event;
}

namespace lumvek {

inline constexpr uint32_t kTransferBufferBytes = 0x4000000 + 38;  // 64 MiB + one request header
inline constexpr uint32_t kFramePieceBytes = 0x80000;             // pixel data is read in 512 KiB pieces
inline constexpr uint32_t kFrameHeaderTimeoutMs = 100;            // per header attempt
inline constexpr int kFrameHeaderAttempts = 30;
inline constexpr uint8_t kFpgaHeaderRecoveryRegister = 0x6C;      // pulsed 1 then 0 after a lost header
inline constexpr uint32_t kHeaderRecoveryPauseMs = 10;
inline constexpr uint32_t kDirectTransferTimeoutMs = 5000;
inline constexpr uint32_t kBufferedTransferTimeoutMs = 3000;
inline constexpr uint32_t kAbortSettleMs = 50;
// How long aborts are repeated before a transfer the driver keeps is logged.
inline constexpr uint32_t kAbortGiveUpMs = 2000;
inline constexpr uint32_t kStreamStopPollMs = 20;  // how often a pending transfer looks for a stop
inline constexpr uint32_t kSromWritePauseMs = 14;
inline constexpr uint32_t kSromReadPauseMs = 10;

class CQuelroCy3Cam : public CFx3Api, public CControllerBase {
public:
    explicit CQuelroCy3Cam(const fx3::Guid& interfaceGuid = fx3::kCameraInterfaceGuid);
    ~CQuelroCy3Cam() override;

    // CControllerBase.
    int CloseTransfer() override;
    int SelectDevice(int index) override;
    int ReadFpgaWord(uint16_t* out) override;
    int I2cWrite(uint8_t address, const uint8_t* data, uint8_t count, uint32_t timeoutMs) override;
    int I2cRead(uint8_t address, uint8_t* data, uint8_t count, uint32_t timeoutMs) override;
    int WriteSensorRegister32(uint16_t address, uint32_t value) override;
    int ReadSensorRegister16(uint16_t address, uint32_t* out) override;
    int WriteRegister16(uint16_t address, uint16_t value) override;
    int ReadRegister16(uint16_t address, uint32_t* out) override;
    int WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    int ReadFpgaRegister(uint8_t reg, uint8_t* out) override;
    int WriteAuxRegister(uint8_t reg, uint8_t value) override;
    int ReadAuxRegister(uint8_t reg, uint8_t* out) override;
    int AbortBulkIn() override;

    // Operations of its own, in the order of its virtual table.
    virtual int OpenStream();
    // Arms a transfer and reads the 64-byte frame header from endpoint 0x81,
    // recovering a lost header by pulsing FPGA register 0x6C, at most 30 tries.
    virtual int ReadFrameHeader(FrameRecord* record);
    // Reads the pixel-data byte count announced in the header copy into the
    // destination, in 512 KiB pieces. Fails before any transfer when the count
    // exceeds the capacity, and when any piece fails or arrives short.
    virtual int ReadFrameData(FrameRecord* record, uint32_t timeoutMs);
    // Reads a whole frame of the expected size from endpoint 0x83.
    virtual int ReadFrameDirect(FrameRecord* record);
    virtual int CloseStream();
    virtual int WriteSromByte(uint16_t address, uint8_t value);
    virtual int ReadSromByte(uint16_t address, uint8_t* out);
    virtual int SendEndpointRequestCC();
    virtual int WriteOutputMode(uint8_t value);
    virtual int ReadOutputMode(uint8_t* out);
    virtual int TransferBuffered(fx3::DeviceHandle handle, uint8_t* data, uint32_t length, uint8_t endpoint,
                                 uint32_t* returned);
    virtual int TransferDirect(fx3::DeviceHandle handle, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                               uint32_t* transferred);
    virtual int TransferDirectTimed(fx3::DeviceHandle handle, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                                    uint32_t* transferred, uint32_t timeoutMs);

    // Operations the camera device object calls directly.
    int RestartStream();
    int ArmTransfer(fx3::DeviceHandle handle);
    int ReadDeviceInfo(uint8_t* block64);
    int ReadDeviceInfoB1(uint8_t* block64);
    int ReadReadyStatus(uint8_t* out);
    int GetDeviceSpeed(uint32_t* out);
    int ResetPort();
    int ResetPipe(uint8_t endpoint);
    int AllocateTransferBuffer();

    [[nodiscard]] int DeviceIndex() const { return deviceIndex_; }
    // A camera is selected (and claimed): requests reach the device it chose,
    // not whichever camera happens to be entry 0 of the table.
    [[nodiscard]] bool HasSelectedDevice() const { return claimHandle_ != nullptr; }
    [[nodiscard]] uint32_t DirectTransferStatus() const { return directTransferStatus_; }
    [[nodiscard]] fx3::DeviceHandle StreamHandle() const { return streamHandle_; }

    // The acquisition is stopping (any thread may ask): frame reads in
    // progress give up early instead of running out their time-outs and
    // retries; a header read stops re-arming and a pending bulk transfer is
    // cancelled. Frame reads fail at once until ClearStreamStop.
    void RequestStreamStop() { streamStopRequested_ = true; }
    void ClearStreamStop() { streamStopRequested_ = false; }

private:
    struct ControlReply {
        std::array<uint8_t, 64> data{};
        uint32_t dataBytes = 0;
    };
    // One vendor control request on `handle` (or, when null, on a handle of
    // its own to the selected device). The reply's data bytes are clamped to
    // the 64 the buffer holds.
    int sendControl(fx3::DeviceHandle handle, uint8_t requestType, uint8_t code, uint16_t value, uint16_t index,
                    std::span<const uint8_t> data, ControlReply* reply);
    int sendPipeCommand(uint32_t ioctl, std::span<const uint8_t> input, std::span<uint8_t> output);
    // Abort pipe with an overlapped request of its own, waited for until done.
    void abortPipe(fx3::DeviceHandle handle, uint8_t endpoint);
    void releaseClaim();
    // Aborts endpoint until the driver has completed the request behind done.
    void settleAfterAbort(fx3::DeviceHandle handle, uint8_t endpoint, platform::Event& done);
    int directTransfer(fx3::DeviceHandle handle, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                       uint32_t* transferred, uint32_t timeoutMs);
    bool openStreamForCall(bool& openedHere);
    // Waits for a pending transfer up to timeoutMs; false on time-out or
    // when a stream stop is requested meanwhile.
    bool waitTransfer(platform::Event& done, uint32_t timeoutMs) const;

    int deviceIndex_ = 0;
    fx3::DeviceHandle claimHandle_ = nullptr;  // open while a camera is selected
    fx3::Guid interfaceGuid_;
    uint32_t directTransferStatus_ = 0;
    std::atomic<bool> streamStopRequested_{false};
};

} // namespace lumvek
