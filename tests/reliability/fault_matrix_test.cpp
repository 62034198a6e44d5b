// Every fault a camera can show against every way of taking frames: the
// code the application gets, whether frames come back without reopening, and
// how long that takes. No delivered frame may be a failed one, and nothing
// may hang past the time-outs.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "reliability_fixture.h"
#include "support/test_env.h"

namespace lumvek::test {
namespace {

constexpr int kFullFrameBytes = 2336 * 1752;

enum class Mode { SnapShot, CallbackPreview, Record };

struct FaultRow {
    const char* fault;   // the camera description's fault, for the report
    int camera;          // device number of the camera that shows it
    bool recovers;       // frames come back on the same instance
    int lostCode;        // otherwise: the code the application gets
};

// Counted faults hit the first frames and are retried by the transfer
// thread; a read that stalls longer than a header attempt every time is a
// lost camera; a capped link is only slower.
const FaultRow kRows[] = {
    {"drop-headers=3", kFirstFaultCamera + 0, true, 0},
    {"short-data=2", kFirstFaultCamera + 1, true, 0},
    {"undersize=2", kFirstFaultCamera + 2, true, 0},
    {"oversize=2", kFirstFaultCamera + 3, true, 0},
    {"stall-ms=300", kFirstFaultCamera + 4, false, LUMVEK_ERR_DEVICE_LOST},
    {"rate=40", kFirstFaultCamera + 5, true, 0},
};

std::string modeName(Mode mode) {
    switch (mode) {
    case Mode::SnapShot: return "snapshot";
    case Mode::CallbackPreview: return "callback preview";
    case Mode::Record: return "record";
    }
    return "?";
}

class FaultMatrix : public Reliability, public ::testing::WithParamInterface<std::tuple<FaultRow, Mode>> {
protected:
    void report(const FaultRow& row, Mode mode, const std::string& outcome, double seconds) {
        std::printf("fault-matrix | %-14s | %-16s | %-28s | %6.2f s\n", row.fault, modeName(mode).c_str(),
                    outcome.c_str(), seconds);
    }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_P(FaultMatrix, GivesTheRightCodeAndRecoversWhereTheCameraDoes) {
    const auto [row, mode] = GetParam();
    const int32_t handle = open(row.camera);
    std::vector<uint8_t> frame(kFullFrameBytes);
    const auto started = std::chrono::steady_clock::now();

    if (mode == Mode::SnapShot) {
        // A failed snapshot is retried by the application, as it would be.
        int result = 0;
        for (int attempt = 0; attempt < 3 && result == 0; ++attempt) {
            result = Lumvek_SnapShot(handle, frame.data(), kFullFrameBytes, 1);
            if (result == 0) {
                EXPECT_EQ(Lumvek_GetLastError(handle), LUMVEK_ERR_FRAME);
            }
        }
        EXPECT_EQ(result, row.recovers ? 1 : 0);
        report(row, mode, result ? "frame" : "code 8", secondsSince(started));
    } else if (mode == Mode::CallbackPreview) {
        HWND window = LumvekWnd_CreateMessageWindow();
        ASSERT_EQ(Lumvek_CallBackPreview(handle, window, frame.data(), kFullFrameBytes, 1), 1);
        int frames = 0;
        intptr_t code = 0;
        LumvekMsg msg{};
        while (frames < 3 && code == 0 && secondsSince(started) < 60.0 * kSlowdown) {
            if (LumvekWnd_GetMessage(window, &msg, 500) == 1 && msg.message == LUMVEK_WM_FRAME) {
                if (msg.wParam != 0) {
                    ++frames;
                } else {
                    code = msg.lParam;
                }
            }
        }
        if (row.recovers) {
            EXPECT_EQ(frames, 3);
            EXPECT_EQ(code, 0);
        } else {
            EXPECT_EQ(code, row.lostCode);
        }
        report(row, mode, code == 0 ? "3 frames" : "lParam " + std::to_string(code), secondsSince(started));
        EXPECT_EQ(Lumvek_StopPreview(handle), 1);
        LumvekWnd_DestroyWindow(window);
    } else {
        const auto avi = makeTempDir("fault") / "fault.avi";
        ASSERT_EQ(Lumvek_Record(handle, avi.string().c_str(), 1000, 0), 1);
        // The recording ends by itself; the format may change again then.
        ASSERT_TRUE(waitFor([&] { return Lumvek_SetColorMode(handle, 8) == 1; }, 60000 * kSlowdown));
        int lost = 0;
        for (int code; (code = Lumvek_GetLastError(handle)) != 0;) {
            lost = code == LUMVEK_ERR_DEVICE_LOST ? code : lost;
        }
        std::error_code ignored;
        const auto bytes = std::filesystem::file_size(avi, ignored);
        if (row.recovers) {
            EXPECT_EQ(lost, 0);
            EXPECT_GT(bytes, static_cast<uintmax_t>(kFullFrameBytes));  // at least one frame
        } else {
            EXPECT_EQ(lost, row.lostCode);
        }
        // The AVI holds 24-bit frames: three bytes a pixel.
        const auto frames = bytes / (uintmax_t{3} * kFullFrameBytes);
        report(row, mode, lost ? "code " + std::to_string(lost) : std::to_string(frames) + " frames",
               secondsSince(started));
        EXPECT_EQ(Lumvek_StopPreview(handle), 1);
    }
    EXPECT_EQ(Lumvek_Release(handle), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryFaultAndMode, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(kRows),
                                            ::testing::Values(Mode::SnapShot, Mode::CallbackPreview, Mode::Record)),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param).fault) + "_" +
                                                modeName(std::get<1>(info.param));
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

} // namespace
} // namespace lumvek::test
