// lumvek-bench-cameras: N simulated R13 cameras of a lumvek-camsim daemon,
// opened in this one process through the public C API, stream full-frame
// callback previews at once; after a warm-up the program counts each
// camera's delivered frames over the run and prints them with the frame
// rate, the frames the camera made that never arrived, and the processor
// time of this process (the SDK) and of the daemon (the cameras). "missed"
// compares the arrivals with the frames the camera made over the interval,
// give or take one at either end; "dropped" numbers every arrival with its
// frame from the arrival times (arrival_slots.h) and counts the numbers
// missing between the first and the last, exact while "spread_ms" (how much
// later the latest frame arrived than the earliest, each after its own
// frame boundary) stays under the camera's period; "late" counts the frames
// that arrived more than a period later than that; "longest_gap_ms" is the
// longest time between two arrivals; "latency_median_ms" and
// "latency_p99_ms" are the camera's delivery latency over the run (from a
// frame's last byte in the transfer thread to its handler), as the SDK's
// stream statistics measure it, and the summary lines give the largest of
// them.
//
//   lumvek-bench-cameras [--cameras N] [--seconds S] [--bits 8|16|24|32|48|64] [--tone]
//                        [--camsim PATH]
//
// Output, one "key value" pair per line (camera lines: "camera I key value ..."):
//   camera 0 frames 648 fps 10.80 missed 0 dropped 0 late 0 spread_ms 41.2 longest_gap_ms 131.0 errors 0
//            latency_median_ms 12.1 latency_p99_ms 20.3
//   sdk_cpu_percent 71.2 / sim_cpu_percent 40.1 / sdk_cpu_ms_per_frame 8.2 / sdk_vmrss_mib 941.0 ...
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekStream.h"
#include "LumvekWindow.h"
#include "arrival_slots.h"
#include "camsim_daemon.h"
#include "process_usage.h"
#include "sim/models/r13_model.h"

namespace {

using lumvek::bench::CamsimDaemon;
using Clock = std::chrono::steady_clock;

constexpr int kMaxCameras = 10;  // what Lumvek_EnumDevice lists
constexpr int kReadyTimeoutMs = 20000;
constexpr int kWarmupFrames = 2;
constexpr auto kWarmupLimit = std::chrono::seconds(30);
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// The R13's free-running frame period: its CCD readout at the default exposure.
constexpr double kSensorPeriodMs = double(lumvek::sim::R13Model::kLineLengthClocks) *
                                   lumvek::sim::R13Model::kFrameLengthLines / lumvek::sim::R13Model::kClockKHz;

struct Options {
    int cameras = 8;
    double seconds = 60.0;
    int bits = 24;
    bool tone = false;
    std::string camsim = LUMVEK_CAMSIM_PATH;
};

int usage(const char* why) {
    std::fprintf(stderr,
                 "lumvek-bench-cameras: %s\n"
                 "usage: lumvek-bench-cameras [--cameras 1..%d] [--seconds S] [--bits 8|16|24|32|48|64] [--tone]"
                 " [--camsim PATH]\n",
                 why, kMaxCameras);
    return 2;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--tone") {
            o.tone = true;
        } else if (arg == "--cameras" && hasValue) {
            o.cameras = std::atoi(argv[++i]);
        } else if (arg == "--seconds" && hasValue) {
            o.seconds = std::atof(argv[++i]);
        } else if (arg == "--bits" && hasValue) {
            o.bits = std::atoi(argv[++i]);
        } else if (arg == "--camsim" && hasValue) {
            o.camsim = argv[++i];
        } else {
            return false;
        }
    }
    const bool knownBits = o.bits == 8 || o.bits == 16 || o.bits == 24 || o.bits == 32 || o.bits == 48 || o.bits == 64;
    return o.cameras >= 1 && o.cameras <= kMaxCameras && o.seconds > 0.0 && knownBits;
}

// One camera: its instance, message window, callback buffer and counts. The
// handler runs on the window's dispatcher thread.
struct Camera {
    int32_t handle = 0;
    HWND window = nullptr;
    std::vector<unsigned char> buffer;
    std::atomic<uint64_t> frames{0};
    std::atomic<uint64_t> errors{0};
    std::atomic<int> lastError{0};
    // Arrival times while the run is measured, in milliseconds of the
    // steady clock; appended by the dispatcher thread, read by the main one.
    std::atomic<bool> measuring{false};
    std::mutex arrivalsMutex;  // guards arrivalsMs
    std::vector<double> arrivalsMs;

    static void onMessage(void* context, const LumvekMsg* msg) {
        auto* self = static_cast<Camera*>(context);
        if (msg->message != LUMVEK_WM_FRAME) {
            return;
        }
        if (msg->wParam != 0) {
            self->frames.fetch_add(1, std::memory_order_relaxed);
            if (self->measuring.load(std::memory_order_relaxed)) {
                const double now =
                    std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
                std::lock_guard lock(self->arrivalsMutex);
                self->arrivalsMs.push_back(now);
            }
        } else {
            self->errors.fetch_add(1, std::memory_order_relaxed);
            self->lastError.store(static_cast<int>(msg->lParam), std::memory_order_relaxed);
        }
    }

    [[nodiscard]] std::vector<double> arrivals() {
        std::lock_guard lock(arrivalsMutex);
        return arrivalsMs;
    }
};

double longestGapMs(const std::vector<double>& arrivalsMs) {
    double longest = 0.0;
    for (size_t i = 1; i < arrivalsMs.size(); ++i) {
        longest = std::max(longest, arrivalsMs[i] - arrivalsMs[i - 1]);
    }
    return longest;
}

// Nonzero, non-neutral values of every tone control: brightness, contrast,
// hue, saturation, sharpness, gamma (filter selectors 1-5 and 11).
bool setToneControls(int32_t handle) {
    constexpr int kSelectorsAndValues[][2] = {{1, 20}, {2, 30}, {3, 15}, {4, 40}, {5, 8}, {11, 120}};
    for (const auto& [selector, value] : kSelectorsAndValues) {
        if (Lumvek_SetFilterValue(handle, selector, value) != 1) {
            return false;
        }
    }
    return true;
}

bool startCamera(Camera& camera, int index, const Options& o, std::string& error) {
    camera.window = LumvekWnd_CreateMessageWindow();
    camera.handle = Lumvek_Initialize(nullptr);
    if (camera.window == nullptr || camera.handle == 0) {
        error = "the SDK could not make an instance";
        return false;
    }
    if (Lumvek_SetDeviceNumber(camera.handle, index) != 1 || Lumvek_SetColorMode(camera.handle, o.bits) != 1) {
        error = "cannot open it (error " + std::to_string(Lumvek_GetLastError(camera.handle)) + ")";
        return false;
    }
    if (o.tone && !setToneControls(camera.handle)) {
        error = "a tone control was refused (error " + std::to_string(Lumvek_GetLastError(camera.handle)) + ")";
        return false;
    }
    (void)Lumvek_SetPreviewWindow(camera.handle, nullptr, 0, 0, 0, 0);
    const int bytesPerPixel = o.bits / 8;
    const size_t stride = (static_cast<size_t>(Lumvek_Width(camera.handle)) * bytesPerPixel + 3) & ~size_t{3};
    camera.buffer.resize(stride * static_cast<size_t>(Lumvek_Height(camera.handle)));
    (void)LumvekWnd_SetMessageHandler(camera.window, &Camera::onMessage, &camera);
    if (camera.buffer.empty() || Lumvek_CallBackPreview(camera.handle, camera.window, camera.buffer.data(),
                                                        static_cast<int>(camera.buffer.size()), 1) != 1) {
        error = "the preview did not start (error " + std::to_string(Lumvek_GetLastError(camera.handle)) + ")";
        return false;
    }
    return true;
}

void stopCamera(Camera& camera) {
    if (camera.handle != 0) {
        (void)Lumvek_StopPreview(camera.handle);
        (void)Lumvek_Close(camera.handle);
        (void)Lumvek_Release(camera.handle);
    }
    if (camera.window != nullptr) {
        (void)LumvekWnd_DestroyWindow(camera.window);
    }
}

// An environment of the program's own: device folder, settings store and
// open-device table that no other process uses.
std::filesystem::path isolate() {
    const auto dir = std::filesystem::temp_directory_path() / ("lumvek-bench-cameras-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "devices");
    setenv("LUMVEK_DEVICE_DIR", (dir / "devices").c_str(), 1);
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", ("/lumvek-bench-cameras-" + std::to_string(getpid())).c_str(), 1);
    unsetenv("LUMVEK_SIM_CAMERAS");
    return dir;
}

int run(const Options& o) {
    const std::filesystem::path dir = isolate();
    std::vector<std::string> descriptions;
    // The still chart: the daemon renders each camera's frame once and then
    // only sends it, so that on a two-core machine eight simulated cameras
    // do not take the cores the SDK is measured on (a camera renders on the
    // camera; the moving chart cost the host about 4 ms per frame each).
    for (int i = 0; i < o.cameras; ++i) {
        descriptions.push_back("product=0x3090,name=cam" + std::to_string(i) + ",pattern=still");
    }
    const CamsimDaemon daemon(o.camsim, (dir / "devices").string(), descriptions, kReadyTimeoutMs);
    if (!daemon.ready()) {
        std::fprintf(stderr, "lumvek-bench-cameras: %s\n", daemon.error().c_str());
        return 1;
    }
    std::vector<std::unique_ptr<Camera>> cameras;
    int status = 0;
    for (int i = 0; i < o.cameras && status == 0; ++i) {
        cameras.push_back(std::make_unique<Camera>());
        std::string error;
        if (!startCamera(*cameras.back(), i, o, error)) {
            std::fprintf(stderr, "lumvek-bench-cameras: camera %d: %s\n", i, error.c_str());
            status = 1;
        }
    }

    if (status == 0) {
        // Warm-up: every camera has delivered a few frames (or the limit passed).
        const auto warmupEnd = Clock::now() + kWarmupLimit;
        while (Clock::now() < warmupEnd &&
               std::any_of(cameras.begin(), cameras.end(), [](const auto& c) { return c->frames.load() < kWarmupFrames; })) {
            std::this_thread::sleep_for(kPollInterval);
        }
        std::vector<uint64_t> first;
        for (const auto& camera : cameras) {
            first.push_back(camera->frames.load());
            (void)LumvekStream_ResetStatistics(camera->handle);
            camera->measuring.store(true);
        }
        const double sdk0 = lumvek::bench::processCpuSeconds(getpid());
        const double sim0 = lumvek::bench::processCpuSeconds(daemon.pid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
        std::vector<uint64_t> delivered;
        std::vector<LumvekStreamStatistics> statistics(cameras.size());
        for (size_t i = 0; i < cameras.size(); ++i) {
            delivered.push_back(cameras[i]->frames.load() - first[i]);
            cameras[i]->measuring.store(false);
            statistics[i].size = sizeof(LumvekStreamStatistics);
            if (LumvekStream_GetStatistics(cameras[i]->handle, &statistics[i]) != 1) {
                statistics[i] = {};
            }
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double sdkCpu = lumvek::bench::processCpuSeconds(getpid()) - sdk0;
        const double simCpu = lumvek::bench::processCpuSeconds(daemon.pid()) - sim0;
        const double rss = lumvek::bench::residentMiB();

        // A free-running camera makes floor(elapsed / period) frames in the
        // interval, give or take one; fewer arrivals than that were missed.
        const auto made = static_cast<int64_t>(std::floor(elapsed * 1000.0 / kSensorPeriodMs));
        uint64_t total = 0;
        double worstMedianMs = 0.0;
        double worstP99Ms = 0.0;
        for (size_t i = 0; i < cameras.size(); ++i) {
            const double medianMs = static_cast<double>(statistics[i].latencyMedianNs) * 1e-6;
            const double p99Ms = static_cast<double>(statistics[i].latencyP99Ns) * 1e-6;
            worstMedianMs = std::max(worstMedianMs, medianMs);
            worstP99Ms = std::max(worstP99Ms, p99Ms);
            total += delivered[i];
            const int64_t missed = std::max<int64_t>(0, made - static_cast<int64_t>(delivered[i]));
            const std::vector<double> arrivals = cameras[i]->arrivals();
            const lumvek::bench::ArrivalSlots slots = lumvek::bench::countArrivalSlots(arrivals, kSensorPeriodMs);
            std::printf("camera %zu frames %llu fps %.2f missed %lld dropped %llu late %llu spread_ms %.1f "
                        "longest_gap_ms %.1f errors %llu latency_median_ms %.1f latency_p99_ms %.1f\n",
                        i, static_cast<unsigned long long>(delivered[i]),
                        static_cast<double>(delivered[i]) / elapsed, static_cast<long long>(missed),
                        static_cast<unsigned long long>(slots.dropped), static_cast<unsigned long long>(slots.late),
                        slots.spreadMs, longestGapMs(arrivals),
                        static_cast<unsigned long long>(cameras[i]->errors.load()), medianMs, p99Ms);
        }
        const double perFrame = total > 0 ? 1000.0 / static_cast<double>(total) : 0.0;
        std::printf("cameras %d\nbits %d\ntone %d\nseconds %.1f\ncamera_fps %.2f\n", o.cameras, o.bits, o.tone ? 1 : 0,
                    elapsed, 1000.0 / kSensorPeriodMs);
        std::printf("sdk_cpu_percent %.1f\nsim_cpu_percent %.1f\n", 100.0 * sdkCpu / elapsed, 100.0 * simCpu / elapsed);
        std::printf("sdk_cpu_ms_per_frame %.2f\nsim_cpu_ms_per_frame %.2f\n", sdkCpu * perFrame, simCpu * perFrame);
        std::printf("sdk_vmrss_mib %.1f\n", rss);
        std::printf("latency_median_ms_max %.1f\nlatency_p99_ms_max %.1f\n", worstMedianMs, worstP99Ms);
        std::fflush(stdout);
        for (const auto& camera : cameras) {
            if (camera->errors.load() != 0) {
                std::fprintf(stderr, "lumvek-bench-cameras: the SDK reported error %d\n", camera->lastError.load());
            }
        }
    }
    for (auto& camera : cameras) {
        stopCamera(*camera);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        return usage("bad arguments");
    }
    return run(options);
}
