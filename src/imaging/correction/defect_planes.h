#pragma once
// The reference frames and defect masks of one SDK instance, at 8 and 16
// bits: dark and white reference frames of the full sensor, and the dark
// (hot pixel) and white (dead pixel) masks derived from them. All of them
// are guarded by the mask lock; the only way to reach them is an Access,
// which holds that lock for its lifetime. The capture engine takes it inside
// the frame lock, never the other way round.
#include <mutex>

#include "imaging/correction/capture_window.h"
#include "imaging/image_buffer.h"
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

enum class PlaneDepth { Bits8 = 0, Bits16 = 1 };
enum class ReferenceKind { Dark = 0, White = 1 };

// BuildMask: inside a two-pixel border, mask = 1 where the reference
// qualifies (dark: above 192 / 12288; white: below 64 / 4096), else 0. The
// border is left as it is. reference and mask must have the same size and
// depth (1 or 2 bytes per pixel); returns false otherwise.
[[nodiscard]] bool buildDefectMask(const PlaneView& reference, const PlaneView& mask, ReferenceKind kind);

class DefectPlanes {
public:
    DefectPlanes() = default;
    DefectPlanes(const DefectPlanes&) = delete;
    DefectPlanes& operator=(const DefectPlanes&) = delete;

    // Makes the eight planes at the given size (the sensor's by default):
    // dark references 0, white references 255 / 65535, masks 0.
    [[nodiscard]] bool create(int width = kSensorWidth, int height = kSensorHeight);

    class Access {
    public:
        explicit Access(DefectPlanes& planes) : lock_(planes.maskLock_), planes_(planes) {}
        [[nodiscard]] ImageBuffer& reference(PlaneDepth depth, ReferenceKind kind) {
            return planes_.references_[index(depth, kind)];
        }
        [[nodiscard]] ImageBuffer& mask(PlaneDepth depth, ReferenceKind kind) {
            return planes_.masks_[index(depth, kind)];
        }
        // Rebuilds one mask from its reference frame.
        bool buildMask(PlaneDepth depth, ReferenceKind kind) {
            return buildDefectMask(viewOf(reference(depth, kind)), viewOf(mask(depth, kind)), kind);
        }
        void buildAllMasks() {
            for (PlaneDepth d : {PlaneDepth::Bits8, PlaneDepth::Bits16}) {
                for (ReferenceKind k : {ReferenceKind::Dark, ReferenceKind::White}) {
                    (void)buildMask(d, k);
                }
            }
        }

    private:
        static size_t index(PlaneDepth depth, ReferenceKind kind) {
            return static_cast<size_t>(depth) * 2 + static_cast<size_t>(kind);
        }
        std::lock_guard<std::mutex> lock_;
        DefectPlanes& planes_;
    };

    // Takes the mask lock until the Access is destroyed.
    [[nodiscard]] Access access() { return Access(*this); }

    // The four reference frames apart from the instance's, [depth * 2 + kind]:
    // work that takes long (a 24 MB file read or write) is done on a copy,
    // so the frame loop never waits for it on the mask lock.
    // The masks come along: a rebuilt mask keeps its border as it was.
    struct ReferenceCopy {
        ImageBuffer references[4];
        ImageBuffer masks[4];
    };
    // Copies frames and masks (under the mask lock, for as long as the copy takes).
    [[nodiscard]] bool copyReferences(ReferenceCopy& copy);
    // Rebuilds copy's masks from its frames outside the lock, then puts
    // frames and masks in place under it; copy is left with the old ones.
    [[nodiscard]] bool replaceReferences(ReferenceCopy& copy);

private:
    std::mutex maskLock_;           // the mask lock: guards references_ and masks_
    ImageBuffer references_[4];     // [depth * 2 + kind]
    ImageBuffer masks_[4];
};

} // namespace lumvek
