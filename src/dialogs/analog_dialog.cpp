#include "dialogs/analog_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumvek::dialogs {

namespace {

constexpr int kTickDivisions = 8;
// The black-level range when the camera does not tell it: the sensors' offset DACs are 12 bits wide.
constexpr int kBlackLevelMax = 4095;
constexpr double kUnitScale[] = {1e9, 1e6, 1e3, 1.0};
constexpr const char* kUnitNames[] = {"ns", "μs", "ms", "sec"};
constexpr int kUnits = 4;

struct GainRow {
    int trackbar, upDown, edit;
    const char* label;
};
constexpr GainRow kGlobalRow{1013, 1038, 1015, "&Global Gain"};
constexpr GainRow kColorRows[] = {{1018, 1039, 1019, "&Color Gain G1"},
                                  {1020, 1040, 1021, "&Color Gain R"},
                                  {1022, 1041, 1023, "&Color Gain B"},
                                  {1024, 1042, 1025, "&Color Gain G2"}};
constexpr GainRow kExposureRow{1026, 1043, 1027, "&Exposure"};
constexpr GainRow kBlackLevelRow{2128, 2130, 2129, ""};  // label 2127 stands above it
constexpr int kColorEdits[] = {1019, 1021, 1023, 1025};

int tickOf(int min, int max) {
    return std::max(1, (max - min) / kTickDivisions);
}

} // namespace

int exposureUnitOf(double seconds) {
    if (seconds > 1.0) {
        return 3;
    }
    if (seconds >= 0.001) {
        return 2;
    }
    return seconds >= 0.000001 ? 1 : 0;
}

const char* exposureUnitName(int unit) {
    return kUnitNames[std::clamp(unit, 0, kUnits - 1)];
}

double toUnit(double seconds, int unit) {
    return seconds * kUnitScale[std::clamp(unit, 0, kUnits - 1)];
}

std::string formatExposureNumber(double value) {
    char text[64];
    const double fraction = value - std::trunc(value);
    if (std::fabs(fraction) >= 0.001) {
        std::snprintf(text, sizeof text, "%.3f", value);
    } else if (std::fabs(fraction) >= 0.000001) {
        std::snprintf(text, sizeof text, "%.6f", value);
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    }
    return text;
}

AnalogDialog::AnalogDialog(Language language, WithDevice withDevice, AnalogRecords records, StoreAnalog store)
    : DialogModel(language), withDevice_(std::move(withDevice)), records_(records), openedRecords_(records),
      store_(std::move(store)) {
    withDevice_([&](CameraDevice& device) {
        snapshot_.global = device.GetGlobalGain();
        snapshot_.g1 = device.GetColorGainGreen1();
        snapshot_.r = device.GetColorGainRed();
        snapshot_.b = device.GetColorGainBlue();
        snapshot_.g2 = device.GetColorGainGreen2();
        snapshot_.exposure = device.GetExposure();
        snapshot_.exposureExAvailable = device.IsExposureTimeExAvailable() != 0;
        if (snapshot_.exposureExAvailable) {
            (void)device.GetExposureTimeEx(&snapshot_.exposureEx);
        }
        snapshot_.mirrorV = device.GetMirrorV();
        snapshot_.mirrorH = device.GetMirrorH();
        buildAnalogPage(device);
        buildChannelPage(device);
    });
    addButton(-1, kIdOk, "OK");
    addButton(-1, kIdCancel, pick(language, "Cancel", "キャンセル"));
    addButton(-1, kIdDefault, pick(language, "Default(&D)", "規定値(&D)"));
    setButtons({kIdOk, kIdCancel, kIdDefault});
    finishInitialising();
}

void AnalogDialog::buildAnalogPage(CameraDevice& device) {
    const int page = addPage("Analog Gain");
    const GainSettings& g = records_.gain;
    const int gMin = device.GetGlobalGainMin(), gMax = device.GetGlobalGainMax();
    addTriple(page, kGlobalRow.trackbar, kGlobalRow.upDown, kGlobalRow.edit, kGlobalRow.label, gMin, gMax,
              tickOf(gMin, gMax), g.global);
    const int cMin = device.GetColorGainMin(), cMax = device.GetColorGainMax();
    const int32_t colours[] = {g.colorG1, g.colorR, g.colorB, g.colorG2};
    for (int i = 0; i < 4; ++i) {
        const GainRow& row = kColorRows[i];
        addTriple(page, row.trackbar, row.upDown, row.edit, row.label, cMin, cMax, tickOf(cMin, cMax), colours[i]);
        for (int id : {row.trackbar, row.upDown, row.edit}) {
            enable(id, false);
        }
    }
    const int eMin = device.GetExposureMin(), eMax = device.GetExposureMax();
    addTriple(page, kExposureRow.trackbar, kExposureRow.upDown, kExposureRow.edit, kExposureRow.label, eMin, eMax,
              tickOf(eMin, eMax), g.exposure);
    addLabel(page, kIdExposureMs, "");

    addLabel(page, -10, "Auto Iris");
    addCheck(page, kIdAutoIrisGain, "Gain", g.autoIris == 2);
    addCheck(page, kIdAutoIrisExposure, "Exposure", g.autoIris == 1);
    addCheck(page, kIdMirrorV, "Mirror V", g.vMirror != 0);
    addCheck(page, kIdMirrorH, "Mirror H", g.hMirror != 0);

    // The seconds-based exposure.
    addLabel(page, kIdExposureExLabel, "ExposureEx");
    ControlState edit;
    edit.id = kIdExposureExEdit;
    edit.kind = ControlKind::Edit;
    add(page, edit);
    addCombo(page, kIdExposureUnitCombo, "", {}, -1);
    addLabel(page, kIdExposureRange, pick(language_, "range", "設定範囲"));
    exposureEx_ = device.IsExposureTimeExAvailable() != 0;
    if (exposureEx_) {
        (void)device.GetExposureTimeExMin(&exposureExMin_);
        (void)device.GetExposureTimeExMax(&exposureExMax_);
        firstUnit_ = exposureUnitOf(exposureExMin_);
        const int lastUnit = std::max(firstUnit_, exposureUnitOf(exposureExMax_));
        ControlState& combo = at(kIdExposureUnitCombo);
        for (int unit = firstUnit_; unit <= lastUnit; ++unit) {
            combo.items.push_back(exposureUnitName(unit));
        }
        combo.max = lastUnit - firstUnit_;
        const int minUnit = exposureUnitOf(exposureExMin_), maxUnit = exposureUnitOf(exposureExMax_);
        char range[128];
        std::snprintf(range, sizeof range, "range: %d%s - %d%s",
                      static_cast<int>(std::lround(toUnit(exposureExMin_, minUnit))), exposureUnitName(minUnit),
                      static_cast<int>(std::lround(toUnit(exposureExMax_, maxUnit))), exposureUnitName(maxUnit));
        showText(kIdExposureRange, range);
        (void)device.GetExposureTimeEx(&records_.gain.exposureEx);
        show(kIdExposureUnitCombo,
             std::clamp(exposureUnitOf(records_.gain.exposureEx), firstUnit_, lastUnit) - firstUnit_);
        showExposureEx();
        for (int id : {kExposureRow.trackbar, kExposureRow.upDown, kExposureRow.edit, kIdExposureMs}) {
            setVisible(id, false);
        }
    } else {
        for (int id : {kIdExposureExLabel, kIdExposureExEdit, kIdExposureUnitCombo, kIdExposureRange}) {
            setVisible(id, false);
        }
    }

    addLabel(page, kIdBlackLevelLabel, "Black Level");
    int blackMin = 0;
    int blackMax = kBlackLevelMax;
    if (!device.GetBlackLevelMin(&blackMin) || !device.GetBlackLevelMax(&blackMax) || blackMax < blackMin) {
        blackMin = 0;
        blackMax = kBlackLevelMax;
    }
    addTriple(page, kBlackLevelRow.trackbar, kBlackLevelRow.upDown, kBlackLevelRow.edit, kBlackLevelRow.label,
              blackMin, blackMax, tickOf(blackMin, blackMax), g.blackLevel);
    if (!device.IsBlackLevelAvailable()) {
        for (int id : {kIdBlackLevelLabel, kBlackLevelRow.trackbar, kBlackLevelRow.upDown, kBlackLevelRow.edit}) {
            setVisible(id, false);
        }
    }
    addCheck(page, kIdCooling, "Cooling", records_.cooling != 0);
    setVisible(kIdCooling, device.IsCoolingSupported() != 0);
    addCheck(page, kIdShortExposure, "Short Exposure Mode", records_.shortExposure != 0);
    setVisible(kIdShortExposure, device.IsShortExposureModeAvailable() != 0);
    const int gainMode = device.IsGainModeAvailable() ? device.GetGainMode() : -1;
    addCombo(page, kIdGainMode, "Gain Mode", {"High Gain", "Low Gain"}, gainMode > 0 ? 1 : 0);
    setVisible(kIdGainMode, gainMode != -1);
    showExposureMs();
}

void AnalogDialog::buildChannelPage(CameraDevice& device) {
    const int page = addPage("Channel");
    const int gMin = device.GetChannelGainMin(), gMax = device.GetChannelGainMax();
    const int oMin = device.GetChannelOffsetMin(), oMax = device.GetChannelOffsetMax();
    for (int c = 1; c <= 4; ++c) {
        addSpinEdit(page, channelGainEdit(c) + 1, channelGainEdit(c), "Gain " + std::to_string(c), gMin, gMax,
                    records_.channelGain[static_cast<size_t>(c - 1)]);
    }
    for (int c = 1; c <= 4; ++c) {
        addSpinEdit(page, channelOffsetEdit(c) + 1, channelOffsetEdit(c), "Offset " + std::to_string(c), oMin, oMax,
                    records_.channelOffset[static_cast<size_t>(c - 1)]);
    }
}

void AnalogDialog::showExposureEx() {
    if (!exposureEx_) {
        return;
    }
    const int unit = firstUnit_ + std::max(0, value(kIdExposureUnitCombo));
    showText(kIdExposureExEdit, formatExposureNumber(toUnit(records_.gain.exposureEx, unit)));
}

void AnalogDialog::showExposureMs() {
    char text[64];
    std::snprintf(text, sizeof text, "=%.2fms", records_.gain.exposure / 10.0);
    showText(kIdExposureMs, text);
}

void AnalogDialog::readBackExposure(CameraDevice& device) {
    records_.gain.exposure = device.GetExposure();
    if (exposureEx_) {
        (void)device.GetExposureTimeEx(&records_.gain.exposureEx);
    }
    show(kIdExposureEdit, records_.gain.exposure);
    showExposureMs();
    showExposureEx();
}

void AnalogDialog::onChange(int id, int v) {
    GainSettings& g = records_.gain;
    withDevice_([&](CameraDevice& device) {
        switch (id) {
        case kIdGlobalGainEdit:
            g.global = v;
            (void)device.SetGlobalGain(v);
            break;
        case kIdExposureEdit:
            g.exposure = v;
            (void)device.SetExposure(v);
            readBackExposure(device);
            break;
        case kIdBlackLevelEdit:
            g.blackLevel = v;
            (void)device.SetBlackLevel(v);
            break;
        case kIdMirrorV:
            g.vMirror = v;
            (void)device.SetMirrorV(v);
            break;
        case kIdMirrorH:
            g.hMirror = v;
            (void)device.SetMirrorH(v);
            break;
        case kIdCooling:
            records_.cooling = v;
            (void)device.SetCooling(v);
            break;
        case kIdShortExposure:
            records_.shortExposure = v;
            (void)device.SetShortExposureMode(v);
            break;
        case kIdGainMode:
            g.gainMode = v != 0 ? 1 : 0;
            (void)device.SetGainMode(v != 0 ? 1 : 0);
            break;
        case kIdAutoIrisGain:
        case kIdAutoIrisExposure:
            // The two boxes exclude each other; only the record changes.
            if (v != 0) {
                show(id == kIdAutoIrisGain ? kIdAutoIrisExposure : kIdAutoIrisGain, 0);
            }
            g.autoIris = value(kIdAutoIrisGain) != 0 ? 2 : value(kIdAutoIrisExposure) != 0 ? 1 : 0;
            break;
        case kIdExposureUnitCombo:
            showExposureEx();  // shown in the new unit, not sent back
            break;
        default:
            for (int c = 0; c < 4; ++c) {
                if (id == kColorEdits[c]) {
                    int32_t* fields[] = {&g.colorG1, &g.colorR, &g.colorB, &g.colorG2};
                    *fields[c] = v;
                    (void)(c == 0   ? device.SetColorGainGreen1(v)
                           : c == 1 ? device.SetColorGainRed(v)
                           : c == 2 ? device.SetColorGainBlue(v)
                                    : device.SetColorGainGreen2(v));
                }
                if (id == channelGainEdit(c + 1)) {
                    records_.channelGain[static_cast<size_t>(c)] = v;
                    (void)device.SetChannelGain(c + 1, v);
                }
                if (id == channelOffsetEdit(c + 1)) {
                    records_.channelOffset[static_cast<size_t>(c)] = v;
                    (void)device.SetChannelOffset(c + 1, v);
                }
            }
            break;
        }
    });
    stored();
}

bool AnalogDialog::onText(int id, const std::string& text) {
    double number = 0.0;
    if (id != kIdExposureExEdit || !exposureEx_ || !parseReal(text, number)) {
        return false;
    }
    const int unit = firstUnit_ + std::max(0, value(kIdExposureUnitCombo));
    const double seconds = std::clamp(number / kUnitScale[unit], exposureExMin_, exposureExMax_);
    records_.gain.exposureEx = seconds;
    showText(kIdExposureExEdit, text);
    withDevice_([&](CameraDevice& device) {
        (void)device.SetExposureSeconds(seconds);
        // The integer exposure follows without being sent again.
        records_.gain.exposure = device.GetExposure();
    });
    show(kIdExposureEdit, records_.gain.exposure);
    showExposureMs();
    stored();
    return true;
}

void AnalogDialog::setDefaults() {
    GainSettings& g = records_.gain;
    withDevice_([&](CameraDevice& device) {
        g.global = device.GetGlobalGainDefault();
        (void)device.SetGlobalGain(g.global);
        const int colour = device.GetColorGainDefault();
        g.colorG1 = g.colorR = g.colorB = g.colorG2 = colour;
        (void)device.SetColorGainGreen1(colour);
        (void)device.SetColorGainRed(colour);
        (void)device.SetColorGainBlue(colour);
        (void)device.SetColorGainGreen2(colour);
        if (exposureEx_) {
            (void)device.GetExposureTimeExDefault(&g.exposureEx);
            (void)device.SetExposureSeconds(g.exposureEx);
        }
        if (at(kIdExposureEdit).visible) {
            g.exposure = device.GetExposureDefault();
            (void)device.SetExposure(g.exposure);
        }
        if (device.IsBlackLevelAvailable()) {
            (void)device.GetBlackLevelDefault(&g.blackLevel);
            (void)device.SetBlackLevel(g.blackLevel);
        }
        if (device.IsCoolingSupported()) {
            records_.cooling = 1;
            (void)device.SetCooling(1);
        }
        if (device.IsShortExposureModeAvailable()) {
            records_.shortExposure = 0;
            (void)device.SetShortExposureMode(0);
        }
        if (at(kIdGainMode).visible) {
            g.gainMode = 0;
            (void)device.SetGainMode(0);
        }
        // Channel values whose default the camera does not tell stay as they are.
        int channelGain = 0;
        int channelOffset = 0;
        const bool gainDefault = device.GetChannelGainDefault(&channelGain) != 0;
        const bool offsetDefault = device.GetChannelOffsetDefault(&channelOffset) != 0;
        for (int c = 1; c <= 4; ++c) {
            if (gainDefault) {
                records_.channelGain[static_cast<size_t>(c - 1)] = channelGain;
                (void)device.SetChannelGain(c, channelGain);
            }
            if (offsetDefault) {
                records_.channelOffset[static_cast<size_t>(c - 1)] = channelOffset;
                (void)device.SetChannelOffset(c, channelOffset);
            }
        }
        if (!at(kIdExposureEdit).visible) {
            g.exposure = device.GetExposure();
        }
    });
    // Redisplay both pages.
    show(kGlobalRow.edit, g.global);
    const int32_t colours[] = {g.colorG1, g.colorR, g.colorB, g.colorG2};
    for (int c = 0; c < 4; ++c) {
        show(kColorEdits[c], colours[c]);
        show(channelGainEdit(c + 1), records_.channelGain[static_cast<size_t>(c)]);
        show(channelOffsetEdit(c + 1), records_.channelOffset[static_cast<size_t>(c)]);
    }
    show(kIdExposureEdit, g.exposure);
    show(kBlackLevelRow.edit, g.blackLevel);
    show(kIdCooling, records_.cooling);
    show(kIdShortExposure, records_.shortExposure);
    show(kIdGainMode, g.gainMode);
    showExposureMs();
    showExposureEx();
    stored();
}

void AnalogDialog::restoreSnapshot() {
    withDevice_([&](CameraDevice& device) {
        (void)device.SetGlobalGain(snapshot_.global);
        (void)device.SetColorGainGreen1(snapshot_.g1);
        (void)device.SetColorGainRed(snapshot_.r);
        (void)device.SetColorGainBlue(snapshot_.b);
        (void)device.SetColorGainGreen2(snapshot_.g2);
        if (snapshot_.exposureExAvailable) {
            (void)device.SetExposureSeconds(snapshot_.exposureEx);
        } else {
            (void)device.SetExposure(snapshot_.exposure);
        }
        (void)device.SetMirrorV(snapshot_.mirrorV);
        (void)device.SetMirrorH(snapshot_.mirrorH);
    });
    // The records go back too, except what is not rolled back on the camera.
    AnalogRecords restored = openedRecords_;
    restored.channelGain = records_.channelGain;
    restored.channelOffset = records_.channelOffset;
    restored.cooling = records_.cooling;
    restored.shortExposure = records_.shortExposure;
    restored.gain.blackLevel = records_.gain.blackLevel;
    restored.gain.gainMode = records_.gain.gainMode;
    records_ = restored;
    stored();
}

void AnalogDialog::onButton(int id) {
    switch (id) {
    case kIdDefault:
        setDefaults();
        break;
    case kIdOk:
        stored();
        close(kResultOk);
        break;
    case kIdCancel:
        restoreSnapshot();
        close(kResultCancel);
        break;
    default:
        break;
    }
}

} // namespace lumvek::dialogs
