// CLumvek: still images, recordings, reference frames and mask files, and
// the settings dialogs.
#include <cstring>

#include "instance/colour_modes.h"
#include "instance/lumvek.h"
#include "platform/log/log.h"
#include "output/mask/mask_file.h"
#include "output/still/save_image.h"

namespace lumvek {

namespace {
constexpr int kMaskDark = 0;
constexpr int kMaskWhite = 1;
} // namespace

bool CLumvek::RecorderSource::withNewestPicture(const std::function<void(const ImageBuffer& picture)>& use) {
    if (self_.state_.refusal(InstanceOperation::ReadPicture) != 0) {
        return false;
    }
    return self_.engine_.readLatest([&](const ImageBuffer& picture, int) { use(picture); });
}

int CLumvek::SaveImage(const char* path, int fileType) {
    if (!admit(InstanceOperation::SavePicture)) {
        return 0;
    }
    // The picture is copied under its lock and written after it is released:
    // a PNG of a full frame takes over a second, which the camera must not
    // wait for.
    ImageBuffer picture;
    int bits = 0;
    bool made = true;
    const bool kept = engine_.readLatest([&](const ImageBuffer& finished, int finishedBits) {
        bits = finishedBits;
        made = picture.createLike(finished);
        if (made) {
            std::memcpy(picture.pixels(), finished.pixels(), finished.sizeBytes());
        }
    });
    if (!kept || !made) {
        ReportError(kept ? LUMVEK_ERR_MEMORY : LUMVEK_ERR_STATE);
        return 0;
    }
    platform::logf(platform::LogCategory::Output, "save: writing file type %d", fileType);
    const SaveOutcome outcome = saveImage(picture, bits, path, fileType);
    platform::logf(platform::LogCategory::Output, "save: written (%d)", outcome.result);
    if (outcome.errorCode != 0) {
        ReportError(outcome.errorCode);
    }
    return outcome.result;
}

int CLumvek::Record(const char* path, int milliseconds, int showWindow) {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::Record)) {
        return 0;
    }
    if (path == nullptr || *path == '\0' || milliseconds < 0) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    engine_.setCallback(nullptr, nullptr, 0, 0);
    if (showWindow != 0 && !createPreviewWindowIfWanted()) {
        return 0;
    }
    if (!startPreviewLocked()) {
        (void)stopPreviewLocked();
        ReportError(LUMVEK_ERR_CONVERSION);
        return 0;
    }
    const CaptureWindow window = engine_.frameWindow();
    const int code = recorder_->start(path, window.width, window.height, static_cast<uint32_t>(milliseconds));
    if (code != 0) {
        (void)stopPreviewLocked();
        ReportError(code);
        return 0;
    }
    return 1;
}

namespace {
ReferencePlanes referencePlanes(DefectPlanes::ReferenceCopy& copy) {
    return ReferencePlanes{copy.references[0], copy.references[1], copy.references[2], copy.references[3]};
}

} // namespace

int CLumvek::SaveMaskFile(const char* path) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    // The file is written from a copy: the frame loop's corrections never
    // wait for the disk. The planes live from Initialize to the destructor.
    DefectPlanes* planes = engine_.planes();
    DefectPlanes::ReferenceCopy copy;
    if (planes == nullptr || !planes->copyReferences(copy)) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    const MaskFileOutcome outcome = saveMaskFile(path, referencePlanes(copy));
    if (outcome.errorCode != 0) {
        ReportError(outcome.errorCode);
    }
    return outcome.result;
}

int CLumvek::LoadMaskFile(const char* path) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    DefectPlanes* planes = engine_.planes();
    // Read into a copy (a short file keeps the rest of each plane) and put in
    // place whole, masks rebuilt: the pipeline never sees a half-read plane
    // or a half-built mask, and never waits for the disk.
    DefectPlanes::ReferenceCopy copy;
    if (planes == nullptr || !planes->copyReferences(copy)) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    const MaskFileOutcome outcome = loadMaskFile(path, referencePlanes(copy));
    if (outcome.result == 1 && !planes->replaceReferences(copy)) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    if (outcome.errorCode != 0) {
        ReportError(outcome.errorCode);
    }
    return outcome.result;
}

int CLumvek::UpdateMaskData(int kind) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    // The raw frame is copied under the frame lock; the reference is written
    // and its mask rebuilt after it is released (under the mask lock only).
    ImageBuffer frame;
    const bool copyFailed = !engine_.copyRawFrame(frame);
    const PlaneDepth depth = frame.bitsPerPixel() == 16 ? PlaneDepth::Bits16 : PlaneDepth::Bits8;
    if (frame.width() != kFullWidth || frame.height() != kFullHeight) {
        frame.destroy();  // only a full frame becomes a reference
    }
    DefectPlanes* planes = engine_.planes();
    if (planes == nullptr) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    const ReferenceKind referenceKind = kind == kMaskDark ? ReferenceKind::Dark : ReferenceKind::White;
    bool badKind = false;
    bool outOfMemory = copyFailed;
    {
        auto access = planes->access();
        if (!frame.empty()) {
            if (kind == kMaskDark || kind == kMaskWhite) {
                // The instance's own copy: the shared initial plane is never written.
                ImageBuffer* reference = access.writableReference(depth, referenceKind);
                if (reference == nullptr) {
                    outOfMemory = true;
                } else if (reference->sizeBytes() == frame.sizeBytes()) {
                    std::memcpy(reference->pixels(), frame.pixels(), frame.sizeBytes());
                }
            } else {
                badKind = true;
            }
        }
        outOfMemory = !access.buildMask(depth, referenceKind) || outOfMemory;
    }
    if (outOfMemory) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    if (badKind) {
        ReportError(LUMVEK_ERR_CONVERSION);
        return 0;
    }
    return 1;
}

} // namespace lumvek
