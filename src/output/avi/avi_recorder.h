#pragma once
// Records the capture engine's processed pictures into an AVI file, for a
// given time.
//
// The instance plugs it in with two things: a RecorderFrameSource that
// shows the newest processed picture under the frame lock, and a call to
// notifyNewFrame() after each processed frame. Two threads of the recorder's
// own do the work: the taking thread converts each new picture under the
// lock into a buffer of the write-behind queue (FrameQueue) and the writing
// thread writes the queued frames after it, so the camera never waits for
// the disk and a short stall of the disk costs no frame. A frame that comes
// while every buffer waits for the disk is skipped, and counted.
//
// Ending: once the recording time has passed, the first new frame is
// appended and the file finalised (indexes and measured rate). stop() ends
// a recording early and finalises what was recorded, so every recording is
// a valid file. A failed write (a full disk) or a size limit ends the
// recording the same way, keeps the frames written so far and is reported
// through the error sink with code 12; a recording that could not write a
// single frame leaves no file. While recording, the header's frame count and
// rate are brought up to date about once a second, so that a file left by a
// killed process tells its length.
//
// A recording that may pass the first RIFF (by its time and frame size) is
// written as an OpenDML file (avi_layout.h); a short one in the plain layout.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "imaging/image_buffer.h"
#include "output/avi/avi_frame_producer.h"
#include "output/avi/avi_writer.h"
#include "output/avi/frame_queue.h"
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

// How a recording ended.
enum class RecordingEnd {
    Running,      // not ended yet (or never started)
    TimeUp,       // the time asked has passed
    Stopped,      // stop() or requestStop() before the time was up
    DiskFull,     // a write found no room (ENOSPC, EDQUOT)
    WriteFailed,  // another write error (errno in writeError)
    SizeLimit,    // the file cannot grow further
};

// What a recording did: a copy, consistent at the moment it is taken.
struct RecordingResult {
    uint32_t framesWritten = 0;  // in the file
    uint64_t framesSkipped = 0;  // new pictures not taken: the writes fell behind
    RecordingEnd end = RecordingEnd::Running;
    int writeError = 0;          // errno of the failed write
    bool fileKept = true;        // false when nothing could be written and the file was removed
};

// "disk-full", "time-up" ...: the word the recorder's file note uses.
[[nodiscard]] const char* recordingEndName(RecordingEnd end);

class AviRecorder {
public:
    // Receives error codes found on the recorder threads (12: size limit
    // reached or write failed). Called on a recorder thread with no lock of
    // the recorder held; it must not call stop().
    using ErrorSink = std::function<void(int code)>;

    static constexpr int kErrorBadPath = 9;
    static constexpr int kErrorFile = 12;
    static constexpr int kErrorThread = 3;
    static constexpr int kErrorBusy = 1;

    static constexpr uint32_t kWriteBehindFrames = 8;
    static constexpr uint64_t kWriteBehindBytes = uint64_t{128} << 20;
    static constexpr uint32_t kHeaderRefreshMs = 1000;

    struct Options {
        uint64_t maxRiffBytes = avi::kMaxRiffBytes;          // a plain file's size bound
        uint64_t openDmlRiffBytes = avi::kOpenDmlRiffBytes;  // each RIFF of an OpenDML file
        uint32_t writeBehindFrames = kWriteBehindFrames;     // frames the queue holds at most ...
        uint64_t writeBehindBytes = kWriteBehindBytes;       // ... and bytes (at least one frame)
        // Called on the writing thread before each frame is written; tests
        // hold the disk back with it.
        std::function<void()> beforeFrameWrite;
    };

    explicit AviRecorder(RecorderFrameSource& source, ErrorSink onError = {},
                         uint64_t maxRiffBytes = avi::kMaxRiffBytes);
    AviRecorder(RecorderFrameSource& source, ErrorSink onError, Options options);
    ~AviRecorder();  // stop()
    AviRecorder(const AviRecorder&) = delete;
    AviRecorder& operator=(const AviRecorder&) = delete;

    // Opens path for pictures of width x height (taken under the frame lock
    // by the caller) and starts the threads. Returns 0, or the code to
    // report: 9 null or empty path, 12 file not created or size unusable, 3
    // work buffers or thread not made, 1 a recording is already running.
    [[nodiscard]] int start(const char* path, int width, int height, uint32_t durationMs);

    // The capture engine's new-frame flag; any thread, never blocks.
    void notifyNewFrame();

    // Asks a running recording to end: it finalises its file and its threads
    // end by themselves (joined by stop() or the next start()). Any thread,
    // never blocks: the frame loop uses it when the camera is lost.
    void requestStop();

    // Ends a running recording, finalising the file, and joins the threads.
    // Frames still queued are written for up to about 2 s, the rest counted
    // as skipped. Safe to call at any time and more than once; not from the
    // error sink. The taking thread may be waiting for the frame lock in
    // withNewestPicture(): never call stop() (or destroy the recorder) while
    // holding that lock. start() and stop() are called from one thread at a
    // time.
    void stop();

    [[nodiscard]] bool isRecording() const { return recording_.load(); }
    // Waits for the recording to end by itself (time passed, limit, error).
    [[nodiscard]] bool waitFinished(uint32_t timeoutMs) { return finished_.wait(timeoutMs); }
    // Frames in the file so far (after the end: in the finished file).
    [[nodiscard]] uint32_t framesRecorded() const { return framesRecorded_.load(); }
    // New pictures not taken so far because the writes fell behind.
    [[nodiscard]] uint64_t framesSkipped() const { return framesSkipped_.load(); }
    // The running recording's figures so far, or the last one's.
    [[nodiscard]] RecordingResult result() const;

private:
    void takeFrames(uint32_t durationMs);
    void writeFrames();
    // Converts the newest picture into a free queue slot; false when the
    // recording's time is up with this frame.
    bool takeOneFrame(uint32_t durationMs);
    [[nodiscard]] std::string fileNote() const;
    void endWith(RecordingEnd end, int writeError);

    RecorderFrameSource& source_;
    ErrorSink onError_;
    const Options options_;

    // Used by the writing thread alone between start() and its end.
    std::unique_ptr<AviWriter> writer_;
    // Used by the taking thread alone between start() and its end.
    AviFrameProducer producer_;
    bool started_ = false;
    uint32_t startMs_ = 0;

    FrameQueue queue_;
    std::thread taker_;
    std::thread writerThread_;
    std::atomic<bool> recording_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<uint32_t> stopRequestedMs_{0};
    std::atomic<uint32_t> pendingFrames_{0};  // notified, not yet taken or skipped
    std::atomic<uint32_t> framesRecorded_{0};
    std::atomic<uint64_t> framesSkipped_{0};
    std::atomic<int> end_{static_cast<int>(RecordingEnd::Running)};
    std::atomic<int> writeError_{0};
    std::atomic<bool> fileKept_{true};
    platform::Event frameArrived_{platform::Event::Reset::Auto};
    platform::Event finished_{platform::Event::Reset::Manual};
};

} // namespace lumvek
