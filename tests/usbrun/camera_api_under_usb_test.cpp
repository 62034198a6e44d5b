// The public API against cameras that the library reaches through the
// system's libusb only: each UsbRun test starts `lumvek-camsim usb-run` with
// its cameras and runs the matching UsbRunInner test inside it (skipped when
// run directly).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <csignal>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "support/test_env.h"
#include "usb_run_launcher.h"

namespace lumvek::test {
namespace {

constexpr int kW = 2336;
constexpr int kH = 1752;
// An instrumented build processes a full frame many times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kMessageWaitMs = 60000;
#else
constexpr int kMessageWaitMs = 10000;
#endif

// A smooth ramp (so the always-on spike filter finds nothing to repair).
std::vector<uint16_t> sceneSamples(int maxval) {
    std::vector<uint16_t> samples(static_cast<size_t>(kW) * kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            samples[static_cast<size_t>(y) * kW + x] = static_cast<uint16_t>(
                (static_cast<int64_t>(x) * maxval / (kW - 1) + static_cast<int64_t>(y) * maxval / (kH - 1)) / 2);
        }
    }
    return samples;
}

std::string writePgm(const std::string& path, int maxval, const std::vector<uint16_t>& samples) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << kW << " " << kH << "\n" << maxval << "\n";
    for (uint16_t s : samples) {
        if (maxval < 256) {
            out.put(static_cast<char>(s));
        } else {
            out.put(static_cast<char>(s >> 8));
            out.put(static_cast<char>(s & 0xFF));
        }
    }
    return path;
}

std::string freshControlDir(const std::string& stem) {
    return makeTempDir(stem).string();
}

// Runs inner test `name` under usb-run with `cameras`.
void expectInnerPasses(const std::string& name, const std::vector<std::string>& cameras) {
    EXPECT_EQ(runUnderUsbRun(cameras, "UsbRunInner." + name, freshControlDir("usbrun")), 0)
        << "UsbRunInner." << name << " failed under usb-run (its output is above)";
}

int ctl(const std::string& command, const std::string& camera) {
    return runProgram({LUMVEK_CAMSIM_PATH, "ctl", "--dir", usbRunControlDir(), command, camera});
}

class UsbRunInner : public ::testing::Test {
protected:
    void SetUp() override {
        if (!underUsbRun()) GTEST_SKIP() << "runs inside lumvek-camsim usb-run only";
        window_ = LumvekWnd_CreateMessageWindow();
    }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
        if (window_ != nullptr) LumvekWnd_DestroyWindow(window_);
    }
    // The next message of this kind within the bound; false when none came.
    bool waitMessage(uint32_t message, LumvekMsg& out, int timeoutMs = kMessageWaitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0 || LumvekWnd_GetMessage(window_, &out, static_cast<int>(left)) != 1) return false;
            if (out.message == message) return true;
        }
    }
    int lastCode(int wanted) {
        int code = -1;
        for (int i = 0; i < 20 && code != wanted && code != 0; ++i) code = Lumvek_GetLastError(handle_);
        return code;
    }
    HWND window_ = nullptr;
    int32_t handle_ = 0;
};

// --- enumeration ---------------------------------------------------------

TEST(UsbRun, CamerasAreFoundAndNumberedThroughLibusb) {
    expectInnerPasses("Enumeration", {"product=0x3090,name=r13a,fps=40,pattern=chart",
                                      "product=0x3200,name=other,fps=40",
                                      "product=0x3090,name=r13b,fps=40,pattern=ramp"});
}

TEST_F(UsbRunInner, Enumeration) {
    handle_ = Lumvek_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    char names[10][256];
    EXPECT_EQ(Lumvek_EnumDevice(handle_, names), 2);
    EXPECT_STREQ(names[0], "LumvekR13-USB3-K7_01");
    EXPECT_STREQ(names[1], "LumvekR13-USB3-K7_02");
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 1), 1);
    EXPECT_EQ(Lumvek_SetDeviceNumber(handle_, 2), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_NO_CAMERA);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    // Registers round-trip through vendor control transfers.
    EXPECT_EQ(Lumvek_SetIOPort(handle_, 0x5A), 1);
    int ok = 0;
    EXPECT_EQ(Lumvek_Fpga_ReadRegister(handle_, 7, &ok), 0x5A);
}

TEST(UsbRun, AllThreeBackendsAtOnceAreNumberedTogether) {
    expectInnerPasses("AllThreeBackends", {"product=0x3090,name=usbcam,fps=40,pattern=ramp"});
}

// A simulator daemon serving in this process's device folder; ended with the scope.
class DaemonProcess {
public:
    explicit DaemonProcess(const std::string& camera) {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> args{LUMVEK_CAMSIM_PATH, "--dir", std::getenv("LUMVEK_DEVICE_DIR"), "--camera", camera};
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Without the preload library: the daemon is a process of its own, not a USB user.
        std::vector<std::string> env{"PATH=/usr/bin:/bin"};
        std::vector<char*> envp{env[0].data(), nullptr};
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        pollfd ready{out[0], POLLIN, 0};
        char line[16] = {};
        ready_ = pid_ > 0 && ::poll(&ready, 1, kMessageWaitMs) == 1 && ::read(out[0], line, sizeof line - 1) > 0 &&
                 std::string(line) == "ready\n";
        ::close(out[0]);
    }
    ~DaemonProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    [[nodiscard]] bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

TEST_F(UsbRunInner, AllThreeBackends) {
    ScopedEnv inProcess("LUMVEK_SIM_CAMERAS", "product=0x3090,name=inproc,fps=40,pattern=chart");
    DaemonProcess daemon("product=0x3090,name=served,fps=40,pattern=black");
    ASSERT_TRUE(daemon.ready());
    handle_ = Lumvek_Initialize(nullptr);
    char names[10][256];
    ASSERT_EQ(Lumvek_EnumDevice(handle_, names), 3);
    EXPECT_STREQ(names[2], "LumvekR13-USB3-K7_03");
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);
    for (int number = 0; number < 3; ++number) {
        ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, number), 1) << number;
        EXPECT_EQ(Lumvek_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1) << number;
    }
}

// --- exact raw scenes ----------------------------------------------------

TEST(UsbRun, ExactEightAndSixteenBitScenesInBothRowOrders) {
    const std::string dir = makeTempDir("scenes").string();
    const auto scene8 = writePgm(dir + "/scene8.pgm", 255, sceneSamples(255));
    const auto scene16 = writePgm(dir + "/scene16.pgm", 65535, sceneSamples(1023));
    // No serial numbers: numbered in port order, raw8 first (serials would sort raw16 first).
    expectInnerPasses("ExactScenes", {"product=0x3090,name=raw8,fps=40,serial=,scene=" + scene8,
                                      "product=0x3090,name=raw16,fps=40,serial=,scene=" + scene16});
}

TEST_F(UsbRunInner, ExactScenes) {
    handle_ = Lumvek_Initialize(nullptr);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    const auto samples8 = sceneSamples(255);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(Lumvek_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1)
        << Lumvek_GetLastError(handle_);
    size_t mismatches = 0;
    for (size_t i = 0; i < frame.size(); ++i) mismatches += frame[i] != samples8[i];
    EXPECT_EQ(mismatches, 0u);
    // Top-down flag 0: the same rows, last first.
    std::vector<uint8_t> reversed(frame.size());
    ASSERT_EQ(Lumvek_SnapShot(handle_, reversed.data(), static_cast<int>(reversed.size()), 0), 1);
    for (int y = 0; y < kH; y += 97) {
        EXPECT_EQ(std::memcmp(reversed.data() + static_cast<size_t>(kH - 1 - y) * kW,
                              frame.data() + static_cast<size_t>(y) * kW, kW),
                  0)
            << "row " << y;
    }

    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 1), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 16), 1);
    std::vector<uint16_t> wide(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(Lumvek_SnapShot(handle_, wide.data(), static_cast<int>(wide.size() * 2), 1), 1)
        << Lumvek_GetLastError(handle_);
    EXPECT_TRUE(wide == sceneSamples(1023));
    std::vector<uint16_t> wideReversed(wide.size());
    ASSERT_EQ(Lumvek_SnapShot(handle_, wideReversed.data(), static_cast<int>(wideReversed.size() * 2), 0), 1);
    EXPECT_EQ(std::memcmp(wideReversed.data(), wide.data() + static_cast<size_t>(kH - 1) * kW, kW * 2), 0);
}

// --- callback preview, unplug, device change ------------------------------

TEST(UsbRun, CallbackPreviewUnplugAndReplug) {
    expectInnerPasses("PreviewUnplugReplug", {"product=0x3090,name=cam0,fps=30,pattern=chart"});
}

TEST_F(UsbRunInner, PreviewUnplugReplug) {
    handle_ = Lumvek_Initialize(window_);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    ASSERT_EQ(Lumvek_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    static std::vector<uint8_t> buffer(static_cast<size_t>(kW) * kH);  // outlives the frame loop
    ASSERT_EQ(Lumvek_CallBackPreview(handle_, window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    LumvekMsg msg{};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        ASSERT_NE(msg.wParam, 0u) << "lParam " << msg.lParam;
    }
    ASSERT_EQ(ctl("unplug", "cam0"), 0);
    bool lost = false;
    while (!lost && waitMessage(LUMVEK_WM_FRAME, msg, 30000)) {
        lost = msg.wParam == 0 && msg.lParam == LUMVEK_ERR_DEVICE_LOST;
    }
    EXPECT_TRUE(lost);
    EXPECT_EQ(Lumvek_StopPreview(handle_), 1);
    EXPECT_EQ(lastCode(LUMVEK_ERR_DEVICE_LOST), LUMVEK_ERR_DEVICE_LOST);
}

TEST(UsbRun, ArrivalAndRemovalArePostedToTheNotificationWindow) {
    expectInnerPasses("DeviceChange", {"product=0x3090,name=cam0,fps=30,pattern=chart"});
}

TEST_F(UsbRunInner, DeviceChange) {
    handle_ = Lumvek_Initialize(window_);
    ASSERT_NE(handle_, 0);
    LumvekMsg msg{};
    while (LumvekWnd_GetMessage(window_, &msg, 0) == 1) {
    }
    ASSERT_EQ(ctl("unplug", "cam0"), 0);
    ASSERT_TRUE(waitMessage(LUMVEK_WM_DEVICECHANGE, msg));
    EXPECT_EQ(msg.wParam, 0x8004u);
    char names[10][256];
    EXPECT_EQ(Lumvek_EnumDevice(handle_, names), 0);
    ASSERT_EQ(ctl("replug", "cam0"), 0);
    ASSERT_TRUE(waitMessage(LUMVEK_WM_DEVICECHANGE, msg));
    EXPECT_EQ(msg.wParam, 0x8000u);
    // Back at the same port: the same path, the same number, and it works.
    EXPECT_EQ(Lumvek_EnumDevice(handle_, names), 1);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);
    EXPECT_EQ(Lumvek_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);
}

// --- one process at a time -------------------------------------------------

TEST(UsbRun, ASecondProcessCannotOpenACameraTheFirstStreamsFrom) {
    expectInnerPasses("ExclusiveAccess", {"product=0x3090,name=cam0,fps=30,pattern=chart"});
}

TEST_F(UsbRunInner, ExclusiveAccess) {
    handle_ = Lumvek_Initialize(window_);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    ASSERT_EQ(Lumvek_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    static std::vector<uint8_t> buffer(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(Lumvek_CallBackPreview(handle_, window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    ASSERT_NE(msg.wParam, 0u);
    // The tool in another process: the camera is claimed, so it does not open.
    EXPECT_NE(runProgram({LUMVEK_TOOL_PATH, "snap", "-d", "0", "-o", makeTempDir("second").string() + "/x.bmp"}), 0);
    // The first process keeps streaming.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        ASSERT_NE(msg.wParam, 0u) << "lParam " << msg.lParam;
    }
    EXPECT_EQ(Lumvek_StopPreview(handle_), 1);
}

} // namespace
} // namespace lumvek::test
