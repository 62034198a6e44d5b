#pragma once
// Records the capture engine's processed pictures into an AVI file on a
// thread of its own, for a given time.
//
// The instance plugs it in with two things: a RecorderFrameSource that
// shows the newest processed picture under the frame lock, and a call to
// notifyNewFrame() after each processed frame. The recorder converts the
// picture under the lock and writes it after releasing the lock, so the
// camera never waits for the disk.
//
// Ending: once the recording time has passed, the first new frame is
// appended and the file finalised (index and measured rate). stop() ends a
// recording early and finalises what was recorded, so every recording is a
// valid file; finalising writes only the index and the header figures.
// A frame that would take the file past the 32-bit RIFF sizes, or a failed
// write (a full disk), ends the recording the same way and is reported
// through the error sink with code 12.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "imaging/image_buffer.h"
#include "output/avi/avi_frame_producer.h"
#include "output/avi/avi_writer.h"
#include "platform/sync/event.h"

namespace lumvek {

class RecorderFrameSource {
public:
    virtual ~RecorderFrameSource() = default;
    // Called on the recorder thread: takes the instance's frame lock, calls
    // use() with the output picture of the current colour mode, releases the
    // lock. Returns false without calling use() when there is no picture.
    virtual bool withNewestPicture(const std::function<void(const ImageBuffer& picture)>& use) = 0;
};

class AviRecorder {
public:
    // Receives error codes found on the recorder thread (12: size limit
    // reached or write failed). Called on the recorder thread with no lock
    // of the recorder held; it must not call stop().
    using ErrorSink = std::function<void(int code)>;

    static constexpr int kErrorBadPath = 9;
    static constexpr int kErrorFile = 12;
    static constexpr int kErrorThread = 3;
    static constexpr int kErrorBusy = 1;

    explicit AviRecorder(RecorderFrameSource& source, ErrorSink onError = {},
                         uint64_t maxRiffBytes = avi::kMaxRiffBytes);
    ~AviRecorder();  // stop()
    AviRecorder(const AviRecorder&) = delete;
    AviRecorder& operator=(const AviRecorder&) = delete;

    // Opens path for pictures of width x height (taken under the frame lock
    // by the caller) and starts the thread. Returns 0, or the code to
    // report: 9 null or empty path, 12 file not created or size unusable, 3
    // work buffers or thread not made, 1 a recording is already running.
    [[nodiscard]] int start(const char* path, int width, int height, uint32_t durationMs);

    // The capture engine's new-frame flag; any thread, never blocks.
    void notifyNewFrame();

    // Asks a running recording to end: it finalises its file and its thread
    // ends by itself (joined by stop() or the next start()). Any thread,
    // never blocks: the frame loop uses it when the camera is lost.
    void requestStop();

    // Ends a running recording, finalising the file, and joins the thread.
    // Safe to call at any time and more than once; not from the error sink.
    // The thread may be waiting for the frame lock in withNewestPicture():
    // never call stop() (or destroy the recorder) while holding that lock.
    // start() and stop() are called from one thread at a time.
    void stop();

    [[nodiscard]] bool isRecording() const { return recording_.load(); }
    // Waits for the recording to end by itself (time passed, limit, error).
    [[nodiscard]] bool waitFinished(uint32_t timeoutMs) { return finished_.wait(timeoutMs); }
    // Frames in the file so far (after the end: in the finished file).
    [[nodiscard]] uint32_t framesRecorded() const { return framesRecorded_.load(); }

private:
    void run(uint32_t durationMs);
    // Converts the newest picture and appends it; false when the recording
    // must end (limit or write failure, already reported).
    bool recordOneFrame();

    RecorderFrameSource& source_;
    ErrorSink onError_;
    const uint64_t maxRiffBytes_;

    // Used by the recorder thread alone between start() and its end.
    std::unique_ptr<AviWriter> writer_;
    AviFrameProducer producer_;

    std::thread thread_;
    std::atomic<bool> recording_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> newFrame_{false};
    std::atomic<uint32_t> framesRecorded_{0};
    platform::Event frameArrived_{platform::Event::Reset::Auto};
    platform::Event finished_{platform::Event::Reset::Manual};
};

} // namespace lumvek
