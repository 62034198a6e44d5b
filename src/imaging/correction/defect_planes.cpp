#include "imaging/correction/defect_planes.h"

namespace lumvek {

namespace {

constexpr int kDarkLimit8 = 192;
constexpr int kDarkLimit16 = 12288;
constexpr int kWhiteLimit8 = 64;
constexpr int kWhiteLimit16 = 4096;
constexpr int kMaskBorder = 2;
constexpr uint8_t kWhiteFill = 0xFF;  // 255, and 65535 in 16-bit samples

uint8_t initialFill(ReferenceKind kind) { return kind == ReferenceKind::White ? kWhiteFill : 0; }

// The mask value that a reference holding only `fill` bytes gives inside the border.
int maskOfUniform(uint8_t fill, PlaneDepth depth, ReferenceKind kind) {
    const bool wide = depth == PlaneDepth::Bits16;
    const int v = wide ? fill * 0x101 : fill;
    const bool qualifies = kind == ReferenceKind::Dark ? v > (wide ? kDarkLimit16 : kDarkLimit8)
                                                       : v < (wide ? kWhiteLimit16 : kWhiteLimit8);
    return qualifies ? 1 : 0;
}

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
            // Written only where it changes: a fresh mask's zero pages stay
            // untouched (and not resident) where the reference has no defects.
            const Sample value = qualifies ? 1 : 0;
            if (dst[x] != value) {
                dst[x] = value;
            }
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

bool DefectPlanes::Access::buildMask(PlaneDepth depth, ReferenceKind kind) {
    CopyOnWritePlane& reference = planes_.references_[index(depth, kind)];
    CopyOnWritePlane& mask = planes_.masks_[index(depth, kind)];
    if (!reference.isPrivate() && !mask.isPrivate() && mask.fill() == 0 &&
        maskOfUniform(reference.fill(), depth, kind) == 0) {
        return true;  // an untouched reference gives the all-zero mask it has
    }
    const ImageBuffer& frame = reference.read();
    ImageBuffer* out = mask.write();
    if (out == nullptr || !buildDefectMask(viewOf(frame), viewOf(*out), kind)) {
        return false;
    }
    mask.shareIfInitial();  // a reference without defects gives the all-zero mask
    return true;
}

bool DefectPlanes::copyReferences(ReferenceCopy& copy) {
    std::lock_guard lock(maskLock_);
    for (size_t i = 0; i < 4; ++i) {
        if (!references_[i].copyTo(copy.references[i]) || !masks_[i].copyTo(copy.masks[i])) {
            return false;
        }
    }
    return true;
}

bool DefectPlanes::replaceReferences(ReferenceCopy& copy) {
    bool initial[8] = {};  // references, then masks: holding only their initial bytes
    for (size_t i = 0; i < 4; ++i) {
        const auto kind = static_cast<ReferenceKind>(i % 2);
        if (!buildDefectMask(viewOf(copy.references[i]), viewOf(copy.masks[i]), kind)) {
            return false;
        }
        // Scanned here, outside the lock the frame loop waits on.
        initial[i] = holdsOnly(copy.references[i], initialFill(kind));
        initial[4 + i] = holdsOnly(copy.masks[i], 0);
    }
    std::lock_guard lock(maskLock_);
    for (size_t i = 0; i < 4; ++i) {
        if (!references_[i].matches(copy.references[i]) || !masks_[i].matches(copy.masks[i])) {
            return false;
        }
    }
    for (size_t i = 0; i < 4; ++i) {
        if (initial[i]) {
            references_[i].restoreInitial();
            copy.references[i].destroy();
        } else {
            references_[i].adopt(copy.references[i]);
        }
        if (initial[4 + i]) {
            masks_[i].restoreInitial();
            copy.masks[i].destroy();
        } else {
            masks_[i].adopt(copy.masks[i]);
        }
    }
    return true;
}

bool DefectPlanes::create(int width, int height) {
    std::lock_guard lock(maskLock_);
    for (int depth = 0; depth < 2; ++depth) {
        const int bits = depth == 0 ? 8 : 16;
        for (int kind = 0; kind < 2; ++kind) {
            const auto i = static_cast<size_t>(depth * 2 + kind);
            if (!references_[i].reset(width, height, bits, initialFill(static_cast<ReferenceKind>(kind))) ||
                !masks_[i].reset(width, height, bits, 0)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace lumvek
