// Windows the library creates: classes, the child and top-level forms,
// visibility, sizes, surfaces and the 1:1 drawing the preview relies on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "platform/window/drawing.h"
#include "platform/window/messages.h"
#include "platform/window/windows.h"
#include "support/test_env.h"

namespace lumvek::platform::window {
namespace {

constexpr uint32_t kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;                           // 0x52000000
constexpr uint32_t kTopLevelStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;  // 0x16CF0000

class PreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        className_ = std::string("VideoRenderer_") + info->name();
        ASSERT_TRUE(registerClass(className_));
    }
    void TearDown() override {
        for (HWND hwnd : created_)
            destroyWindow(hwnd);
        EXPECT_TRUE(unregisterClass(className_));
    }
    HWND make(uint32_t style, HWND parent, int x, int y, int width, int height) {
        CreateWindowParams params;
        params.className = className_;
        params.title = parent ? "ActiveMovie Window" : "Active Window";
        params.style = style;
        params.id = parent ? 6540 : 0;
        params.parent = parent;
        params.x = x;
        params.y = y;
        params.clientWidth = width;
        params.clientHeight = height;
        const HWND hwnd = createWindow(params);
        if (hwnd)
            created_.push_back(hwnd);
        return hwnd;
    }
    static std::vector<uint8_t> surface(HWND hwnd, int* width, int* height) {
        EXPECT_TRUE(getClientSize(hwnd, width, height));
        std::vector<uint8_t> pixels(surfaceStride(*width) * static_cast<size_t>(*height) + 1, 0xEE);
        EXPECT_TRUE(readSurface(hwnd, pixels.data(), pixels.size(), width, height));
        pixels.pop_back();
        return pixels;
    }

    std::string className_;
    std::vector<HWND> created_;
};

TEST_F(PreviewWindowTest, ClassesAreRegisteredOnceAndOutliveNoWindow) {
    EXPECT_FALSE(registerClass(className_));
    std::string upper = className_;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(registerClass(upper));
    EXPECT_FALSE(registerClass(""));
    EXPECT_FALSE(registerClass(std::string(256, 'c')));

    CreateWindowParams params;
    params.className = "NeverRegistered";
    params.style = kTopLevelStyle;
    EXPECT_EQ(createWindow(params), nullptr);

    const HWND hwnd = make(kTopLevelStyle, nullptr, 0, 0, 4, 4);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(unregisterClass(className_));  // a window of it exists
    EXPECT_TRUE(destroyWindow(hwnd));
    EXPECT_FALSE(unregisterClass("NeverRegistered"));
}

TEST_F(PreviewWindowTest, ChildOfAnApplicationMessageWindow) {
    const HWND parent = createMessageWindow();
    created_.push_back(parent);
    const HWND child = make(kChildStyle, parent, 10, 20, 640, 480);
    ASSERT_NE(child, nullptr);

    HWND found[4] = {};
    EXPECT_EQ(enumWindows(parent, found, 4), 1);
    EXPECT_EQ(found[0], child);
    LumvekWndInfo info{};
    ASSERT_TRUE(getWindowInfo(child, &info));
    EXPECT_EQ(info.parent, parent);
    EXPECT_STREQ(info.className, className_.c_str());
    EXPECT_STREQ(info.title, "ActiveMovie Window");
    EXPECT_EQ(info.style, 0x52000000u);
    EXPECT_EQ(info.id, 6540u);
    EXPECT_EQ(info.x, 10);
    EXPECT_EQ(info.y, 20);
    EXPECT_EQ(info.clientWidth, 640);
    EXPECT_EQ(info.clientHeight, 480);
    EXPECT_EQ(info.visible, 1);

    // Not among the top-level windows, nor is the message window.
    std::vector<HWND> top(64);
    const int count = enumWindows(nullptr, top.data(), static_cast<int>(top.size()));
    for (int i = 0; i < std::min<int>(count, 64); ++i) {
        EXPECT_NE(top[i], child);
        EXPECT_NE(top[i], parent);
    }
    // The forms must match their parents.
    EXPECT_EQ(make(kChildStyle, nullptr, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(make(kChildStyle, reinterpret_cast<HWND>(uintptr_t{0x5555}), 0, 0, 1, 1), nullptr);
    EXPECT_EQ(make(kTopLevelStyle, parent, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(make(kTopLevelStyle, nullptr, 0, 0, -1, 1), nullptr);

    // Destroying the parent takes the child with it.
    ASSERT_TRUE(destroyWindow(parent));
    EXPECT_FALSE(isWindow(child));
    EXPECT_EQ(enumWindows(parent, found, 4), 0);
}

TEST_F(PreviewWindowTest, TopLevelWindowCentredOnTheScreen) {
    EXPECT_EQ(screenSize().width, 1920);
    EXPECT_EQ(screenSize().height, 1080);
    const ScreenPoint corner = centredPosition(1168, 876);
    EXPECT_EQ(corner.x, 376);
    EXPECT_EQ(corner.y, 102);
    EXPECT_EQ(centredPosition(2336, 1752).x, 0);  // larger than the screen: pinned at 0

    test::ScopedEnv screen("LUMVEK_SCREEN", "800x600");
    EXPECT_EQ(screenSize().width, 800);
    EXPECT_EQ(centredPosition(400, 300).y, 150);
    for (const char* bad : {"800", "x600", "800x", "0x600", "800x600x", "-5x5", "99999x5", "axb"}) {
        test::ScopedEnv invalid("LUMVEK_SCREEN", bad);
        EXPECT_EQ(screenSize().width, 1920) << bad;
        EXPECT_EQ(screenSize().height, 1080) << bad;
    }

    const HWND hwnd = make(kTopLevelStyle, nullptr, corner.x, corner.y, 1168, 876);
    ASSERT_NE(hwnd, nullptr);
    std::vector<HWND> top(256);
    const int count = enumWindows(nullptr, top.data(), static_cast<int>(top.size()));
    ASSERT_GE(count, 1);
    EXPECT_EQ(top[static_cast<size_t>(std::min(count, 256) - 1)], hwnd);  // newest last
    EXPECT_EQ(enumWindows(nullptr, nullptr, 0), count);
    LumvekWndInfo info{};
    ASSERT_TRUE(getWindowInfo(hwnd, &info));
    EXPECT_EQ(info.parent, nullptr);
    EXPECT_EQ(info.style, 0x16CF0000u);
    EXPECT_STREQ(info.title, "Active Window");
    EXPECT_EQ(info.x, 376);
    EXPECT_EQ(info.clientWidth, 1168);
}

TEST_F(PreviewWindowTest, BlitShowsTheFirstRowAtTheTopInEveryDepth) {
    const HWND hwnd = make(kTopLevelStyle, nullptr, 0, 0, 5, 3);  // stride 16: padded rows
    auto dc = getDrawingContext(hwnd);
    ASSERT_NE(dc, nullptr);

    // 24-bit bottom-up: memory row 0 is the bottom of the picture.
    std::vector<uint8_t> bgr(16 * 3, 0);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 5; ++col)
            for (int c = 0; c < 3; ++c)
                bgr[row * 16 + col * 3 + c] = static_cast<uint8_t>(row * 100 + col * 10 + c);
    BitmapView view{bgr.data(), 5, 3, 24, 16, true, nullptr};
    ASSERT_TRUE(dc->blit(view));
    int width = 0, height = 0;
    std::vector<uint8_t> shown = surface(hwnd, &width, &height);
    ASSERT_EQ(width, 5);
    ASSERT_EQ(height, 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(std::memcmp(&shown[row * 16], &bgr[(2 - row) * 16], 15), 0) << row;

    view.bottomUp = false;  // rows already top-down
    ASSERT_TRUE(dc->blit(view));
    shown = surface(hwnd, &width, &height);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(std::memcmp(&shown[row * 16], &bgr[row * 16], 15), 0) << row;

    // 8-bit with the gray palette (none given) and with a palette.
    std::vector<uint8_t> gray(8 * 3);
    for (size_t i = 0; i < gray.size(); ++i)
        gray[i] = static_cast<uint8_t>(i * 9);
    ASSERT_TRUE(dc->blit(BitmapView{gray.data(), 5, 3, 8, 8, false, nullptr}));
    shown = surface(hwnd, &width, &height);
    EXPECT_EQ(shown[16 + 3 * 4 + 2], gray[8 + 4]);
    uint8_t palette[256][4];
    for (int i = 0; i < 256; ++i) {
        palette[i][0] = static_cast<uint8_t>(i);
        palette[i][1] = static_cast<uint8_t>(255 - i);
        palette[i][2] = static_cast<uint8_t>(i / 2);
        palette[i][3] = 0;
    }
    ASSERT_TRUE(dc->blit(BitmapView{gray.data(), 5, 3, 8, 8, true, palette}));
    shown = surface(hwnd, &width, &height);
    const uint8_t index = gray[2 * 8 + 1];  // bottom-up: top row is memory row 2
    EXPECT_EQ(shown[3], palette[index][0]);
    EXPECT_EQ(shown[4], palette[index][1]);
    EXPECT_EQ(shown[5], palette[index][2]);

    // 32-bit: the fourth byte is dropped.
    std::vector<uint8_t> bgrx(20 * 3, 0x99);
    bgrx[0] = 1, bgrx[1] = 2, bgrx[2] = 3, bgrx[3] = 4;
    ASSERT_TRUE(dc->blit(BitmapView{bgrx.data(), 5, 3, 32, 20, false, nullptr}));
    shown = surface(hwnd, &width, &height);
    EXPECT_EQ(shown[0], 1);
    EXPECT_EQ(shown[2], 3);
    EXPECT_EQ(shown[3], 0x99);
    EXPECT_EQ(shown[15], 0);  // row padding stays zero
}

TEST_F(PreviewWindowTest, BlitClipsAndRefusesBadBitmaps) {
    const HWND hwnd = make(kTopLevelStyle, nullptr, 0, 0, 4, 4);
    auto dc = getDrawingContext(hwnd);
    std::vector<uint8_t> white(6 * 6 * 3, 0xFF);
    ASSERT_TRUE(dc->blit(BitmapView{white.data(), 6, 6, 24, 18, false, nullptr}, 2, -1));
    int width = 0, height = 0;
    std::vector<uint8_t> shown = surface(hwnd, &width, &height);
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            EXPECT_EQ(shown[row * 12 + col * 3], col >= 2 ? 0xFF : 0) << row << "," << col;
    EXPECT_TRUE(dc->blit(BitmapView{white.data(), 6, 6, 24, 18, false, nullptr}, 2000000000, 2000000000));

    const BitmapView bad[] = {
        {nullptr, 4, 4, 24, 12, false, nullptr},      // no pixels
        {white.data(), 4, 4, 16, 8, false, nullptr},  // unsupported depth
        {white.data(), 4, 4, 24, 11, false, nullptr}, // stride shorter than a row
        {white.data(), 0, 4, 24, 12, false, nullptr},
        {white.data(), 4, -4, 24, 12, false, nullptr},
    };
    for (const BitmapView& view : bad)
        EXPECT_FALSE(dc->blit(view));
    EXPECT_EQ(getDrawingContext(createMessageWindow()), nullptr);
}

TEST_F(PreviewWindowTest, HiddenWindowsAndChildrenOfHiddenWindowsAreNotDrawn) {
    const HWND top = make(kTopLevelStyle, nullptr, 0, 0, 2, 2);
    const HWND child = make(kChildStyle, top, 0, 0, 2, 2);
    auto topDc = getDrawingContext(top);
    auto childDc = getDrawingContext(child);
    const uint8_t pixels[12] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    const BitmapView view{pixels, 2, 2, 24, 6, false, nullptr};

    ASSERT_TRUE(showWindow(top, false));
    EXPECT_FALSE(isWindowVisible(top));
    EXPECT_FALSE(isWindowVisible(child));
    EXPECT_FALSE(topDc->blit(view));
    EXPECT_FALSE(childDc->blit(view));
    LumvekWndInfo info{};
    ASSERT_TRUE(getWindowInfo(child, &info));
    EXPECT_EQ(info.visible, 0);
    int width = 0, height = 0;
    EXPECT_EQ(surface(child, &width, &height)[0], 0);

    ASSERT_TRUE(showWindow(top, true));
    EXPECT_TRUE(childDc->blit(view));
    EXPECT_EQ(surface(child, &width, &height)[0], 7);
    const HWND message = createMessageWindow();
    EXPECT_FALSE(showWindow(message, false));
    EXPECT_FALSE(resizeClient(message, 4, 4));
    destroyWindow(message);

    // A context kept past the window's life draws nothing and crashes nothing.
    destroyWindow(top);
    EXPECT_FALSE(childDc->blit(view));
    EXPECT_FALSE(topDc->blit(view));
}

TEST_F(PreviewWindowTest, ReadSurfaceReportsSizeAndRefusesShortBuffers) {
    const HWND hwnd = make(kTopLevelStyle, nullptr, 0, 0, 3, 2);
    std::vector<uint8_t> buffer(2 * 12);
    int width = 0, height = 0;
    EXPECT_FALSE(readSurface(hwnd, buffer.data(), buffer.size() - 1, &width, &height));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_FALSE(readSurface(hwnd, nullptr, 100, &width, &height));
    EXPECT_TRUE(readSurface(hwnd, buffer.data(), buffer.size(), nullptr, nullptr));
    EXPECT_FALSE(readSurface(reinterpret_cast<HWND>(uintptr_t{0x40}), buffer.data(), buffer.size(), &width, &height));
}

TEST_F(PreviewWindowTest, ResizeWhileAnotherThreadDraws) {
    const HWND hwnd = make(kTopLevelStyle, nullptr, 0, 0, 64, 48);
    std::vector<uint8_t> frame(640 * 480 * 3, 0x5A);
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread drawer([&] {
        auto dc = getDrawingContext(hwnd);
        while (!stop) {
            if (dc->blit(BitmapView{frame.data(), 640, 480, 24, 640 * 3, true, nullptr}))
                ++drawn;
        }
    });
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(resizeClient(hwnd, 1 + (i * 37) % 700, 1 + (i * 53) % 500));
    while (drawn < 10)  // at least some drawing overlapped the resizing
        std::this_thread::yield();
    stop = true;
    drawer.join();

    ASSERT_TRUE(resizeClient(hwnd, 7, 5));
    int width = 0, height = 0;
    const std::vector<uint8_t> shown = surface(hwnd, &width, &height);
    EXPECT_EQ(width, 7);
    EXPECT_EQ(height, 5);
    for (uint8_t byte : shown)
        ASSERT_EQ(byte, 0);  // erased to black by the resize
    EXPECT_FALSE(resizeClient(hwnd, -1, 5));
    EXPECT_FALSE(resizeClient(hwnd, kMaxClientDimension + 1, 5));
}

TEST(RowConversion, FastPathMatchesTheReferenceForEveryDepth) {
    std::mt19937 random(12345);
    std::vector<uint8_t> source(4 * 70);
    for (uint8_t& byte : source)
        byte = static_cast<uint8_t>(random());
    uint8_t palette[256][4];
    for (auto& entry : palette)
        for (uint8_t& byte : entry)
            byte = static_cast<uint8_t>(random());
    for (int bits : {8, 24, 32}) {
        for (const auto* pal : {static_cast<const uint8_t(*)[4]>(nullptr), static_cast<const uint8_t(*)[4]>(palette)}) {
            for (int count : {0, 1, 2, 3, 4, 5, 7, 8, 31, 64, 70}) {
                std::vector<uint8_t> expected(3 * 70 + 3, 0xCD), actual(3 * 70 + 3, 0xCD);
                convertRowToBgrReference(source.data(), bits, pal, count, expected.data());
                convertRowToBgr(source.data(), bits, pal, count, actual.data());
                EXPECT_EQ(expected, actual) << bits << " bits, " << count << " pixels";
            }
        }
    }
}

} // namespace
} // namespace lumvek::platform::window
