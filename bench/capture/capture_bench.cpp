// The frame loop's cost per frame: a simulated R13 streams full frames as
// fast as the loop takes them; the benchmark reports the process's CPU time
// and the wall time per delivered frame, for each colour mode, with the
// default chain and with every tone control on.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "LumvekWindow.h"
#include "instance/lumvek.h"
#include "platform/window/messages.h"
#include "sim/in_process_camera.h"

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void FrameLoop(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const bool toneControls = state.range(1) != 0;
    const auto dir = std::filesystem::temp_directory_path() / "lumvek-bench-capture";
    std::filesystem::create_directories(dir);
    // A fresh settings store per case: the instance saves its filter values
    // at release, and the next case must start from the defaults.
    std::filesystem::remove(dir / "registry.sqlite3");
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", "/lumvek-bench-capture", 1);

    std::string error;
    auto camera = lumvek::sim::InProcessCamera::create("product=0x3090,name=bench,fps=200,pattern=chart", error);
    if (!camera) {
        state.SkipWithError(error.c_str());
        return;
    }
    HWND window = lumvek::platform::window::createMessageWindow();
    std::vector<uint8_t> buffer(static_cast<size_t>(2336) * 8 * 1752);
    lumvek::CLumvek instance;
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
        while (lumvek::platform::window::getMessage(window, &msg, 5000) == 1) {
            if (msg.message == LUMVEK_WM_FRAME && msg.wParam != 0) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < 3; ++i) {
        (void)nextFrame();
    }
    int64_t frames = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        const double before = processCpuSeconds();
        if (!nextFrame()) {
            state.SkipWithError("no frame");
            break;
        }
        cpu += processCpuSeconds() - before;
        ++frames;
    }
    (void)instance.Close();
    lumvek::platform::window::destroyWindow(window);
    state.counters["cpu_ms_per_frame"] = frames > 0 ? 1000.0 * cpu / static_cast<double>(frames) : 0.0;
    state.counters["frames"] = static_cast<double>(frames);
}

} // namespace

BENCHMARK(FrameLoop)
    ->ArgsProduct({{8, 16, 24, 32, 48, 64}, {0, 1}})
    ->ArgNames({"bits", "tone"})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
