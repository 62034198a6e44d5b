#pragma once
// The product-specific steps of opening, frame geometry, colour and trigger
// mode, cooling, stopping and closing a camera, as small functions the
// product table points to. They act on the camera through ProductStepHost,
// which the camera device object implements over its controller, sensor
// driver and acquisition.
#include <cstdint>

namespace lumvek {

class CControllerBase;
class CSensorBase;

class ProductStepHost {
public:
    virtual ~ProductStepHost() = default;
    // Null when there is none; a step then does nothing or fails.
    virtual CControllerBase* stepController() = 0;
    virtual CSensorBase* stepSensor() = 0;
    // Controller operations beyond CControllerBase (results 1/0).
    virtual int stepReadReadyStatus(uint8_t* status) = 0;
    virtual int stepWriteOutputMode(uint8_t mode) = 0;
    virtual int stepResetPort() = 0;
    virtual int stepResetPipe(uint8_t endpoint) = 0;
    virtual int stepRestartStream() = 0;
    virtual int stepReadSromByte(uint16_t address, uint8_t* value) = 0;
    virtual int stepWriteSromByte(uint16_t address, uint8_t value) = 0;
    // The 64-byte block of request 0xB0 read at initialisation.
    virtual const uint8_t* stepDeviceInfo() = 0;
    // Acquisition of the device object (modes as its StartAcquisition).
    virtual int stepStartAcquisition(int mode) = 0;
    // 1 when the running acquisition ended within timeoutMs.
    virtual int stepWaitAcquisitionEnd(uint32_t timeoutMs) = 0;
    // The device object's WaitFrame result (3 = a new frame).
    virtual int stepWaitFrame(uint32_t timeoutMs) = 0;
    virtual int stepReadFrameTag() = 0;
};

// The capture window the frame geometry programs, and the full sensor size.
struct FrameWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int subSampleMode = 0;
    int fullWidth = 0;
    int fullHeight = 0;
    int readoutFlag = 0;   // the sensor driver's readout flags
    int readoutFlag2 = 0;
};

// Step kinds the table rows point to (null = nothing product-specific).
using OpenStep = void (*)(ProductStepHost& host);
using GeometryStep = void (*)(ProductStepHost& host, const FrameWindow& window);
// Returns 1 when the product's own write succeeded and *storedMode is set;
// 0 sends the caller down the default path.
using ColorModeStep = int (*)(ProductStepHost& host, int mode, int* storedMode);
// Returns the mode to store.
using TriggerStep = int (*)(ProductStepHost& host, int mode);

struct CoolingSteps {
    int (*isSupported)(ProductStepHost& host);
    int (*get)(ProductStepHost& host);
    int (*set)(ProductStepHost& host, int on);
};

enum class WindowRegisters : uint8_t {
    Standard,   // width 0x44/0x45, height 0x40/0x41
    Alternate,  // width 0x9C/0x9D, height 0x9A/0x9B
    None,       // frames arrive whole; no FPGA window
};

} // namespace lumvek
