// CLumvek: colour mode, sub-sample, wait time, auto-iris, mirrors, exposure,
// temperature, registers, serial ROM, I/O port and the configuration file.
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "instance/colour_modes.h"
#include "instance/exposure_refresh.h"
#include "instance/lumvek.h"

namespace lumvek {

namespace {

constexpr int kIoPortRegister = 7;
constexpr int kSromVerifyTries = 10;
constexpr int kSromAddressMask = 0x0FFF;
constexpr int kFpgaAddressMask = 0xFF;
constexpr int kFpgaValueMask = 0xFFFF;
constexpr int kAutoIrisModes = 3;
constexpr double kMicrosecondsPerUnit = 100.0;
// A configuration file is a list of integer pairs; anything this large is
// not one, and reading it would only exhaust memory.
constexpr long long kMaxConfigFileBytes = 64ll << 20;

} // namespace

int CLumvek::SetColorMode(int bits) {
    for (int index = 0; index < kColourModes; ++index) {
        if (kColorModeBits[index] == bits) {
            platform::MutexLock control(controlLock_);
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
    const int index = colorModeIndex_.load();
    return isColourModeIndex(index) ? kColorModeBits[index] : -1;
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
    if (mode < 0 || mode >= kAutoIrisModes) {
        PostErrorOnly(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    controls_.edit([mode](ImageSettings&, GainSettings& gain) { gain.autoIris = mode; });
    return 1;
}

int CLumvek::GetAutoIris(int* ok) {
    if (ok != nullptr) {
        *ok = 1;
    }
    return controls_.gain().autoIris;
}

int CLumvek::SetMirrorH(int on) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    const int flag = on != 0 ? 1 : 0;
    session_.use([&](CameraDevice& d) {
        (void)d.SetMirrorH(flag);
        controls_.edit([flag](ImageSettings&, GainSettings& gain) { gain.hMirror = flag; });
    });
    return 1;
}

int CLumvek::SetMirrorV(int on) {
    if (!admitPostOnly(InstanceOperation::UseDevice)) {
        return 0;
    }
    const int flag = on != 0 ? 1 : 0;
    session_.use([&](CameraDevice& d) {
        (void)d.SetMirrorV(flag);
        controls_.edit([flag](ImageSettings&, GainSettings& gain) { gain.vMirror = flag; });
    });
    return 1;
}

int CLumvek::GetMirrorH() {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    return controls_.gain().hMirror;
}

int CLumvek::GetMirrorV() {
    if (!admitPostOnly(InstanceOperation::UseDevice)) {
        return 0;
    }
    return controls_.gain().vMirror;
}

void CLumvek::refreshExposureSeconds() {
    if (CameraDevice* d = session_.device()) {
        lumvek::refreshExposureSeconds(*d, controls_);
    }
}

int CLumvek::SetExposureTimeEx(double seconds) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    const int code = session_.use([&](CameraDevice& d) {
        if (!d.IsExposureTimeExAvailable()) {
            return LUMVEK_ERR_UNSUPPORTED;
        }
        if (!d.SetExposureSeconds(seconds)) {
            return LUMVEK_ERR_TRANSFER;
        }
        controls_.edit([seconds](ImageSettings&, GainSettings& gain) {
            gain.exposureEx = seconds;
            gain.exposure = static_cast<int32_t>(seconds * 10000.0);
        });
        return LUMVEK_ERR_NONE;
    });
    if (code != LUMVEK_ERR_NONE) {
        ReportError(code);
        return 0;
    }
    return 1;
}

double CLumvek::GetExposureTimeEx(int* ok) {
    int localOk = 0;
    double result = -1.0;
    if (admit(InstanceOperation::UseDevice)) {
        const int code = session_.use([&](CameraDevice& d) {
            if (!d.IsExposureTimeExAvailable()) {
                return LUMVEK_ERR_UNSUPPORTED;
            }
            double seconds = 0.0;
            localOk = d.GetExposureTimeEx(&seconds) != 0 ? 1 : 0;
            result = controls_.edit([&](ImageSettings&, GainSettings& gain) {
                if (localOk) {
                    gain.exposureEx = seconds;
                }
                return gain.exposureEx;
            });
            return LUMVEK_ERR_NONE;
        });
        if (code != LUMVEK_ERR_NONE) {
            ReportError(code);
        }
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return result;
}

int CLumvek::SetRealExposureTime(int microseconds) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    const int value = static_cast<int>(microseconds / kMicrosecondsPerUnit);
    platform::MutexLock hold(session_.mutex());
    CameraDevice& d = *session_.device();
    if (value < d.GetExposureMin() || value > d.GetExposureMax()) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    (void)d.SetExposure(value);
    controls_.edit([value](ImageSettings&, GainSettings& gain) { gain.exposure = value; });
    refreshExposureSeconds();
    return 1;
}

int CLumvek::GetRealExposureTime(int* ok) {
    if (ok != nullptr) {
        *ok = 1;
    }
    return controls_.gain().exposure * static_cast<int>(kMicrosecondsPerUnit);
}

double CLumvek::GetTemperatureEx(int* ok) {
    int localOk = 0;
    double celsius = 0.0;
    if (admit(InstanceOperation::UseDevice)) {
        const bool available = session_.use([&](CameraDevice& d) {
            if (!d.IsTemperatureAvailable()) {
                return false;
            }
            localOk = d.GetTemperature(&celsius) != 0 ? 1 : 0;
            return true;
        });
        if (!available) {
            ReportError(LUMVEK_ERR_UNSUPPORTED);
        } else {
            ReportError(localOk ? LUMVEK_ERR_NONE : LUMVEK_ERR_CONVERSION);
            if (!localOk) {
                celsius = 0.0;
            }
        }
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return celsius;
}

int CLumvek::ReadRegister(int address, int* ok) {
    int localOk = 0;
    int value = 0;
    if (admit(InstanceOperation::UseDevice)) {
        value = session_.use([&](CameraDevice& d) { return d.ReadRegister(0, address, &localOk); });
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
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    if (!session_.use([&](CameraDevice& d) { return d.WriteRegister(0, address, value); })) {
        ReportError(LUMVEK_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CLumvek::FpgaReadRegister(int address, int* ok) {
    const int refused = state_.refusal(InstanceOperation::UseDevice);
    int localOk = 0;
    int value = 0;
    if (refused == 0) {
        value = session_.use([&](CameraDevice& d) { return d.ReadFpgaRegister(address & kFpgaAddressMask, &localOk); });
    }
    if (refused != 0 || !localOk) {
        if (ok != nullptr) {
            *ok = 0;
        }
        ReportError(refused != 0 ? refused : LUMVEK_ERR_TRANSFER);
        return 0;
    }
    return value & kFpgaValueMask;
}

int CLumvek::FpgaWriteRegister(int address, int value) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    if (!session_.use([&](CameraDevice& d) {
            return d.WriteFpgaRegister(address & kFpgaAddressMask, value & kFpgaValueMask);
        })) {
        ReportError(LUMVEK_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CLumvek::GetIOPort(unsigned char* value) {
    if (!admitPostOnly(InstanceOperation::UseDevice)) {
        return 0;
    }
    int ok = 0;
    const int port =
        value != nullptr ? session_.use([&](CameraDevice& d) { return d.ReadFpgaRegister(kIoPortRegister, &ok); }) : 0;
    if (value == nullptr || !ok) {
        PostErrorOnly(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    *value = static_cast<unsigned char>(port);
    return 1;
}

int CLumvek::SetIOPort(unsigned char value) {
    if (!admitPostOnly(InstanceOperation::UseDevice)) {
        return 0;
    }
    return session_.use([value](CameraDevice& d) { return d.WriteFpgaRegister(kIoPortRegister, value); });
}

int CLumvek::ReadSromID(int address, int* ok) {
    uint8_t byte = 0;
    const int result = session_.use(
        [&](CameraDevice& d) { return d.ReadSromByte(static_cast<uint16_t>(address & kSromAddressMask), &byte); });
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
    const auto at = static_cast<uint16_t>(address & kSromAddressMask);
    const auto byte = static_cast<uint8_t>(value);
    const bool written = session_.use([&](CameraDevice& d) {
        if (!d.WriteSromByte(at, byte)) {
            return false;
        }
        for (int i = 0; i < kSromVerifyTries; ++i) {
            uint8_t readBack = 0;
            if (d.ReadSromByte(at, &readBack) && readBack == byte) {
                return true;
            }
            (void)d.WriteSromByte(at, byte);
        }
        return false;
    });
    if (!written) {
        PostErrorOnly(LUMVEK_ERR_STATE);
        return 0;
    }
    return 1;
}

int CLumvek::SetSamplingRate(int rate) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    return session_.use([&rate](CameraDevice& d) { return d.SetSamplingRate(0, 0, &rate); });
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
    engine_.setConfigList(std::move(pairs));
    return 1;
}

} // namespace lumvek
