#include "output/avi/avi_frame_producer.h"

#include "imaging/convert/conversion_kernels.h"

namespace lumvek {

bool AviFrameProducer::prepare(int width, int height) {
    return frameA_.create(width, height, 24) && frameB_.create(width, height, 24) && grey_.create(width, height, 8);
}

const ImageBuffer* AviFrameProducer::produce(const ImageBuffer& picture) {
    if (frameA_.empty() || picture.empty()) {
        return nullptr;
    }
    switch (picture.bitsPerPixel()) {
    case 8:
        convertImage(frameB_, Conversion::Grey8To24, picture, picture.colorTable().data());
        convertImage(frameA_, Conversion::Copy24Flipped, frameB_);
        return &frameA_;
    case 16:
        convertImage(grey_, Conversion::TenBitTo8Flipped, picture);
        convertImage(frameA_, Conversion::Grey8To24, grey_, grey_.colorTable().data());
        return &frameA_;
    case 24:
    case 32:
        convertImage(frameA_, Conversion::Copy24Flipped, picture);
        return &frameA_;
    case 48:
    case 64:
        convertImage(frameB_, Conversion::HighBytesTo24Flipped, picture);
        return &frameB_;
    default:
        return nullptr;
    }
}

bool AviFrameProducer::produceInto(const ImageBuffer& picture, ImageBuffer& frame) {
    if (frameA_.empty() || picture.empty() || frame.bitsPerPixel() != 24) {
        return false;
    }
    switch (picture.bitsPerPixel()) {
    case 8:
        convertImage(frameB_, Conversion::Grey8To24, picture, picture.colorTable().data());
        convertImage(frame, Conversion::Copy24Flipped, frameB_);
        return true;
    case 16:
        convertImage(grey_, Conversion::TenBitTo8Flipped, picture);
        convertImage(frame, Conversion::Grey8To24, grey_, grey_.colorTable().data());
        return true;
    case 24:
    case 32:
        convertImage(frame, Conversion::Copy24Flipped, picture);
        return true;
    case 48:
    case 64:
        convertImage(frame, Conversion::HighBytesTo24Flipped, picture);
        return true;
    default:
        return false;
    }
}

} // namespace lumvek
