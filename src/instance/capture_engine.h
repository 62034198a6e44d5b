#pragma once
// The capture engine of an SDK instance: the image buffers a frame passes
// through, the window cut from each delivered frame, the frame records and
// callback fields of the frame messages, the frame rate, and the per-frame
// work shared by the frame loop and SnapShot (read the newest frame, process
// it, publish the finished picture, stage it for the preview, hand it to the
// application's buffer). One lock, the frame lock, guards all of it; it is
// held for one frame's processing and for nothing that waits (frame waits,
// USB round trips, disk or display work happen outside it).
//
// Lock order: taken after the camera session's lock, before the defect
// planes' mask lock and the leaves (controls, picture, preview, state,
// error history).
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "LumvekSdk.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/image_buffer.h"
#include "imaging/pipeline/frame_pipeline.h"
#include "instance/camera_session.h"
#include "instance/error_reporter.h"
#include "instance/finished_picture.h"
#include "instance/image_controls.h"
#include "instance/preview_window.h"
#include "instance/stream_statistics.h"
#include "platform/sync/thread_annotations.h"
#include "settings/settings_records.h"

namespace lumvek {

// The image buffers of an instance. The reference frames and defect masks
// live in the defect planes, the preview's scaling buffer in the preview.
enum class BufferId : int {
    Raw8,
    Raw16,
    Out24,
    Out32,
    Out48,
    Out64,
    // The full frame the device delivers when it is larger than the capture
    // window (the R13 reads out its whole sensor): the window is cut from it.
    Delivery,
    Count
};

// What the device's window and mirrors are, as configure() found them.
struct FrameGeometry {
    int mode = 0;               // colour-mode index
    CaptureWindow window;       // cut out of each delivered frame
    int deliveredWidth = 0;     // what the device delivers
    int deliveredHeight = 0;
    bool deviceMirrorsV = false;
    bool deviceMirrorsH = false;
};

class CaptureEngine {
public:
    CaptureEngine(ImageControls& controls, PreviewWindow& preview, FinishedPicture& finished, ErrorReporter& errors)
        : controls_(controls), preview_(preview), finished_(finished), errors_(errors) {}

    // Initialize: the empty buffer objects, the pipeline and the reference
    // frames. makeBuffers is false when a buffer object could not be made,
    // makePlanes when the reference frames could not be allocated.
    [[nodiscard]] bool makeBuffers() EXCLUDES(lock_);
    [[nodiscard]] bool makePlanes(int width, int height) EXCLUDES(lock_);
    void freeBuffers() EXCLUDES(lock_);
    // The planes live from Initialize to the destructor (null before).
    [[nodiscard]] DefectPlanes* planes() EXCLUDES(lock_);

    // The capture window (the settings store's record) and the configuration list.
    [[nodiscard]] CaptureWindowRecord window() const EXCLUDES(lock_);
    void setWindow(const CaptureWindowRecord& window) EXCLUDES(lock_);
    [[nodiscard]] std::vector<std::pair<int32_t, int32_t>> configList() const EXCLUDES(lock_);
    void setConfigList(std::vector<std::pair<int32_t, int32_t>> pairs) EXCLUDES(lock_);

    // Fixes the mode and window frames use and makes the buffers they need
    // (a finished picture of another size or depth is dropped). False when
    // memory runs out.
    [[nodiscard]] bool configure(const FrameGeometry& geometry) EXCLUDES(lock_);
    [[nodiscard]] CaptureWindow frameWindow() const EXCLUDES(lock_);

    void setCallback(HWND window, void* buffer, int size, int topDown) EXCLUDES(lock_);
    [[nodiscard]] HWND callbackWindow() const EXCLUDES(lock_);
    void restartFrameRate() EXCLUDES(lock_);
    [[nodiscard]] int frameRateX10() const { return frameRateX10_.load(); }
    [[nodiscard]] uint32_t framesDropped() const { return framesDropped_.load(); }

    // One frame of the preview loop: read, process, publish, stage for the
    // preview, copy into the callback buffer. read false: the frame could not
    // be read (posted with lParam 8, code 8 reported). postTo: where the frame
    // message with record goes (null: none).
    struct LoopFrame {
        bool read = false;
        double irisFactor = 0.0;  // the exposure or gain correction, applied after the lock
        HWND postTo = nullptr;
        LumvekFrameInfo* record = nullptr;
        bool delivered = false;  // false: the application was behind
        DeliveryMetadata metadata;  // of the frame read
        uint64_t bytes = 0;      // raw bytes of the frame
    };
    [[nodiscard]] LoopFrame loopFrame(const FramePort& port) EXCLUDES(lock_);
    // One snapshot frame into buffer (null or size 0: none). failure: the
    // code to report (0: none).
    struct SnapFrame {
        int failure = 0;
        double irisFactor = 0.0;
        DeliveryMetadata metadata;
        uint64_t bytes = 0;
    };
    [[nodiscard]] SnapFrame snapFrame(const FramePort& port, void* buffer, int size, int topDown) EXCLUDES(lock_);
    // A copy of the raw frame of the last one read (empty when there is none).
    [[nodiscard]] bool copyRawFrame(ImageBuffer& out) EXCLUDES(lock_);

    // use(picture, bits per output pixel) on the last finished picture: the
    // published one, or (until pictures are published) the output buffer
    // under the frame lock. False when there is none.
    // *metadata (when given) receives the metadata of that picture's frame.
    template <typename Use>
    bool readLatest(Use&& use, DeliveryMetadata* metadata = nullptr) EXCLUDES(lock_) {
        if (finished_.read(use, metadata)) {
            return true;
        }
        finished_.want();  // from the next frame on, readers do not wait for the frame lock
        platform::MutexLock hold(lock_);
        if (metadata != nullptr) {
            *metadata = outputMetadata_;
        }
        return readOutput(use);
    }

    // A frame the loop or SnapShot read has been handed to the application
    // (called after the frame lock is left): its metadata becomes the latest
    // delivered, and the statistics count it.
    void handedOver(LumvekFrameInfo* record, DeliveryMetadata metadata, uint64_t bytes) EXCLUDES(lock_);
    // The frame of the picture readLatest would give (GetImage) becomes the
    // latest delivered.
    void pictureTaken(const DeliveryMetadata& metadata) { delivered_.delivered(metadata); }
    [[nodiscard]] const DeliveredFrames& deliveredFrames() const { return delivered_; }
    [[nodiscard]] DeliveryStatistics& statistics() { return statistics_; }
    // The index of record among the frame records (-1: not one of them).
    [[nodiscard]] int recordIndex(const LumvekFrameInfo* record) const NO_THREAD_SAFETY_ANALYSIS;

    // Copies picture to the caller; a buffer too small posts lParam 5 to
    // callbackWindow (if set) and reports code 5.
    bool copyPicture(const ImageBuffer& picture, void* buffer, int size, int topDown, HWND callbackWindow);

    // For tests and diagnostics.
    [[nodiscard]] const ImageBuffer* buffer(BufferId id) const EXCLUDES(lock_);
    [[nodiscard]] platform::Mutex& lock() RETURN_CAPABILITY(lock_) { return lock_; }

private:
    [[nodiscard]] ImageBuffer& buf(BufferId id) REQUIRES(lock_) { return *buffers_[static_cast<int>(id)]; }
    [[nodiscard]] ImageBuffer& rawBuffer() REQUIRES(lock_);
    [[nodiscard]] ImageBuffer& outputBuffer() REQUIRES(lock_);
    // Reads the newest frame; *metadata receives its stamp, mode and window.
    // rowsLater: the frame may stay in the camera's ring (pinned_) for the
    // chain to copy its rows in as it reaches them.
    bool readFrame(const FramePort& port, DeliveryMetadata* metadata, bool rowsLater = false) REQUIRES(lock_);
    // Processes the raw frame; metadata receives the exposure and gain it used.
    [[nodiscard]] double processFrame(DeliveryMetadata& metadata, RowDelivery delivery = {}, bool* delivered = nullptr)
        REQUIRES(lock_);
    // The frames lost since the last delivered one, and this one becomes it.
    void countLostBefore(DeliveryMetadata& metadata) REQUIRES(lock_);
    [[nodiscard]] bool applicationIsBehind() const REQUIRES(lock_);
    void updateFrameRate() REQUIRES(lock_);
    void stagePreview() REQUIRES(lock_);
    void publishPicture() REQUIRES(lock_);
    template <typename Use>
    bool readOutput(Use& use) REQUIRES(lock_) {
        const ImageBuffer& output = outputBuffer();
        if (!outputFinished_ || output.empty()) {
            return false;
        }
        use(output, outputBits());
        return true;
    }
    [[nodiscard]] int outputBits() const REQUIRES(lock_);
    void postFrameMessage(HWND window, uintptr_t wParam, intptr_t lParam);

    ImageControls& controls_;
    PreviewWindow& preview_;
    FinishedPicture& finished_;
    ErrorReporter& errors_;

    mutable platform::Mutex lock_;
    std::array<std::unique_ptr<ImageBuffer>, static_cast<int>(BufferId::Count)> buffers_ GUARDED_BY(lock_){};
    std::unique_ptr<DefectPlanes> planes_ GUARDED_BY(lock_);
    std::unique_ptr<FramePipeline> pipeline_ GUARDED_BY(lock_);
    // The frame readFrame left in the camera's ring, held there until
    // processFrame has copied every row of it into the raw buffer.
    std::optional<PinnedFrame> pinned_ GUARDED_BY(lock_);
    CaptureWindowRecord window_ GUARDED_BY(lock_);
    std::vector<std::pair<int32_t, int32_t>> configList_ GUARDED_BY(lock_);
    FrameGeometry geometry_ GUARDED_BY(lock_);
    // The output buffer holds a finished picture of the configured format
    // (false once configure() changed its size or depth).
    bool outputFinished_ GUARDED_BY(lock_) = false;
    // Callback delivery.
    HWND callbackWindow_ GUARDED_BY(lock_) = nullptr;
    void* callbackBuffer_ GUARDED_BY(lock_) = nullptr;
    int callbackSize_ GUARDED_BY(lock_) = 0;
    int callbackTopDown_ GUARDED_BY(lock_) = 0;
    // Frame records handed out with the frame messages: a ring, so a record
    // stays untouched while the application reads it until well after the
    // next message has been posted.
    static constexpr int kFrameRecords = 4;
    std::array<LumvekFrameInfo, kFrameRecords> frameRecords_ GUARDED_BY(lock_){};
    int nextFrameRecord_ GUARDED_BY(lock_) = 0;
    LumvekFrameInfo droppedRecord_ GUARDED_BY(lock_){};  // what a frame not delivered fills instead
    uint32_t frameCount_ GUARDED_BY(lock_) = 0;
    uint32_t lastRateTime_ GUARDED_BY(lock_) = 0;
    std::atomic<uint32_t> framesDropped_{0};  // frames not delivered: the application was behind
    // The frame in the output buffer, and the frame number of the last one delivered.
    DeliveryMetadata outputMetadata_ GUARDED_BY(lock_);
    uint64_t lastDeliveredNumber_ GUARDED_BY(lock_) = 0;
    DeliveryStatistics statistics_;  // lock-free
    DeliveredFrames delivered_;    // its own leaf lock
    std::atomic<int32_t> frameRateX10_{0};
};

} // namespace lumvek
