// lumvek record
#include <chrono>
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
    "for N milliseconds, with a progress bar (frames, elapsed time, rate) on a\n"
    "terminal and one final line. If the camera is lost, or on Ctrl-C, the file\n"
    "keeps the frames recorded so far and the command fails.\n"
    "\n"
    "  -o, --output FILE  the AVI file\n"
    "  --ms N             recording time in milliseconds\n"
    "  --mode BITS        colour mode: 8, 16, 24, 32, 48 or 64; default: the current one\n";

using Clock = std::chrono::steady_clock;

// Ctrl-C ends the recording early but still closes the file properly.
volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

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
        while (true) {
            lost = cameraLost(session.notifyWindow());
            progress = readAviProgress(*output);
            if (lost || interrupted != 0 || progress.finalised ||
                millisecondsSince(start) > milliseconds + kFinishGraceMs) {
                break;
            }
            const double seconds = millisecondsSince(start) / 1000.0;
            char text[128];
            std::snprintf(text, sizeof text, "%u frames  %.1f / %.1f s  %.1f frames/s", progress.framesWritten,
                          seconds, milliseconds / 1000.0, seconds > 0 ? progress.framesWritten / seconds : 0.0);
            bar.update(seconds * 1000.0 / milliseconds, text);
        }
    }
    // Stops the capture; a recording still running is finalised with what it has.
    (void)Lumvek_Close(h);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    progress = readAviProgress(*output);
    if (lost) {
        fail("record: the camera was lost after " + std::to_string(progress.framesWritten) + " frames (" +
             describeSdkError(LUMVEK_ERR_DEVICE_LOST) + "); " + *output + " keeps what was recorded");
    }
    if (!progress.finalised || progress.framesWritten == 0) {
        fail("record: no frame reached " + *output + " (" + describeSdkError(session.lastErrorCode()) + ")");
    }
    if (interrupted != 0) {
        fail("record: interrupted; " + *output + " holds the " + std::to_string(progress.framesWritten) +
             " frames recorded so far");
    }
    const double rate = progress.microsPerFrame != 0 ? 1e6 / progress.microsPerFrame : 0.0;
    std::printf("recorded %u frames (%d x %d) in %.1f s at %.1f frames/s to %s\n", progress.framesWritten,
                progress.width, progress.height, rate > 0 ? progress.framesWritten / rate : 0.0, rate,
                output->c_str());
    return kExitOk;
}

} // namespace lumvek::tool
