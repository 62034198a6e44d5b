#include "settings_table.h"

#include <algorithm>
#include <cctype>

#include "LumvekSdk.h"

namespace lumvek::tool {

namespace {
using enum SettingAccess;
using enum SettingKind;

constexpr SettingRange between(int low, int high) { return {low, high, nullptr}; }
constexpr SettingRange described(const char* note) { return {0, 0, note}; }

constexpr SettingRange kSwitch = between(LUMVEK_SWITCH_OFF, LUMVEK_SWITCH_ON);
constexpr SettingRange kDeviceGain = described("camera gain range (lumvek info)");
constexpr SettingRange kDeviceColourGain = described("camera colour-gain range (lumvek info)");
// The serial ROM keeps each channel gain and offset as a 16-bit value.
constexpr SettingRange kDeviceChannel = between(0, 0xFFFF);
constexpr SettingRange kDeviceExposure = described("camera exposure range (lumvek info)");
constexpr int kGainRgbMask = 0xFFFFFF;
constexpr int kByteBits = 8;
constexpr int kByteMask = 0xFF;
constexpr SettingRange kPassedOn = described("passed to the camera");
constexpr SettingRange kBayerGain = between(LUMVEK_FILTER_BAYER_GAIN_MIN, LUMVEK_FILTER_BAYER_GAIN_MAX);
constexpr SettingRange kGrayGain = between(LUMVEK_FILTER_GRAY_GAIN_MIN, LUMVEK_FILTER_GRAY_GAIN_MAX);
constexpr SettingRange kGrayOffset = between(LUMVEK_FILTER_GRAY_OFFSET_MIN, LUMVEK_FILTER_GRAY_OFFSET_MAX);
constexpr int kMirrorOn = 1;
constexpr int kAutoIrisByGain = 2;  // 0 off, 1 by exposure, 2 by gain

constexpr int channelGain(int channel) { return LUMVEK_FILTER_CHANNEL_GAIN_1 + channel - 1; }
constexpr int channelOffset(int channel) { return LUMVEK_FILTER_CHANNEL_OFFSET_1 + channel - 1; }
static_assert(channelGain(LUMVEK_CHANNELS) < LUMVEK_FILTER_CHANNEL_OFFSET_1);

constexpr SettingInfo kSettings[] = {
    {"brightness", Selector, LUMVEK_FILTER_BRIGHTNESS, ReadWrite,
     between(LUMVEK_FILTER_BRIGHTNESS_MIN, LUMVEK_FILTER_BRIGHTNESS_MAX), "brightness added to every sample"},
    {"contrast", Selector, LUMVEK_FILTER_CONTRAST, ReadWrite,
     between(LUMVEK_FILTER_CONTRAST_MIN, LUMVEK_FILTER_CONTRAST_MAX), "contrast"},
    {"hue", Selector, LUMVEK_FILTER_HUE, ReadWrite, between(LUMVEK_FILTER_HUE_MIN, LUMVEK_FILTER_HUE_MAX),
     "hue rotation in degrees"},
    {"saturation", Selector, LUMVEK_FILTER_SATURATION, ReadWrite,
     between(LUMVEK_FILTER_SATURATION_MIN, LUMVEK_FILTER_SATURATION_MAX), "colour saturation"},
    {"sharpness", Selector, LUMVEK_FILTER_SHARPNESS, ReadWrite,
     between(LUMVEK_FILTER_SHARPNESS_MIN, LUMVEK_FILTER_SHARPNESS_MAX), "sharpening strength"},
    {"gain-rgb", Selector, LUMVEK_FILTER_BAYER_GAIN_RGB, ReadWrite,
     described("any (red bits 0-7, green 8-15, blue 16-23)"), "the three Bayer gains packed in one value"},
    {"gain-red", Selector, LUMVEK_FILTER_BAYER_GAIN_RED, ReadWrite, kBayerGain,
     "software white-balance gain, red (100 = 1.0)"},
    {"gain-green", Selector, LUMVEK_FILTER_BAYER_GAIN_GREEN, ReadWrite, kBayerGain,
     "software white-balance gain, green"},
    {"gain-blue", Selector, LUMVEK_FILTER_BAYER_GAIN_BLUE, ReadWrite, kBayerGain, "software white-balance gain, blue"},
    {"white-balance-auto", Selector, LUMVEK_FILTER_BAYER_GAIN_AUTO, ReadWrite, kSwitch, "automatic white balance",
     false},
    {"gamma", Selector, LUMVEK_FILTER_GAMMA, ReadWrite, between(LUMVEK_FILTER_GAMMA_MIN, LUMVEK_FILTER_GAMMA_MAX),
     "gamma (100 = 1.0)"},
    {"bayer-mode", Selector, LUMVEK_FILTER_BAYER_MODE, ReadWrite,
     between(LUMVEK_FILTER_BAYER_MODE_MIN, LUMVEK_FILTER_BAYER_MODE_MAX), "Bayer phase of the sensor's first pixel"},
    {"global-gain", Selector, LUMVEK_FILTER_GLOBAL_GAIN, ReadWrite, kDeviceGain, "analog gain of all colours"},
    {"color-gain-red", Selector, LUMVEK_FILTER_COLOR_GAIN_RED, ReadWrite, kDeviceColourGain, "analog gain, red"},
    {"color-gain-green1", Selector, LUMVEK_FILTER_COLOR_GAIN_GREEN1, ReadWrite, kDeviceColourGain,
     "analog gain, green 1"},
    {"color-gain-green2", Selector, LUMVEK_FILTER_COLOR_GAIN_GREEN2, ReadWrite, kDeviceColourGain,
     "analog gain, green 2"},
    {"color-gain-blue", Selector, LUMVEK_FILTER_COLOR_GAIN_BLUE, ReadWrite, kDeviceColourGain, "analog gain, blue"},
    {"exposure", Selector, LUMVEK_FILTER_EXPOSURE_TIME, ReadWrite, kDeviceExposure,
     "exposure time in 0.1 ms"},
    {"gray-mode", Selector, LUMVEK_FILTER_GRAY_MODE, ReadWrite,
     between(LUMVEK_FILTER_GRAY_MODE_MIN, LUMVEK_FILTER_GRAY_MODE_MAX), "gray-level correction mode"},
    {"gray-gain-r", Selector, LUMVEK_FILTER_GRAY_GAIN_R, ReadWrite, kGrayGain, "gray-level gain, red cell"},
    {"gray-gain-g1", Selector, LUMVEK_FILTER_GRAY_GAIN_G1, ReadWrite, kGrayGain, "gray-level gain, green 1 cell"},
    {"gray-gain-g2", Selector, LUMVEK_FILTER_GRAY_GAIN_G2, ReadWrite, kGrayGain, "gray-level gain, green 2 cell"},
    {"gray-gain-b", Selector, LUMVEK_FILTER_GRAY_GAIN_B, ReadWrite, kGrayGain, "gray-level gain, blue cell"},
    {"gray-offset-r", Selector, LUMVEK_FILTER_GRAY_OFFSET_R, ReadWrite, kGrayOffset, "gray-level offset, red cell"},
    {"gray-offset-g1", Selector, LUMVEK_FILTER_GRAY_OFFSET_G1, ReadWrite, kGrayOffset,
     "gray-level offset, green 1 cell"},
    {"gray-offset-g2", Selector, LUMVEK_FILTER_GRAY_OFFSET_G2, ReadWrite, kGrayOffset,
     "gray-level offset, green 2 cell"},
    {"gray-offset-b", Selector, LUMVEK_FILTER_GRAY_OFFSET_B, ReadWrite, kGrayOffset, "gray-level offset, blue cell"},
    {"gray-measure", Selector, LUMVEK_FILTER_GRAY_MEASURE, WriteOnly, kSwitch,
     "one-shot gray-level measurement on the next frame", false},
    {"channel-gain-1", Selector, channelGain(1), ReadWrite, kDeviceChannel, "sensor channel 1 gain (kept in the camera)"},
    {"channel-gain-2", Selector, channelGain(2), ReadWrite, kDeviceChannel, "sensor channel 2 gain"},
    {"channel-gain-3", Selector, channelGain(3), ReadWrite, kDeviceChannel, "sensor channel 3 gain"},
    {"channel-gain-4", Selector, channelGain(4), ReadWrite, kDeviceChannel, "sensor channel 4 gain"},
    {"channel-offset-1", Selector, channelOffset(1), ReadWrite, kDeviceChannel,
     "sensor channel 1 offset (kept in the camera)"},
    {"channel-offset-2", Selector, channelOffset(2), ReadWrite, kDeviceChannel, "sensor channel 2 offset"},
    {"channel-offset-3", Selector, channelOffset(3), ReadWrite, kDeviceChannel, "sensor channel 3 offset"},
    {"channel-offset-4", Selector, channelOffset(4), ReadWrite, kDeviceChannel, "sensor channel 4 offset"},
    {"peltier", Selector, LUMVEK_FILTER_PELTIER, ReadWrite, kPassedOn, "cooling on/off, where the camera has it", false},
    {"temperature", Selector, LUMVEK_FILTER_TEMPERATURE, ReadOnly, described("read only"),
     "sensor temperature, where the camera has it"},
    {"dot-filter", Selector, LUMVEK_FILTER_DOT_FILTER, ReadWrite, kSwitch, "defect-pixel (dot) filter", false},
    {"mask-filter", Selector, LUMVEK_FILTER_MASK_FILTER, ReadWrite, kSwitch,
     "flat-field correction from the mask references", false},
    {"gain-mode", Selector, LUMVEK_FILTER_GAIN_MODE, ReadWrite, kPassedOn, "sensor gain mode"},
    {"short-exposure", Selector, LUMVEK_FILTER_SHORT_EXPOSURE, ReadWrite, kSwitch,
     "short-exposure mode, where the camera has it", false},
    {"black-level", Selector, LUMVEK_FILTER_BLACK_LEVEL, ReadWrite, kPassedOn, "black level, where the camera has it"},
    {"mirror-h", MirrorH, 0, ReadWrite, between(0, kMirrorOn), "horizontal mirror"},
    {"mirror-v", MirrorV, 0, ReadWrite, between(0, kMirrorOn), "vertical mirror"},
    {"auto-iris", AutoIris, 0, ReadWrite, between(0, kAutoIrisByGain),
     "automatic exposure: 0 off, 1 by exposure, 2 by gain"},
};

std::string normalised(const std::string& name) {
    std::string text = name;
    for (char& c : text) {
        c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}
} // namespace

std::string rangeText(const SettingInfo& setting) {
    if (setting.range.note != nullptr) {
        return setting.range.note;
    }
    return std::to_string(setting.range.low) + ".." + std::to_string(setting.range.high);
}

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
    for (int i = 0; i < LUMVEK_ERROR_HISTORY_DEPTH && Lumvek_GetLastError(handle) != 0; ++i) {
    }
}
} // namespace

std::string acceptedRange(int handle, const SettingInfo& setting) {
    const char* note = setting.range.note;
    if (note == kDeviceGain.note || note == kDeviceColourGain.note || note == kDeviceExposure.note) {
        LumvekCameraInfo info{};
        info.size = sizeof info;
        const bool known = Lumvek_GetCameraInfo(handle, &info) == 1;
        drainErrors(handle);
        if (!known) return rangeText(setting);
        if (note == kDeviceGain.note) return span(info.globalGainMin, info.globalGainMax);
        if (note == kDeviceColourGain.note) return span(info.colorGainMin, info.colorGainMax);
        return span(info.exposureMin, info.exposureMax) + " (0.1 ms)";
    }
    if (note == kPassedOn.note) {
        int now = 0;
        const bool readable = readSetting(handle, setting, now);
        drainErrors(handle);
        // A camera without the feature refuses the read, or reads -1 (gain mode).
        if (!readable || now < 0) return "nothing: this camera has no " + std::string(setting.name);
        return "what the camera takes (it has " + std::to_string(now) + " now)";
    }
    return rangeText(setting);
}

std::string adjustedValueLine(const SettingInfo& setting, int asked, int now) {
    const std::string name = setting.name;
    if (setting.kind == Selector && setting.selector == LUMVEK_FILTER_BAYER_GAIN_RGB) {
        const auto channel = [&](int shift) { return std::to_string((now >> shift) & kByteMask); };
        return name + " = " + std::to_string(now) + " (only the low 24 bits are kept, 0.." +
               std::to_string(kGainRgbMask) + ": red " + channel(0) + ", green " + channel(kByteBits) + ", blue " +
               channel(2 * kByteBits) + "; " + std::to_string(asked) + " was asked)";
    }
    if (setting.kind == Selector && setting.selector == LUMVEK_FILTER_EXPOSURE_TIME) {
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
