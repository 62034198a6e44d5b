#pragma once
// The reference frames and defect masks of one SDK instance, at 8 and 16
// bits: dark and white reference frames of the full sensor, and the dark
// (hot pixel) and white (dead pixel) masks derived from them. All of them
// are guarded by the mask lock; the only way to reach them is an Access,
// which holds that lock for its lifetime. The capture engine takes it inside
// the frame lock, never the other way round.
//
// A plane that still holds its initial contents is the process's shared
// read-only plane of that size, depth and value (fetched when first read;
// the zero ones are never resident), so an instance whose references were
// never taken costs next to no memory. Writers ask for a writable plane and
// get a private copy first.
#include <mutex>

#include "imaging/correction/capture_window.h"
#include "imaging/correction/shared_plane.h"
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

    // Sets the eight planes at the given size (the sensor's by default) to
    // their initial contents: dark references 0, white references 255 /
    // 65535, masks 0. Nothing is allocated until a plane is read or written.
    [[nodiscard]] bool create(int width = kSensorWidth, int height = kSensorHeight);

    class Access {
    public:
        explicit Access(DefectPlanes& planes) : lock_(planes.maskLock_), planes_(planes) {}
        // The planes to read: valid while this Access lives, until the same
        // plane is asked for writable. Empty when memory ran out.
        [[nodiscard]] const ImageBuffer& reference(PlaneDepth depth, ReferenceKind kind) {
            return planes_.references_[index(depth, kind)].read();
        }
        [[nodiscard]] const ImageBuffer& mask(PlaneDepth depth, ReferenceKind kind) {
            return planes_.masks_[index(depth, kind)].read();
        }
        // The planes to write: this instance's private copy, made first
        // when the plane is still shared; nullptr when memory runs out.
        [[nodiscard]] ImageBuffer* writableReference(PlaneDepth depth, ReferenceKind kind) {
            return planes_.references_[index(depth, kind)].write();
        }
        [[nodiscard]] ImageBuffer* writableMask(PlaneDepth depth, ReferenceKind kind) {
            return planes_.masks_[index(depth, kind)].write();
        }
        // Whether the plane is this instance's own copy (it was written).
        [[nodiscard]] bool referenceIsPrivate(PlaneDepth depth, ReferenceKind kind) const {
            return planes_.references_[index(depth, kind)].isPrivate();
        }
        [[nodiscard]] bool maskIsPrivate(PlaneDepth depth, ReferenceKind kind) const {
            return planes_.masks_[index(depth, kind)].isPrivate();
        }
        // Rebuilds one mask from its reference frame. False when memory runs out.
        bool buildMask(PlaneDepth depth, ReferenceKind kind);
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
    // frames and masks in place under it (a plane holding only its initial
    // contents goes back to the shared one); copy is left with the old
    // private planes, or empty ones.
    [[nodiscard]] bool replaceReferences(ReferenceCopy& copy);

private:
    std::mutex maskLock_;              // the mask lock: guards references_ and masks_
    CopyOnWritePlane references_[4];   // [depth * 2 + kind]
    CopyOnWritePlane masks_[4];
};

} // namespace lumvek
