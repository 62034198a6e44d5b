#include "camera/product_step_functions.h"

#include "platform/sync/clock.h"
#include "sensors/sensor_base.h"
#include "usb/controller_base.h"

namespace lumvek::product_steps {
namespace {

constexpr int kTriggerWordRequestAccess = 0x10000;
constexpr uint8_t kFpgaWindowX = 0x48;  // 0x48/0x49, 16 bits
constexpr uint8_t kFpgaWindowY = 0x4C;  // 0x4C/0x4D, 16 bits
constexpr uint8_t kFpgaResetRegister = 0x6C;
constexpr uint8_t kFpgaColorMode3130 = 0x3D;
constexpr uint8_t kFpgaColorMode31E0 = 0xA3;
constexpr uint8_t kFpgaTrigger36 = 36;
constexpr uint8_t kFpgaTrigger48 = 48;
constexpr uint8_t kFpgaCooler144 = 144;
constexpr uint8_t kCoolerOn144 = 15;
constexpr uint8_t kCoolerOff144 = 8;
constexpr uint8_t kFpgaCooler209 = 209;
constexpr uint16_t kFirmwareCoolerBit = 0x8000;
constexpr uint16_t kSromCoolerByte = 0x1080;
constexpr int kReadyPolls31E0 = 40;
constexpr uint32_t kReadyPollPauseMs = 500;
constexpr uint32_t kPrimingFrameTimeoutMs = 5000;
constexpr uint32_t kFirstFrameTimeoutMs = 60000;
constexpr int kFrameReady = 3;

// 16-bit value low byte first to reg, high byte to reg + 1.
void writePair(CControllerBase& c, uint8_t reg, int value) {
    (void)c.WriteFpgaRegister(reg, static_cast<uint8_t>(value & 0xFF));
    (void)c.WriteFpgaRegister(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>((value >> 8) & 0xFF));
}

void writeOffsets(ProductStepHost& host, int xValue, int yValue) {
    if (CControllerBase* c = host.stepController()) {
        writePair(*c, kFpgaWindowX, xValue);
        writePair(*c, kFpgaWindowY, yValue);
    }
}

void writeFpga(ProductStepHost& host, uint8_t reg, uint8_t value) {
    if (CControllerBase* c = host.stepController()) (void)c->WriteFpgaRegister(reg, value);
}

// A failed read counts as 0.
uint8_t readFpga(ProductStepHost& host, uint8_t reg, bool* ok = nullptr) {
    uint8_t value = 0;
    CControllerBase* c = host.stepController();
    const bool read = c && c->ReadFpgaRegister(reg, &value);
    if (ok) *ok = read;
    return read ? value : 0;
}

void sensorTrigger(ProductStepHost& host, int mode) {
    if (CSensorBase* s = host.stepSensor()) (void)s->SetTriggerMode(mode);
}

int fullWidthRemainder(const FrameWindow& w) { return w.fullWidth - w.x - w.width; }

} // namespace

void pulseFpgaReset(ProductStepHost& host) {
    if (CSensorBase* s = host.stepSensor(); s && s->controller()) {
        (void)s->PulseFpgaReset();
        return;
    }
    if (!host.stepController()) return;
    writeFpga(host, kFpgaResetRegister, 1);
    platform::sleepMs(1);
    writeFpga(host, kFpgaResetRegister, 0);
    platform::sleepMs(1);
}

void openFrameDirect(ProductStepHost& host) {
    if (CSensorBase* s = host.stepSensor()) s->SetTriggerWord(kTriggerWordRequestAccess);
}

void openFpgaSequence3140(ProductStepHost& host) {
    writeFpga(host, 56, 0);
    writeFpga(host, 62, 3);
    writeFpga(host, 56, 1);
}

void openSerialLinkWhenNotReady(ProductStepHost& host) {
    CSensorBase* s = host.stepSensor();
    if (s && !s->IsReady()) (void)s->OpenSerialLink();
}

// The camera head may still be booting its own processor.
void openWaitUntilReady31E0(ProductStepHost& host) {
    const uint8_t r16 = readFpga(host, 16);
    const uint8_t r19 = readFpga(host, 19);
    if (r16 == 0 && r19 <= 25) return;
    for (int attempt = 0; attempt < kReadyPolls31E0; ++attempt) {
        uint8_t status = 0;
        if (host.stepReadReadyStatus(&status) && status == 1) return;
        platform::sleepMs(kReadyPollPauseMs);
    }
}

void geometryPause3020(ProductStepHost&, const FrameWindow&) { platform::sleepMs(200); }

void geometry30B0(ProductStepHost& host, const FrameWindow&) {
    writeFpga(host, 0x40, 0xC0);
    platform::sleepMs(1);
}

void geometry30C0(ProductStepHost& host, const FrameWindow&) {
    writeFpga(host, 0x40, 0x22);
    platform::sleepMs(1);
    pulseFpgaReset(host);
}

void geometry30F0(ProductStepHost& host, const FrameWindow&) {
    const bool early = readFpga(host, 0x11) < 19;
    writeOffsets(host, early ? 0 : 31, early ? 0 : 12);
}

void geometry3100(ProductStepHost& host, const FrameWindow&) {
    writeOffsets(host, 11, 0);
    writeFpga(host, 0x68, 0);
}

void geometry3130(ProductStepHost& host, const FrameWindow&) { writeOffsets(host, 20, 0x88); }

void geometry31B0(ProductStepHost& host, const FrameWindow& w) {
    writeOffsets(host, 11, w.subSampleMode == 1 ? 0 : fullWidthRemainder(w));
}

void geometry31C0(ProductStepHost& host, const FrameWindow& w) {
    if (w.subSampleMode == 1) {
        writeOffsets(host, 11, 0);
    } else {
        writeOffsets(host, 12, fullWidthRemainder(w));
    }
}

void geometry31C4(ProductStepHost& host, const FrameWindow& w) {
    writeOffsets(host, w.subSampleMode == 1 ? 11 : 12, 0);
}

void geometry31E0(ProductStepHost& host, const FrameWindow&) { writeOffsets(host, 20, 136); }

void geometry31F0(ProductStepHost& host, const FrameWindow& w) {
    if (w.subSampleMode == 0) {
        writeOffsets(host, w.y + (w.readoutFlag == 1 ? 41 : 40), w.x + 64);
    } else {
        writeOffsets(host, w.y + 14, w.x + 32);
    }
}

void geometry3260(ProductStepHost& host, const FrameWindow& w) {
    const bool second = w.readoutFlag2 != 0;
    int xValue = 21;
    int yValue = second ? 104 : 8;
    if (w.subSampleMode == 1) {
        yValue = second ? 52 : 4;
        xValue = 23;
    } else if (w.subSampleMode == 0) {
        xValue = w.height == w.fullHeight ? 25 : 21;
    }
    writeOffsets(host, xValue, yValue);
}

void geometry32B0(ProductStepHost& host, const FrameWindow&) {
    writeOffsets(host, 39, 79);
    pulseFpgaReset(host);
}

void geometry32C0(ProductStepHost& host, const FrameWindow&) { writeOffsets(host, 10, 32); }

void geometry32E0(ProductStepHost& host, const FrameWindow& w) { writeOffsets(host, w.subSampleMode != 0 ? 44 : 68, 0); }

void geometry3300(ProductStepHost& host, const FrameWindow& w) {
    const bool fast = w.readoutFlag == 1;
    if (w.subSampleMode != 0) {
        writeOffsets(host, fast ? 11 : 15, 4);
        return;
    }
    const bool full = w.width == w.fullWidth && w.height == w.fullHeight;
    writeOffsets(host, fast ? 11 : (full ? 19 : 11), w.width == w.fullWidth ? 8 : 0);
}

int colorMode3130(ProductStepHost& host, int mode, int* storedMode) {
    if (mode < 0 || mode > 2) return -1;
    CControllerBase* c = host.stepController();
    if (!c || !c->WriteFpgaRegister(kFpgaColorMode3130, static_cast<uint8_t>(mode))) return 0;
    *storedMode = mode != 0 ? 1 : 0;
    return 1;
}

int colorMode31E0(ProductStepHost& host, int mode, int* storedMode) {
    CControllerBase* c = host.stepController();
    if (!c || !c->WriteFpgaRegister(kFpgaColorMode31E0, mode == 1 ? 2 : 1)) return 0;
    *storedMode = mode != 0 ? 1 : 0;
    return 1;
}

// Switching the trigger on runs one frame through the trigger path first.
int triggerWithPrimingFrame(ProductStepHost& host, int mode) {
    writeFpga(host, kFpgaTrigger36, mode != 0 ? 1 : 0);
    sensorTrigger(host, mode);
    if (mode != 0) {
        if (host.stepStartAcquisition(3)) (void)host.stepWaitAcquisitionEnd(kPrimingFrameTimeoutMs);
        (void)host.stepStartAcquisition(2);
    }
    return mode;
}

int triggerFpga48(ProductStepHost& host, int mode) {
    sensorTrigger(host, 1);
    writeFpga(host, kFpgaTrigger48, 0);
    if (mode != 0) {
        writeFpga(host, kFpgaTrigger48, 1);
    } else {
        sensorTrigger(host, 0);
    }
    return mode;
}

int triggerFpga36(ProductStepHost& host, int mode) {
    const int value = mode & 0x83;
    writeFpga(host, kFpgaTrigger36, static_cast<uint8_t>(value));
    return value;
}

int triggerFirstFrame(ProductStepHost& host, int mode) {
    if (mode == 0) {
        sensorTrigger(host, 0);
    } else if (mode == 1) {
        const int started = host.stepStartAcquisition(2);
        sensorTrigger(host, 1);
        if (started && host.stepWaitFrame(kFirstFrameTimeoutMs) == kFrameReady) (void)host.stepReadFrameTag();
    }
    return mode;
}

namespace {

int coolingAlways(ProductStepHost& host) { return host.stepController() ? 1 : 0; }

int coolingGet144(ProductStepHost& host) { return readFpga(host, kFpgaCooler144) == kCoolerOn144 ? 1 : 0; }

int coolingSet144(ProductStepHost& host, int on) {
    CControllerBase* c = host.stepController();
    return c && c->WriteFpgaRegister(kFpgaCooler144, on ? kCoolerOn144 : kCoolerOff144) ? 1 : 0;
}

// The head's cooler is switched by its sensor driver; the chosen state is
// kept in the serial ROM's user byte so it survives power cycles.
int coolingGetRom(ProductStepHost& host) {
    uint8_t value = 0;
    return host.stepReadSromByte(kSromCoolerByte, &value) && (value & 1) ? 1 : 0;
}

int coolingSetRom(ProductStepHost& host, int on) {
    CSensorBase* s = host.stepSensor();
    if (!s || !s->SetCooling(on ? 1 : 0)) return 0;
    return host.stepWriteSromByte(kSromCoolerByte, on ? 1 : 0);
}

int coolingSupported209(ProductStepHost& host) {
    CControllerBase* c = host.stepController();
    uint16_t word = 0;
    return c && c->ReadFpgaWord(&word) && (word & kFirmwareCoolerBit) ? 1 : 0;
}

int coolingGet209(ProductStepHost& host) { return readFpga(host, kFpgaCooler209) & 1; }

int coolingSet209(ProductStepHost& host, int on) {
    bool ok = false;
    uint8_t value = readFpga(host, kFpgaCooler209, &ok);
    if (!ok) return 0;
    value = on ? static_cast<uint8_t>(value | 1) : static_cast<uint8_t>(value & ~1);
    return host.stepController()->WriteFpgaRegister(kFpgaCooler209, value) ? 1 : 0;
}

} // namespace

const CoolingSteps kCoolingFpga144{coolingAlways, coolingGet144, coolingSet144};
const CoolingSteps kCoolingSensorRom{coolingAlways, coolingGetRom, coolingSetRom};
const CoolingSteps kCoolingFpga209{coolingSupported209, coolingGet209, coolingSet209};

} // namespace lumvek::product_steps
