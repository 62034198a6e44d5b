#include "settings_table.h"

#include <algorithm>
#include <cctype>

#include "LumvekSdk.h"

namespace lumvek::tool {

namespace {
using enum SettingAccess;
using enum SettingKind;

constexpr const char* kDeviceGain = "camera gain range (lumvek info)";
constexpr const char* kDeviceColourGain = "camera colour-gain range (lumvek info)";
constexpr const char* kDeviceExposure = "camera exposure range (lumvek info)";
constexpr const char* kPassedOn = "passed to the camera";
// The serial ROM keeps each channel gain and offset as a 16-bit value.
constexpr const char* kDeviceChannel = "0..65535";
constexpr int kGainRgbSelector = 6;
constexpr int kExposureSelector = 18;
constexpr int kGainRgbMask = 0xFFFFFF;
constexpr int kByteBits = 8;
constexpr int kByteMask = 0xFF;

constexpr SettingInfo kSettings[] = {
    {"brightness", Selector, 1, ReadWrite, "-255..255", "brightness added to every sample"},
    {"contrast", Selector, 2, ReadWrite, "-127..127", "contrast"},
    {"hue", Selector, 3, ReadWrite, "-360..360", "hue rotation in degrees"},
    {"saturation", Selector, 4, ReadWrite, "-255..255", "colour saturation"},
    {"sharpness", Selector, 5, ReadWrite, "0..30", "sharpening strength"},
    {"gain-rgb", Selector, 6, ReadWrite, "any (red bits 0-7, green 8-15, blue 16-23)",
     "the three Bayer gains packed in one value"},
    {"gain-red", Selector, 7, ReadWrite, "0..400", "software white-balance gain, red (100 = 1.0)"},
    {"gain-green", Selector, 8, ReadWrite, "0..400", "software white-balance gain, green"},
    {"gain-blue", Selector, 9, ReadWrite, "0..400", "software white-balance gain, blue"},
    {"white-balance-auto", Selector, 10, ReadWrite, "0..1", "automatic white balance", false},
    {"gamma", Selector, 11, ReadWrite, "0..200", "gamma (100 = 1.0)"},
    {"bayer-mode", Selector, 12, ReadWrite, "0..3", "Bayer phase of the sensor's first pixel"},
    {"global-gain", Selector, 13, ReadWrite, kDeviceGain, "analog gain of all colours"},
    {"color-gain-red", Selector, 14, ReadWrite, kDeviceColourGain, "analog gain, red"},
    {"color-gain-green1", Selector, 15, ReadWrite, kDeviceColourGain, "analog gain, green 1"},
    {"color-gain-green2", Selector, 16, ReadWrite, kDeviceColourGain, "analog gain, green 2"},
    {"color-gain-blue", Selector, 17, ReadWrite, kDeviceColourGain, "analog gain, blue"},
    {"exposure", Selector, 18, ReadWrite, kDeviceExposure, "exposure time in 0.1 ms"},
    {"gray-mode", Selector, 19, ReadWrite, "0..2", "gray-level correction mode"},
    {"gray-gain-r", Selector, 20, ReadWrite, "0..255", "gray-level gain, red cell"},
    {"gray-gain-g1", Selector, 21, ReadWrite, "0..255", "gray-level gain, green 1 cell"},
    {"gray-gain-g2", Selector, 22, ReadWrite, "0..255", "gray-level gain, green 2 cell"},
    {"gray-gain-b", Selector, 23, ReadWrite, "0..255", "gray-level gain, blue cell"},
    {"gray-offset-r", Selector, 24, ReadWrite, "-255..255", "gray-level offset, red cell"},
    {"gray-offset-g1", Selector, 25, ReadWrite, "-255..255", "gray-level offset, green 1 cell"},
    {"gray-offset-g2", Selector, 26, ReadWrite, "-255..255", "gray-level offset, green 2 cell"},
    {"gray-offset-b", Selector, 27, ReadWrite, "-255..255", "gray-level offset, blue cell"},
    {"gray-measure", Selector, 28, WriteOnly, "0..1", "one-shot gray-level measurement on the next frame", false},
    {"channel-gain-1", Selector, 29, ReadWrite, kDeviceChannel, "sensor channel 1 gain (kept in the camera)"},
    {"channel-gain-2", Selector, 30, ReadWrite, kDeviceChannel, "sensor channel 2 gain"},
    {"channel-gain-3", Selector, 31, ReadWrite, kDeviceChannel, "sensor channel 3 gain"},
    {"channel-gain-4", Selector, 32, ReadWrite, kDeviceChannel, "sensor channel 4 gain"},
    {"channel-offset-1", Selector, 33, ReadWrite, kDeviceChannel, "sensor channel 1 offset (kept in the camera)"},
    {"channel-offset-2", Selector, 34, ReadWrite, kDeviceChannel, "sensor channel 2 offset"},
    {"channel-offset-3", Selector, 35, ReadWrite, kDeviceChannel, "sensor channel 3 offset"},
    {"channel-offset-4", Selector, 36, ReadWrite, kDeviceChannel, "sensor channel 4 offset"},
    {"peltier", Selector, 100, ReadWrite, kPassedOn, "cooling on/off, where the camera has it", false},
    {"temperature", Selector, 101, ReadOnly, "read only", "sensor temperature, where the camera has it"},
    {"dot-filter", Selector, 102, ReadWrite, "0..1", "defect-pixel (dot) filter", false},
    {"mask-filter", Selector, 103, ReadWrite, "0..1", "flat-field correction from the mask references", false},
    {"gain-mode", Selector, 104, ReadWrite, kPassedOn, "sensor gain mode"},
    {"short-exposure", Selector, 105, ReadWrite, "0..1", "short-exposure mode, where the camera has it", false},
    {"black-level", Selector, 106, ReadWrite, kPassedOn, "black level, where the camera has it"},
    {"mirror-h", MirrorH, 0, ReadWrite, "0..1", "horizontal mirror"},
    {"mirror-v", MirrorV, 0, ReadWrite, "0..1", "vertical mirror"},
    {"auto-iris", AutoIris, 0, ReadWrite, "0..2", "automatic exposure: 0 off, 1 by exposure, 2 by gain"},
};

std::string normalised(const std::string& name) {
    std::string text = name;
    for (char& c : text) {
        c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}
} // namespace

std::span<const SettingInfo> allSettings() {
    return kSettings;
}

const SettingInfo* findSetting(const std::string& name) {
    const std::string wanted = normalised(name);
    const auto it = std::find_if(std::begin(kSettings), std::end(kSettings),
                                 [&](const SettingInfo& setting) { return wanted == setting.name; });
    return it == std::end(kSettings) ? nullptr : &*it;
}

bool readSetting(int handle, const SettingInfo& setting, int& value) {
    int ok = 0;
    switch (setting.kind) {
    case MirrorH:
        value = Lumvek_GetMirrorH(handle);
        return true;
    case MirrorV:
        value = Lumvek_GetMirrorV(handle);
        return true;
    case AutoIris:
        value = Lumvek_GetAutoIris(handle, &ok);
        return ok == 1;
    case Selector:
        value = Lumvek_GetFilterValue(handle, setting.selector, &ok);
        return ok == 1;
    }
    return false;
}

bool writeSetting(int handle, const SettingInfo& setting, int value) {
    switch (setting.kind) {
    case MirrorH:
        return Lumvek_SetMirrorH(handle, value) == 1;
    case MirrorV:
        return Lumvek_SetMirrorV(handle, value) == 1;
    case AutoIris:
        return Lumvek_SetAutoIris(handle, value) == 1;
    case Selector:
        return Lumvek_SetFilterValue(handle, setting.selector, value) == 1;
    }
    return false;
}

namespace {
std::string span(int min, int max) {
    return min == max ? "only " + std::to_string(min) : std::to_string(min) + ".." + std::to_string(max);
}

void drainErrors(int handle) {
    for (int i = 0; i < 20 && Lumvek_GetLastError(handle) != 0; ++i) {
    }
}
} // namespace

std::string acceptedRange(int handle, const SettingInfo& setting) {
    if (setting.range == kDeviceGain || setting.range == kDeviceColourGain || setting.range == kDeviceExposure) {
        LumvekCameraInfo info{};
        info.size = sizeof info;
        const bool known = Lumvek_GetCameraInfo(handle, &info) == 1;
        drainErrors(handle);
        if (!known) return std::string(setting.range);
        if (setting.range == kDeviceGain) return span(info.globalGainMin, info.globalGainMax);
        if (setting.range == kDeviceColourGain) return span(info.colorGainMin, info.colorGainMax);
        return span(info.exposureMin, info.exposureMax) + " (0.1 ms)";
    }
    if (setting.range == kPassedOn) {
        int now = 0;
        const bool readable = readSetting(handle, setting, now);
        drainErrors(handle);
        // A camera without the feature refuses the read, or reads -1 (gain mode).
        if (!readable || now < 0) return "nothing: this camera has no " + std::string(setting.name);
        return "what the camera takes (it has " + std::to_string(now) + " now)";
    }
    return std::string(setting.range);
}

std::string adjustedValueLine(const SettingInfo& setting, int asked, int now) {
    const std::string name = setting.name;
    if (setting.kind == Selector && setting.selector == kGainRgbSelector) {
        const auto channel = [&](int shift) { return std::to_string((now >> shift) & kByteMask); };
        return name + " = " + std::to_string(now) + " (only the low 24 bits are kept, 0.." +
               std::to_string(kGainRgbMask) + ": red " + channel(0) + ", green " + channel(kByteBits) + ", blue " +
               channel(2 * kByteBits) + "; " + std::to_string(asked) + " was asked)";
    }
    if (setting.kind == Selector && setting.selector == kExposureSelector) {
        // The SDK's range let the value through and the sensor clamped it
        // (the R13 CCD's longest exposure is 232).
        const char* bound = now < asked ? "longest" : "shortest";
        return name + " = " + std::to_string(now) + " (the sensor's " + bound + " " + name + " is " +
               std::to_string(now) + "; " + std::to_string(now) + " was set, not " + std::to_string(asked) + ")";
    }
    return name + " = " + std::to_string(now) + " (the camera kept " + std::to_string(now) + ", not " +
           std::to_string(asked) + ")";
}

} // namespace lumvek::tool
