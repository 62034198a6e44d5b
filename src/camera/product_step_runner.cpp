#include "camera/product_step_runner.h"

#include "camera/product_step_functions.h"
#include "platform/sync/clock.h"
#include "sensors/sensor_base.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaWidthStandard = 0x44;
constexpr uint8_t kFpgaHeightStandard = 0x40;
constexpr uint8_t kFpgaWidthAlternate = 0x9C;
constexpr uint8_t kFpgaHeightAlternate = 0x9A;
constexpr uint8_t kFpgaSampleDepth = 60;  // 1 = 8-bit, 2 = 16-bit samples
constexpr uint8_t kFpgaStopRegister = 104;
constexpr uint8_t kStopValue = 2;
constexpr uint8_t kBulkInEndpoint = 0x81;
constexpr size_t kFirmwareWordOffset = 24;
constexpr uint16_t kPipeResetFirmware = 0x10FF;
constexpr uint64_t kBufferGranule = 8192;
constexpr int kBufferMargin = 128;
constexpr int kFrameTagMode = 1;
constexpr int kSensorCloseValue = 3;
constexpr uint8_t kFpgaCloseFirst = 37;
constexpr uint8_t kFpgaCloseFlags[] = {36, 31, 35, 34, 32, 33, 224};

void writePair(CControllerBase& c, uint8_t reg, int value) {
    (void)c.WriteFpgaRegister(reg, static_cast<uint8_t>(value & 0xFF));
    (void)c.WriteFpgaRegister(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>((value >> 8) & 0xFF));
}

} // namespace

void runProductOpenSteps(const ProductRow& row, ProductStepHost& host) {
    if (row.open) row.open(host);
}

void writeProductFrameGeometry(const ProductRow& row, ProductStepHost& host, const FrameWindow& window) {
    if (row.windowRegisters == WindowRegisters::None) return;
    if (CControllerBase* c = host.stepController()) {
        const bool alternate = row.windowRegisters == WindowRegisters::Alternate;
        writePair(*c, alternate ? kFpgaWidthAlternate : kFpgaWidthStandard, window.width);
        writePair(*c, alternate ? kFpgaHeightAlternate : kFpgaHeightStandard, window.height);
    }
    if (row.geometry) row.geometry(host, window);
}

FrameWindow frameWindowOf(const CSensorBase& sensor) {
    const SensorDescriptor& d = sensor.descriptor();
    return FrameWindow{.x = d.windowX,
                       .y = d.windowY,
                       .width = d.windowWidth,
                       .height = d.windowHeight,
                       .subSampleMode = d.subSampleMode,
                       .fullWidth = d.maxWidth,
                       .fullHeight = d.maxHeight,
                       .readoutFlag = d.readoutFlag,
                       .readoutFlag2 = d.readoutFlag2};
}

uint64_t productFrameBufferBytes(const ProductRow& row, int width, int height) {
    if (width < 0 || height < 0) return 0;
    uint64_t bytes = (static_cast<uint64_t>(height) + kBufferMargin) * (static_cast<uint64_t>(width) + kBufferMargin) * 2;
    bytes = (bytes + kBufferGranule - 1) / kBufferGranule * kBufferGranule;
    return bytes * static_cast<uint64_t>(row.frameSizeFactor);
}

uint64_t productFrameBytes(const ProductRow& row, int width, int height, int colorMode) {
    if (width < 0 || height < 0) return 0;
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (colorMode == 1 || colorMode == 2) bytes *= 2;
    return bytes * static_cast<uint64_t>(row.frameSizeFactor);
}

int applyProductColorMode(const ProductRow& row, ProductStepHost& host, int mode, int* storedMode) {
    if (!storedMode) return 0;
    if (row.sensorAppliesColorModeFirst) {
        if (CSensorBase* s = host.stepSensor()) (void)s->SetTransferBits(mode == 1 || mode == 2 ? 1 : 0);
    }
    if (row.colorMode) {
        const int handled = row.colorMode(host, mode, storedMode);
        if (handled != 0) return handled > 0 ? 1 : 0;
    }
    const bool sixteenBit = mode == 1 || row.alwaysSixteenBitPath;
    int written = 0;
    if (row.frameDirect) {
        written = host.stepWriteOutputMode(sixteenBit ? 1 : 0);
    } else if (CControllerBase* c = host.stepController()) {
        written = c->WriteFpgaRegister(kFpgaSampleDepth, sixteenBit ? 2 : 1);
    }
    if (!written) return 0;
    *storedMode = mode;
    return 1;
}

int applyProductTriggerMode(const ProductRow& row, ProductStepHost& host, int mode) {
    if (row.trigger) return row.trigger(host, mode);
    if (CSensorBase* s = host.stepSensor()) (void)s->SetTriggerMode(mode);
    // The transfer thread tells a triggered frame by a new tag.
    if (mode == kFrameTagMode) (void)host.stepReadFrameTag();
    return mode;
}

int isProductCoolingSupported(const ProductRow& row, ProductStepHost& host) {
    return row.cooling ? row.cooling->isSupported(host) : 0;
}

int getProductCooling(const ProductRow& row, ProductStepHost& host) {
    return isProductCoolingSupported(row, host) ? row.cooling->get(host) : 0;
}

int setProductCooling(const ProductRow& row, ProductStepHost& host, int on) {
    if (!isProductCoolingSupported(row, host)) return 0;
    const int wanted = on ? 1 : 0;
    if (row.cooling->get(host) == wanted) return 1;
    return row.cooling->set(host, wanted);
}

void runProductStopSteps(const ProductRow& row, ProductStepHost& host) {
    if (row.frameDirect) {
        (void)host.stepResetPort();
    } else {
        const uint8_t* info = host.stepDeviceInfo();
        const uint16_t firmware =
            info ? static_cast<uint16_t>(info[kFirmwareWordOffset] | (info[kFirmwareWordOffset + 1] << 8)) : 0;
        if (firmware > kPipeResetFirmware) (void)host.stepResetPipe(kBulkInEndpoint);
        if (row.resetPulseAtStop) product_steps::pulseFpgaReset(host);
        if (CControllerBase* c = host.stepController()) (void)c->WriteFpgaRegister(kFpgaStopRegister, kStopValue);
        if (row.extraStopPauseMs) platform::sleepMs(row.extraStopPauseMs);
    }
    (void)host.stepRestartStream();
}

void runProductCloseSteps(const ProductRow& row, ProductStepHost& host) {
    if (!row.closeSensorBanks) return;
    if (CSensorBase* s = host.stepSensor()) {
        (void)s->WriteRegister(0x0000, kSensorCloseValue);
        (void)s->WriteRegister(0x8000, kSensorCloseValue);
    }
    CControllerBase* c = host.stepController();
    if (!c) return;
    (void)c->WriteFpgaRegister(kFpgaCloseFirst, 0);
    for (uint8_t reg : kFpgaCloseFlags) {
        platform::sleepMs(1);
        (void)c->WriteFpgaRegister(reg, 0);
    }
}

} // namespace lumvek
