#pragma once
// CSensorR05: a camera head whose sensor talks a line-based text protocol
// through the serial bridge at 0x48. Text goes out one byte per
// WriteRegister(0, byte) and comes back one byte per ReadRegister(0);
// exposure, gain and FPGA bytes of the head are commands. Whether the head
// is in its debug mode is one process-wide state shared by every R05 driver.
#include <string>

#include "sensors/family/family_sensor.h"

namespace lumvek {

class CSensorR05 final : public FamilySensor {
public:
    static constexpr int kTextBufferBytes = 256;

    CSensorR05(CControllerBase* controller, uint8_t serialAddress);

    // FPGA register 0xFF reads 4 once the link is up.
    int IsReady() override;
    // Records the 2048 x 1024 window; no hardware access.
    int InitializeSensor() override;
    // Up to 10 tries to bring FPGA 0xFF to 4, the identify command, the
    // 16-bit sample depth (FPGA 60 = 2, read back), then the start command.
    int OpenSerialLink() override;
    int SetCaptureWindow(int x, int width, int y, int height, int mode) override;
    // FPGA writes 48 = (mode == 1), 60 = 0, 60 = 1 through the text link.
    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;
    int SetTransferBits(int sixteenBits) override;
    // "i -v %d\n" with the value clamped to the lines range.
    int SetExposureLines(int lines) override;
    // lines = t x 40 x 100 / 70.
    int SetExposureTime(uint32_t tenthsOfMs) override;
    // "g -v %d\n" with the value clamped to the gain range.
    int SetGlobalGain(int gain) override;
    int WriteRegister(uint32_t address, uint32_t value) override { return writeSensorRegister(address, value); }
    int ReadRegister(uint32_t address, uint32_t* value) override { return readSensorRegister(address, value); }
    // One reply line: up to a zero byte or line feed (kept), or a carriage
    // return (kept, a line feed added). 0 when the line is empty, or when
    // 256 bytes pass without an end (a reply that never ends); else the
    // count copied (at most capacity).
    int ReceiveText(char* buffer, int capacity) override;
    // Byte by byte, 10 ms apart, up to the first zero byte (not sent) or a
    // failed write. 1 when every byte went out.
    int SendText(const char* text, int length) override;

    // The process-wide debug state (for tests).
    [[nodiscard]] static bool debugModeEntered();
    static void forgetDebugMode();

private:
    // Sends a command with its terminating zero byte; no wait for the reply.
    bool sendCommand(const std::string& command);
    bool setDebugMode(bool on);
    // An FPGA byte of the head, written through the text link.
    bool writeHeadFpga(uint8_t reg, uint8_t value);

    int triggerMode_ = 0;
};

} // namespace lumvek
