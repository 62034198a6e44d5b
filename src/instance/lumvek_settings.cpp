// CLumvek: colour mode, sub-sample, wait time, auto-iris, mirrors, exposure,
// temperature, registers, serial ROM, I/O port and the configuration file.
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "instance/lumvek.h"

namespace lumvek {

namespace {

constexpr int kColorModeBits[] = {8, 16, 24, 32, 48, 64};
constexpr int kIoPortRegister = 7;
constexpr int kSromVerifyTries = 10;
constexpr int kSromAddressMask = 0x0FFF;
// A configuration file is a list of integer pairs; anything this large is
// not one, and reading it would only exhaust memory.
constexpr long long kMaxConfigFileBytes = 64ll << 20;

} // namespace

int CLumvek::SetColorMode(int bits) {
    for (int index = 0; index < 6; ++index) {
        if (kColorModeBits[index] == bits) {
            std::lock_guard control(controlLock_);
            if (!admit(InstanceOperation::ChangeColour)) {
                return 0;
            }
            colorModeIndex_ = index;
            reconfigureWhileAcquiring();
            return 1;
        }
    }
    ReportError(LUMVEK_ERR_ARGUMENT);
    return 0;
}

int CLumvek::GetColorMode() const {
    return colorModeIndex_ >= 0 && colorModeIndex_ < 6 ? kColorModeBits[colorModeIndex_] : -1;
}

int CLumvek::SetSubSample(int mode) {
    if (mode != 0) {
        return 0;
    }
    subSample_ = 0;
    return 1;
}

int CLumvek::SetWaitTime(int ms) {
    if (ms < 0 || ms > kMaxWaitTimeMs) {
        return 0;
    }
    waitTime_ = ms;
    return 1;
}

int CLumvek::SetAutoIris(int mode) {
    if (static_cast<unsigned>(mode) >= 3) {
        PostErrorOnly(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    std::lock_guard lock(settingsLock_);
    gain_.autoIris = mode;
    return 1;
}

int CLumvek::GetAutoIris(int* ok) {
    if (ok != nullptr) {
        *ok = 1;
    }
    return gainSettings().autoIris;
}

int CLumvek::SetMirrorH(int on) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    const int flag = on != 0 ? 1 : 0;
    (void)device_->SetMirrorH(flag);
    std::lock_guard lock(settingsLock_);
    gain_.hMirror = flag;
    return 1;
}

int CLumvek::SetMirrorV(int on) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    const int flag = on != 0 ? 1 : 0;
    (void)device_->SetMirrorV(flag);
    std::lock_guard lock(settingsLock_);
    gain_.vMirror = flag;
    return 1;
}

int CLumvek::GetMirrorH() {
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    return gainSettings().hMirror;
}

int CLumvek::GetMirrorV() {
    if (!device_) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    return gainSettings().vMirror;
}

void CLumvek::refreshExposureSeconds() {
    std::lock_guard device(deviceLock_);
    double seconds = 0.0;
    if (device_ && device_->IsExposureTimeExAvailable() && device_->GetExposureTimeEx(&seconds)) {
        std::lock_guard lock(settingsLock_);
        gain_.exposureEx = seconds;
    }
}

int CLumvek::SetExposureTimeEx(double seconds) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    if (!device_->IsExposureTimeExAvailable()) {
        ReportError(LUMVEK_ERR_UNSUPPORTED);
        return 0;
    }
    if (!device_->SetExposureSeconds(seconds)) {
        ReportError(LUMVEK_ERR_TRANSFER);
        return 0;
    }
    std::lock_guard lock(settingsLock_);
    gain_.exposureEx = seconds;
    gain_.exposure = static_cast<int32_t>(seconds * 10000.0);
    return 1;
}

double CLumvek::GetExposureTimeEx(int* ok) {
    std::lock_guard device(deviceLock_);
    int localOk = 0;
    double result = -1.0;
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
    } else if (!device_->IsExposureTimeExAvailable()) {
        ReportError(LUMVEK_ERR_UNSUPPORTED);
    } else {
        double seconds = 0.0;
        localOk = device_->GetExposureTimeEx(&seconds) != 0 ? 1 : 0;
        std::lock_guard lock(settingsLock_);
        if (localOk) {
            gain_.exposureEx = seconds;
        }
        result = gain_.exposureEx;
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return result;
}

int CLumvek::SetRealExposureTime(int microseconds) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    const int value = static_cast<int>(microseconds / 100.0);
    if (value < device_->GetExposureMin() || value > device_->GetExposureMax()) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    (void)device_->SetExposure(value);
    {
        std::lock_guard lock(settingsLock_);
        gain_.exposure = value;
        realExposureUnits_ = value;
    }
    refreshExposureSeconds();
    return 1;
}

int CLumvek::GetRealExposureTime(int* ok) {
    lastRealExposure_ = gainSettings().exposure * 100;
    if (ok != nullptr) {
        *ok = 1;
    }
    return lastRealExposure_;
}

double CLumvek::GetTemperatureEx(int* ok) {
    std::lock_guard device(deviceLock_);
    int localOk = 0;
    double celsius = 0.0;
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
    } else if (!device_->IsTemperatureAvailable()) {
        ReportError(LUMVEK_ERR_UNSUPPORTED);
    } else {
        localOk = device_->GetTemperature(&celsius) != 0 ? 1 : 0;
        ReportError(localOk ? LUMVEK_ERR_NONE : LUMVEK_ERR_CONVERSION);
        if (!localOk) {
            celsius = 0.0;
        }
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return celsius;
}

int CLumvek::ReadRegister(int address, int* ok) {
    std::lock_guard device(deviceLock_);
    int localOk = 0;
    int value = 0;
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
    } else {
        value = device_->ReadRegister(0, address, &localOk);
        if (!localOk) {
            value = 0;
            ReportError(LUMVEK_ERR_TRANSFER);
        }
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return value;
}

int CLumvek::WriteRegister(int address, int value) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    if (!device_->WriteRegister(0, address, value)) {
        ReportError(LUMVEK_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CLumvek::FpgaReadRegister(int address, int* ok) {
    std::lock_guard device(deviceLock_);
    int localOk = 0;
    int value = 0;
    if (device_) {
        value = device_->ReadFpgaRegister(address & 0xFF, &localOk);
    }
    if (!device_ || !localOk) {
        if (ok != nullptr) {
            *ok = 0;
        }
        ReportError(device_ ? LUMVEK_ERR_TRANSFER : LUMVEK_ERR_STATE);
        return 0;
    }
    return value & 0xFFFF;
}

int CLumvek::FpgaWriteRegister(int address, int value) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    if (!device_->WriteFpgaRegister(address & 0xFF, value & 0xFFFF)) {
        ReportError(LUMVEK_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CLumvek::GetIOPort(unsigned char* value) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    int ok = 0;
    const int port = value != nullptr ? device_->ReadFpgaRegister(kIoPortRegister, &ok) : 0;
    if (value == nullptr || !ok) {
        PostErrorOnly(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    *value = static_cast<unsigned char>(port);
    return 1;
}

int CLumvek::SetIOPort(unsigned char value) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    return device_->WriteFpgaRegister(kIoPortRegister, value);
}

int CLumvek::ReadSromID(int address, int* ok) {
    std::lock_guard device(deviceLock_);
    uint8_t byte = 0;
    const int result =
        device_ ? device_->ReadSromByte(static_cast<uint16_t>(address & kSromAddressMask), &byte) : 0;
    if (ok != nullptr) {
        *ok = result != 0 ? 1 : 0;
    }
    if (!result) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    return byte;
}

int CLumvek::WriteSromID(int address, int value) {
    std::lock_guard device(deviceLock_);
    const auto at = static_cast<uint16_t>(address & kSromAddressMask);
    const auto byte = static_cast<uint8_t>(value);
    if (!device_ || !device_->WriteSromByte(at, byte)) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    for (int i = 0; i < kSromVerifyTries; ++i) {
        uint8_t readBack = 0;
        if (device_->ReadSromByte(at, &readBack) && readBack == byte) {
            return 1;
        }
        (void)device_->WriteSromByte(at, byte);
    }
    PostErrorOnly(LUMVEK_ERR_STATE);
    return 0;
}

int CLumvek::SetSamplingRate(int rate) {
    std::lock_guard device(deviceLock_);
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    return device_->SetSamplingRate(0, 0, &rate);
}

int CLumvek::GetSamplingRate(int* value) {
    if (value != nullptr) {
        *value = 0;
    }
    return 0;
}

int CLumvek::NotSupported() {
    ReportError(LUMVEK_ERR_UNSUPPORTED);
    return 0;
}

int CLumvek::NotSupportedConfigFilter() {
    ReportError(LUMVEK_ERR_UNSUPPORTED);
    return -1;
}

int CLumvek::NotSupportedPostOnly() {
    PostErrorOnly(LUMVEK_ERR_UNSUPPORTED);
    return 0;
}

int CLumvek::LoadConfigFile(const char* path) {
    if (path == nullptr || *path == '\0') {
        return 0;
    }
    struct stat info {};
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxConfigFileBytes) {
        return 0;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return 0;
    }
    std::vector<std::pair<int32_t, int32_t>> pairs;
    pairs.reserve(static_cast<size_t>(info.st_size) / 8);
    uint8_t record[8];
    while (file.read(reinterpret_cast<char*>(record), sizeof record)) {
        auto word = [&record](int at) {
            return static_cast<int32_t>(static_cast<uint32_t>(record[at]) | static_cast<uint32_t>(record[at + 1]) << 8 |
                                        static_cast<uint32_t>(record[at + 2]) << 16 |
                                        static_cast<uint32_t>(record[at + 3]) << 24);
        };
        pairs.emplace_back(word(0), word(4));
    }
    if (file.bad()) {
        return 0;
    }
    std::lock_guard lock(frameLock_);
    configList_ = std::move(pairs);
    return 1;
}

std::vector<std::pair<int32_t, int32_t>> CLumvek::configList() const {
    std::lock_guard lock(frameLock_);
    return configList_;
}

} // namespace lumvek
