// The filter-selector table behind Lumvek_GetFilterValue and
// Lumvek_SetFilterValue: one row per selector, naming where the value lives
// and what a get or set does.
#include <climits>

#include "instance/lumvek.h"

namespace lumvek {

struct SelectorOps {
    struct Row;
    using Field = int32_t& (*)(ImageSettings&);
    using Getter = int (*)(CLumvek&, const Row&, int* ok);
    using Setter = int (*)(CLumvek&, const Row&, int value);

    struct Row {
        int selector;
        Getter get;
        Setter set;
        Field field = nullptr;  // instance-kept values
        int min = 0;
        int max = 0;
    };

    // ---- Values kept by the instance, with a fixed range ----
    static int getKept(CLumvek& self, const Row& row, int* ok) {
        std::lock_guard lock(self.settingsLock_);
        *ok = 1;
        return row.field(self.image_);
    }
    static int setKept(CLumvek& self, const Row& row, int value) {
        if (value < row.min || value > row.max) {
            self.ReportError(LUMVEK_ERR_ARGUMENT);
            return 0;
        }
        std::lock_guard lock(self.settingsLock_);
        row.field(self.image_) = value;
        return 1;
    }
    static int setFlag(CLumvek& self, const Row& row, int value) {
        std::lock_guard lock(self.settingsLock_);
        row.field(self.image_) = value != 0 ? 1 : 0;
        return 1;
    }
    static int refuseGet(CLumvek& self, const Row&, int* ok) {
        self.ReportError(LUMVEK_ERR_ARGUMENT);
        *ok = 0;
        return 0;
    }
    static int refuseSet(CLumvek& self, const Row&, int) {
        self.ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }

    // ---- Selector 6: red, green and blue software gains packed in one word ----
    static int getPackedGains(CLumvek& self, const Row&, int* ok) {
        std::lock_guard lock(self.settingsLock_);
        const auto& f = self.image_.filter;
        *ok = 1;
        return (f.rGain & 0xFF) | (f.gGain & 0xFF) << 8 | (f.bGain & 0xFF) << 16;
    }
    static int setPackedGains(CLumvek& self, const Row&, int value) {
        std::lock_guard lock(self.settingsLock_);
        auto& f = self.image_.filter;
        f.rGain = value & 0xFF;
        f.gGain = (value >> 8) & 0xFF;
        f.bGain = (value >> 16) & 0xFF;
        return 1;
    }

    // ---- Device values (range from the device) ----
    // A device setter that fails reports a failed transfer.
    static int deviceResult(CLumvek& self, int result) {
        if (result == 0) {
            self.ReportError(LUMVEK_ERR_TRANSFER);
        }
        return result != 0 ? 1 : 0;
    }
    static bool inRange(CLumvek& self, int value, int min, int max) {
        if (value < min || value > max) {
            self.ReportError(LUMVEK_ERR_ARGUMENT);
            return false;
        }
        return true;
    }

    static int getGlobalGain(CLumvek& self, const Row&, int* ok) {
        *ok = 1;
        return self.device_->GetGlobalGain();
    }
    static int setGlobalGain(CLumvek& self, const Row&, int value) {
        auto& d = *self.device_;
        if (!inRange(self, value, d.GetGlobalGainMin(), d.GetGlobalGainMax())) {
            return 0;
        }
        if (!deviceResult(self, d.SetGlobalGain(value))) {
            return 0;
        }
        std::lock_guard lock(self.settingsLock_);
        auto& g = self.gain_;
        g.global = value;
        g.colorG1 = g.colorR = g.colorB = g.colorG2 = value;
        return 1;
    }

    template <int (CameraDevice::*Get)(), int (CameraDevice::*Set)(int), int32_t GainSettings::*Cache>
    static int getColorGain(CLumvek& self, const Row&, int* ok) {
        *ok = 1;
        return ((*self.device_).*Get)();
    }
    template <int (CameraDevice::*Get)(), int (CameraDevice::*Set)(int), int32_t GainSettings::*Cache>
    static int setColorGain(CLumvek& self, const Row&, int value) {
        auto& d = *self.device_;
        if (!inRange(self, value, d.GetColorGainMin(), d.GetColorGainMax()) || !deviceResult(self, (d.*Set)(value))) {
            return 0;
        }
        std::lock_guard lock(self.settingsLock_);
        self.gain_.*Cache = value;
        return 1;
    }

    static int getExposure(CLumvek& self, const Row&, int* ok) {
        *ok = 1;
        return self.device_->GetExposure();
    }
    static int setExposure(CLumvek& self, const Row&, int value) {
        auto& d = *self.device_;
        if (!inRange(self, value, d.GetExposureMin(), d.GetExposureMax()) || !deviceResult(self, d.SetExposure(value))) {
            return 0;
        }
        {
            std::lock_guard lock(self.settingsLock_);
            self.gain_.exposure = value;
        }
        self.refreshExposureSeconds();
        return 1;
    }

    template <bool Gain>
    static int getChannel(CLumvek& self, const Row& row, int* ok) {
        const int channel = row.selector - (Gain ? 28 : 32);
        int value = 0;
        const int result = Gain ? self.device_->GetChannelGain(channel, &value)
                                : self.device_->GetChannelOffset(channel, &value);
        if (!result) {
            self.ReportError(LUMVEK_ERR_TRANSFER);
            *ok = 0;
            return 0;
        }
        *ok = 1;
        return value;
    }
    template <bool Gain>
    static int setChannel(CLumvek& self, const Row& row, int value) {
        auto& d = *self.device_;
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
        (Gain ? self.channelGain_ : self.channelOffset_)[channel - 1] = value;
        return 1;
    }

    // ---- Selector 100: cooling ----
    static int getCooling(CLumvek& self, const Row&, int* ok) {
        if (!self.device_->IsCoolingSupported()) {
            self.ReportError(LUMVEK_ERR_UNSUPPORTED);
            *ok = 0;
            return -1;
        }
        *ok = 1;
        return self.device_->GetCooling();
    }
    static int setCooling(CLumvek& self, const Row&, int value) {
        if (!self.device_->IsCoolingSupported()) {
            self.ReportError(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        const int result = self.device_->SetCooling(value);
        if (result) {
            self.coolingOn_ = value != 0 ? 1 : 0;
        }
        return result;
    }

    // ---- Selector 101: temperature through this path is never offered ----
    static int getTemperature(CLumvek& self, const Row&, int* ok) {
        self.ReportError(LUMVEK_ERR_UNSUPPORTED);
        *ok = 0;
        return -1;
    }

    // ---- Selector 104: sensor gain mode ----
    static int getGainMode(CLumvek& self, const Row&, int* ok) {
        *ok = 1;
        return self.device_->GetGainMode();
    }
    static int setGainMode(CLumvek& self, const Row&, int value) {
        // The instance's own copy comes from the settings store only.
        return self.device_->SetGainMode(value);
    }

    // ---- Selector 105: short-exposure mode ----
    static int getShortExposure(CLumvek& self, const Row&, int* ok) {
        *ok = 0;
        if (!self.device_->IsShortExposureModeAvailable()) {
            self.ReportError(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        int on = 0;
        if (!self.device_->GetShortExposureMode(&on)) {
            self.ReportError(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.ReportError(LUMVEK_ERR_NONE);
        *ok = 1;
        return on != 0 ? 1 : 0;
    }
    static int setShortExposure(CLumvek& self, const Row&, int value) {
        if (!self.device_->IsShortExposureModeAvailable()) {
            self.ReportError(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        const int on = value > 0 ? 1 : 0;
        if (!self.device_->SetShortExposureMode(on)) {
            self.ReportError(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.shortExposureMode_ = on;
        self.ReportError(LUMVEK_ERR_NONE);
        return 1;
    }

    // ---- Selector 106: black level ----
    static int getBlackLevel(CLumvek& self, const Row&, int* ok) {
        *ok = 0;
        if (!self.device_->IsBlackLevelAvailable()) {
            self.ReportError(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        int level = 0;
        if (!self.device_->GetBlackLevel(&level)) {
            self.ReportError(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        self.ReportError(LUMVEK_ERR_NONE);
        *ok = 1;
        return level;
    }
    static int setBlackLevel(CLumvek& self, const Row&, int value) {
        if (!self.device_->IsBlackLevelAvailable()) {
            self.ReportError(LUMVEK_ERR_UNSUPPORTED);
            return 0;
        }
        if (!self.device_->SetBlackLevel(value)) {
            self.ReportError(LUMVEK_ERR_TRANSFER);
            return 0;
        }
        {
            std::lock_guard lock(self.settingsLock_);
            self.gain_.blackLevel = value;
        }
        self.ReportError(LUMVEK_ERR_NONE);
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
    kept(1, &filterField<&FilterSettings::brightness>, -255, 255),
    kept(2, &filterField<&FilterSettings::contrast>, -127, 127),
    kept(3, &filterField<&FilterSettings::hue>, -360, 360),
    kept(4, &filterField<&FilterSettings::saturation>, -255, 255),
    kept(5, &filterField<&FilterSettings::sharpness>, 0, 30),
    Row{6, &S::getPackedGains, &S::setPackedGains},
    kept(7, &filterField<&FilterSettings::rGain>, 0, 400),
    kept(8, &filterField<&FilterSettings::gGain>, 0, 400),
    kept(9, &filterField<&FilterSettings::bGain>, 0, 400),
    Row{10, &S::getKept, &S::setFlag, &imageField<&ImageSettings::autoWhiteBalance>},
    kept(11, &filterField<&FilterSettings::gamma>, 0, 200),
    kept(12, &filterField<&FilterSettings::bayerMode>, 0, 3),
    Row{13, &S::getGlobalGain, &S::setGlobalGain},
    colorGain<&CameraDevice::GetColorGainRed, &CameraDevice::SetColorGainRed, &GainSettings::colorR>(14),
    colorGain<&CameraDevice::GetColorGainGreen1, &CameraDevice::SetColorGainGreen1, &GainSettings::colorG1>(15),
    colorGain<&CameraDevice::GetColorGainGreen2, &CameraDevice::SetColorGainGreen2, &GainSettings::colorG2>(16),
    colorGain<&CameraDevice::GetColorGainBlue, &CameraDevice::SetColorGainBlue, &GainSettings::colorB>(17),
    Row{18, &S::getExposure, &S::setExposure},
    kept(19, &grayField<&GraySettings::mode>, 0, 2),
    kept(20, &grayField<&GraySettings::gainR>, 0, 255),
    kept(21, &grayField<&GraySettings::gainG1>, 0, 255),
    kept(22, &grayField<&GraySettings::gainG2>, 0, 255),
    kept(23, &grayField<&GraySettings::gainB>, 0, 255),
    kept(24, &grayField<&GraySettings::offsetR>, -255, 255),
    kept(25, &grayField<&GraySettings::offsetG1>, -255, 255),
    kept(26, &grayField<&GraySettings::offsetG2>, -255, 255),
    kept(27, &grayField<&GraySettings::offsetB>, -255, 255),
    Row{28, &S::refuseGet, &S::setKept, &imageField<&ImageSettings::grayMeasureRequest>, 0, 1},
    Row{29, &S::getChannel<true>, &S::setChannel<true>},
    Row{30, &S::getChannel<true>, &S::setChannel<true>},
    Row{31, &S::getChannel<true>, &S::setChannel<true>},
    Row{32, &S::getChannel<true>, &S::setChannel<true>},
    Row{33, &S::getChannel<false>, &S::setChannel<false>},
    Row{34, &S::getChannel<false>, &S::setChannel<false>},
    Row{35, &S::getChannel<false>, &S::setChannel<false>},
    Row{36, &S::getChannel<false>, &S::setChannel<false>},
    Row{100, &S::getCooling, &S::setCooling},
    Row{101, &S::getTemperature, &S::refuseSet},
    kept(102, &imageField<&ImageSettings::dotFilter>, 0, 1),
    kept(103, &imageField<&ImageSettings::maskFilter>, 0, 1),
    Row{104, &S::getGainMode, &S::setGainMode},
    Row{105, &S::getShortExposure, &S::setShortExposure},
    Row{106, &S::getBlackLevel, &S::setBlackLevel},
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
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
    } else if (const auto* row = SelectorOps::find(selector)) {
        std::lock_guard device(deviceLock_);
        result = row->get(*this, *row, &localOk);
    } else {
        ReportError(LUMVEK_ERR_ARGUMENT);
    }
    if (ok != nullptr) {
        *ok = localOk;
    }
    return result;
}

int CLumvek::SetFilterValue(int selector, int value) {
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    const auto* row = SelectorOps::find(selector);
    if (row == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    std::lock_guard device(deviceLock_);
    return row->set(*this, *row, value);
}

} // namespace lumvek
