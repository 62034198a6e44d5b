// The filter-selector table behind Lumvek_GetFilterValue and
// Lumvek_SetFilterValue: one row per selector, naming where the value lives
// and what a get or set does.
#include <climits>

#include <utility>

#include "instance/exposure_refresh.h"
#include "instance/lumvek.h"

namespace lumvek {

struct SelectorOps {
    struct Row;
    // What a row works on: the instance, and the open camera's device object
    // and session values, all reached with the session lock held.
    struct Ctx {
        CLumvek& self;
        CameraDevice& device;
        ChannelBlock& channels;
        int32_t& coolingOn;
        int32_t& shortExposureMode;
        void report(int code) { self.ReportError(code); }
        template <typename Edit>
        decltype(auto) edit(Edit&& e) {
            return self.controls_.edit(std::forward<Edit>(e));
        }
    };
    using Field = int32_t& (*)(ImageSettings&);
    using Getter = int (*)(Ctx&, const Row&, int* ok);
    using Setter = int (*)(Ctx&, const Row&, int value);

    struct Row {
        int selector;
        Getter get;
        Setter set;
        Field field = nullptr;  // instance-kept values
        int min = 0;
        int max = 0;
    };

    // ---- Values kept by the instance, with a fixed range ----
    static int getKept(Ctx& self, const Row& row, int* ok) {
        *ok = 1;
        return self.edit([&](ImageSettings& image, GainSettings&) { return row.field(image); });
    }
    static int setKept(Ctx& self, const Row& row, int value) {
        if (value < row.min || value > row.max) {
            self.report(LUMVEK_ERR_ARGUMENT);
            return 0;
        }
        self.edit([&](ImageSettings& image, GainSettings&) { row.field(image) = value; });
        return 1;
    }
    static int setFlag(Ctx& self, const Row& row, int value) {
        self.edit([&](ImageSettings& image, GainSettings&) { row.field(image) = value != 0 ? 1 : 0; });
        return 1;
    }
    static int refuseGet(Ctx& self, const Row&, int* ok) {
        self.report(LUMVEK_ERR_ARGUMENT);
        *ok = 0;
        return 0;
    }
    static int refuseSet(Ctx& self, const Row&, int) {
        self.report(LUMVEK_ERR_ARGUMENT);
        return 0;
    }

    // ---- Selector 6: red, green and blue software gains packed in one word ----
    static int getPackedGains(Ctx& self, const Row&, int* ok) {
        *ok = 1;
        return self.edit([](ImageSettings& image, GainSettings&) {
            const auto& f = image.filter;
            return (f.rGain & 0xFF) | (f.gGain & 0xFF) << 8 | (f.bGain & 0xFF) << 16;
        });
    }
    static int setPackedGains(Ctx& self, const Row&, int value) {
        self.edit([value](ImageSettings& image, GainSettings&) {
            auto& f = image.filter;
            f.rGain = value & 0xFF;
            f.gGain = (value >> 8) & 0xFF;
            f.bGain = (value >> 16) & 0xFF;
        });
        return 1;
    }

    // ---- Device values (range from the device) ----
    // A device setter that fails reports a failed transfer.
    static int deviceResult(Ctx& self, int result) {
        if (result == 0) {
            self.report(LUMVEK_ERR_TRANSFER);
        }
        return result != 0 ? 1 : 0;
    }
    static bool inRange(Ctx& self, int value, int min, int max) {
        if (value < min || value > max) {
            self.report(LUMVEK_ERR_ARGUMENT);
            return false;
        }
        return true;
    }

    static int getGlobalGain(Ctx& self, const Row&, int* ok) {
        *ok = 1;
        return self.device.GetGlobalGain();
    }
    static int setGlobalGain(Ctx& self, const Row&, int value) {
        auto& d = self.device;
        if (!inRange(self, value, d.GetGlobalGainMin(), d.GetGlobalGainMax())) {
            return 0;
        }
        if (!deviceResult(self, d.SetGlobalGain(value))) {
            return 0;
        }
        self.edit([value](ImageSettings&, GainSettings& g) {
            g.global = value;
            g.colorG1 = g.colorR = g.colorB = g.colorG2 = value;
        });
        return 1;
    }

    template <int (CameraDevice::*Get)(), int (CameraDevice::*Set)(int), int32_t GainSettings::*Cache>
    static int getColorGain(Ctx& self, const Row&, int* ok) {
        *ok = 1;
        return ((self.device).*Get)();
    }
    template <int (CameraDevice::*Get)(), int (CameraDevice::*Set)(int), int32_t GainSettings::*Cache>
    static int setColorGain(Ctx& self, const Row&, int value) {
        auto& d = self.device;
        if (!inRange(self, value, d.GetColorGainMin(), d.GetColorGainMax()) || !deviceResult(self, (d.*Set)(value))) {
            return 0;
        }
        self.edit([value](ImageSettings&, GainSettings& g) { g.*Cache = value; });
        return 1;
    }

    static int getExposure(Ctx& self, const Row&, int* ok) {
        *ok = 1;
        return self.device.GetExposure();
    }
    static int setExposure(Ctx& self, const Row&, int value) {
        auto& d = self.device;
        if (!inRange(self, value, d.GetExposureMin(), d.GetExposureMax()) || !deviceResult(self, d.SetExposure(value))) {
            return 0;
        }
        self.edit([value](ImageSettings&, GainSettings& g) { g.exposure = value; });
        refreshExposureSeconds(d, self.self.controls_);
        return 1;
    }

    template <bool Gain>
    static int getChannel(Ctx& self, const Row& row, int* ok) {
        const int channel = row.selector - (Gain ? 28 : 32);
        int value = 0;
        const int result = Gain ? self.device.GetChannelGain(channel, &value)
                                : self.device.GetChannelOffset(channel, &value);
        if (!result) {
            self.report(LUMVEK_ERR_TRANSFER);
            *ok = 0;
            return 0;
        }
        *ok = 1;
        return value;
    }
    template <bool Gain>
    static int setChannel(Ctx& self, const Row& row, int value) {
        auto& d = self.device;
        const int channel = row.selector - (Gain ? 28 : 32);
        const int min = Gain ? d.GetChannelGainMin() : d.GetChannelOffsetMin();
        const int max = Gain ? d.GetChannelGainMax() : d.GetChannelOffsetMax();
        if (!inRange(self, value, min, max)) {
            return 0;
        }
        const int result = Gain ? d.SetChannelGain(channel, value) : d.SetChannelOffset(channel, value);
        if (!deviceResult(self, result)) {
            return 0;
        }
        (Gain ? self.channels.gain : self.channels.offset)[channel - 1] = value;
        return 1;
    }

    // ---- Selector 100: cooling ----
    static int getCooling(Ctx& self, const Row&, int* ok) {
        if (!self.device.IsCoolingSupported()) {
            self.report(LUMVEK_ERR_UNSUPPORTED);
            *ok = 0;
            return -1;
        }
        *ok = 1;
        return self.device.GetCooling();
    }
    static int setCooling(Ctx& self, const Row&, int value) {
        if (!self.device.IsCoolingSupported()) {
            self.report(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        const int result = self.device.SetCooling(value);
        if (result) {
            self.coolingOn = value != 0 ? 1 : 0;
        }
        return result;
    }

    // ---- Selector 101: temperature through this path is never offered ----
    static int getTemperature(Ctx& self, const Row&, int* ok) {
        self.report(LUMVEK_ERR_UNSUPPORTED);
        *ok = 0;
        return -1;
    }

    // ---- Selector 104: sensor gain mode ----
    static int getGainMode(Ctx& self, const Row&, int* ok) {
        *ok = 1;
        return self.device.GetGainMode();
    }
    static int setGainMode(Ctx& self, const Row&, int value) {
        // The instance's own copy comes from the settings store only.
        return self.device.SetGainMode(value);
    }

    // ---- Selector 105: short-exposure mode ----
    static int getShortExposure(Ctx& self, const Row&, int* ok) {
        *ok = 0;
        if (!self.device.IsShortExposureModeAvailable()) {
            self.report(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        int on = 0;
        if (!self.device.GetShortExposureMode(&on)) {
            self.report(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.report(LUMVEK_ERR_NONE);
        *ok = 1;
        return on != 0 ? 1 : 0;
    }
    static int setShortExposure(Ctx& self, const Row&, int value) {
        if (!self.device.IsShortExposureModeAvailable()) {
            self.report(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        const int on = value > 0 ? 1 : 0;
        if (!self.device.SetShortExposureMode(on)) {
            self.report(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.shortExposureMode = on;
        self.report(LUMVEK_ERR_NONE);
        return 1;
    }

    // ---- Selector 106: black level ----
    static int getBlackLevel(Ctx& self, const Row&, int* ok) {
        *ok = 0;
        if (!self.device.IsBlackLevelAvailable()) {
            self.report(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        int level = 0;
        if (!self.device.GetBlackLevel(&level)) {
            self.report(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.report(LUMVEK_ERR_NONE);
        *ok = 1;
        return level;
    }
    static int setBlackLevel(Ctx& self, const Row&, int value) {
        if (!self.device.IsBlackLevelAvailable()) {
            self.report(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        if (!self.device.SetBlackLevel(value)) {
            self.report(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.edit([value](ImageSettings&, GainSettings& g) { g.blackLevel = value; });
        self.report(LUMVEK_ERR_NONE);
        return 1;
    }

    static const Row* find(int selector);
};

namespace {

using Row = SelectorOps::Row;
using S = SelectorOps;

template <int32_t FilterSettings::*Member>
int32_t& filterField(ImageSettings& s) {
    return s.filter.*Member;
}
template <int32_t GraySettings::*Member>
int32_t& grayField(ImageSettings& s) {
    return s.gray.*Member;
}
template <int32_t ImageSettings::*Member>
int32_t& imageField(ImageSettings& s) {
    return s.*Member;
}

Row kept(int selector, SelectorOps::Field field, int min, int max) {
    return Row{selector, &S::getKept, &S::setKept, field, min, max};
}

template <int (CameraDevice::*Get)(), int (CameraDevice::*Set)(int), int32_t GainSettings::*Cache>
Row colorGain(int selector) {
    return Row{selector, &S::getColorGain<Get, Set, Cache>, &S::setColorGain<Get, Set, Cache>};
}

const Row kSelectors[] = {
    kept(LUMVEK_FILTER_BRIGHTNESS, &filterField<&FilterSettings::brightness>, LUMVEK_FILTER_BRIGHTNESS_MIN,
         LUMVEK_FILTER_BRIGHTNESS_MAX),
    kept(LUMVEK_FILTER_CONTRAST, &filterField<&FilterSettings::contrast>, LUMVEK_FILTER_CONTRAST_MIN,
         LUMVEK_FILTER_CONTRAST_MAX),
    kept(LUMVEK_FILTER_HUE, &filterField<&FilterSettings::hue>, LUMVEK_FILTER_HUE_MIN, LUMVEK_FILTER_HUE_MAX),
    kept(LUMVEK_FILTER_SATURATION, &filterField<&FilterSettings::saturation>, LUMVEK_FILTER_SATURATION_MIN,
         LUMVEK_FILTER_SATURATION_MAX),
    kept(LUMVEK_FILTER_SHARPNESS, &filterField<&FilterSettings::sharpness>, LUMVEK_FILTER_SHARPNESS_MIN,
         LUMVEK_FILTER_SHARPNESS_MAX),
    Row{LUMVEK_FILTER_BAYER_GAIN_RGB, &S::getPackedGains, &S::setPackedGains},
    kept(LUMVEK_FILTER_BAYER_GAIN_RED, &filterField<&FilterSettings::rGain>, LUMVEK_FILTER_BAYER_GAIN_MIN,
         LUMVEK_FILTER_BAYER_GAIN_MAX),
    kept(LUMVEK_FILTER_BAYER_GAIN_GREEN, &filterField<&FilterSettings::gGain>, LUMVEK_FILTER_BAYER_GAIN_MIN,
         LUMVEK_FILTER_BAYER_GAIN_MAX),
    kept(LUMVEK_FILTER_BAYER_GAIN_BLUE, &filterField<&FilterSettings::bGain>, LUMVEK_FILTER_BAYER_GAIN_MIN,
         LUMVEK_FILTER_BAYER_GAIN_MAX),
    Row{LUMVEK_FILTER_BAYER_GAIN_AUTO, &S::getKept, &S::setFlag, &imageField<&ImageSettings::autoWhiteBalance>},
    kept(LUMVEK_FILTER_GAMMA, &filterField<&FilterSettings::gamma>, LUMVEK_FILTER_GAMMA_MIN, LUMVEK_FILTER_GAMMA_MAX),
    kept(LUMVEK_FILTER_BAYER_MODE, &filterField<&FilterSettings::bayerMode>, LUMVEK_FILTER_BAYER_MODE_MIN,
         LUMVEK_FILTER_BAYER_MODE_MAX),
    Row{LUMVEK_FILTER_GLOBAL_GAIN, &S::getGlobalGain, &S::setGlobalGain},
    colorGain<&CameraDevice::GetColorGainRed, &CameraDevice::SetColorGainRed, &GainSettings::colorR>(
        LUMVEK_FILTER_COLOR_GAIN_RED),
    colorGain<&CameraDevice::GetColorGainGreen1, &CameraDevice::SetColorGainGreen1, &GainSettings::colorG1>(
        LUMVEK_FILTER_COLOR_GAIN_GREEN1),
    colorGain<&CameraDevice::GetColorGainGreen2, &CameraDevice::SetColorGainGreen2, &GainSettings::colorG2>(
        LUMVEK_FILTER_COLOR_GAIN_GREEN2),
    colorGain<&CameraDevice::GetColorGainBlue, &CameraDevice::SetColorGainBlue, &GainSettings::colorB>(
        LUMVEK_FILTER_COLOR_GAIN_BLUE),
    Row{LUMVEK_FILTER_EXPOSURE_TIME, &S::getExposure, &S::setExposure},
    kept(LUMVEK_FILTER_GRAY_MODE, &grayField<&GraySettings::mode>, LUMVEK_FILTER_GRAY_MODE_MIN,
         LUMVEK_FILTER_GRAY_MODE_MAX),
    kept(LUMVEK_FILTER_GRAY_GAIN_R, &grayField<&GraySettings::gainR>, LUMVEK_FILTER_GRAY_GAIN_MIN,
         LUMVEK_FILTER_GRAY_GAIN_MAX),
    kept(LUMVEK_FILTER_GRAY_GAIN_G1, &grayField<&GraySettings::gainG1>, LUMVEK_FILTER_GRAY_GAIN_MIN,
         LUMVEK_FILTER_GRAY_GAIN_MAX),
    kept(LUMVEK_FILTER_GRAY_GAIN_G2, &grayField<&GraySettings::gainG2>, LUMVEK_FILTER_GRAY_GAIN_MIN,
         LUMVEK_FILTER_GRAY_GAIN_MAX),
    kept(LUMVEK_FILTER_GRAY_GAIN_B, &grayField<&GraySettings::gainB>, LUMVEK_FILTER_GRAY_GAIN_MIN,
         LUMVEK_FILTER_GRAY_GAIN_MAX),
    kept(LUMVEK_FILTER_GRAY_OFFSET_R, &grayField<&GraySettings::offsetR>, LUMVEK_FILTER_GRAY_OFFSET_MIN,
         LUMVEK_FILTER_GRAY_OFFSET_MAX),
    kept(LUMVEK_FILTER_GRAY_OFFSET_G1, &grayField<&GraySettings::offsetG1>, LUMVEK_FILTER_GRAY_OFFSET_MIN,
         LUMVEK_FILTER_GRAY_OFFSET_MAX),
    kept(LUMVEK_FILTER_GRAY_OFFSET_G2, &grayField<&GraySettings::offsetG2>, LUMVEK_FILTER_GRAY_OFFSET_MIN,
         LUMVEK_FILTER_GRAY_OFFSET_MAX),
    kept(LUMVEK_FILTER_GRAY_OFFSET_B, &grayField<&GraySettings::offsetB>, LUMVEK_FILTER_GRAY_OFFSET_MIN,
         LUMVEK_FILTER_GRAY_OFFSET_MAX),
    Row{LUMVEK_FILTER_GRAY_MEASURE, &S::refuseGet, &S::setKept, &imageField<&ImageSettings::grayMeasureRequest>,
        LUMVEK_SWITCH_OFF, LUMVEK_SWITCH_ON},
    Row{LUMVEK_FILTER_CHANNEL_GAIN_1, &S::getChannel<true>, &S::setChannel<true>},
    Row{LUMVEK_FILTER_CHANNEL_GAIN_1 + 1, &S::getChannel<true>, &S::setChannel<true>},
    Row{LUMVEK_FILTER_CHANNEL_GAIN_1 + 2, &S::getChannel<true>, &S::setChannel<true>},
    Row{LUMVEK_FILTER_CHANNEL_GAIN_1 + 3, &S::getChannel<true>, &S::setChannel<true>},
    Row{LUMVEK_FILTER_CHANNEL_OFFSET_1, &S::getChannel<false>, &S::setChannel<false>},
    Row{LUMVEK_FILTER_CHANNEL_OFFSET_1 + 1, &S::getChannel<false>, &S::setChannel<false>},
    Row{LUMVEK_FILTER_CHANNEL_OFFSET_1 + 2, &S::getChannel<false>, &S::setChannel<false>},
    Row{LUMVEK_FILTER_CHANNEL_OFFSET_1 + 3, &S::getChannel<false>, &S::setChannel<false>},
    Row{LUMVEK_FILTER_PELTIER, &S::getCooling, &S::setCooling},
    Row{LUMVEK_FILTER_TEMPERATURE, &S::getTemperature, &S::refuseSet},
    kept(LUMVEK_FILTER_DOT_FILTER, &imageField<&ImageSettings::dotFilter>, LUMVEK_SWITCH_OFF, LUMVEK_SWITCH_ON),
    kept(LUMVEK_FILTER_MASK_FILTER, &imageField<&ImageSettings::maskFilter>, LUMVEK_SWITCH_OFF, LUMVEK_SWITCH_ON),
    Row{LUMVEK_FILTER_GAIN_MODE, &S::getGainMode, &S::setGainMode},
    Row{LUMVEK_FILTER_SHORT_EXPOSURE, &S::getShortExposure, &S::setShortExposure},
    Row{LUMVEK_FILTER_BLACK_LEVEL, &S::getBlackLevel, &S::setBlackLevel},
};

} // namespace

const SelectorOps::Row* SelectorOps::find(int selector) {
    for (const Row& row : kSelectors) {
        if (row.selector == selector) {
            return &row;
        }
    }
    return nullptr;
}

int CLumvek::GetFilterValue(int selector, int* ok) {
    int localOk = 0;
    int result = 0;
    if (!admit(InstanceOperation::UseDevice)) {
    } else if (const auto* row = SelectorOps::find(selector)) {
        platform::MutexLock hold(session_.mutex());
        SelectorOps::Ctx ctx{*this, *session_.device(), session_.channels(), session_.coolingOn(),
                             session_.shortExposureMode()};
        result = row->get(ctx, *row, &localOk);
    } else {
        ReportError(LUMVEK_ERR_ARGUMENT);
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return result;
}

int CLumvek::SetFilterValue(int selector, int value) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    const auto* row = SelectorOps::find(selector);
    if (row == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    platform::MutexLock hold(session_.mutex());
    SelectorOps::Ctx ctx{*this, *session_.device(), session_.channels(), session_.coolingOn(),
                         session_.shortExposureMode()};
    return row->set(ctx, *row, value);
}

} // namespace lumvek
