#pragma once
// What the per-frame chain reads from its SDK instance, and the buffers it
// runs on. The chain writes back only what its measurements change: the
// Bayer gains and the one-shot white-balance flags after a white-balance
// measurement, the gray gains and the measurement request after a gray-gain
// measurement.
#include <cstddef>
#include <cstdint>

#include "imaging/correction/capture_window.h"
#include "imaging/correction/gray_mode.h"
#include "imaging/image_buffer.h"

namespace lumvek {

// Colour-mode index 0..5: 8, 16, 24, 32, 48, 64 bits per output pixel.
enum ColourModeIndex { kMono8 = 0, kMono16 = 1, kColour24 = 2, kColour32 = 3, kColour48 = 4, kColour64 = 5 };

struct PipelineSettings {
    int colourMode = kColour24;
    CaptureWindow window;  // with the sub-sample mode

    bool mirrorV = false;            // the instance's mirror flags
    bool mirrorH = false;
    bool deviceMirrorsV = false;     // the device applies that flag itself
    bool deviceMirrorsH = false;

    int bayerMode = 2;               // 0..3, stored (unmirrored)
    int bayerGainRed = 100;          // percent, 0..400
    int bayerGainGreen = 100;
    int bayerGainBlue = 100;
    bool whiteBalanceAuto = false;
    bool whiteBalanceOneShot1 = false;  // both set by the dialog's one-shot button
    bool whiteBalanceOneShot2 = false;

    int hue = 0;           // -360..360 degrees
    int saturation = 0;    // -255..255
    int gamma = 100;       // 0..200 percent
    int contrast = 0;      // -127..127
    int sharpness = 0;     // 0..30
    int brightness = 0;    // -255..255

    bool maskFilter = false;
    bool dotFilter = false;
    int grayMode = 0;      // 0 none, 1 gain and offset, 2 luminance
    GrayLevels grayLevels;
    bool grayMeasureRequest = false;
};

// The instance's buffers for one frame. raw is the buffer the device filled:
// 8-bit for colour modes 8, 24, 32; 16-bit for 16, 48, 64. output is the
// colour buffer of the mode (24/32/48/64-bit) and is not used in the
// monochrome modes, whose output is raw itself. colour24, when given, is the
// instance's 24-bit buffer that gray mode 2 interpolates into; otherwise the
// pipeline uses one of its own.
// A second place for the finished picture, filled piece by piece while the
// rows are still in cache (an application's callback buffer): the picture's
// row y, stride bytes with its padding, lands at rows + y x stride, or at
// row height - 1 - y when bottomUp. The optimised colour chain honours it
// when its output is the whole picture; FrameOutcome::delivered says whether
// it did.
struct RowDelivery {
    uint8_t* rows = nullptr;
    bool bottomUp = false;
};

// Where the raw frame's rows come from when they are not in the raw buffer
// yet (the newest frame, still in the camera's ring): copyRows(context,
// rows, stride, y0, y1) puts rows [y0, y1) at rows + y * stride. The chain
// copies each row just before its first step reads it, and every row has
// been copied when process() returns.
struct RawRowSource {
    const void* context = nullptr;
    void (*copyRows)(const void* context, uint8_t* rows, size_t stride, int y0, int y1) = nullptr;
    [[nodiscard]] bool given() const { return copyRows != nullptr; }
    void copy(uint8_t* rows, size_t stride, int y0, int y1) const {
        if (copyRows != nullptr && y0 < y1) {
            copyRows(context, rows, stride, y0, y1);
        }
    }
};

struct FrameBuffers {
    ImageBuffer* raw = nullptr;
    ImageBuffer* output = nullptr;
    ImageBuffer* colour24 = nullptr;
    RowDelivery delivery;  // rows == nullptr: none
    RawRowSource rawSource;  // not given: raw holds the frame
};

// What a processed frame changed in the settings, so the instance can
// refresh an open filter dialog.
struct FrameOutcome {
    bool processed = false;          // false: the buffers do not suit the colour mode
    bool bayerGainsChanged = false;
    bool grayGainsChanged = false;
    bool delivered = false;  // the output's rows are also in FrameBuffers::delivery
};

} // namespace lumvek
