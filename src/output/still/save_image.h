#pragma once
// Saving the current output picture to a still-image file: what
// Lumvek_SaveImage does once the instance has checked its state and taken
// the frame lock.
#include "imaging/image_buffer.h"

namespace lumvek {

enum class StillFileType : int { Bmp = 0, Raw = 1, Jpeg100 = 2, Jpeg70 = 3, Jpeg20 = 4, Png = 5, Tiff = 6 };

struct SaveOutcome {
    int result = 0;     // 1 saved, 0 failed
    int errorCode = 0;  // code to report, 0 for none
};

// Writes picture (the output buffer of the colour mode with colourModeBits
// bits per pixel) to path as fileType:
// - picture empty or of another depth than colourModeBits: {0, 1};
// - unknown file type (not 0..6): {0, 0}, nothing reported;
// - null, empty or unopenable path, write error, library error: {0, 0};
// - success: {1, 0}.
[[nodiscard]] SaveOutcome saveImage(const ImageBuffer& picture, int colourModeBits, const char* path, int fileType);

} // namespace lumvek
