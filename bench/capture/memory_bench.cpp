// Resident memory per streaming camera: N simulated R13 cameras in this
// process (LUMVEK_SIM_CAMERAS), each an SDK instance streaming full-frame
// callback previews through the public API. Prints VmRSS and VmHWM before
// opening, after opening, while streaming and after releasing, total and per
// camera, and the frames each camera delivered.
//
//   lumvek-bench-memory [--cameras N] [--bits 24] [--seconds S] [--tone] [--mask-filter]
//                       [--preview-window] [--smaps]
//
// --tone turns every tone control on (brightness, contrast, hue, saturation,
// sharpness, gamma); --mask-filter the mask and dot filters, which read the
// reference frames and masks.
//
// The application's own callback buffers (one frame each) are part of the
// process; they are reported apart so the SDK's share can be read off.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"

namespace {

constexpr int kSensorWidth = 2336;
constexpr int kSensorHeight = 1752;
constexpr int kMaxCameras = 16;
constexpr int kFirstFrameWaitMs = 30000;
constexpr int kSampleIntervalMs = 200;
constexpr double kKiBPerMiB = 1024.0;
constexpr size_t kSmapsLinesShown = 25;
constexpr long kSmapsMinKiB = 1024;

struct Options {
    int cameras = 1;
    int bits = 24;
    double seconds = 5.0;
    bool previewWindow = false;
    bool tone = false;
    bool maskFilter = false;
    bool smaps = false;
};

// Filter selectors and the values a busy application might use.
struct FilterSetting {
    int selector;
    int value;
};
constexpr FilterSetting kToneControls[] = {{1, 20}, {2, 30}, {3, 15}, {4, 40}, {5, 8}, {11, 120}};
constexpr FilterSetting kDefectFilters[] = {{103, 1}, {102, 1}};  // mask filter, dot filter

struct Resident {
    long rssKiB = 0;
    long hwmKiB = 0;
};

long statusField(const std::string& text, const char* name) {
    const size_t at = text.find(name);
    if (at == std::string::npos) {
        return 0;
    }
    return std::strtol(text.c_str() + at + std::strlen(name), nullptr, 10);
}

Resident resident() {
    std::ifstream in("/proc/self/status");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Resident{statusField(text, "VmRSS:"), statusField(text, "VmHWM:")};
}

double mib(long kib) { return static_cast<double>(kib) / kKiBPerMiB; }

void print(const char* stage, const Resident& now, const Resident& base, int cameras) {
    const double perCamera = cameras > 0 ? mib(now.rssKiB - base.rssKiB) / cameras : 0.0;
    std::printf("%-22s VmRSS %8.1f MiB  VmHWM %8.1f MiB  above start %8.1f MiB  per camera %7.1f MiB\n", stage,
                mib(now.rssKiB), mib(now.hwmKiB), mib(now.rssKiB - base.rssKiB), perCamera);
}

// The largest resident mappings, to find where the megabytes are.
void printSmaps() {
    std::ifstream in("/proc/self/smaps");
    std::string line;
    std::string mapping;
    std::vector<std::pair<long, std::string>> sizes;
    while (std::getline(in, line)) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 16) {
            mapping = line;
        } else if (line.rfind("Rss:", 0) == 0) {
            const long kib = std::strtol(line.c_str() + 4, nullptr, 10);
            if (kib >= kSmapsMinKiB) {
                sizes.emplace_back(kib, mapping);
            }
        }
    }
    std::sort(sizes.begin(), sizes.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::printf("largest resident mappings (Rss >= 1 MiB):\n");
    for (size_t i = 0; i < sizes.size() && i < kSmapsLinesShown; ++i) {
        std::printf("  %8.1f MiB  %s\n", mib(sizes[i].first), sizes[i].second.c_str());
    }
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--cameras" && hasValue) {
            options.cameras = std::atoi(argv[++i]);
        } else if (arg == "--bits" && hasValue) {
            options.bits = std::atoi(argv[++i]);
        } else if (arg == "--seconds" && hasValue) {
            options.seconds = std::atof(argv[++i]);
        } else if (arg == "--preview-window") {
            options.previewWindow = true;
        } else if (arg == "--tone") {
            options.tone = true;
        } else if (arg == "--mask-filter") {
            options.maskFilter = true;
        } else if (arg == "--smaps") {
            options.smaps = true;
        } else {
            return false;
        }
    }
    const int b = options.bits;
    return options.cameras >= 1 && options.cameras <= kMaxCameras && options.seconds > 0 &&
           (b == 8 || b == 16 || b == 24 || b == 32 || b == 48 || b == 64);
}

// Isolates the settings store, device table and socket folder, and names the
// in-process cameras the library creates at its first look for cameras.
std::filesystem::path isolate(int cameras) {
    const auto dir = std::filesystem::temp_directory_path() / ("lumvek-bench-memory-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "devices");
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", ("/lumvek-bench-memory-" + std::to_string(getpid())).c_str(), 1);
    setenv("LUMVEK_DEVICE_DIR", (dir / "devices").c_str(), 1);
    std::string descriptions;
    for (int i = 0; i < cameras; ++i) {
        descriptions += (i ? ";" : "") + std::string("product=0x3090,pattern=chart,name=mem") + std::to_string(i);
    }
    setenv("LUMVEK_SIM_CAMERAS", descriptions.c_str(), 1);
    return dir;
}

struct Camera {
    int32_t handle = 0;
    HWND window = nullptr;
    std::vector<uint8_t> buffer;
    std::atomic<long> frames{0};
};

void countFrame(void* context, const LumvekMsg* msg) {
    if (msg->message == LUMVEK_WM_FRAME && msg->wParam != 0) {
        static_cast<Camera*>(context)->frames.fetch_add(1, std::memory_order_relaxed);
    }
}

bool waitFirstFrames(const std::vector<std::unique_ptr<Camera>>& cameras) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFirstFrameWaitMs);
    for (const auto& camera : cameras) {
        while (camera->frames.load() == 0) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kSampleIntervalMs / 4));
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: lumvek-bench-memory [--cameras 1..%d] [--bits 8|16|24|32|48|64] [--seconds S] "
                     "[--tone] [--mask-filter] [--preview-window] [--smaps]\n",
                     kMaxCameras);
        return 2;
    }
    const auto dir = isolate(options.cameras);
    const int bytesPerPixel = options.bits / 8;
    const size_t stride = (static_cast<size_t>(kSensorWidth) * bytesPerPixel + 3) & ~size_t{3};
    const size_t frameBytes = stride * kSensorHeight;

    std::printf("%d simulated R13 camera(s), %d-bit full-frame callback previews, %s preview window, tone controls "
                "%s, mask and dot filters %s, %.1f s\n",
                options.cameras, options.bits, options.previewWindow ? "with" : "no", options.tone ? "on" : "off",
                options.maskFilter ? "on" : "off", options.seconds);
    const Resident start = resident();
    print("before opening", start, start, options.cameras);

    std::vector<std::unique_ptr<Camera>> cameras;
    int status = 0;
    for (int i = 0; i < options.cameras; ++i) {
        auto camera = std::make_unique<Camera>();
        camera->handle = Lumvek_Initialize(nullptr);
        if (camera->handle == 0 || Lumvek_SetDeviceNumber(camera->handle, i) != 1 ||
            Lumvek_SetColorMode(camera->handle, options.bits) != 1) {
            std::fprintf(stderr, "camera %d: could not open (error %d)\n", i, Lumvek_GetLastError(camera->handle));
            status = 1;
        }
        if (!options.previewWindow) {
            (void)Lumvek_SetPreviewWindow(camera->handle, nullptr, 0, 0, 0, 0);
        }
        for (const FilterSetting& f : kToneControls) {
            (void)(options.tone && Lumvek_SetFilterValue(camera->handle, f.selector, f.value));
        }
        for (const FilterSetting& f : kDefectFilters) {
            (void)(options.maskFilter && Lumvek_SetFilterValue(camera->handle, f.selector, f.value));
        }
        cameras.push_back(std::move(camera));
    }
    print("after opening", resident(), start, options.cameras);

    // The application's buffers, written by the library at every frame.
    for (auto& camera : cameras) {
        camera->buffer.resize(frameBytes);
        camera->window = LumvekWnd_CreateMessageWindow();
        (void)LumvekWnd_SetMessageHandler(camera->window, countFrame, camera.get());
    }
    const double applicationMiB = static_cast<double>(frameBytes) * options.cameras / (kKiBPerMiB * kKiBPerMiB);
    for (auto& camera : cameras) {
        if (status == 0 && Lumvek_CallBackPreview(camera->handle, camera->window, camera->buffer.data(),
                                                  static_cast<int>(camera->buffer.size()), 1) != 1) {
            std::fprintf(stderr, "callback preview failed (error %d)\n", Lumvek_GetLastError(camera->handle));
            status = 1;
        }
    }
    if (status == 0 && !waitFirstFrames(cameras)) {
        std::fprintf(stderr, "a camera delivered no frame in %d ms\n", kFirstFrameWaitMs);
        status = 1;
    }

    Resident peakSample;
    std::vector<long> framesAtStart;
    for (const auto& camera : cameras) {
        framesAtStart.push_back(camera->frames.load());
    }
    const auto begin = std::chrono::steady_clock::now();
    const auto end = begin + std::chrono::duration<double>(options.seconds);
    while (status == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kSampleIntervalMs));
        const Resident now = resident();
        peakSample.rssKiB = std::max(peakSample.rssKiB, now.rssKiB);
        peakSample.hwmKiB = now.hwmKiB;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const Resident streaming = resident();
    print("streaming (last)", streaming, start, options.cameras);
    print("streaming (peak)", peakSample, start, options.cameras);
    // The simulated camera's own frame (one raw frame) is in the rest too:
    // a real camera keeps it on the device.
    std::printf("application buffers    %8.1f MiB (%.1f per camera); the rest (SDK and simulated camera) per camera "
                "while streaming %.1f MiB\n",
                applicationMiB, applicationMiB / options.cameras,
                (mib(streaming.rssKiB - start.rssKiB) - applicationMiB) / options.cameras);
    for (size_t i = 0; i < cameras.size(); ++i) {
        const long frames = cameras[i]->frames.load() - framesAtStart[i];
        std::printf("camera %zu: %ld frames in %.1f s (%.2f frames/s)\n", i, frames, elapsed, frames / elapsed);
    }
    if (options.smaps) {
        printSmaps();
    }

    for (auto& camera : cameras) {
        (void)Lumvek_StopPreview(camera->handle);
    }
    for (auto& camera : cameras) {
        (void)Lumvek_Release(camera->handle);
        if (camera->window != nullptr) {
            (void)LumvekWnd_DestroyWindow(camera->window);
        }
    }
    cameras.clear();
    print("after release", resident(), start, options.cameras);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return status;
}
