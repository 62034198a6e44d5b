#include "sensors/sensor_models.h"

#include <array>
#include <cstddef>

namespace lumvek {
namespace {

constexpr int32_t kLineScanLines = 32768;
constexpr double kTenthsOfMsPerSecond = 10000.0;

using M = SensorModelId;

// One row per driver class. Ranges are {minimum, maximum, default, available}.
constexpr std::array<SensorModel, kSensorModelCount> kModels{{
    {.id = M::MT9F001, .className = "CSensorMT9F001", .maxWidth = 4608, .maxHeight = 3288, .clockKHz = 96000,
     .gain = {0, 127, 64, 1}, .exposureTime = {1, 20000, 1754, 0}, .colorGainsFollowGain = true, .transferBits = 12},
    {.id = M::MT9F002, .className = "CSensorMT9F002", .maxWidth = 4608, .maxHeight = 3288, .clockKHz = 96000,
     .gain = {0, 127, 64, 1}, .exposureTime = {1, 20000, 1754, 0}, .colorGainsFollowGain = true, .transferBits = 12},
    {.id = M::MT9P001, .className = "CSensorMT9P001", .maxWidth = 2592, .maxHeight = 1944, .clockKHz = 96000,
     .gain = {0, 63, 16, 1}, .exposureTime = {1, 20000, 666, 0}, .colorGainsFollowGain = true, .transferBits = 12},
    {.id = M::MT9J001, .className = "CSensorMT9J001", .maxWidth = 3856, .maxHeight = 2764, .clockKHz = 80000,
     .gain = {0, 127, 64, 1}, .exposureTime = {1, 20000, 1300, 0}, .colorGainsFollowGain = true, .transferBits = 12},
    {.id = M::ICX274, .className = "CSensorICX274", .maxWidth = 1600, .maxHeight = 1200, .clockKHz = 60000,
     .ccd = true, .gain = {0, 1023, 256, 1}, .exposureTime = {1, 1252, 1, 0}},
    {.id = M::R13, .className = "CSensorR13", .maxWidth = 2336, .maxHeight = 1752, .clockKHz = 60000,
     .rawOrientation = kOrientationBottomUpReversed, .ccd = true, .gain = {15, 1023, 350, 1},
     .exposureTime = {1, 8191, 774, 0}, .exposureLines = {1, 901, 1, 1}, .lineLength = 2836, .frameLength = 1952,
     .mirrorInSensor = true},
    {.id = M::R07, .className = "CSensorR07", .maxWidth = 4896, .maxHeight = 3264, .clockKHz = 40000, .ccd = true,
     .gain = {15, 1023, 15, 1}, .exposureTime = {1, 8191, 774, 0}, .exposureLines = {1, 1711, 1, 1},
     .mirrorInSensor = true},
    {.id = M::R11, .className = "CSensorR11", .maxWidth = 6576, .maxHeight = 4384, .clockKHz = 40000, .ccd = true,
     .gain = {0, 1023, 100, 1}, .exposureTime = {1, 2233, 2233, 0}, .exposureLines = {1, 2227, 1, 1},
     .blackLevel = {0, 1023, 492, 1}, .mirrorInSensor = true},
    {.id = M::IMX178, .className = "CSensorIMX178", .maxWidth = 3072, .maxHeight = 2048, .clockKHz = 364000,
     .gain = {0, 511, 100, 1}, .exposureTime = {1, 30000, 200, 0}},
    {.id = M::IMX174, .className = "CSensorIMX174", .maxWidth = 1920, .maxHeight = 1200, .clockKHz = 74250,
     .gain = {0, 480, 90, 1}, .exposureTime = {1, 30000, 200, 0}},
    {.id = M::IMX183, .className = "CSensorIMX183", .maxWidth = 5520, .maxHeight = 3680, .clockKHz = 72000,
     .gain = {0, 8101, 256, 1}, .exposureTime = {1, 666, 333, 0}},
    {.id = M::IMX159, .className = "CSensorIMX159", .maxWidth = 4800, .maxHeight = 3520, .clockKHz = 36000,
     .gain = {0, 4095, 1920, 1}, .exposureTime = {0, 4095, 1, 0}},
    {.id = M::R15, .className = "CSensorR15", .maxWidth = 1920, .maxHeight = 1080, .clockKHz = 74250,
     .gain = {0, 0, 0, 1}},
    {.id = M::R06, .className = "CSensorR06", .maxWidth = 1280, .maxHeight = 1024, .clockKHz = 37125,
     .gain = {0, 11, 0, 1}, .exposureTime = {1, 30000, 200, 0}},
    {.id = M::R02, .className = "CSensorR02", .maxWidth = 640, .maxHeight = 512, .clockKHz = 6250,
     .gain = {0, 255, 64, 1}, .exposureTime = {1, 10000, 100, 0}, .exposureTimeExAvailable = true},
    {.id = M::R01, .className = "CSensorR01", .maxWidth = 320, .maxHeight = 256, .clockKHz = 6250,
     .gain = {0, 255, 64, 1}, .exposureTime = {1, 10000, 100, 0}},
    {.id = M::R05, .className = "CSensorR05", .maxWidth = 1280, .maxHeight = 1024, .clockKHz = 72000,
     .rawOrientation = kOrientationRowsReversed, .variantCode = 100, .hasVariantCode = true,
     .gain = {0, 255, 128, 1}, .exposureTime = {1, 10000, 100, 0}},
    {.id = M::R14, .className = "CSensorR14", .maxWidth = 512, .maxHeight = kLineScanLines, .lineScan = true,
     .clockKHz = 5000, .gain = {0, 255, 64, 1}, .exposureTime = {89, 5039, 3000, 0}},
    {.id = M::R10, .className = "CSensorR10", .maxWidth = 256, .maxHeight = kLineScanLines, .lineScan = true,
     .clockKHz = 5000, .gain = {0, 255, 64, 1}, .exposureTime = {89, 5039, 3000, 0}},
    {.id = M::IMX250, .className = "CSensorIMX250", .maxWidth = 2448, .maxHeight = 2048, .clockKHz = 54000,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 59, .hasVariantCode = true,
     .gain = {0, 480, 0, 1}, .exposureTime = {1, 7000, 200, 0}, .transferBits = 8},
    {.id = M::IMX264, .className = "CSensorIMX264", .maxWidth = 2448, .maxHeight = 2048, .clockKHz = 74250,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 57, .hasVariantCode = true,
     .gain = {0, 480, 0, 1}, .exposureTime = {1, 7000, 200, 0}},
    {.id = M::IMX252, .className = "CSensorIMX252", .maxWidth = 2048, .maxHeight = 1536, .clockKHz = 54545,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 56, .hasVariantCode = true,
     .gain = {0, 480, 64, 1}, .exposureTime = {1, 10000, 170, 0}},
    {.id = M::R04, .className = "CSensorR04", .maxWidth = 1024, .maxHeight = kLineScanLines, .lineScan = true,
     .clockKHz = 5000, .gain = {0, 255, 64, 1}, .exposureTime = {136, 5039, 1500, 0}},
    {.id = M::R08, .className = "CSensorR08", .maxWidth = 2048, .maxHeight = 2048, .clockKHz = 50000,
     .variantCode = 103, .hasVariantCode = true, .gain = {0, 255, 64, 1}, .exposureTime = {1, 10000, 100, 0},
     .exposureTimeExAvailable = true},
    {.id = M::IMX226, .className = "CSensorIMX226", .maxWidth = 4168, .maxHeight = 3062, .clockKHz = 72000,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 60, .hasVariantCode = true,
     .gain = {0, 1957, 0, 1}, .exposureTime = {1, 20000, 281, 0}},
    {.id = M::R03, .className = "CSensorR03", .maxWidth = 640, .maxHeight = 512, .clockKHz = 9000,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 99, .hasVariantCode = true,
     .gain = {0, 0, 0, 1}, .exposureTime = {1, 1230273, 37, 0}},
    {.id = M::R09, .className = "CSensorR09", .maxWidth = 2048, .maxHeight = kLineScanLines, .lineScan = true,
     .clockKHz = 5000, .gain = {0, 255, 64, 1}, .exposureTime = {89, 5039, 1500, 0}},
    {.id = M::G1467x, .className = "CSensorG1467x", .maxWidth = 320, .maxHeight = 256, .clockKHz = 6250,
     .rawOrientation = kOrientationRowsReversed, .gain = {0, 255, 64, 1}, .exposureTime = {500, 1000000, 500, 0}},
    {.id = M::IMX990, .className = "CSensorIMX990", .maxWidth = 1280, .maxHeight = 1024, .clockKHz = 54545,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 109, .hasVariantCode = true,
     .gain = {0, 420, 0, 1}, .exposureTime = {1, 20000, 138, 0}, .transferBits = 8,
     .exposureTimeExAvailable = true},
    {.id = M::IMX991, .className = "CSensorIMX991", .maxWidth = 640, .maxHeight = 512, .clockKHz = 54545,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 111, .hasVariantCode = true,
     .gain = {0, 420, 0, 1}, .exposureTime = {1, 20000, 70, 0}, .transferBits = 8,
     .exposureTimeExAvailable = true},
    {.id = M::LI7050, .className = "CSensorLI7050", .maxWidth = 1936, .maxHeight = 1096, .clockKHz = 48000,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 61, .hasVariantCode = true,
     .gain = {0, 223, 0, 1}, .exposureTime = {1, 10000, 166, 0}, .exposureTimeExAvailable = true},
    {.id = M::GLUX9701, .className = "CSensorGLUX9701", .maxWidth = 1280, .maxHeight = 1024, .clockKHz = 37037,
     .rawOrientation = kOrientationBottomUp, .variantCode = 114, .hasVariantCode = true, .gain = {2, 62, 2, 1},
     .exposureTime = {1, 20000, 401, 0}, .transferBits = 8, .exposureTimeExAvailable = true},
    {.id = M::R12, .className = "CSensorR12", .maxWidth = 4096, .maxHeight = 4096, .clockKHz = 25000,
     .variantCode = 115, .hasVariantCode = true, .gain = {0, 0, 0, 1}, .exposureTime = {1, 10000000, 100, 0},
     .exposureTimeExAvailable = true, .blackLevel = {0, 16383, 15680, 1}, .gainStage = {0, 7, 4, 1}},
    {.id = M::IMX536, .className = "CSensorIMX536", .maxWidth = 2848, .maxHeight = 2848, .clockKHz = 54545,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 62, .hasVariantCode = true,
     .gain = {0, 480, 0, 1}, .exposureTime = {1, 260, 260, 0}},
    {.id = M::IMX487, .className = "CSensorIMX487", .maxWidth = 2848, .maxHeight = 2848, .clockKHz = 54545,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 63, .hasVariantCode = true,
     .gain = {0, 480, 0, 1}, .exposureTime = {1, 20000, 260, 0}, .exposureTimeExAvailable = true,
     .blackLevel = {0, 4095, 240, 1}},
    {.id = M::IMX273, .className = "CSensorIMX273", .maxWidth = 1440, .maxHeight = 1080, .clockKHz = 54545,
     .rawOrientation = kOrientationBottomUpReversed, .variantCode = 128, .hasVariantCode = true,
     .gain = {0, 480, 0, 1}, .exposureTime = {1, 20000, 42, 0}, .exposureTimeExAvailable = true,
     .blackLevel = {0, 4095, 15, 1}},
}};

constexpr bool rowsInEnumOrder() {
    for (size_t i = 0; i < kModels.size(); ++i) {
        if (static_cast<size_t>(kModels[i].id) != i) return false;
    }
    return true;
}
static_assert(rowsInEnumOrder(), "model rows must follow SensorModelId order");

ValueRange toRange(const RangeConstants& c) {
    return ValueRange{c.minimum, c.maximum, c.defaultValue, c.defaultValue, c.available};
}

} // namespace

const SensorModel& sensorModel(SensorModelId id) { return kModels[static_cast<size_t>(id)]; }

void applySensorModel(SensorDescriptor& d, const SensorModel& m) {
    d = SensorDescriptor{};
    d.maxWidth = m.maxWidth;
    d.maxHeight = m.maxHeight;
    d.defaultWidth = m.maxWidth;
    d.defaultHeight = m.lineScan ? m.maxWidth : m.maxHeight;
    d.windowAdjustH = m.ccd ? 0 : 1;
    d.windowAdjustV = m.ccd ? 0 : 1;
    d.windowWidth = d.defaultWidth;
    d.windowHeight = d.defaultHeight;
    d.lineLength = m.lineLength;
    d.frameLength = m.frameLength;
    d.globalGain = toRange(m.gain);
    d.exposureLines = toRange(m.exposureLines);
    d.exposureLines.available = 1;
    if (m.colorGainsFollowGain) {
        d.colorGainRed = d.colorGainGreen1 = d.colorGainGreen2 = d.colorGainBlue = d.globalGain;
    }
    d.exposureTime = toRange(m.exposureTime);
    d.blackLevel = toRange(m.blackLevel);
    d.gainStage = toRange(m.gainStage);
    if (m.exposureTimeExAvailable) {
        d.exposureTimeExAvailable = 1;
        d.exposureTimeExMin = m.exposureTime.minimum / kTenthsOfMsPerSecond;
        d.exposureTimeExMax = m.exposureTime.maximum / kTenthsOfMsPerSecond;
        d.exposureTimeExDefault = m.exposureTime.defaultValue / kTenthsOfMsPerSecond;
        d.exposureTimeEx = d.exposureTimeExDefault;
    }
    d.mirrorVInSensor = m.mirrorInSensor ? 1 : 0;
    d.mirrorHInSensor = m.mirrorInSensor ? 1 : 0;
    d.transferBits = m.transferBits;
    d.clockKHz = m.clockKHz;
    d.rawOrientation = m.rawOrientation;
}

} // namespace lumvek
