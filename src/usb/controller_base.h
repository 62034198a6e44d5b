#pragma once
// The interface sensor drivers receive: every register access of a sensor
// driver goes through it. CQuelroCy3Cam implements it; the base versions all
// report failure (0). Results are 1 for success and 0 for failure.
#include <array>
#include <cstdint>
#include <memory>

#include "platform/fx3/fx3_driver.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek {

class CControllerBase {
public:
    virtual ~CControllerBase() = default;

    virtual int Reserved() { return 0; }
    virtual int CloseTransfer() { return 0; }
    virtual int SelectDevice(int /*index*/) { return 0; }
    // out = (FPGA register 0x11 << 8) | register 0x10.
    virtual int ReadFpgaWord(uint16_t* /*out*/) { return 0; }
    // I2C transfers of at most 64 bytes (8-bit address form; reads set bit 0).
    virtual int I2cWrite(uint8_t /*address*/, const uint8_t* /*data*/, uint8_t /*count*/, uint32_t /*timeoutMs*/) {
        return 0;
    }
    virtual int I2cRead(uint8_t /*address*/, uint8_t* /*data*/, uint8_t /*count*/, uint32_t /*timeoutMs*/) {
        return 0;
    }
    // Sensor registers through vendor requests 0xD0/0xD1 (CCD drivers) and 0x3E/0x3F.
    virtual int WriteSensorRegister32(uint16_t /*address*/, uint32_t /*value*/) { return 0; }
    virtual int ReadSensorRegister16(uint16_t /*address*/, uint32_t* /*out*/) { return 0; }
    virtual int WriteRegister16(uint16_t /*address*/, uint16_t /*value*/) { return 0; }
    virtual int ReadRegister16(uint16_t /*address*/, uint32_t* /*out*/) { return 0; }
    // FPGA register file at I2C 0x40/0x41, serialised by the register lock.
    virtual int WriteFpgaRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
    virtual int ReadFpgaRegister(uint8_t /*reg*/, uint8_t* /*out*/) { return 0; }
    // Auxiliary register device at I2C 0x5A/0x5B.
    virtual int WriteAuxRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
    virtual int ReadAuxRegister(uint8_t /*reg*/, uint8_t* /*out*/) { return 0; }
    virtual int AbortBulkIn() { return 0; }

protected:
    static constexpr size_t kScratchBytes = 64;

    // Device handle opened for overlapped I/O, used by the frame transfer
    // thread for arming and bulk reads; null while closed.
    fx3::DeviceHandle streamHandle_ = nullptr;
    // Staging area of buffered transfers: 38-byte header + up to 64 MiB of
    // data. Allocated when a camera is opened, freed by CloseTransfer.
    std::unique_ptr<uint8_t[]> transferBuffer_;
    // Cleared before each frame-header and direct read.
    std::array<uint8_t, kScratchBytes> scratch_{};
    // The register lock: held around each FPGA register access (the
    // write-then-read pair of a read must not interleave with another
    // thread's access), by the application threads, the transfer thread and
    // a sensor driver's sampling thread alike. Taken innermost: nothing is
    // locked under it, and it guards the I2C exchange rather than a member.
    platform::Mutex registerLock_;
};

} // namespace lumvek
