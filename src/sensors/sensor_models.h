#pragma once
// The constructor constants of every sensor driver of the family, kept as
// data: one row per driver class, applied to the descriptor by the class's
// constructor. Behaviour that differs between models lives in the classes.
#include <cstdint>

#include "sensors/sensor_descriptor.h"

namespace lumvek {

enum class SensorModelId {
    MT9F001, MT9F002, MT9P001, MT9J001, ICX274, R13, R07, R11,
    IMX178, IMX174, IMX183, IMX159, R15, R06, R02, R01, R05, R14, R10,
    IMX250, IMX264, IMX252, R04, R08, IMX226, R03, R09, G1467x,
    IMX990, IMX991, LI7050, GLUX9701, R12, IMX536, IMX487, IMX273,
};
inline constexpr int kSensorModelCount = 36;

// minimum, maximum, default (current starts at the default).
struct RangeConstants {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t defaultValue = 0;
    int32_t available = 0;
};

struct SensorModel {
    SensorModelId id;
    const char* className;
    int32_t maxWidth = 0;
    int32_t maxHeight = 0;
    bool lineScan = false;  // frames of up to 32768 lines; default height = width
    int32_t clockKHz = 0;
    int32_t rawOrientation = 0;  // 0 = not set
    int32_t variantCode = 0;     // set by the constructor when hasVariantCode
    bool hasVariantCode = false;
    bool ccd = false;  // CCD read out whole: the window may not change
    RangeConstants gain{};
    RangeConstants exposureTime{};        // 0.1 ms
    RangeConstants exposureLines{};       // available is always 1
    bool colorGainsFollowGain = false;  // the MT9 chips' colour-gain ranges
    int32_t transferBits = 0;
    bool exposureTimeExAvailable = false;
    RangeConstants blackLevel{};
    RangeConstants gainStage{};
    int32_t lineLength = 0;
    int32_t frameLength = 0;
    bool mirrorInSensor = false;
};

[[nodiscard]] const SensorModel& sensorModel(SensorModelId id);

// Writes a model's constants into a zeroed descriptor: sizes, default and
// programmed window, ranges with current = default, clock, orientation,
// mirror flags, seconds-based range (from the 0.1 ms range) when offered.
void applySensorModel(SensorDescriptor& descriptor, const SensorModel& model);

} // namespace lumvek
