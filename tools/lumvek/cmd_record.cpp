// lumvek record
#include <chrono>
#include <optional>
#include <csignal>
#include <cstdio>
#include <string>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "avi_progress.h"
#include "command_support.h"
#include "commands.h"
#include "failure.h"
#include "picture_format.h"
#include "progress_line.h"
#include "sdk_errors.h"

namespace lumvek::tool {

namespace {

constexpr int kMaxMilliseconds = 24 * 3600 * 1000;
constexpr int kPollMs = 100;
// The recorder's clock starts with the first frame and it finishes on the
// first frame after the time is up: allow for the frame waits on both ends.
constexpr int kFinishGraceMs = 7000;

constexpr const char* kRecordHelp =
    "usage: lumvek record -o FILE.avi --ms N [--mode BITS] [camera options]\n"
    "\n"
    "Records the processed pictures into an uncompressed AVI file (24-bit frames)\n"
    "for N milliseconds, with a progress bar (frames, seconds recorded) on a\n"
    "terminal and one final line. If the camera is lost or stops delivering, the\n"
    "disk fills up, or on Ctrl-C, the file keeps the frames recorded so far, the\n"
    "command says how much of the time it holds, and fails. Frames the disk could\n"
    "not keep up with are counted and named in the final line. Recordings past\n"
    "1 GiB are OpenDML (AVI 2.0) files of any length. For compressed video\n"
    "(H.264, MP4) use the GStreamer element lumveksrc (see the README).\n"
    "\n"
    "  -o, --output FILE  the AVI file\n"
    "  --ms N             recording time in milliseconds\n"
    "  --mode BITS        colour mode: 8, 16, 24, 32, 48 or 64; default: the current one\n";

using Clock = std::chrono::steady_clock;

// Ctrl-C ends the recording early but still closes the file properly.
volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

// "12 frames, 0.5 s of the 3.0 s asked": the figures of the progress bar
// and of the final messages, so that they agree.
std::string recordingFigures(uint32_t frames, double seconds, int milliseconds) {
    char text[128];
    std::snprintf(text, sizeof text, "%u frames, %.1f s of the %.1f s asked", frames, seconds, milliseconds / 1000.0);
    return text;
}

int millisecondsSince(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

struct RecordingNews {
    bool cameraLost = false;
    bool writeFailed = false;  // the recorder's code 12: a write failed or the file reached its limit
};

// Waits up to kPollMs for the SDK's messages and notes what they say.
void readMessages(HWND window, RecordingNews& news) {
    LumvekMsg message{};
    int timeout = kPollMs;
    while (LumvekWnd_GetMessage(window, &message, timeout) == 1) {
        if (message.message == LUMVEK_WM_ERROR && message.lParam == LUMVEK_ERR_DEVICE_LOST) news.cameraLost = true;
        if (message.message == LUMVEK_WM_ERROR && message.lParam == LUMVEK_ERR_CONVERSION) news.writeFailed = true;
        timeout = 0;
    }
}

uint64_t frameChunkBytes(const AviProgress& progress) {
    constexpr uint64_t kChunkHeaderBytes = 8;
    return kChunkHeaderBytes + static_cast<uint64_t>(progress.height) *
                                   ((3 * static_cast<uint64_t>(progress.width) + 3) & ~uint64_t{3});
}

} // namespace

int runRecord(const Args& words) {
    const auto specs = cameraOptionSpecs({{"output", 'o', true}, {"ms", 0, true}, {"mode", 0, true}});
    const ParsedArgs args = parseArgs(words, specs, "record");
    if (helpRequested(args, (std::string(kRecordHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 0, 0, "record");
    const CameraOptions options = cameraOptionsFrom(args, "record");
    const auto output = args.value("output");
    if (!output) usageError("record: -o FILE.avi is required");
    const auto msText = args.value("ms");
    if (!msText) usageError("record: --ms N is required");
    const int milliseconds = requireInteger(*msText, "record: --ms", 1, kMaxMilliseconds);
    std::optional<int> mode;
    if (const auto text = args.value("mode")) {
        mode = requireInteger(*text, "record: --mode", 8, 64);
        if (!isColourModeBits(*mode)) usageError("record: --mode must be 8, 16, 24, 32, 48 or 64");
    }
    if (!isAviPath(*output)) {
        usageError("record: the SDK records uncompressed AVI only (-o FILE.avi); for compressed video use "
                   "the GStreamer element: " + compressedVideoPipeline(*output));
    }
    requireWritableFile(*output, "record");

    CameraSession session = CameraSession::withCamera(options);
    const int h = session.handle();
    session.clearErrors();
    if (mode) session.require(Lumvek_SetColorMode(h, *mode), "record: colour mode " + std::to_string(*mode));

    const Clock::time_point start = Clock::now();
    if (Lumvek_Record(h, output->c_str(), milliseconds, 0) == 0) {
        const int code = session.lastErrorCode();
        fail("record: cannot start recording to " + *output + ": " + describeSdkError(code) + " (" +
             reasonWriteFails(*output) + ")");
    }
    RecordingNews news;
    AviProgress progress;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    {
        ProgressLine bar;
        // The recorder's clock starts with its first frame: so does the bar's.
        std::optional<Clock::time_point> firstFrame;
        while (true) {
            readMessages(session.notifyWindow(), news);
            progress = readAviProgress(*output);
            if (news.cameraLost || interrupted != 0 || progress.finalised || (news.writeFailed && !progress.exists) ||
                millisecondsSince(start) > milliseconds + kFinishGraceMs) {
                break;
            }
            if (!firstFrame && progress.framesWritten > 0) firstFrame = Clock::now();
            const double seconds = firstFrame ? millisecondsSince(*firstFrame) / 1000.0 : 0.0;
            bar.update(seconds * 1000.0 / milliseconds, recordingFigures(progress.framesWritten, seconds, milliseconds));
        }
    }
    readMessages(session.notifyWindow(), news);  // what came as the recording ended
    // Stops the capture; a recording still running is finalised with what it has.
    (void)Lumvek_Close(h);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    progress = readAviProgress(*output);
    const double rate = progress.microsPerFrame != 0 ? 1e6 / progress.microsPerFrame : 0.0;
    const double seconds = rate > 0 ? progress.framesWritten / rate : 0.0;
    const std::string holds = *output + " holds " + recordingFigures(progress.framesWritten, seconds, milliseconds);
    const std::string skipped = skippedFramesText(progress);
    const std::string alsoSkipped = skipped.empty() ? "" : "; " + skipped;
    // The recorder names the reason in the file; a disk too full even for
    // that note is told by the code it reported and the room left.
    const bool diskFull = progress.end == "disk-full" ||
                          (news.writeFailed && progress.end.empty() && lacksRoomFor(*output, frameChunkBytes(progress)));
    if (diskFull && !progress.exists) {
        fail("record: the disk is full: not one frame could be written to " + *output + ", so no file is left");
    }
    if (news.cameraLost) {
        fail("record: the camera was lost after " + std::to_string(progress.framesWritten) + " frames (" +
             describeSdkError(LUMVEK_ERR_DEVICE_LOST) + "); " + holds + alsoSkipped);
    }
    if (!progress.finalised || progress.framesWritten == 0) {
        fail("record: no frame reached " + *output + " (" + describeSdkError(session.lastErrorCode()) + ")");
    }
    if (diskFull) {
        fail("record: disk full after " + std::to_string(progress.framesWritten) + " frames, file kept; " + holds +
             alsoSkipped);
    }
    // A plain file ends where its 32-bit sizes end.
    constexpr uint64_t kPlainAviLimit = 0xFFFFFFFFull;
    if (news.writeFailed && progress.riffs == 1 && progress.fileBytes + frameChunkBytes(progress) > kPlainAviLimit) {
        fail("record: the file reached the 4 GiB limit of an AVI file after " + std::to_string(progress.framesWritten) +
             " frames, file kept; " + holds + alsoSkipped);
    }
    if (news.writeFailed || progress.end == "write-failed") {
        fail("record: a write failed after " + std::to_string(progress.framesWritten) + " frames (" +
             reasonWriteFails(*output) + "), file kept; " + holds + alsoSkipped);
    }
    if (interrupted != 0) {
        fail("record: interrupted; " + holds + alsoSkipped);
    }
    // The recorder finishes on the first frame after the time is up, so a
    // whole recording spans at least the time asked; one frame interval
    // short allows for its integer rate.
    if (rate > 0 && (seconds + 1.0 / rate) * 1000.0 < milliseconds) {
        fail("record: the camera stopped delivering frames (stalled?); " + holds + alsoSkipped);
    }
    std::printf("recorded %u frames (%d x %d) in %.1f s at %.1f frames/s to %s%s\n", progress.framesWritten,
                progress.width, progress.height, seconds, rate, output->c_str(), alsoSkipped.c_str());
    return kExitOk;
}

} // namespace lumvek::tool
