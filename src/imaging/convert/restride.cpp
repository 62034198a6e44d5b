#include "imaging/convert/restride.h"

#include <cstddef>
#include <cstring>

namespace lumvek {

bool needsRestride(const ImageBuffer& raw) {
    return !raw.empty() && static_cast<int64_t>(raw.width()) * raw.bytesPerPixel() != raw.stride();
}

void restridePackedRows(ImageBuffer& raw, KernelPath path) {
    if (!needsRestride(raw)) {
        return;
    }
    uint8_t* base = raw.pixels();
    const size_t bpp = static_cast<size_t>(raw.bytesPerPixel());
    const size_t packedRow = static_cast<size_t>(raw.width()) * bpp;
    const size_t stride = static_cast<size_t>(raw.stride());
    // Row 0 is already in place; rows move only towards the end.
    for (size_t r = static_cast<size_t>(raw.height()) - 1; r > 0; --r) {
        const uint8_t* from = base + r * packedRow;
        uint8_t* to = base + r * stride;
        if (path == KernelPath::Optimised) {
            std::memmove(to, from, packedRow);  // memmove copies overlapping ranges as the backward walk does
            continue;
        }
        for (size_t c = packedRow; c-- > 0;) {
            to[c] = from[c];
        }
    }
}

void restridePackedRows(ImageBuffer& raw) {
    restridePackedRows(raw, kernelPathFromEnvironment());
}

} // namespace lumvek
