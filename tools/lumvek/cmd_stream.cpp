// lumvek stream: streams a callback preview and prints the stream's
// statistics, a line per second and a summary (or one JSON document).
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekStream.h"
#include "LumvekWindow.h"
#include "camera_session.h"
#include "command_support.h"
#include "commands.h"
#include "failure.h"
#include "json_writer.h"
#include "picture_format.h"
#include "sdk_errors.h"

namespace lumvek::tool {

namespace {

constexpr int kMaxSeconds = 24 * 3600;
constexpr int kMaxCount = 100'000'000;
constexpr int kDefaultSeconds = 5;
constexpr int kFrameWaitMs = 3000;
constexpr int kReportEveryMs = 1000;
constexpr double kNsPerMs = 1e6;

constexpr const char* kStreamHelp =
    "usage: lumvek stream [--seconds S] [--count N] [--mode BITS] [--json] [camera options]\n"
    "\n"
    "Streams frames through the SDK's image pipeline and prints a line a second\n"
    "(frames, rate, frames lost and where, delivery latency), then a summary.\n"
    "\n"
    "  --seconds S  stream for S seconds (default 5, or until --count frames)\n"
    "  --count N    stop after N delivered frames\n"
    "  --mode BITS  colour mode: 8, 16, 24, 32, 48 or 64; default: the camera's\n"
    "  --json       print one JSON document instead (see README.md)\n";

struct Interval {
    double seconds = 0.0;  // since the stream started
    uint64_t frames = 0;   // delivered in this interval
    double rate = 0.0;     // frames per second over the interval
    uint64_t lost = 0;     // lost in this interval, every cause
};

uint64_t lostOf(const LumvekStreamStatistics& s) {
    return s.framesLostInTransfer + s.framesOverwritten + s.framesNotDelivered;
}

LumvekStreamStatistics readStatistics(CameraSession& session) {
    LumvekStreamStatistics s{};
    s.size = sizeof s;
    session.require(LumvekStream_GetStatistics(session.handle(), &s), "stream: reading the statistics");
    return s;
}

double ms(uint64_t ns) { return static_cast<double>(ns) / kNsPerMs; }

void printLine(const Interval& i, const LumvekStreamStatistics& s) {
    std::printf("%6.1f s  frames %6llu  %7.2f fps  lost %llu  latency median %.2f ms  p99 %.2f ms\n", i.seconds,
                static_cast<unsigned long long>(i.frames), i.rate, static_cast<unsigned long long>(i.lost),
                ms(s.latencyMedianNs), ms(s.latencyP99Ns));
    std::fflush(stdout);
}

void printSummary(const LumvekStreamStatistics& s, double seconds, uint64_t lastFrameNumber) {
    const double rate = seconds > 0.0 ? static_cast<double>(s.framesDelivered) / seconds : 0.0;
    std::printf("summary: %llu frames in %.2f s (%.2f fps), %llu bytes\n",
                static_cast<unsigned long long>(s.framesDelivered), seconds, rate,
                static_cast<unsigned long long>(s.bytesDelivered));
    std::printf("  lost in the transfer: %llu (failed reads %llu, stream resets %llu)\n",
                static_cast<unsigned long long>(s.framesLostInTransfer), static_cast<unsigned long long>(s.framesFailed),
                static_cast<unsigned long long>(s.transferResets));
    std::printf("  overwritten before read: %llu\n", static_cast<unsigned long long>(s.framesOverwritten));
    std::printf("  not delivered (application behind): %llu\n", static_cast<unsigned long long>(s.framesNotDelivered));
    std::printf("  delivery latency: median %.3f ms, p99 %.3f ms (%llu samples)\n", ms(s.latencyMedianNs),
                ms(s.latencyP99Ns), static_cast<unsigned long long>(s.latencySamples));
    std::printf("  last frame number: %llu\n", static_cast<unsigned long long>(lastFrameNumber));
}

std::string jsonDocument(const LumvekStreamStatistics& s, double seconds, uint64_t lastFrameNumber,
                         const std::vector<Interval>& intervals) {
    JsonWriter json;
    json.beginObject();
    json.value("seconds", seconds);
    json.value("framesDelivered", static_cast<int64_t>(s.framesDelivered));
    json.value("rate", seconds > 0.0 ? static_cast<double>(s.framesDelivered) / seconds : 0.0);
    json.value("bytesDelivered", static_cast<int64_t>(s.bytesDelivered));
    json.beginObject("lost");
    json.value("transfer", static_cast<int64_t>(s.framesLostInTransfer));
    json.value("overwritten", static_cast<int64_t>(s.framesOverwritten));
    json.value("notDelivered", static_cast<int64_t>(s.framesNotDelivered));
    json.endObject();
    json.value("failedReads", static_cast<int64_t>(s.framesFailed));
    json.value("transferResets", static_cast<int64_t>(s.transferResets));
    json.beginObject("latencyMs");
    json.value("median", ms(s.latencyMedianNs));
    json.value("p99", ms(s.latencyP99Ns));
    json.value("samples", static_cast<int64_t>(s.latencySamples));
    json.endObject();
    json.value("lastFrameNumber", static_cast<int64_t>(lastFrameNumber));
    json.beginArray("intervals");
    for (const Interval& i : intervals) {
        json.beginObject().value("seconds", i.seconds).value("frames", static_cast<int64_t>(i.frames));
        json.value("rate", i.rate).value("lost", static_cast<int64_t>(i.lost)).endObject();
    }
    json.endArray();
    json.endObject();
    return json.text();
}

} // namespace

int runStream(const Args& words) {
    const auto specs =
        cameraOptionSpecs({{"seconds", 0, true}, {"count", 0, true}, {"mode", 0, true}, {"json", 0, false}});
    const ParsedArgs args = parseArgs(words, specs, "stream");
    if (helpRequested(args, (std::string(kStreamHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 0, 0, "stream");
    const CameraOptions options = cameraOptionsFrom(args, "stream");
    const auto countText = args.value("count");
    const auto secondsText = args.value("seconds");
    const int count = countText ? requireInteger(*countText, "stream: --count", 1, kMaxCount) : 0;
    const int seconds = secondsText ? requireInteger(*secondsText, "stream: --seconds", 1, kMaxSeconds)
                                    : (count > 0 ? kMaxSeconds : kDefaultSeconds);
    std::optional<int> mode;
    if (const auto text = args.value("mode")) {
        mode = requireInteger(*text, "stream: --mode", 8, 64);
        if (!isColourModeBits(*mode)) usageError("stream: --mode must be 8, 16, 24, 32, 48 or 64");
    }
    const bool json = args.has("json");

    CameraSession session = CameraSession::withCamera(options);
    const int32_t h = session.handle();
    session.clearErrors();
    if (mode) session.require(Lumvek_SetColorMode(h, *mode), "stream: colour mode " + std::to_string(*mode));
    const HWND frames = LumvekWnd_CreateMessageWindow();
    if (frames == nullptr) fail("stream: no message window");
    (void)Lumvek_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
    (void)LumvekStream_ResetStatistics(h);
    if (Lumvek_CallBackPreview(h, frames, nullptr, 0, 1) == 0) {
        LumvekWnd_DestroyWindow(frames);
        session.failWithLastError("stream: starting the stream");
    }

    std::vector<Interval> intervals;
    LumvekStreamStatistics last{};
    last.size = sizeof last;
    uint64_t lastFrameNumber = 0;
    uint64_t delivered = 0;
    int failure = 0;
    LumvekMsg message{};
    const auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    };
    const double start = now();
    double reportAt = start + kReportEveryMs / 1000.0;
    double prevReport = start;
    while (failure == 0 && (count == 0 || delivered < static_cast<uint64_t>(count)) && now() - start < seconds) {
        const int got = LumvekWnd_GetMessage(frames, &message, kFrameWaitMs / 10);
        if (got == 1 && message.message == LUMVEK_WM_FRAME) {
            if (message.wParam == 0) {
                failure = static_cast<int>(message.lParam);
                break;
            }
            ++delivered;
            LumvekFrameMetadata m{};
            m.size = sizeof m;
            if (LumvekStream_GetRecordMetadata(h, reinterpret_cast<const LumvekFrameInfo*>(message.wParam), &m) == 1) {
                lastFrameNumber = m.frameNumber;
            }
        }
        const double t = now();
        if (t >= reportAt) {
            const LumvekStreamStatistics s = readStatistics(session);
            Interval i;
            i.seconds = t - start;
            i.frames = s.framesDelivered - last.framesDelivered;
            i.rate = static_cast<double>(i.frames) / (t - prevReport);
            i.lost = lostOf(s) - lostOf(last);
            intervals.push_back(i);
            if (!json) printLine(i, s);
            last = s;
            prevReport = t;
            reportAt += kReportEveryMs / 1000.0;
        }
    }
    const double elapsed = now() - start;
    (void)Lumvek_StopPreview(h);
    const LumvekStreamStatistics s = readStatistics(session);
    LumvekWnd_DestroyWindow(frames);
    (void)Lumvek_Close(h);
    if (failure != 0) {
        fail("stream: the stream ended after " + std::to_string(s.framesDelivered) +
             " frames: " + describeSdkError(failure));
    }
    if (json) {
        std::fputs(jsonDocument(s, elapsed, lastFrameNumber, intervals).c_str(), stdout);
    } else {
        printSummary(s, elapsed, lastFrameNumber);
    }
    return kExitOk;
}

} // namespace lumvek::tool
