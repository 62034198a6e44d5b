#include "sensors/family/sensor_r05.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/sync/clock.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaLinkReady = 0xFF;
constexpr uint8_t kLinkReadyValue = 4;
constexpr uint8_t kFpgaSampleDepth = 60;
constexpr uint8_t kSixteenBitDepth = 2;
constexpr uint8_t kFpgaTriggerEnable = 48;
constexpr int kLinkTries = 10;
constexpr uint32_t kTextBytePauseMs = 10;
constexpr uint32_t kTextRegister = 0;
constexpr int kHeadWindowWidth = 2048;
constexpr int kHeadWindowHeight = 1024;
constexpr double kLinesPerTenthMs = 40.0 * 100.0 / 70.0;

constexpr char kIdentify[] = "n\r\n";
constexpr char kStart[] = "x -c\r\n";
constexpr char kEnterDebug[] = "d -y 5273846\r\n";
constexpr char kLeaveDebug[] = "d -n\r\n";

// Whether the heads are in debug mode: one state for the whole process,
// shared by every R05 driver, as the heads' link is.
std::atomic<bool> gDebugModeEntered{false};

std::string format(const char* pattern, int a, int b = 0) {
    char text[64];
    (void)std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

} // namespace

CSensorR05::CSensorR05(CControllerBase* controller, uint8_t serialAddress)
    : FamilySensor(controller, serialAddress, SensorModelId::R05, RegisterPath::Bridge) {}

bool CSensorR05::debugModeEntered() { return gDebugModeEntered.load(); }
void CSensorR05::forgetDebugMode() { gDebugModeEntered = false; }

int CSensorR05::IsReady() {
    uint8_t value = 0;
    return readFpga(kFpgaLinkReady, &value) && value == kLinkReadyValue ? 1 : 0;
}

int CSensorR05::InitializeSensor() {
    storeWindow({0, kHeadWindowWidth, 0, kHeadWindowHeight, 0}, kHeadWindowWidth, kHeadWindowHeight);
    return 1;
}

int CSensorR05::OpenSerialLink() {
    if (!controller_) return 0;
    bool ready = false;
    for (int i = 0; i < kLinkTries && !ready; ++i) {
        (void)writeFpga(kFpgaLinkReady, kLinkReadyValue);
        platform::sleepMs(kTextBytePauseMs);
        uint8_t value = 0;
        ready = readFpga(kFpgaLinkReady, &value) && value == kLinkReadyValue;
    }
    if (!ready || !sendCommand(kIdentify)) return 0;
    bool depth = false;
    for (int i = 0; i < kLinkTries && !depth; ++i) {
        uint8_t value = 0;
        depth = writeFpga(kFpgaSampleDepth, kSixteenBitDepth) && readFpga(kFpgaSampleDepth, &value) &&
                value == kSixteenBitDepth;
    }
    return depth && sendCommand(kStart) ? 1 : 0;
}

int CSensorR05::SetCaptureWindow(int x, int width, int y, int height, int mode) {
    if (x < 0 || y < 0 || width < 1 || height < 1 || mode != 0 || x + width > kHeadWindowWidth ||
        y + height > kHeadWindowHeight) {
        return 0;
    }
    storeWindow({x, width, y, height, 0}, width, height);
    return 1;
}

int CSensorR05::SetTriggerMode(int mode) {
    if (!writeHeadFpga(kFpgaTriggerEnable, mode == 1 ? 1 : 0) || !writeHeadFpga(kFpgaSampleDepth, 0) ||
        !writeHeadFpga(kFpgaSampleDepth, 1)) {
        return 0;
    }
    triggerMode_ = mode;
    return 1;
}

int CSensorR05::GetTriggerMode(int* mode) { return putValue(mode, triggerMode_); }

int CSensorR05::SetTransferBits(int sixteenBits) {
    descriptor_.transferBits = sixteenBits != 0 ? 16 : 8;
    return 1;
}

int CSensorR05::SetExposureLines(int lines) {
    const ValueRange& r = descriptor_.exposureLines;
    const int value = std::clamp(lines, r.minimum, r.maximum);
    if (!sendCommand(format("i -v %d\n", value))) return 0;
    descriptor_.exposureLines.current = value;
    return 1;
}

int CSensorR05::SetExposureTime(uint32_t t) {
    if (t == 0) return 0;
    const double lines = static_cast<double>(t) * kLinesPerTenthMs;
    const int value = static_cast<int>(std::min(lines, static_cast<double>(descriptor_.exposureLines.maximum)));
    if (!SetExposureLines(value)) return 0;
    descriptor_.exposureTime.current = static_cast<int32_t>(t);
    return 1;
}

int CSensorR05::SetGlobalGain(int gain) {
    const ValueRange& r = descriptor_.globalGain;
    const int value = std::clamp(gain, r.minimum, r.maximum);
    if (!sendCommand(format("g -v %d\n", value))) return 0;
    descriptor_.globalGain.current = value;
    return 1;
}

bool CSensorR05::sendCommand(const std::string& command) {
    return SendText(command.c_str(), static_cast<int>(command.size()) + 1) != 0;
}

bool CSensorR05::setDebugMode(bool on) {
    if (gDebugModeEntered.load() == on) return true;
    if (!sendCommand(on ? kEnterDebug : kLeaveDebug)) return false;
    gDebugModeEntered = on;
    return true;
}

bool CSensorR05::writeHeadFpga(uint8_t reg, uint8_t value) {
    return setDebugMode(true) && sendCommand(format("q -w x%02x x%02x\n", reg, value));
}

int CSensorR05::SendText(const char* text, int length) {
    if (!controller_ || text == nullptr || length <= 0) return 0;
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (!writeSensorRegister(kTextRegister, byte)) return 0;
        platform::sleepMs(kTextBytePauseMs);
        if (byte == 0) break;
    }
    return 1;
}

int CSensorR05::ReceiveText(char* buffer, int capacity) {
    if (!controller_ || buffer == nullptr || capacity < 0) return 0;
    char line[kTextBufferBytes + 1];
    int count = 0;
    bool ended = false;
    while (!ended && count < kTextBufferBytes) {
        uint32_t value = 0;
        if (!readSensorRegister(kTextRegister, &value)) return 0;
        const char c = static_cast<char>(value);
        if (c == '\0') break;
        line[count++] = c;
        if (c == '\n') ended = true;
        if (c == '\r') {
            line[count++] = '\n';  // room kept: the buffer has one byte spare
            ended = true;
        }
        if (!ended) platform::sleepMs(kTextBytePauseMs);
    }
    if (!ended && count >= kTextBufferBytes) return 0;  // no end within 256 bytes
    const int copied = std::min(count, capacity);
    std::memcpy(buffer, line, static_cast<size_t>(copied));
    return count;
}

} // namespace lumvek
