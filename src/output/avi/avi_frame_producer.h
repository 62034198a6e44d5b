#pragma once
// Turns the capture engine's output picture of any colour mode into one AVI
// frame: 24 bits, bottom line first. The buffers are made once per
// recording at the size taken when it started; a picture of another size is
// clipped by the conversions.
#include "imaging/image_buffer.h"

namespace lumvek {

class AviFrameProducer {
public:
    // Makes the work buffers; false when memory is short.
    [[nodiscard]] bool prepare(int width, int height);

    // Converts picture (8, 16, 24, 32, 48 or 64 bits per pixel) and returns
    // the frame, or null for an unknown depth. 8 bits: grey to 24 bits, then
    // flipped; 16 bits: bits 2..9 of each sample, flipped, then to 24 bits;
    // 24 and 32 bits: first three bytes, flipped; 48 and 64 bits: high bytes
    // of the first three samples, flipped.
    [[nodiscard]] const ImageBuffer* produce(const ImageBuffer& picture);
    // The same into frame (24 bits, the prepared size): false for an unknown
    // depth or an unprepared producer.
    [[nodiscard]] bool produceInto(const ImageBuffer& picture, ImageBuffer& frame);

private:
    ImageBuffer frameA_;  // 24-bit
    ImageBuffer frameB_;  // 24-bit
    ImageBuffer grey_;    // 8-bit
};

} // namespace lumvek
