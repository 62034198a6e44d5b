#pragma once
// The block of plain words at the head of every sensor driver: sizes, the
// programmed window, value ranges, mirror flags, clock and raw orientation.
// The camera device object reads it directly and GetSensorInfo copies it out
// whole, so it stays a trivially copyable block in this exact order.
#include <cstdint>
#include <type_traits>

namespace lumvek {

// Five words: minimum, maximum, current, default, available flag.
struct ValueRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t current = 0;
    int32_t defaultValue = 0;
    int32_t available = 0;
};

struct SensorDescriptor {
    int32_t maxWidth = 0;  // full sensor size in pixels
    int32_t maxHeight = 0;
    int32_t originX = 0;  // reserved origin pair, zero in every driver
    int32_t originY = 0;
    int32_t defaultWidth = 0;  // capture window the driver starts with
    int32_t defaultHeight = 0;
    int32_t windowAdjustH = 0;  // 1 when the window may change horizontally
    int32_t windowAdjustV = 0;  // 1 when the window may change vertically
    int32_t windowX = 0;        // the window now programmed, sensor pixels;
    int32_t windowY = 0;        // width and height are the output size
    int32_t windowWidth = 0;    // after sub-sampling
    int32_t windowHeight = 0;
    int32_t lineLength = 0;     // pixel clocks per line, blanking included
    int32_t frameLength = 0;    // lines per frame, blanking included
    int32_t subSampleMode = 0;  // 0 full, 1 one half, 2 one quarter, ...
    int32_t readoutFlag = 0;    // readout flags some products' frame geometry reads
    int32_t readoutFlag2 = 0;
    ValueRange globalGain;
    ValueRange exposureLines;  // the exposure register, in sensor lines
    ValueRange colorGainRed;
    ValueRange colorGainGreen1;
    ValueRange colorGainGreen2;
    ValueRange colorGainBlue;
    ValueRange exposureTime;  // units of 0.1 ms; fifth word unused
    ValueRange blackLevel;    // fifth word: IsBlackLevelAvailable
    ValueRange gainStage;     // fifth word: IsGainStageAvailable
    double exposureTimeExMin = 0.0;  // seconds
    double exposureTimeExMax = 0.0;
    double exposureTimeEx = 0.0;
    double exposureTimeExDefault = 0.0;
    int32_t exposureTimeExAvailable = 0;
    int32_t alignmentWord = 0;  // keeps the block free of hidden padding
    double driverValue = 0.0;  // used by single drivers only
    int32_t driverWord1 = 0;
    int32_t driverWord2 = 0;
    int32_t mirrorV = 0;
    int32_t mirrorVDefault = 0;
    int32_t mirrorVInSensor = 0;  // 1: the sensor mirrors, no software flip
    int32_t mirrorH = 0;
    int32_t mirrorHDefault = 0;
    int32_t mirrorHInSensor = 0;
    int32_t transferBits = 0;  // bits per raw pixel as the driver set it; 0 = left to the layers above
    int32_t clockKHz = 0;      // pixel clock, basis of every time conversion
    int32_t rawOrientation = 0;  // 1 as read, 2 rows reversed, 3 bottom-up, 4 both
    int32_t tailWord = 0;        // keeps the block free of hidden padding
};

static_assert(std::is_trivially_copyable_v<SensorDescriptor>);
static_assert(std::is_standard_layout_v<SensorDescriptor>);
// 62 words of sizes and ranges, then the seconds block, then 12 words.
static_assert(sizeof(SensorDescriptor) == 62 * 4 + 4 * 8 + 2 * 4 + 8 + 12 * 4, "descriptor has hidden padding");

// Raw-frame orientation codes.
inline constexpr int32_t kOrientationAsRead = 1;
inline constexpr int32_t kOrientationRowsReversed = 2;
inline constexpr int32_t kOrientationBottomUp = 3;
inline constexpr int32_t kOrientationBottomUpReversed = 4;

} // namespace lumvek
