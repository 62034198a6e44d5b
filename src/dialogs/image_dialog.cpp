#include "dialogs/image_dialog.h"

namespace lumvek::dialogs {

namespace {

struct FilterRow {
    int trackbar, upDown, edit;
    const char* label;
    int min, max, tick;
    int32_t FilterSettings::*field;
    bool monochrome;  // enabled in the monochrome modes too
};
constexpr FilterRow kFilterRows[] = {
    {2001, 2004, 2002, "&Brightness", -255, 255, 64, &FilterSettings::brightness, true},
    {2011, 2014, 2012, "&Contrast", -127, 127, 32, &FilterSettings::contrast, true},
    {2021, 2024, 2022, "&Hue", -360, 360, 90, &FilterSettings::hue, false},
    {2031, 2034, 2032, "&Saturation", -255, 255, 64, &FilterSettings::saturation, false},
    {2041, 2044, 2042, "Shar&pness", 0, 30, 4, &FilterSettings::sharpness, true},
    {2051, 2054, 2052, "&R Gain", 0, 400, 32, &FilterSettings::rGain, false},
    {2061, 2063, 2062, "&G Gain", 0, 400, 32, &FilterSettings::gGain, false},
    {2071, 2073, 2072, "&B Gain", 0, 400, 32, &FilterSettings::bGain, false},
    {2081, 2084, 2082, "&Gamma", 0, 200, 32, &FilterSettings::gamma, true},
};

struct GrayRow {
    int trackbar, edit, upDown;
    const char* label;
    int min, max;
    int32_t GraySettings::*field;
};
constexpr GrayRow kGrayRows[] = {
    {2100, 2101, 2102, "R1", 0, 400, &GraySettings::gainR},
    {2103, 2104, 2105, "G1", 0, 400, &GraySettings::gainG1},
    {2106, 2107, 2108, "G2", 0, 400, &GraySettings::gainG2},
    {2109, 2110, 2111, "B1", 0, 400, &GraySettings::gainB},
    {2112, 2113, 2114, "R1", -255, 255, &GraySettings::offsetR},
    {2115, 2116, 2117, "G1", -255, 255, &GraySettings::offsetG1},
    {2118, 2119, 2120, "G2", -255, 255, &GraySettings::offsetG2},
    {2121, 2122, 2123, "B1", -255, 255, &GraySettings::offsetB},
};
constexpr int kGrayTick = 32;
constexpr int kBayerModes = 4;
constexpr int kGrayModes = 3;
constexpr int kDefaultGain = 100;
constexpr int kDefaultBayerMode = 2;
constexpr int kDefaultGray = 128;

bool monochrome(int mode) { return mode == 0 || mode == 1; }
bool colour(int mode) { return mode >= 2 && mode <= 5; }

std::vector<std::pair<int, std::string>> bayerRadios(int offset) {
    std::vector<std::pair<int, std::string>> radios;
    for (int i = 0; i < kBayerModes; ++i) {
        radios.emplace_back(kIdBayerMode0 + i + offset, "Bayer Mode " + std::to_string(i));
    }
    return radios;
}

} // namespace

ImageDialog::ImageDialog(Language language, int colourMode, const ImageRecords& records, UpdateImage update)
    : DialogModel(language), update_(std::move(update)), opened_(records), grayPage_(monochrome(colourMode)) {
    buildImagePage(colourMode);
    if (grayPage_) {
        buildGrayPage();
    }
    addButton(-1, kIdOk, "OK");
    addButton(-1, kIdCancel, pick(language, "Cancel", "キャンセル"));
    addButton(-1, kIdDefault, pick(language, "Default(&D)", "規定値(&D)"));
    setButtons({kIdOk, kIdCancel, kIdDefault});
    display(records);
    finishInitialising();
}

void ImageDialog::buildImagePage(int colourMode) {
    const int page = addPage("Image Filter");
    for (const FilterRow& row : kFilterRows) {
        addTriple(page, row.trackbar, row.upDown, row.edit, row.label, row.min, row.max, row.tick, 0);
        const bool on = colour(colourMode) || (monochrome(colourMode) && row.monochrome);
        for (int id : {row.trackbar, row.upDown, row.edit}) {
            enable(id, on);
        }
    }
    addLabel(page, -20, "Auto white balance");
    addButton(page, kIdWhiteBalanceOnce, "Once");
    addCheck(page, kIdWhiteBalanceAll, "All frames", false);
    addLabel(page, -21, "Bayer Mode");
    addRadios(page, bayerRadios(0), 0);
    std::vector<int> colourOnly = {kIdWhiteBalanceOnce, kIdWhiteBalanceAll};
    for (int i = 0; i < kBayerModes; ++i) {
        colourOnly.push_back(kIdBayerMode0 + i);
    }
    for (int id : colourOnly) {
        enable(id, colour(colourMode));
    }
}

void ImageDialog::buildGrayPage() {
    const int page = addPage("Gray Filter");
    addLabel(page, -30, "Gain");
    for (int i = 0; i < 8; ++i) {
        if (i == 4) {
            addLabel(page, -31, "Offset");
        }
        const GrayRow& row = kGrayRows[i];
        addTriple(page, row.trackbar, row.upDown, row.edit, row.label, row.min, row.max, kGrayTick, 0);
    }
    addRadios(page, {{kIdGrayModeBayer, "Bayer"}, {kIdGrayModeBayer + 1, "Bayer convert"},
                     {kIdGrayModeBayer + 2, "Grayscale"}},
              0);
    addButton(page, grayPageId(kIdWhiteBalanceOnce), "Once");
    addCheck(page, grayPageId(kIdWhiteBalanceAll), "All frames", false);
    addRadios(page, bayerRadios(kGrayPageIdOffset), 0);
}

void ImageDialog::display(const ImageRecords& r) {
    for (const FilterRow& row : kFilterRows) {
        show(row.edit, r.filter.*row.field);
    }
    show(kIdWhiteBalanceAll, r.whiteBalance[0] != 0 ? 1 : 0);
    const int bayer = r.filter.bayerMode >= 0 && r.filter.bayerMode < kBayerModes ? r.filter.bayerMode : 0;
    show(kIdBayerMode0 + bayer, 1);
    if (grayPage_) {
        for (const GrayRow& row : kGrayRows) {
            show(row.edit, r.gray.*row.field);
        }
        const int mode = r.gray.mode >= 0 && r.gray.mode < kGrayModes ? r.gray.mode : 0;
        show(kIdGrayModeBayer + mode, 1);
        show(grayPageId(kIdWhiteBalanceAll), r.grayAdjust == -1 ? 1 : 0);
        show(grayPageId(kIdBayerMode0 + bayer), 1);
    }
}

void ImageDialog::onChange(int id, int v) {
    for (const FilterRow& row : kFilterRows) {
        if (id == row.edit) {
            update_([&](ImageRecords& r) { r.filter.*row.field = v; });
            return;
        }
    }
    for (const GrayRow& row : kGrayRows) {
        if (id == row.edit) {
            update_([&](ImageRecords& r) { r.gray.*row.field = v; });
            return;
        }
    }
    for (int i = 0; i < kBayerModes; ++i) {
        if (id == kIdBayerMode0 + i || id == grayPageId(kIdBayerMode0 + i)) {
            // Both pages show the one BayerMode.
            show(kIdBayerMode0 + i, 1);
            if (grayPage_) {
                show(grayPageId(kIdBayerMode0 + i), 1);
            }
            update_([&](ImageRecords& r) { r.filter.bayerMode = i; });
            return;
        }
    }
    for (int i = 0; i < kGrayModes; ++i) {
        if (id == kIdGrayModeBayer + i) {
            update_([&](ImageRecords& r) { r.gray.mode = i; });
            return;
        }
    }
    if (id == kIdWhiteBalanceAll) {
        update_([&](ImageRecords& r) {
            r.whiteBalance[0] = v;
            r.whiteBalance[1] = r.whiteBalance[2] = 0;
        });
    } else if (id == grayPageId(kIdWhiteBalanceAll)) {
        update_([&](ImageRecords& r) { r.grayAdjust = v != 0 ? -1 : 0; });
    }
}

void ImageDialog::onButton(int id) {
    switch (id) {
    case kIdWhiteBalanceOnce:
        show(kIdWhiteBalanceAll, 0);
        update_([](ImageRecords& r) { r.whiteBalance[0] = r.whiteBalance[1] = r.whiteBalance[2] = 1; });
        break;
    case grayPageId(kIdWhiteBalanceOnce):
        update_([](ImageRecords& r) { r.grayAdjust = 1; });
        break;
    case kIdDefault: {
        ImageRecords now;
        update_([&](ImageRecords& r) {
            r.filter.brightness = r.filter.contrast = r.filter.hue = r.filter.saturation = r.filter.sharpness = 0;
            r.filter.rGain = r.filter.gGain = r.filter.bGain = r.filter.gamma = kDefaultGain;
            r.filter.bayerMode = kDefaultBayerMode;
            if (grayPage_) {
                for (const GrayRow& row : kGrayRows) {
                    r.gray.*row.field = kDefaultGray;
                }
            }
            now = r;
        });
        display(now);
        break;
    }
    case kIdOk:
        close(kResultOk);
        break;
    case kIdCancel:
        update_([&](ImageRecords& r) { r = opened_; });
        close(kResultCancel);
        break;
    default:
        break;
    }
}

} // namespace lumvek::dialogs
