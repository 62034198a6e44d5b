// The frame loop: callback delivery with frame messages, the frame rate,
// errors during preview, reconfiguration under a running preview, the
// preview window and automatic exposure and gain.
#include <atomic>
#include <cstring>
#include <numeric>

#include "instance/lumvek_internals.h"
#include "capture_fixture.h"
#include "imaging/convert/output_copy.h"
#include "platform/diag/thread_start.h"
#include "platform/window/windows.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {
constexpr int kW = 2336;
constexpr int kH = 1752;
constexpr size_t kBytes24 = static_cast<size_t>(kW) * 3 * kH;
} // namespace

TEST_F(CaptureTest, CallbackPreviewDeliversEveryFrameWithItsRecord) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    auto& buffer = callbackBuffer(kBytes24);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    for (int i = 0; i < 5; ++i) {
        LumvekMsg msg{};
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg)) << "frame " << i;
        ASSERT_EQ(msg.lParam, 0);
        const auto* record = reinterpret_cast<const LumvekFrameInfo*>(msg.wParam);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->width, kW);
        EXPECT_EQ(record->height, kH);
        EXPECT_EQ(record->bitsPerPixel, 24);
        EXPECT_EQ(record->buffer, buffer.data());
        EXPECT_EQ(record->reserved, 0);
    }
    EXPECT_EQ(self.StopPreview(), 1);
    EXPECT_EQ(self.GetLastError(), 0);
}

TEST_F(CaptureTest, TheFrameRateReadsTheCamerasRateAfterASecond) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "an instrumented build cannot keep the camera's pace";
#endif
    addCamera("product=0x3090,name=cam0,pattern=chart");  // the R13's own timing, ~10.8 frames/s
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);  // light processing: the rate is the camera's
    auto& buffer = callbackBuffer(static_cast<size_t>(kW) * kH);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    EXPECT_EQ(reinterpret_cast<const LumvekFrameInfo*>(msg.wParam)->frameRateX10, 0);
    // The first figure spans the start of acquisition; the second a steady second.
    int rate = 0;
    int updates = 0;
    for (int i = 0; i < 60 && updates < 2; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        const int now = reinterpret_cast<const LumvekFrameInfo*>(msg.wParam)->frameRateX10;
        updates += now != rate ? 1 : 0;
        rate = now;
    }
    EXPECT_GE(rate, 90);
    EXPECT_LE(rate, 125);
    EXPECT_EQ(self.StopPreview(), 1);
}

// The 24-bit callback buffer is filled while the pipeline runs, piece by
// piece, instead of from the finished picture: it must hold exactly what
// GetImage returns, in the row order asked for, with the tone controls and
// with sharpness (whose band-edge rows are finished last).
TEST_F(CaptureTest, TheCallbackBufferHoldsThePictureInEitherRowOrder) {
    // A still scene with rows and columns all different: every frame is the
    // same picture, so the last one delivered is the one GetImage returns.
    std::vector<uint16_t> samples(static_cast<size_t>(kW) * kH);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<uint16_t>((i * 7 + i / kW * 13) % 251);
    }
    const auto scene = writePgm((makeTempDir("scene") / "rows.pgm").string(), kW, kH, 255, samples);
    addCamera("product=0x3090,name=cam0,fps=30,scene=" + scene);
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    for (const int sharpness : {0, 8}) {
        ASSERT_EQ(self.SetFilterValue(5, sharpness), 1);
        ASSERT_EQ(self.SetFilterValue(3, 25), 1);  // hue: the tone chain runs
        for (const int topDown : {1, 0}) {
            auto& buffer = callbackBuffer(kBytes24);
            drainMessages();
            ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), topDown), 1);
            for (int i = 0; i < 2; ++i) {
                LumvekMsg msg{};
                ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
                ASSERT_EQ(msg.lParam, 0);
            }
            ASSERT_EQ(self.StopPreview(), 1);
            std::vector<uint8_t> picture(kBytes24);
            ASSERT_EQ(self.GetImage(picture.data(), static_cast<int>(picture.size()), topDown), 1);
            EXPECT_TRUE(buffer == picture) << "sharpness " << sharpness << " topDown " << topDown;
        }
    }
}

TEST_F(CaptureTest, ACallbackBufferOneByteShortReportsEveryFrameAndGetImageStillWorks) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    auto& buffer = callbackBuffer(kBytes24);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size() - 1), 1), 1);
    int fives = 0;
    int records = 0;
    LumvekMsg msg{};
    while (fives < 3 && waitMessage(LUMVEK_WM_FRAME, msg)) {
        if (msg.wParam == 0 && msg.lParam == LUMVEK_ERR_MEMORY) {
            ++fives;
        } else {
            ++records;
        }
    }
    EXPECT_EQ(fives, 3);
    EXPECT_EQ(records, 0);
    EXPECT_EQ(self.GetImage(buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    EXPECT_EQ(self.StopPreview(), 1);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_MEMORY);
}

TEST_F(CaptureTest, UnpluggingDuringPreviewEndsTheLoopWithCode13) {
    auto& camera = addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);
    auto& buffer = callbackBuffer(static_cast<size_t>(kW) * kH);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    camera.unplug();
    bool lost = false;
    while (!lost && waitMessage(LUMVEK_WM_FRAME, msg, 30000)) {
        lost = msg.wParam == 0 && msg.lParam == LUMVEK_ERR_DEVICE_LOST;
    }
    EXPECT_TRUE(lost);
    EXPECT_EQ(self.StopPreview(), 1);
    int code = 0;
    for (int i = 0; i < 20 && code != LUMVEK_ERR_DEVICE_LOST; ++i) {
        code = self.GetLastError();
    }
    EXPECT_EQ(code, LUMVEK_ERR_DEVICE_LOST);
}

TEST_F(CaptureTest, StopPreviewFromInsideTheFrameHandlerDoesNotDeadlock) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    struct Context {
        CLumvek* self;
        std::atomic<int> stopped{0};
    } context{&self};
    ASSERT_TRUE(platform::window::setMessageHandler(
        window_,
        [](void* p, const LumvekMsg* msg) {
            auto* c = static_cast<Context*>(p);
            if (msg->message == LUMVEK_WM_FRAME && c->stopped.load() == 0) {
                c->stopped = c->self->StopPreview() == 1 ? 1 : -1;
            }
        },
        &context));
    auto& buffer = callbackBuffer(kBytes24);
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    for (int i = 0; i < 1000 && context.stopped.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(context.stopped.load(), 1);
    EXPECT_EQ(internals(self).captureState(), 0);
    ASSERT_TRUE(platform::window::setMessageHandler(window_, nullptr, nullptr));
}

TEST_F(CaptureTest, ColourModeAndWindowChangesUnderARunningPreviewReconfigure) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    auto& buffer = callbackBuffer(static_cast<size_t>(kW) * 8 * kH);
    drainMessages();
    ASSERT_EQ(self.SetColorMode(8), 1);
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    for (int bits : {64, 16, 32, 48, 24}) {
        ASSERT_EQ(self.SetColorMode(bits), 1);
        EXPECT_EQ(internals(self).captureState(), 1);
        // Frames after the change come in the new mode; none is lost to a bad buffer.
        bool seen = false;
        for (int i = 0; i < 10 && !seen; ++i) {
            ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
            ASSERT_NE(msg.wParam, 0u) << "lParam " << msg.lParam;
            seen = reinterpret_cast<const LumvekFrameInfo*>(msg.wParam)->bitsPerPixel == bits;
        }
        EXPECT_TRUE(seen) << bits;
    }
    {
        RegistryKey key;  // a global preset of the full width, 600 rows from row 100
        ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\Size_00", key));
        ASSERT_TRUE(key.writeDword("EH", 2336) && key.writeDword("EV", 600) && key.writeDword("EVS", 100));
    }
    ASSERT_EQ(self.SetCaptureWindow(2336, 600), 1);
    bool small = false;
    for (int i = 0; i < 10 && !small; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        ASSERT_NE(msg.wParam, 0u);
        small = reinterpret_cast<const LumvekFrameInfo*>(msg.wParam)->height == 600;
    }
    EXPECT_TRUE(small);
    EXPECT_EQ(self.Close(), 1);
}

TEST_F(CaptureTest, TheChildPreviewWindowShowsTheOutputPicture) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(window_, 10, 20, 640, 480), 1);
    auto& picture = callbackBuffer(kBytes24);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, picture.data(), static_cast<int>(picture.size()), 1), 1);
    HWND child = nullptr;
    ASSERT_EQ(platform::window::enumWindows(window_, &child, 1), 1);
    LumvekWndInfo info{};
    ASSERT_TRUE(platform::window::getWindowInfo(child, &info));
    EXPECT_STREQ(info.title, "ActiveMovie Window");
    EXPECT_EQ(info.style, 0x52000000u);
    EXPECT_EQ(info.id, 6540u);
    EXPECT_EQ(info.x, 10);
    EXPECT_EQ(info.y, 20);
    EXPECT_EQ(info.clientWidth, 640);
    EXPECT_EQ(info.clientHeight, 480);
    EXPECT_EQ(std::string(info.className).rfind("VideoRenderer_", 0), 0u);

    // Stop after a frame so the surface and the callback picture are the same frame.
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    ASSERT_EQ(self.StopPreview(), 1);
    ASSERT_EQ(self.GetImage(picture.data(), static_cast<int>(picture.size()), 1), 1);
    std::vector<uint8_t> surface(platform::window::surfaceStride(640) * 480);
    int w = 0, h = 0;
    ASSERT_TRUE(platform::window::readSurface(child, surface.data(), surface.size(), &w, &h));
    ASSERT_EQ(w, 640);
    size_t mismatches = 0;
    for (int i = 0; i < 480; ++i) {
        const int sy = std::min(static_cast<int>(i * (static_cast<float>(kH) / 480.0f)), kH - 1);
        for (int j = 0; j < 640; ++j) {
            const int sx = std::min(static_cast<int>(j * (static_cast<float>(kW) / 640.0f)), kW - 1);
            mismatches += std::memcmp(&surface[i * platform::window::surfaceStride(640) + j * 3],
                                      &picture[(static_cast<size_t>(sy) * kW + sx) * 3], 3) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(self.Close(), 1);
    EXPECT_EQ(platform::window::enumWindows(window_, &child, 1), 0);
}

TEST_F(CaptureTest, TheTopLevelPreviewIsCentredAndDrawnOneToOne) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    ScopedEnv screen("LUMVEK_SCREEN", "4000x3000");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 1, 1), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);
    auto& picture = callbackBuffer(static_cast<size_t>(kW) * kH);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, picture.data(), static_cast<int>(picture.size()), 1), 1);
    HWND top = internals(self).previewWindow();
    ASSERT_NE(top, nullptr);
    LumvekWndInfo info{};
    ASSERT_TRUE(platform::window::getWindowInfo(top, &info));
    EXPECT_STREQ(info.title, "Active Window");
    EXPECT_EQ(info.style, 0x16CF0000u);
    EXPECT_EQ(info.clientWidth, kW);
    EXPECT_EQ(info.clientHeight, kH);
    // Centred by its outer size: the client size off screen, with the frame
    // on a desktop that adds one.
    const auto outer = platform::window::outerSize(kW, kH, 0x16CF0000u);
    EXPECT_EQ(info.x, (4000 - outer.width) / 2);
    EXPECT_EQ(info.y, (3000 - outer.height) / 2);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    ASSERT_EQ(self.StopPreview(), 1);
    ASSERT_EQ(self.GetImage(picture.data(), static_cast<int>(picture.size()), 1), 1);
    std::vector<uint8_t> surface(platform::window::surfaceStride(kW) * kH);
    int w = 0, h = 0;
    ASSERT_TRUE(platform::window::readSurface(top, surface.data(), surface.size(), &w, &h));
    size_t mismatches = 0;
    for (int y = 0; y < kH; y += 7) {
        for (int x = 0; x < kW; x += 5) {
            const uint8_t* px = &surface[y * platform::window::surfaceStride(kW) + x * 3];
            const uint8_t grey = picture[static_cast<size_t>(y) * kW + x];
            mismatches += px[0] != grey || px[1] != grey || px[2] != grey;
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(self.Close(), 1);
    EXPECT_EQ(internals(self).previewWindow(), nullptr);
}

TEST_F(CaptureTest, NoPreviewWindowAfterItIsTurnedOff) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    HWND existing[8];
    const int before = platform::window::enumWindows(nullptr, existing, 8);
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.Preview(), 1);
    EXPECT_EQ(internals(self).previewWindow(), nullptr);
    EXPECT_EQ(platform::window::enumWindows(nullptr, existing, 8), before);
    EXPECT_EQ(self.Close(), 1);
}

TEST_F(CaptureTest, AutoIrisRaisesAFarTooShortExposureUntilTheStepSettles) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);
    ASSERT_EQ(self.SetFilterValue(18, 2), 1);  // 0.2 ms: nearly black
    ASSERT_EQ(self.SetAutoIris(1), 1);
    auto& picture = callbackBuffer(static_cast<size_t>(kW) * kH);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, picture.data(), static_cast<int>(picture.size()), 1), 1);
    int ok = 0;
    int last = -1;
    int stable = 0;
    LumvekMsg msg{};
    for (int i = 0; i < 150 && stable < 5; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        const int exposure = self.GetFilterValue(18, &ok);
        stable = exposure == last ? stable + 1 : 0;
        last = exposure;
    }
    EXPECT_GE(stable, 5) << "the exposure never settled";
    EXPECT_GT(last, 2);
    EXPECT_LE(last, 8191);
    ASSERT_EQ(self.StopPreview(), 1);
    const uint64_t sum = std::accumulate(picture.begin(), picture.end(), uint64_t{0});
    const double mean = static_cast<double>(sum) / static_cast<double>(picture.size());
    EXPECT_GT(mean, 20.0);
    EXPECT_LT(mean, 235.0);
}

TEST_F(CaptureTest, AutoIrisModeTwoRaisesTheGainWithinTheDeviceRange) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);
    ASSERT_EQ(self.SetFilterValue(18, 20), 1);  // a short exposure
    ASSERT_EQ(self.SetFilterValue(13, 15), 1);  // the lowest gain
    ASSERT_EQ(self.SetAutoIris(2), 1);
    auto& picture = callbackBuffer(static_cast<size_t>(kW) * kH);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, picture.data(), static_cast<int>(picture.size()), 1), 1);
    int ok = 0;
    int last = -1;
    int stable = 0;
    int highest = 0;
    LumvekMsg msg{};
    for (int i = 0; i < 150 && stable < 5; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        const int gain = self.GetFilterValue(13, &ok);
        highest = std::max(highest, gain);
        stable = gain == last ? stable + 1 : 0;
        last = gain;
    }
    ASSERT_EQ(self.StopPreview(), 1);
    EXPECT_GE(stable, 5) << "the gain never settled";
    EXPECT_GT(last, 15);
    EXPECT_LE(highest, 1023);
    EXPECT_EQ(internals(self).gainSettings().colorR, last);  // the colour gains follow the global gain
}

TEST_F(CaptureTest, AHiddenPreviewIsSkippedAndResizingReallocatesTheScalingBufferOnce) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(window_, 0, 0, 320, 240), 1);
    auto& picture = callbackBuffer(kBytes24);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, picture.data(), static_cast<int>(picture.size()), 1), 1);
    HWND child = internals(self).previewWindow();
    ASSERT_NE(child, nullptr);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));

    // Hidden: frames keep coming, nothing is drawn (the surface keeps its last picture).
    ASSERT_TRUE(platform::window::showWindow(child, false));
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    std::vector<uint8_t> before(platform::window::surfaceStride(320) * 240);
    int w = 0, h = 0;
    ASSERT_TRUE(platform::window::readSurface(child, before.data(), before.size(), &w, &h));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    }
    std::vector<uint8_t> after(before.size());
    ASSERT_TRUE(platform::window::readSurface(child, after.data(), after.size(), &w, &h));
    EXPECT_EQ(before, after);

    // Resized and shown again: drawn at the new size after one reallocation.
    ASSERT_TRUE(platform::window::resizeClient(child, 400, 300));
    ASSERT_TRUE(platform::window::showWindow(child, true));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    }
    ASSERT_EQ(self.StopPreview(), 1);
    EXPECT_EQ(internals(self).previewScalingAllocations(), 2);  // 320 x 240 at the start, 400 x 300 once
    std::vector<uint8_t> resized(platform::window::surfaceStride(400) * 300);
    ASSERT_TRUE(platform::window::readSurface(child, resized.data(), resized.size(), &w, &h));
    EXPECT_EQ(w, 400);
    size_t lit = 0;
    for (uint8_t b : resized) {
        lit += b != 0;
    }
    EXPECT_GT(lit, resized.size() / 4);  // the chart, not the black of a fresh surface
}

// A frame loop the system refuses to start: the preview fails with the
// thread code, the instance is idle again, and the next preview runs.
TEST_F(CaptureTest, APreviewWhoseFrameLoopCannotStartFailsCleanlyAndTheNextOneRuns) {
    addCamera("product=0x3090,name=cam0,fps=30,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    auto& buffer = callbackBuffer(kBytes24);
    while (self.GetLastError() != 0) {
    }
    // The camera's transfer thread refused: a failed transfer.
    platform::failNextThreadStarts(1);
    EXPECT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_FRAME);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_TRANSFER);
    EXPECT_EQ(self.state(), InstanceState::Idle);
    // The transfer thread starts, the frame loop is refused: the thread code.
    platform::failNextThreadStarts(1, 1);
    EXPECT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_FRAME);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_THREAD);
    EXPECT_EQ(self.state(), InstanceState::Idle);

    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    EXPECT_NE(msg.wParam, 0u);
    EXPECT_EQ(self.StopPreview(), 1);
}
