#pragma once
// FamilySensor: what the CMOS and head drivers of the family share. It
// writes a model's constants into the descriptor, keeps the window, line and
// frame length, exposure (the line-period rule: lines = t / P, at
// least 1, clamped to the register's maximum with the stored time following
// the clamp), gain and mirror words, and reaches the sensor through one of
// four register paths. Subclasses supply the register programming through
// the protected hooks and override the public operations their sensor has.
//
// Threads: application threads; R03's exposure also from the frame transfer
// thread. serialLock_ guards each serial register transfer.
#include <cstdint>

#include "platform/sync/thread_annotations.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_models.h"

namespace lumvek {

enum class RegisterPath {
    Mt9I2c,     // 16-bit address and value over I2C, high bytes first
    Bridge,     // 16-bit address, 8-bit value over I2C, 1 ms before each write
    FpgaBytes,  // the FPGA's byte registers
    Request32,  // vendor requests 0xD0 (32-bit write) and 0xD1 (16-bit read)
};

// Blanking of the family's own window programming: line length = output
// width + horizontal, frame length = output height + vertical.
struct Blanking {
    int32_t horizontal = 160;
    int32_t vertical = 40;
};

struct WindowRequest {
    int x = 0;
    int width = 0;
    int y = 0;
    int height = 0;
    int mode = 0;
};

class FamilySensor : public CSensorBase {
public:
    // The window registers take at least this many columns, and sub-sample
    // modes 0 (full), 1 (one half) and 2 (one quarter).
    static constexpr int kMinWindowWidth = 16;
    static constexpr int kMaxSubSampleMode = 2;

    FamilySensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id, RegisterPath path,
                 Blanking blanking = {});

    int IsReady() override { return 1; }
    // The start-up script (startUp), then the default window, gain,
    // exposure and mirrors. 1 when the script and the window succeeded.
    int InitializeSensor() override;
    int SetCaptureWindow(int x, int width, int y, int height, int mode) override;
    int GetCaptureWindow(int* x, int* width, int* y, int* height, int* mode) override;
    int SetExposureLines(int lines) override;
    int GetExposureLines(int* lines) override;
    int GetExposureLinesMin(int* value) override;
    int GetExposureLinesMax(int* value) override;
    int GetExposureLinesDefault(int* value) override;
    int SetGlobalGain(int gain) override;
    int GetGlobalGain(int* gain) override;
    int GetGlobalGainMin(int* value) override;
    int GetGlobalGainMax(int* value) override;
    int GetGlobalGainDefault(int* value) override;
    int SetExposureTime(uint32_t tenthsOfMs) override;
    int GetExposureTime(int* value) override;
    int GetExposureTimeMin(int* value) override;
    int GetExposureTimeMax(int* value) override;
    int GetExposureTimeDefault(int* value) override;
    int SetMirrorV(int on) override;
    int GetMirrorV(int* on) override;
    int SetMirrorH(int on) override;
    int GetMirrorH(int* on) override;

protected:
    // ---- hooks: the sensor's own programming ----
    // The minimal start-up script; true when the sensor accepted it.
    virtual bool startUp() { return true; }
    // Checks a window; the family's default: inside the sensor, width at
    // least 16 and height at least 1, sub-sample mode 0..2.
    [[nodiscard]] virtual bool windowAllowed(const WindowRequest& w) const;
    // Programs a checked window and fills the descriptor's window words,
    // lineLength and frameLength. The default writes the path's window map.
    virtual bool programWindow(const WindowRequest& w);
    virtual bool writeExposureLines(int lines);
    virtual bool writeGain(int gain);
    virtual bool writeMirror(bool horizontal, bool vertical);
    // Line period in 0.1 ms units: lineLength x 10 / clockKHz.
    [[nodiscard]] virtual double linePeriod() const;

    // ---- helpers ----
    // Stores the programmed window in the descriptor: output size after
    // sub-sampling, lineLength and frameLength from the blanking.
    void storeWindow(const WindowRequest& w, int outputWidth, int outputHeight);
    // The seconds-based exposure: clamp to the seconds range, convert with
    // the line period, keep both units consistent.
    int applyExposureSeconds(double seconds);
    // Register access along this driver's path (a driver with a second
    // path overrides these; every hook goes through them).
    virtual int writeSensorRegister(uint32_t address, uint32_t value);
    virtual int readSensorRegister(uint32_t address, uint32_t* value);
    // A 16-bit (or 24-bit with bytes = 3) quantity, low byte first, on the
    // bridge path or in FPGA bytes.
    bool writeWide(uint32_t address, uint32_t value, int bytes = 2);
    bool readWide(uint32_t address, uint32_t* value, int bytes = 2);
    bool writeFpga(uint8_t reg, uint8_t value);
    bool readFpga(uint8_t reg, uint8_t* value);
    // Idle access: FPGA register 2 must read 0 first (tries, pause between).
    bool waitSensorIdle(int tries, uint32_t pauseMs);

    RegisterPath path_;
    Blanking blanking_;
    // One serial register transfer at a time (an I2C write, or the pointer
    // write and read of a read). Taken by the threads calling the driver,
    // inside the device object's locks; the controller's register lock is
    // the only one taken under it. Guards the exchange, not a member.
    platform::Mutex serialLock_;

private:
    int mt9Write(uint16_t address, uint16_t value);
    int mt9Read(uint16_t address, uint32_t* value);
    int bridgeWrite(uint16_t address, uint8_t value);
    int bridgeRead(uint16_t address, uint32_t* value);
};

// Writes value to *out when out is not null; 1.
inline int putValue(int* out, int value) {
    if (out) *out = value;
    return 1;
}

} // namespace lumvek
