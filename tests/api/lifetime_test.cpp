// Instance handles, the error history and the error message, through the
// exported interface with no camera attached.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "support/wide_text.h"

namespace {

class MessageWindow {
public:
    MessageWindow() : hwnd_(LumvekWnd_CreateMessageWindow()) {}
    ~MessageWindow() { LumvekWnd_DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }

    // The lParam of every message of this kind waiting now, oldest first.
    std::vector<intptr_t> drain(uint32_t message) {
        std::vector<intptr_t> out;
        LumvekMsg msg{};
        while (LumvekWnd_GetMessage(hwnd_, &msg, 0) == 1) {
            if (msg.message == message) {
                out.push_back(msg.lParam);
            }
        }
        return out;
    }

private:
    HWND hwnd_;
};

class Instance {
public:
    explicit Instance(HWND window = nullptr) : handle_(Lumvek_Initialize(window)) {}
    ~Instance() { Lumvek_Release(handle_); }
    int32_t operator*() const { return handle_; }

private:
    int32_t handle_;
};

} // namespace

TEST(Handles, RepeatedInitializeGivesDistinctNonZeroHandles) {
    std::vector<int32_t> handles;
    std::set<int32_t> unique;
    for (int i = 0; i < 20; ++i) {
        const int32_t h = Lumvek_Initialize(nullptr);
        EXPECT_NE(h, 0);
        handles.push_back(h);
        unique.insert(h);
    }
    EXPECT_EQ(unique.size(), handles.size());
    for (int32_t h : handles) {
        EXPECT_EQ(Lumvek_Release(h), 1);
        EXPECT_EQ(Lumvek_Release(h), 0);
    }
}

TEST(Handles, UnknownHandlesGetTheirUnknownResultsAndChangeNothing) {
    for (int32_t h : {0, 12345, -1}) {
        int ok = 77;
        EXPECT_EQ(Lumvek_GetColorMode(h), -1);
        EXPECT_EQ(Lumvek_GetSubSample(h), -1);
        EXPECT_EQ(Lumvek_GetWaitTime(h), -1);
        EXPECT_EQ(Lumvek_GetExposureTimeEx(h, &ok), 0.0);
        EXPECT_EQ(Lumvek_GetTemperatureEx(h, &ok), 0.0);
        EXPECT_EQ(Lumvek_GetConfigFilter(h), 0);
        EXPECT_EQ(Lumvek_SetColorMode(h, 8), 0);
        EXPECT_EQ(Lumvek_GetBrightness(h, &ok), 0);
        EXPECT_EQ(Lumvek_GetLastError(h), 0);
        EXPECT_EQ(Lumvek_Trigger(h), 0);
        EXPECT_EQ(Lumvek_Release(h), 0);
        EXPECT_EQ(ok, 77);
    }
}

TEST(Handles, DllVersionNeedsNoInstance) {
    EXPECT_EQ(Lumvek_GetDllVersion(), 33359136);
    Instance instance;
    EXPECT_EQ(Lumvek_GetDllVersion(), 33359136);
}

TEST(Handles, InitializeAndReleaseOnManyThreadsKeepEveryLookupIntact) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&failures] {
            for (int i = 0; i < 15; ++i) {
                const int32_t h = Lumvek_Initialize(nullptr);
                if (h == 0 || Lumvek_SetWaitTime(h, 40 + i) != 1 || Lumvek_GetWaitTime(h) != 40 + i ||
                    Lumvek_Release(h) != 1) {
                    ++failures;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

TEST(ErrorHistory, KeepsTheLastTwentyCodesNewestFirst) {
    Instance instance;
    // Codes 9 (bad colour mode) and 12 (bad UTF-16 path) alternate.
    const LUMVEK_WCHAR badPath[] = {0xDC00, 0};
    for (int i = 0; i < 21; ++i) {
        if (i % 2 == 0) {
            EXPECT_EQ(Lumvek_SetColorMode(*instance, 12), 0);
        } else {
            EXPECT_EQ(Lumvek_LoadConfigFileW(*instance, badPath), 0);
        }
    }
    // 21 pushes: the first (a 9) fell out; newest is the 21st, a 9.
    for (int i = 20; i >= 1; --i) {
        EXPECT_EQ(Lumvek_GetLastError(*instance), i % 2 == 0 ? 9 : 12) << i;
    }
    EXPECT_EQ(Lumvek_GetLastError(*instance), 0);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 0);
}

TEST(ErrorHistory, ErrorsArePostedInOrderAndSomePathsPostWithoutPushing) {
    MessageWindow window;
    Instance instance(window.get());
    ASSERT_NE(*instance, 0);
    (void)window.drain(LUMVEK_WM_ERROR);

    const LUMVEK_WCHAR badPath[] = {0xD800, 0};
    EXPECT_EQ(Lumvek_SetColorMode(*instance, 12), 0);          // 9
    EXPECT_EQ(Lumvek_SaveMaskFileW(*instance, badPath), 0);    // 12
    EXPECT_EQ(Lumvek_SetConfigFilter(*instance), -1);          // 11
    EXPECT_EQ(Lumvek_GetColorMode(*instance), 24);             // unchanged
    EXPECT_EQ(window.drain(LUMVEK_WM_ERROR), (std::vector<intptr_t>{9, 12, 11}));

    // Posted, not pushed.
    EXPECT_EQ(Lumvek_Trigger(*instance, 1, 2), 0);
    EXPECT_EQ(Lumvek_SetCrossbar(*instance), 0);
    EXPECT_EQ(Lumvek_SetAutoIris(*instance, 3), 0);
    EXPECT_EQ(window.drain(LUMVEK_WM_ERROR), (std::vector<intptr_t>{11, 11, 9}));
    EXPECT_EQ(Lumvek_GetLastError(*instance), 11);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 12);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 9);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 0);
}

TEST(ErrorHistory, MessagesCarryTheClockAndAreHandledOffThePostingThread) {
    MessageWindow window;
    Instance instance(window.get());
    struct Seen {
        std::atomic<int> count{0};
        std::thread::id thread;
        intptr_t lParam = -1;
    } seen;
    ASSERT_EQ(LumvekWnd_SetMessageHandler(
                  window.get(),
                  [](void* context, const LumvekMsg* msg) {
                      auto* s = static_cast<Seen*>(context);
                      if (msg->message == LUMVEK_WM_ERROR) {
                          s->thread = std::this_thread::get_id();
                          s->lParam = msg->lParam;
                          s->count.store(1);
                      }
                  },
                  &seen),
              1);
    EXPECT_EQ(Lumvek_SetColorMode(*instance, 7), 0);
    for (int i = 0; i < 500 && seen.count.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(seen.count.load(), 1);
    EXPECT_EQ(seen.lParam, 9);
    EXPECT_NE(seen.thread, std::this_thread::get_id());
    ASSERT_EQ(LumvekWnd_SetMessageHandler(window.get(), nullptr, nullptr), 1);
}

TEST(SmallSettings, WithoutACameraTheInstanceSettingsStillWork) {
    Instance instance;
    EXPECT_EQ(Lumvek_GetColorMode(*instance), 24);
    EXPECT_EQ(Lumvek_SetColorMode(*instance, 64), 1);
    EXPECT_EQ(Lumvek_GetColorMode(*instance), 64);
    EXPECT_EQ(Lumvek_SetSubSample(*instance, 2), 0);
    EXPECT_EQ(Lumvek_GetSubSample(*instance), 0);
    EXPECT_EQ(Lumvek_GetWaitTime(*instance), 1);  // the store's default
    EXPECT_EQ(Lumvek_SetWaitTime(*instance, -5), 0);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 0);
    EXPECT_EQ(Lumvek_GetStatus(*instance, 99), 0);
    int value = 3;
    EXPECT_EQ(Lumvek_GetVideoFormat(*instance, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(Lumvek_Width(*instance), 2336);
    EXPECT_EQ(Lumvek_Height(*instance), 1752);
    int th = 0, eh = 0, ev = 0;
    EXPECT_EQ(Lumvek_GetCaptureWindowEx(*instance, &th, nullptr, &eh, nullptr, nullptr, &ev), 1);
    EXPECT_EQ(th, 2336);
    EXPECT_EQ(ev, 1752);
    int ok = 5;
    EXPECT_EQ(Lumvek_GetChannelGain(*instance, 5, &ok), 0);
    EXPECT_EQ(ok, 5);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 0);
}

TEST(WidePaths, InvalidUtf16IsCode12) {
    Instance instance;
    const LUMVEK_WCHAR loneSurrogate[] = {'a', 0xD800, 'b', 0};
    EXPECT_EQ(Lumvek_LoadConfigFileW(*instance, loneSurrogate), 0);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 12);
    EXPECT_EQ(Lumvek_LoadConfigFileW(*instance, nullptr), 0);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 12);
    lumvek::test::WideString tooLong(1100, 'x');
    EXPECT_EQ(Lumvek_SaveImageW(*instance, tooLong.c_str(), 0), 0);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 12);
    EXPECT_EQ(Lumvek_LoadConfigFileW(*instance, LUMVEK_TEST_WIDE("/nonexistent/\u00e9.cfg")), 0);
    EXPECT_EQ(Lumvek_GetLastError(*instance), 0);  // converted fine; the file is simply missing
}
