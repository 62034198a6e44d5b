#include "imaging/convert/output_copy.h"

#include <cstdint>
#include <cstring>

namespace lumvek {

size_t callerBytesFor(const ImageBuffer& picture) {
    return picture.empty() ? 0 : picture.sizeBytes();
}

bool copyToCaller(const ImageBuffer& picture, void* dst, size_t size, bool topDown) {
    if (picture.empty() || dst == nullptr || size < callerBytesFor(picture)) {
        return false;
    }
    if (topDown) {
        std::memcpy(dst, picture.pixels(), picture.sizeBytes());
        return true;
    }
    auto* out = static_cast<uint8_t*>(dst);
    const size_t stride = static_cast<size_t>(picture.stride());
    for (int r = picture.height() - 1; r >= 0; --r) {
        std::memcpy(out, picture.row(r), stride);
        out += stride;
    }
    return true;
}

} // namespace lumvek
