// The CPU the preview's X11 thread takes while a simulated R13 streams full
// 24-bit frames at its own rate (about 10.8 frames/s) into the top-level
// preview window: lumvek-bench-preview-cpu [seconds]. Prints the frame rate,
// the X11 thread's share of one core and the whole process's.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "xvfb_server.h"

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kSensorWidth = 2336;
constexpr int kSensorHeight = 1752;

// User + system time of the threads named `name` (all threads when empty), in seconds.
double threadCpuSeconds(const std::string& name) {
    double ticks = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (!name.empty() && comm != name)
            continue;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        // Fields after the command's closing parenthesis: state is field 3,
        // utime 14 and stime 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stod(field);
            if (i == 15)
                stime = std::stod(field);
        }
        ticks += utime + stime;
    }
    closedir(tasks);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : kDefaultSeconds;
    std::unique_ptr<lumvek::test::XvfbServer> server;
    if (std::getenv("DISPLAY") == nullptr) {
        server = std::make_unique<lumvek::test::XvfbServer>(2560, 2048);
        if (!server->ok()) {
            std::fprintf(stderr, "no X server\n");
            return 1;
        }
        setenv("DISPLAY", server->display().c_str(), 1);
    }
    const std::string dir = "/tmp/lumvek-bench-preview-cpu-" + std::to_string(getpid());
    setenv("LUMVEK_REGISTRY_FILE", (dir + "-registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", ("/lumvek-bench-preview-" + std::to_string(getpid())).c_str(), 1);
    setenv("LUMVEK_SIM_CAMERAS", "product=0x3090,name=bench,pattern=chart", 1);

    HWND messages = LumvekWnd_CreateMessageWindow();
    const int32_t handle = Lumvek_Initialize(nullptr);
    if (handle == 0 || Lumvek_SetColorMode(handle, 24) != 1)
        return 1;
    std::vector<uint8_t> frame(static_cast<size_t>(kSensorWidth) * kSensorHeight * 3);
    if (Lumvek_CallBackPreview(handle, messages, frame.data(), static_cast<int>(frame.size()), 1) != 1)
        return 1;
    // Settle: the first frames allocate.
    LumvekMsg msg;
    for (int settled = 0; settled < 3 && LumvekWnd_GetMessage(messages, &msg, 5000) == 1;)
        settled += msg.message == LUMVEK_WM_FRAME && msg.wParam != 0;

    const double x11Before = threadCpuSeconds("lumvek-x11");
    const double allBefore = threadCpuSeconds("");
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    int frames = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (LumvekWnd_GetMessage(messages, &msg, 1000) == 1 && msg.message == LUMVEK_WM_FRAME && msg.wParam != 0)
            ++frames;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double x11 = threadCpuSeconds("lumvek-x11") - x11Before;
    const double all = threadCpuSeconds("") - allBefore;
    HWND preview = nullptr;
    const bool onServer = LumvekWnd_EnumWindows(nullptr, &preview, 1) == 1 && LumvekWnd_X11Window(preview) != 0;
    std::printf("frames/s %.2f  X11 thread %.1f%% of one core  process %.1f%%  (%s, %d s)\n", frames / wall,
                100.0 * x11 / wall, 100.0 * all / wall, onServer ? "on the X server" : "off screen", seconds);
    Lumvek_Close(handle);
    Lumvek_Release(handle);
    LumvekWnd_DestroyWindow(messages);
    for (const char* suffix : {"", "-shm", "-wal"})
        std::remove((dir + "-registry.sqlite3" + suffix).c_str());
    return 0;
}
