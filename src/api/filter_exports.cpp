// Filter-selector exports: the generic pair and the named one-line wrappers.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

namespace {
constexpr int kChannelGainSelector = 29;    // channels 1..4: 29..32
constexpr int kChannelOffsetSelector = 33;  // channels 1..4: 33..36
constexpr int kTemperatureSelector = 101;

bool validChannel(int channel) {
    return channel >= 1 && channel <= 4;
}
} // namespace

extern "C" {

LUMVEK_API int Lumvek_GetFilterValue(int32_t handle, int selector, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetFilterValue(selector, ok); });
}

LUMVEK_API int Lumvek_SetFilterValue(int32_t handle, int selector, int value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetFilterValue(selector, value); });
}


LUMVEK_API int Lumvek_GetBrightness(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 1, ok);
}
LUMVEK_API int Lumvek_SetBrightness(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 1, value);
}

LUMVEK_API int Lumvek_GetContrast(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 2, ok);
}
LUMVEK_API int Lumvek_SetContrast(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 2, value);
}

LUMVEK_API int Lumvek_GetHue(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 3, ok);
}
LUMVEK_API int Lumvek_SetHue(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 3, value);
}

LUMVEK_API int Lumvek_GetSaturation(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 4, ok);
}
LUMVEK_API int Lumvek_SetSaturation(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 4, value);
}

LUMVEK_API int Lumvek_GetSharpness(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 5, ok);
}
LUMVEK_API int Lumvek_SetSharpness(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 5, value);
}

LUMVEK_API int Lumvek_GetBayerGainRGB(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 6, ok);
}
LUMVEK_API int Lumvek_SetBayerGainRGB(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 6, value);
}

LUMVEK_API int Lumvek_GetBayerGainRed(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 7, ok);
}
LUMVEK_API int Lumvek_SetBayerGainRed(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 7, value);
}

LUMVEK_API int Lumvek_GetBayerGainGreen(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 8, ok);
}
LUMVEK_API int Lumvek_SetBayerGainGreen(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 8, value);
}

LUMVEK_API int Lumvek_GetBayerGainBlue(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 9, ok);
}
LUMVEK_API int Lumvek_SetBayerGainBlue(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 9, value);
}

LUMVEK_API int Lumvek_GetBayerGainAuto(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 10, ok);
}
LUMVEK_API int Lumvek_SetBayerGainAuto(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 10, value);
}

LUMVEK_API int Lumvek_GetGamma(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 11, ok);
}
LUMVEK_API int Lumvek_SetGamma(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 11, value);
}

LUMVEK_API int Lumvek_GetBayerMode(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 12, ok);
}
LUMVEK_API int Lumvek_SetBayerMode(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 12, value);
}

LUMVEK_API int Lumvek_GetGlobalGain(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 13, ok);
}
LUMVEK_API int Lumvek_SetGlobalGain(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 13, value);
}

LUMVEK_API int Lumvek_GetColorGainRed(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 14, ok);
}
LUMVEK_API int Lumvek_SetColorGainRed(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 14, value);
}

LUMVEK_API int Lumvek_GetColorGainGreen1(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 15, ok);
}
LUMVEK_API int Lumvek_SetColorGainGreen1(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 15, value);
}

LUMVEK_API int Lumvek_GetColorGainGreen2(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 16, ok);
}
LUMVEK_API int Lumvek_SetColorGainGreen2(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 16, value);
}

LUMVEK_API int Lumvek_GetColorGainBlue(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 17, ok);
}
LUMVEK_API int Lumvek_SetColorGainBlue(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 17, value);
}

LUMVEK_API int Lumvek_GetExposureTime(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 18, ok);
}
LUMVEK_API int Lumvek_SetExposureTime(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 18, value);
}

LUMVEK_API int Lumvek_GetGrayMode(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 19, ok);
}
LUMVEK_API int Lumvek_SetGrayMode(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 19, value);
}

LUMVEK_API int Lumvek_GetGrayGainR(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 20, ok);
}
LUMVEK_API int Lumvek_SetGrayGainR(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 20, value);
}

LUMVEK_API int Lumvek_GetGrayGainG1(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 21, ok);
}
LUMVEK_API int Lumvek_SetGrayGainG1(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 21, value);
}

LUMVEK_API int Lumvek_GetGrayGainG2(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 22, ok);
}
LUMVEK_API int Lumvek_SetGrayGainG2(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 22, value);
}

LUMVEK_API int Lumvek_GetGrayGainB(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 23, ok);
}
LUMVEK_API int Lumvek_SetGrayGainB(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 23, value);
}

LUMVEK_API int Lumvek_GetGrayOffsetR(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 24, ok);
}
LUMVEK_API int Lumvek_SetGrayOffsetR(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 24, value);
}

LUMVEK_API int Lumvek_GetGrayOffsetG1(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 25, ok);
}
LUMVEK_API int Lumvek_SetGrayOffsetG1(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 25, value);
}

LUMVEK_API int Lumvek_GetGrayOffsetG2(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 26, ok);
}
LUMVEK_API int Lumvek_SetGrayOffsetG2(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 26, value);
}

LUMVEK_API int Lumvek_GetGrayOffsetB(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 27, ok);
}
LUMVEK_API int Lumvek_SetGrayOffsetB(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 27, value);
}

LUMVEK_API int Lumvek_GetPeltier(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 100, ok);
}
LUMVEK_API int Lumvek_SetPeltier(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 100, value);
}

LUMVEK_API int Lumvek_GetDotFilter(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 102, ok);
}
LUMVEK_API int Lumvek_SetDotFilter(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 102, value);
}

LUMVEK_API int Lumvek_GetMaskFilter(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, 103, ok);
}
LUMVEK_API int Lumvek_SetMaskFilter(int32_t handle, int value) {
    return Lumvek_SetFilterValue(handle, 103, value);
}

LUMVEK_API int Lumvek_GetTemperature(int32_t handle, int* ok) {
    return Lumvek_GetFilterValue(handle, kTemperatureSelector, ok);
}

// A channel outside 1..4 returns 0 without touching the flag and without an error.
LUMVEK_API int Lumvek_GetChannelGain(int32_t handle, int channel, int* ok) {
    return validChannel(channel) ? Lumvek_GetFilterValue(handle, kChannelGainSelector + channel - 1, ok) : 0;
}
LUMVEK_API int Lumvek_SetChannelGain(int32_t handle, int channel, int value) {
    return validChannel(channel) ? Lumvek_SetFilterValue(handle, kChannelGainSelector + channel - 1, value) : 0;
}
LUMVEK_API int Lumvek_GetChannelOffset(int32_t handle, int channel, int* ok) {
    return validChannel(channel) ? Lumvek_GetFilterValue(handle, kChannelOffsetSelector + channel - 1, ok) : 0;
}
LUMVEK_API int Lumvek_SetChannelOffset(int32_t handle, int channel, int value) {
    return validChannel(channel) ? Lumvek_SetFilterValue(handle, kChannelOffsetSelector + channel - 1, value) : 0;
}

} // extern "C"
