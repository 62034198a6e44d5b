#include "imaging/correction/defect_planes.h"

#include <cstring>

namespace lumvek {

namespace {

constexpr int kDarkLimit8 = 192;
constexpr int kDarkLimit16 = 12288;
constexpr int kWhiteLimit8 = 64;
constexpr int kWhiteLimit16 = 4096;
constexpr int kMaskBorder = 2;

template <typename Sample>
void buildRows(const PlaneView& reference, const PlaneView& mask, ReferenceKind kind) {
    const bool wide = sizeof(Sample) == 2;
    for (int y = kMaskBorder; y < reference.height - kMaskBorder; ++y) {
        const auto* src = reinterpret_cast<const Sample*>(reference.row(y));
        auto* dst = reinterpret_cast<Sample*>(mask.row(y));
        for (int x = kMaskBorder; x < reference.width - kMaskBorder; ++x) {
            const int v = src[x];
            const bool qualifies = kind == ReferenceKind::Dark ? v > (wide ? kDarkLimit16 : kDarkLimit8)
                                                               : v < (wide ? kWhiteLimit16 : kWhiteLimit8);
            dst[x] = qualifies ? 1 : 0;
        }
    }
}

} // namespace

bool buildDefectMask(const PlaneView& reference, const PlaneView& mask, ReferenceKind kind) {
    if (reference.empty() || mask.empty() || reference.width != mask.width || reference.height != mask.height ||
        reference.bytesPerPixel != mask.bytesPerPixel || (reference.bytesPerPixel != 1 && reference.bytesPerPixel != 2)) {
        return false;
    }
    if (reference.bytesPerPixel == 1) {
        buildRows<uint8_t>(reference, mask, kind);
    } else {
        buildRows<uint16_t>(reference, mask, kind);
    }
    return true;
}

bool DefectPlanes::copyReferences(ReferenceCopy& copy) {
    const auto copyOf = [](const ImageBuffer& from, ImageBuffer& to) {
        if (!to.createLike(from)) {
            return false;
        }
        std::memcpy(to.pixels(), from.pixels(), from.sizeBytes());
        return true;
    };
    std::lock_guard lock(maskLock_);
    for (size_t i = 0; i < 4; ++i) {
        if (!copyOf(references_[i], copy.references[i]) || !copyOf(masks_[i], copy.masks[i])) {
            return false;
        }
    }
    return true;
}

bool DefectPlanes::replaceReferences(ReferenceCopy& copy) {
    for (size_t i = 0; i < 4; ++i) {
        const auto kind = static_cast<ReferenceKind>(i % 2);
        if (!buildDefectMask(viewOf(copy.references[i]), viewOf(copy.masks[i]), kind)) {
            return false;
        }
    }
    std::lock_guard lock(maskLock_);
    for (size_t i = 0; i < 4; ++i) {
        references_[i].swap(copy.references[i]);
        masks_[i].swap(copy.masks[i]);
    }
    return true;
}

bool DefectPlanes::create(int width, int height) {
    std::lock_guard lock(maskLock_);
    for (int depth = 0; depth < 2; ++depth) {
        const int bits = depth == 0 ? 8 : 16;
        for (int kind = 0; kind < 2; ++kind) {
            const auto i = static_cast<size_t>(depth * 2 + kind);
            if (!references_[i].create(width, height, bits) || !masks_[i].create(width, height, bits)) {
                return false;
            }
            if (kind == static_cast<int>(ReferenceKind::White)) {
                std::memset(references_[i].pixels(), 0xFF, references_[i].sizeBytes());
            }
        }
    }
    return true;
}

} // namespace lumvek
