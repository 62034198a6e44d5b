#include "frame_loop_cost.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "LumvekStream.h"
#include "LumvekWindow.h"
#include "instance/lumvek.h"
#include "platform/window/messages.h"
#include "sim/in_process_camera.h"

namespace lumvek::bench {

namespace {

constexpr int kWarmupFrames = 3;
constexpr uint32_t kFrameWaitMs = 5000;
constexpr size_t kLargestFrameBytes = static_cast<size_t>(2336) * 8 * 1752;

double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3;
}

double minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_minflt);
}

double wallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

FrameLoopCost measureFrameLoop(int bits, bool toneControls, int frames, int fps) {
    FrameLoopCost cost;
    const auto dir = std::filesystem::temp_directory_path() / "lumvek-bench-capture";
    std::filesystem::create_directories(dir);
    // A fresh settings store per case: the instance saves its filter values
    // at release, and the next case must start from the defaults.
    std::filesystem::remove(dir / "registry.sqlite3");
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", "/lumvek-bench-capture", 1);

    // The still chart is rendered once: the simulator's host time per frame
    // is then the transfer's copy, not a rendering beside the frame loop.
    const std::string description = "product=0x3090,name=bench,fps=" + std::to_string(fps) + ",pattern=still";
    auto camera = sim::InProcessCamera::create(description, cost.error);
    if (!camera) {
        return cost;
    }
    HWND window = platform::window::createMessageWindow();
    std::vector<uint8_t> buffer(kLargestFrameBytes);
    CLumvek instance;
    (void)instance.Initialize(window);
    (void)instance.SetColorMode(bits);
    (void)instance.SetWaitTime(0);
    if (toneControls) {
        (void)instance.SetFilterValue(1, 20);   // brightness
        (void)instance.SetFilterValue(2, 30);   // contrast
        (void)instance.SetFilterValue(3, 15);   // hue
        (void)instance.SetFilterValue(4, 40);   // saturation
        (void)instance.SetFilterValue(5, 8);    // sharpness
        (void)instance.SetFilterValue(11, 120); // gamma
    }
    (void)instance.SetPreviewWindow(nullptr, 0, 0, 0, 0);
    (void)instance.CallBackPreview(window, buffer.data(), static_cast<int>(buffer.size()), 1);

    LumvekMsg msg{};
    auto nextFrame = [&] {
        while (platform::window::getMessage(window, &msg, kFrameWaitMs) == 1) {
            if (msg.message == LUMVEK_WM_FRAME && msg.wParam != 0) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < kWarmupFrames; ++i) {
        (void)nextFrame();
    }
    (void)instance.ResetStreamStatistics();
    const double cpu0 = processCpuMs();
    const double faults0 = minorFaults();
    const double sim0 = camera->device().workCpuSeconds() * 1e3;
    const double wall0 = wallMs();
    for (; cost.frames < frames; ++cost.frames) {
        if (!nextFrame()) {
            cost.error = "no frame";
            break;
        }
    }
    const double n = std::max(cost.frames, 1);
    cost.processCpuMs = (processCpuMs() - cpu0) / n;
    cost.minorFaults = (minorFaults() - faults0) / n;
    cost.simulatorCpuMs = (camera->device().workCpuSeconds() * 1e3 - sim0) / n;
    cost.sdkCpuMs = cost.processCpuMs - cost.simulatorCpuMs;
    cost.wallMs = (wallMs() - wall0) / n;
    LumvekStreamStatistics statistics{};
    statistics.size = sizeof statistics;
    if (instance.GetStreamStatistics(&statistics) == 1 && statistics.latencySamples > 0) {
        cost.latencyMedianMs = static_cast<double>(statistics.latencyMedianNs) * 1e-6;
        cost.latencyP99Ms = static_cast<double>(statistics.latencyP99Ns) * 1e-6;
    }
    (void)instance.Close();
    platform::window::destroyWindow(window);
    return cost;
}

} // namespace lumvek::bench
