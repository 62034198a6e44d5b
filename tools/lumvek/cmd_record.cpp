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
    "terminal and one final line. If the camera is lost or stops delivering, or\n"
    "on Ctrl-C, the file keeps the frames recorded so far, the command says how\n"
    "much of the time it holds, and fails. For compressed video (H.264, MP4) use\n"
    "the GStreamer element lumveksrc (see the README).\n"
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

// Waits up to kPollMs for the SDK's messages; true when one says the camera
// is gone.
bool cameraLost(HWND window) {
    LumvekMsg message{};
    int timeout = kPollMs;
    bool lost = false;
    while (LumvekWnd_GetMessage(window, &message, timeout) == 1) {
        if (message.message == LUMVEK_WM_ERROR && message.lParam == LUMVEK_ERR_DEVICE_LOST) lost = true;
        timeout = 0;
    }
    return lost;
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
    bool lost = false;
    AviProgress progress;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    {
        ProgressLine bar;
        // The recorder's clock starts with its first frame: so does the bar's.
        std::optional<Clock::time_point> firstFrame;
        while (true) {
            lost = cameraLost(session.notifyWindow());
            progress = readAviProgress(*output);
            if (lost || interrupted != 0 || progress.finalised ||
                millisecondsSince(start) > milliseconds + kFinishGraceMs) {
                break;
            }
            if (!firstFrame && progress.framesWritten > 0) firstFrame = Clock::now();
            const double seconds = firstFrame ? millisecondsSince(*firstFrame) / 1000.0 : 0.0;
            bar.update(seconds * 1000.0 / milliseconds, recordingFigures(progress.framesWritten, seconds, milliseconds));
        }
    }
    // Stops the capture; a recording still running is finalised with what it has.
    (void)Lumvek_Close(h);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    progress = readAviProgress(*output);
    const double rate = progress.microsPerFrame != 0 ? 1e6 / progress.microsPerFrame : 0.0;
    const double seconds = rate > 0 ? progress.framesWritten / rate : 0.0;
    const std::string holds = *output + " holds " + recordingFigures(progress.framesWritten, seconds, milliseconds);
    if (lost) {
        fail("record: the camera was lost after " + std::to_string(progress.framesWritten) + " frames (" +
             describeSdkError(LUMVEK_ERR_DEVICE_LOST) + "); " + holds);
    }
    if (!progress.finalised || progress.framesWritten == 0) {
        fail("record: no frame reached " + *output + " (" + describeSdkError(session.lastErrorCode()) + ")");
    }
    if (interrupted != 0) {
        fail("record: interrupted; " + holds);
    }
    // The recorder finishes on the first frame after the time is up, so a
    // whole recording spans at least the time asked; one frame interval
    // short allows for its integer rate.
    if (rate > 0 && (seconds + 1.0 / rate) * 1000.0 < milliseconds) {
        fail("record: the camera stopped delivering frames (stalled?); " + holds);
    }
    std::printf("recorded %u frames (%d x %d) in %.1f s at %.1f frames/s to %s\n", progress.framesWritten,
                progress.width, progress.height, seconds, rate, output->c_str());
    return kExitOk;
}

} // namespace lumvek::tool
