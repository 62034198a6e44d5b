// lumvek view
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "command_support.h"
#include "commands.h"
#include "display_check.h"
#include "failure.h"
#include "picture_format.h"
#include "png_file.h"
#include "sdk_errors.h"
#include "viewer_loader.h"
#include "window_title.h"

namespace lumvek::tool {

namespace {

constexpr int kPollMs = 50;
constexpr int kTitleEveryMs = 500;
constexpr int kMaxAfterMs = 3600 * 1000;
constexpr int kMaxRecordMs = 24 * 3600 * 1000;
constexpr int kMaxBytesPerPixel = 8;  // 64-bit colour
constexpr double kExposureStep = 1.25;
constexpr double kGainStep = 1.1;
constexpr int kAutoExposure = 1;  // Lumvek_SetAutoIris modes
constexpr int kAutoGain = 2;

constexpr const char* kViewHelp =
    "usage: lumvek view [--mode BITS] [--plain] [--screenshot FILE.png --after MS] [camera options]\n"
    "\n"
    "Shows the camera's processed pictures live. With the GTK viewer installed\n"
    "(libLumvekViewerGtk.so beside the SDK library): one window with the camera\n"
    "list (cameras arriving and leaving), the picture scaled to fit or zoomed,\n"
    "colour mode, capture window, exposure and gain within what the camera\n"
    "accepts, white balance, mirrors, the SDK's settings dialogs, snapshot,\n"
    "recording, a histogram and a status line (rate, frames lost, camera).\n"
    "Otherwise, or with --plain, the SDK's own preview window, with the frame rate\n"
    "and the frames that could not be read in the title. Both are X11 windows on\n"
    "the server DISPLAY names; without a reachable X server the command says so\n"
    "and ends, unless --screenshot asks for the preview window's off-screen picture.\n"
    "\n"
    "Keys in the window:\n"
    "  s         save the current picture as view-NNNN.png\n"
    "  r         start or stop recording view-NNNN.avi\n"
    "  + / -     exposure up / down\n"
    "  g / G     gain down / up\n"
    "  q, Esc    quit (so do Ctrl-C and the window's close button)\n"
    "\n"
    "  --mode BITS         colour mode: 8, 16, 24, 32, 48 or 64; default: the camera's\n"
    "  --plain             the SDK's preview window even when the GTK viewer is there\n"
    "  --automate          GTK viewer: commands on standard input (report, set NAME\n"
    "                      VALUE, press NAME, select N, screenshot FILE, quit)\n"
    "  --screenshot FILE   save what the window shows as PNG and quit ...\n"
    "  --after MS          ... MS milliseconds after the first picture (default 2000)\n";

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The live view: one capture with its preview window, restarted around
// recordings (a recording runs a capture of its own).
class Viewer {
public:
    explicit Viewer(CameraSession& session)
        : session_(session), h_(session.handle()), frames_(LumvekWnd_CreateMessageWindow()) {
        const size_t pixels = static_cast<size_t>(Lumvek_Width(h_)) * static_cast<size_t>(Lumvek_Height(h_));
        buffer_.resize(pixels * kMaxBytesPerPixel);
    }
    ~Viewer() {
        (void)Lumvek_Close(h_);
        LumvekWnd_DestroyWindow(frames_);
    }
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    void startPreview() {
        session_.require(Lumvek_CallBackPreview(h_, frames_, buffer_.data(), static_cast<int>(buffer_.size()), 1),
                         "view: starting the preview");
        followNewestWindow();
    }
    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] long framesShown() const { return frames_seen_; }

    // Waits up to kPollMs for frames; false once the camera is gone.
    bool pumpFrames() {
        LumvekMsg msg{};
        int timeout = kPollMs;
        while (LumvekWnd_GetMessage(frames_, &msg, timeout) == 1) {
            timeout = 0;
            if (msg.message != LUMVEK_WM_FRAME) continue;
            if (msg.wParam != 0) {
                ++frames_seen_;
                ++framesInSecond_;
            } else if (msg.lParam == 8) {
                ++dropped_;
            } else if (msg.lParam == 13) {
                return false;
            }
        }
        if (msSince(rateStart_) >= 1000) {
            rate_ = framesInSecond_ * 1000.0 / msSince(rateStart_);
            framesInSecond_ = 0;
            rateStart_ = Clock::now();
        }
        return true;
    }

    // Handles what the preview window received; false to quit.
    bool handleKeys() {
        LumvekMsg msg{};
        while (window_ != nullptr && LumvekWnd_GetMessage(window_, &msg, 0) == 1) {
            if (msg.message == LUMVEK_WM_CLOSE) return false;
            if (msg.message == LUMVEK_WM_KEYDOWN && msg.wParam == LUMVEK_VK_ESCAPE) return false;
            if (msg.message != LUMVEK_WM_CHAR) continue;
            switch (static_cast<char>(msg.wParam)) {
            case 'q': return false;
            case 's': snapshot(); break;
            case 'r': toggleRecording(); break;
            case '+':
            case '=': scaleExposure(kExposureStep); break;  // '=' is '+' without shift
            case '-': scaleExposure(1 / kExposureStep); break;
            case 'g': scaleGain(1 / kGainStep); break;
            case 'G': scaleGain(kGainStep); break;
            default: break;
            }
        }
        return true;
    }

    [[nodiscard]] std::string title() const {
        int ok = 0;
        const int exposure = Lumvek_GetExposureTime(h_, &ok);
        const int gain = Lumvek_GetGlobalGain(h_, &ok);
        char text[192];
        const int autoMode = Lumvek_GetAutoIris(h_, &ok);
        // A recording takes the frames without telling the application: no rate then.
        char rate[64];
        if (recording_)
            std::snprintf(rate, sizeof rate, "recording");
        else
            std::snprintf(rate, sizeof rate, "%.1f frames/s, %ld dropped", rate_, dropped_);
        std::snprintf(text, sizeof text, "Active Window - %s, exposure %.1f ms%s, gain %d%s", rate, exposure / 10.0,
                      autoMode == kAutoExposure ? " (auto)" : "", gain, autoMode == kAutoGain ? " (auto)" : "");
        return text;
    }

    void screenshot(const std::string& path) const {
        int width = 0, height = 0;
        (void)LumvekWnd_ReadSurface(window_, nullptr, 0, &width, &height);
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        std::vector<uint8_t> pixels(stride * static_cast<size_t>(height));
        if (width <= 0 || height <= 0 ||
            LumvekWnd_ReadSurface(window_, pixels.data(), static_cast<int>(pixels.size()), &width, &height) != 1)
            fail("view: the preview window cannot be read");
        writeBgrPng(path, pixels.data(), width, height, stride);
        std::printf("%s: %d x %d\n", path.c_str(), width, height);
    }

private:
    // A capture (re)started makes a window of its own: the newest top-level one.
    void followNewestWindow() {
        std::vector<HWND> windows(static_cast<size_t>(std::max(LumvekWnd_EnumWindows(nullptr, nullptr, 0), 1)));
        const int count = LumvekWnd_EnumWindows(nullptr, windows.data(), static_cast<int>(windows.size()));
        window_ = count > 0 ? windows[static_cast<size_t>(std::min<int>(count, windows.size()) - 1)] : nullptr;
    }
    std::string nextName(const char* extension) { return "view-" + numbered(++files_) + extension; }
    static std::string numbered(int n) {
        char text[16];
        std::snprintf(text, sizeof text, "%04d", n);
        return text;
    }
    void snapshot() {
        const std::string path = nextName(".png");
        if (Lumvek_SaveImage(h_, path.c_str(), LUMVEK_FILE_PNG) == 1)
            std::printf("saved %s\n", path.c_str());
        else
            std::fprintf(stderr, "view: cannot save %s: %s\n", path.c_str(), describeSdkError(session_.lastErrorCode()).c_str());
    }
    void toggleRecording() {
        (void)Lumvek_Close(h_);  // ends a recording, finalising its file
        if (recording_) {
            recording_ = false;
            std::printf("recorded %s\n", recordPath_.c_str());
            startPreview();
            return;
        }
        recordPath_ = nextName(".avi");
        if (Lumvek_Record(h_, recordPath_.c_str(), kMaxRecordMs, 1) == 1) {
            recording_ = true;
            followNewestWindow();
            std::printf("recording %s (r stops)\n", recordPath_.c_str());
        } else {
            std::fprintf(stderr, "view: cannot record %s: %s\n", recordPath_.c_str(),
                         describeSdkError(session_.lastErrorCode()).c_str());
            startPreview();
        }
    }
    // A key for exposure or gain takes it over from the automatic control.
    void manual(int autoMode) {
        int ok = 0;
        if (Lumvek_GetAutoIris(h_, &ok) == autoMode) (void)Lumvek_SetAutoIris(h_, 0);
    }
    void scaleExposure(double factor) {
        manual(kAutoExposure);
        int ok = 0;
        const int now = Lumvek_GetExposureTime(h_, &ok);
        const int next = std::max(1, static_cast<int>(now * factor + (factor > 1 ? 1 : 0)));
        (void)Lumvek_SetExposureTime(h_, next);  // out of range: the old value stays
        session_.clearErrors();
    }
    void scaleGain(double factor) {
        manual(kAutoGain);
        int ok = 0;
        const int now = Lumvek_GetGlobalGain(h_, &ok);
        (void)Lumvek_SetGlobalGain(h_, std::max(1, static_cast<int>(now * factor + (factor > 1 ? 1 : 0))));
        session_.clearErrors();
    }

    CameraSession& session_;
    const int32_t h_;
    const HWND frames_;
    std::vector<uint8_t> buffer_;
    HWND window_ = nullptr;
    long frames_seen_ = 0;
    long framesInSecond_ = 0;
    long dropped_ = 0;
    double rate_ = 0;
    Clock::time_point rateStart_ = Clock::now();
    bool recording_ = false;
    std::string recordPath_;
    int files_ = 0;
};

} // namespace

int runView(const Args& words) {
    const auto specs = cameraOptionSpecs(
        {{"mode", 0, true}, {"screenshot", 0, true}, {"after", 0, true}, {"plain", 0, false}, {"automate", 0, false}});
    const ParsedArgs args = parseArgs(words, specs, "view");
    if (helpRequested(args, (std::string(kViewHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 0, 0, "view");
    const CameraOptions options = cameraOptionsFrom(args, "view");
    std::optional<int> mode;
    if (const auto text = args.value("mode")) {
        mode = requireInteger(*text, "view: --mode", 8, 64);
        if (!isColourModeBits(*mode)) usageError("view: --mode must be 8, 16, 24, 32, 48 or 64");
    }
    const auto screenshot = args.value("screenshot");
    if (args.value("after") && !screenshot) usageError("view: --after goes with --screenshot");
    const int after = args.value("after") ? requireInteger(*args.value("after"), "view: --after", 0, kMaxAfterMs) : 2000;
    if (screenshot) requireWritableFile(*screenshot, "view");
    // Only the off-screen picture needs no X server.
    if (!screenshot) requireDisplay("view");

    // The off-screen picture is the SDK's preview window's: the plain view.
    const LumvekViewerRun gtkViewer = !screenshot && !args.has("plain") ? loadGtkViewer() : nullptr;
    std::optional<CameraSession> opened;
    try {
        opened.emplace(CameraSession::withCamera(options));
    } catch (const Failure&) {
        // The viewer's camera list chooses among several cameras, or waits
        // for one to arrive; a camera asked for by number must open.
        if (gtkViewer == nullptr || options.deviceNumber || options.deviceId) throw;
        opened.emplace(CameraSession::withoutCamera(options.simulation));
    }
    CameraSession& session = *opened;
    session.clearErrors();
    if (mode && session.deviceNumber() >= 0)
        session.require(Lumvek_SetColorMode(session.handle(), *mode), "view: colour mode " + std::to_string(*mode));
    if (gtkViewer != nullptr) {
        if (const auto code = runGtkViewer(gtkViewer, session, args.has("automate"))) return *code;
    }
    if (args.has("automate")) usageError("view: --automate needs the GTK viewer (not installed here, or --plain)");
    WindowTitle title;
    if (!title.available()) std::fprintf(stderr, "view: no X server (DISPLAY); the window stays off screen\n");

    Viewer viewer(session);
    viewer.startPreview();
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::optional<Clock::time_point> firstPicture;
    Clock::time_point lastTitle = Clock::now();
    bool cameraLost = false;
    while (interrupted == 0) {
        if (!viewer.pumpFrames()) {
            cameraLost = true;
            break;
        }
        if (!firstPicture && viewer.framesShown() > 0) firstPicture = Clock::now();
        if (!viewer.handleKeys()) break;
        if (msSince(lastTitle) >= kTitleEveryMs) {
            title.set(LumvekWnd_X11Window(viewer.window()), viewer.title());
            lastTitle = Clock::now();
        }
        if (screenshot && firstPicture && msSince(*firstPicture) >= after) {
            viewer.screenshot(*screenshot);
            break;
        }
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (cameraLost) fail("view: the camera was lost (" + describeSdkError(LUMVEK_ERR_DEVICE_LOST) + ")");
    return kExitOk;
}

} // namespace lumvek::tool
