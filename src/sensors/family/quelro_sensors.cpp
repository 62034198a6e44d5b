#include "sensors/family/quelro_sensors.h"

#include <array>
#include <cstring>

#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaR05Ready = 0xFF;
constexpr uint8_t kR05ReadyValue = 4;
constexpr int kR05WindowWidth = 2048;
constexpr int kR05WindowHeight = 1024;

constexpr std::array<const char*, 8> kR12GainStageLabels{"0.66x", "1.85x", "2.49x", "3.68x",
                                                         "1.29x", "3.70x", "4.95x", "7.25x"};

int put(int* out, int value) {
    if (out) *out = value;
    return 1;
}

} // namespace

int CSensorR05::IsReady() {
    if (!controller_) return 0;
    uint8_t value = 0;
    return controller_->ReadFpgaRegister(kFpgaR05Ready, &value) && value == kR05ReadyValue ? 1 : 0;
}

int CSensorR05::InitializeSensor() {
    descriptor_.windowX = 0;
    descriptor_.windowY = 0;
    descriptor_.windowWidth = kR05WindowWidth;
    descriptor_.windowHeight = kR05WindowHeight;
    descriptor_.subSampleMode = 0;
    return 1;
}

int CSensorR05::GetCaptureWindow(int* x, int* width, int* y, int* height, int* mode) {
    put(x, descriptor_.windowX);
    put(width, descriptor_.windowWidth);
    put(y, descriptor_.windowY);
    put(height, descriptor_.windowHeight);
    return put(mode, descriptor_.subSampleMode);
}

int CSensorR12::GetGainStageLabel(int index, char* text, size_t capacity) {
    if (index < 0 || index >= static_cast<int>(kR12GainStageLabels.size()) || !text) return 0;
    const char* label = kR12GainStageLabels[static_cast<size_t>(index)];
    const size_t length = std::strlen(label);
    if (capacity <= length) return 0;
    std::memcpy(text, label, length + 1);
    return 1;
}

} // namespace lumvek
