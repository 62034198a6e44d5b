// The three settings dialogs as Win32 dialog boxes, opened through the
// library's exports over an in-process simulated camera and worked from a
// second thread with window messages: the box's language, its control ids,
// changes reaching the camera and the instance, and how it ends (Escape or
// a dead owner as Cancel, OK keeping what was set). Every case expects the
// language its ctest entry sets (LUMVEK_EXPECT_JAPANESE names the Japanese
// run, whose Wine process runs under a Japanese locale).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "dialog_box_driver.h"

namespace lumvek::test {
namespace {

constexpr int kCancel = 2;
constexpr int kDefault = 3;
constexpr int kApply = 1002;

bool japanese() {
    const char* v = std::getenv("LUMVEK_EXPECT_JAPANESE");
    return v != nullptr && *v == '1';
}

const wchar_t* pick(const wchar_t* english, const wchar_t* japaneseText) {
    return japanese() ? japaneseText : english;
}

class DialogBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = Lumvek_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Lumvek_GetLastError(handle_), 0) << "the simulated camera did not open";
        // The cases share one settings store: each starts in a colour mode.
        ASSERT_EQ(Lumvek_SetColorMode(handle_, 24), 1);
    }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
    }

    // Runs one dialog export with owner while script works the box; skips
    // the test when no box can be shown (Wine without a display).
    int run(int (*dialog)(int32_t, HWND), HWND owner, const std::function<void(const Box&)>& script) {
        bool appeared = false;
        const int result = runDialog([&] { return dialog(handle_, owner); }, script, &appeared);
        if (!appeared && result == 0 && Lumvek_GetLastError(handle_) == 4) {
            skipped_ = true;
        }
        return result;
    }

    int filter(int selector) {
        int ok = 0;
        const int value = Lumvek_GetFilterValue(handle_, selector, &ok);
        EXPECT_EQ(ok, 1) << "selector " << selector;
        return value;
    }

    int32_t handle_ = 0;
    bool skipped_ = false;
};

#define SKIP_WITHOUT_DISPLAY()                                              \
    if (skipped_) {                                                         \
        GTEST_SKIP() << "no dialog box can be shown here (no display)";     \
    }

// ---- Image dialog ----

TEST_F(DialogBoxTest, ImageDialogShowsItsTemplateAndEscapeEndsItAsCancel) {
    const int brightness = filter(LUMVEK_FILTER_BRIGHTNESS);
    const int moved = brightness == 77 ? 78 : 77;
    const int result = run(Lumvek_SetImageDlg, nullptr, [&](const Box& box) {
        EXPECT_EQ(windowText(box.frame), pick(L"Property", L"プロパティ"));
        EXPECT_EQ(box.text(IDOK), L"OK");
        EXPECT_EQ(box.text(kCancel), pick(L"Cancel", L"キャンセル"));
        EXPECT_EQ(box.text(kDefault), pick(L"Default(&D)", L"規定値(&D)"));
        // A colour mode: one page, every triple of it enabled.
        EXPECT_EQ(box.tabs(), std::vector<std::wstring>{L"Image Filter"});
        ASSERT_EQ(box.pages().size(), 1u);
        const int triples[][3] = {{2001, 2004, 2002}, {2011, 2014, 2012}, {2021, 2024, 2022},
                                  {2031, 2034, 2032}, {2041, 2044, 2042}, {2051, 2054, 2052},
                                  {2061, 2063, 2062}, {2071, 2073, 2072}, {2081, 2084, 2082}};
        for (const auto& t : triples) {
            EXPECT_EQ(className(box.item(t[0])), L"msctls_trackbar32") << t[0];
            EXPECT_EQ(className(box.item(t[1])), L"msctls_updown32") << t[1];
            EXPECT_EQ(className(box.item(t[2])), L"Edit") << t[2];
            EXPECT_TRUE(box.enabled(t[0])) << t[0];
        }
        for (int id : {2074, 1035, 1030, 1031, 1032, 1033}) {
            EXPECT_EQ(className(box.item(id)), L"Button") << id;
        }
        EXPECT_EQ(box.text(2074), L"Once");
        EXPECT_EQ(box.text(1035), L"All frames");
        // The model's ranges reached the controls.
        EXPECT_EQ(SendMessageW(box.item(2001), TBM_GETRANGEMIN, 0, 0), -255);
        EXPECT_EQ(SendMessageW(box.item(2001), TBM_GETRANGEMAX, 0, 0), 255);
        EXPECT_EQ(SendMessageW(box.item(2021), TBM_GETRANGEMIN, 0, 0), -360);

        box.drag(2001, moved);
        EXPECT_EQ(filter(LUMVEK_FILTER_BRIGHTNESS), moved);
        EXPECT_EQ(box.text(2002), std::to_wstring(moved));
        box.escape();
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(filter(LUMVEK_FILTER_BRIGHTNESS), brightness);
}

TEST_F(DialogBoxTest, ImageDialogOkKeepsWhatItsEditsAndButtonsSet) {
    const int result = run(Lumvek_SetImageDlg, nullptr, [&](const Box& box) {
        box.type(2012, L"-40");
        EXPECT_EQ(filter(LUMVEK_FILTER_CONTRAST), -40);
        EXPECT_EQ(box.trackbarPosition(2011), -40);
        // Out of range: the model clamps, and the trackbar shows the clamped value.
        box.type(2042, L"99");
        EXPECT_EQ(filter(LUMVEK_FILTER_SHARPNESS), 30);
        EXPECT_EQ(box.trackbarPosition(2041), 30);
        box.click(1031);
        EXPECT_EQ(filter(LUMVEK_FILTER_BAYER_MODE), 1);
        EXPECT_FALSE(box.checked(box.item(1030)));
        box.step(2014, +1);  // contrast's up-down
        EXPECT_EQ(filter(LUMVEK_FILTER_CONTRAST), -39);
        EXPECT_EQ(box.text(2012), L"-39");
        box.click(IDOK);
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(filter(LUMVEK_FILTER_CONTRAST), -39);
    EXPECT_EQ(filter(LUMVEK_FILTER_SHARPNESS), 30);
    EXPECT_EQ(filter(LUMVEK_FILTER_BAYER_MODE), 1);
}

TEST_F(DialogBoxTest, MonochromeImageDialogHasTheGrayFilterPage) {
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    const int grayGain = filter(LUMVEK_FILTER_GRAY_GAIN_R);
    const int grayMode = filter(LUMVEK_FILTER_GRAY_MODE);
    const int moved = grayGain == 250 ? 251 : 250;
    const int result = run(Lumvek_SetImageDlg, nullptr, [&](const Box& box) {
        EXPECT_EQ(box.tabs(), (std::vector<std::wstring>{L"Image Filter", L"Gray Filter"}));
        HWND imagePage = box.pageWith(2001);
        HWND grayPage = box.pageWith(2100);
        ASSERT_NE(imagePage, nullptr);
        ASSERT_NE(grayPage, nullptr);
        EXPECT_TRUE(IsWindowVisible(imagePage));
        EXPECT_FALSE(IsWindowVisible(grayPage));
        // Monochrome: hue and the colour-only controls are off, brightness on.
        EXPECT_TRUE(box.enabled(2001));
        EXPECT_FALSE(box.enabled(2021));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(imagePage, 1030)));
        const int grayTriples[][3] = {{2100, 2102, 2101}, {2103, 2105, 2104}, {2106, 2108, 2107},
                                      {2109, 2111, 2110}, {2112, 2114, 2113}, {2115, 2117, 2116},
                                      {2118, 2120, 2119}, {2121, 2123, 2122}};
        for (const auto& t : grayTriples) {
            EXPECT_EQ(className(GetDlgItem(grayPage, t[0])), L"msctls_trackbar32") << t[0];
            EXPECT_EQ(className(GetDlgItem(grayPage, t[1])), L"msctls_updown32") << t[1];
            EXPECT_EQ(className(GetDlgItem(grayPage, t[2])), L"Edit") << t[2];
        }

        for (int id : {1046, 1047, 1048, 2074, 1035, 1030, 1031, 1032, 1033}) {
            EXPECT_EQ(className(GetDlgItem(grayPage, id)), L"Button") << id;
        }

        box.selectTab(1);
        EXPECT_FALSE(IsWindowVisible(imagePage));
        EXPECT_TRUE(IsWindowVisible(grayPage));
        box.drag(2100, moved);
        EXPECT_EQ(filter(LUMVEK_FILTER_GRAY_GAIN_R), moved);
        EXPECT_EQ(windowText(GetDlgItem(grayPage, 2101)), std::to_wstring(moved));
        // The gray page's own Bayer Mode buttons (ids shared with the image page) set the one mode.
        box.click(GetDlgItem(grayPage, 1032));
        EXPECT_EQ(filter(LUMVEK_FILTER_BAYER_MODE), 2);
        EXPECT_TRUE(box.checked(GetDlgItem(imagePage, 1032)));
        const int otherMode = grayMode == 1 ? 2 : 1;
        box.click(GetDlgItem(grayPage, 1046 + otherMode));
        EXPECT_EQ(filter(LUMVEK_FILTER_GRAY_MODE), otherMode);
        box.escape();
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(filter(LUMVEK_FILTER_GRAY_GAIN_R), grayGain);
    EXPECT_EQ(filter(LUMVEK_FILTER_GRAY_MODE), grayMode);
}

// ---- Analog dialog ----

TEST_F(DialogBoxTest, AnalogEscapeSendsTheGainBackButKeepsTheChannelGain) {
    LumvekCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(Lumvek_GetCameraInfo(handle_, &info), 1);
    int ok = 0;
    const int gain = Lumvek_GetGlobalGain(handle_, &ok);
    const int channelGain = Lumvek_GetChannelGain(handle_, 1, &ok);
    const int target = gain == info.globalGainMax ? info.globalGainMin : info.globalGainMax;
    int wantedChannelGain = 0;
    const int result = run(Lumvek_SetAnalogDlg, nullptr, [&](const Box& box) {
        EXPECT_EQ(windowText(box.frame), pick(L"Property", L"プロパティ"));
        EXPECT_EQ(box.text(kDefault), pick(L"Default(&D)", L"規定値(&D)"));
        EXPECT_EQ(box.tabs(), (std::vector<std::wstring>{L"Analog Gain", L"Channel"}));
        HWND analog = box.pageWith(1013);
        HWND channel = box.pageWith(1050);
        ASSERT_NE(analog, nullptr);
        ASSERT_NE(channel, nullptr);
        const int triples[][3] = {{1013, 1038, 1015}, {1018, 1039, 1019}, {1020, 1040, 1021},
                                  {1022, 1041, 1023}, {1024, 1042, 1025}, {1026, 1043, 1027}};
        for (const auto& t : triples) {
            EXPECT_EQ(className(GetDlgItem(analog, t[0])), L"msctls_trackbar32") << t[0];
            EXPECT_EQ(className(GetDlgItem(analog, t[1])), L"msctls_updown32") << t[1];
            EXPECT_EQ(className(GetDlgItem(analog, t[2])), L"Edit") << t[2];
        }
        for (int edit = 1050; edit <= 1064; edit += 2) {
            EXPECT_EQ(className(GetDlgItem(channel, edit)), L"Edit") << edit;
            EXPECT_EQ(className(GetDlgItem(channel, edit + 1)), L"msctls_updown32") << edit + 1;
        }
        const std::pair<int, const wchar_t*> others[] = {
            {1036, L"Button"}, {1037, L"Button"}, {1028, L"Button"}, {1029, L"Button"}, {1049, L"Static"},
            {2134, L"Static"}, {2131, L"Edit"}, {2132, L"ComboBox"}, {2133, L"Static"}, {2127, L"Static"},
            {2128, L"msctls_trackbar32"}, {2129, L"Edit"}, {2130, L"msctls_updown32"}, {2124, L"Button"},
            {2125, L"Button"}, {2126, L"ComboBox"}};
        for (const auto& [id, kind] : others) {
            EXPECT_EQ(className(GetDlgItem(analog, id)), kind) << id;
        }
        EXPECT_TRUE(box.enabled(1013));
        EXPECT_FALSE(box.enabled(1018));  // colour gains start disabled
        EXPECT_EQ(SendMessageW(box.item(1013), TBM_GETRANGEMAX, 0, 0), info.globalGainMax);
        // The range line is the template's word or, with the seconds exposure, the model's range text.
        const std::wstring range = box.text(2133);
        EXPECT_TRUE(range == pick(L"range", L"設定範囲") || range.rfind(L"range: ", 0) == 0) << range.size();

        const std::wstring milliseconds = box.text(1049);
        EXPECT_EQ(milliseconds.rfind(L"=", 0), 0u);
        EXPECT_EQ(milliseconds.substr(milliseconds.size() - 2), L"ms");

        box.drag(1013, target);
        int okNow = 0;
        EXPECT_EQ(Lumvek_GetGlobalGain(handle_, &okNow), target);
        EXPECT_EQ(box.text(1015), std::to_wstring(target));

        box.selectTab(1);
        EXPECT_TRUE(IsWindowVisible(channel));
        int low = 0;
        int high = 0;
        SendMessageW(GetDlgItem(channel, 1051), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                     reinterpret_cast<LPARAM>(&high));
        ASSERT_LT(low, high);
        wantedChannelGain = channelGain == low ? low + 1 : low;
        box.type(1050, std::to_wstring(wantedChannelGain).c_str());
        EXPECT_EQ(Lumvek_GetChannelGain(handle_, 1, &okNow), wantedChannelGain);
        box.step(1051, +1);
        ++wantedChannelGain;
        EXPECT_EQ(Lumvek_GetChannelGain(handle_, 1, &okNow), wantedChannelGain);
        EXPECT_EQ(windowText(GetDlgItem(channel, 1050)), std::to_wstring(wantedChannelGain));
        box.escape();
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Lumvek_GetGlobalGain(handle_, &ok), gain);
    EXPECT_EQ(Lumvek_GetChannelGain(handle_, 1, &ok), wantedChannelGain);
}

TEST_F(DialogBoxTest, AnalogOkKeepsTheMirror) {
    const int mirror = Lumvek_GetMirrorV(handle_);
    const int result = run(Lumvek_SetAnalogDlg, nullptr, [&](const Box& box) {
        EXPECT_EQ(box.text(1028), L"Mirror V");
        box.click(1028);
        EXPECT_EQ(Lumvek_GetMirrorV(handle_), mirror != 0 ? 0 : 1);
        box.click(IDOK);
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Lumvek_GetMirrorV(handle_), mirror != 0 ? 0 : 1);
}

// ---- Camera dialog ----

TEST_F(DialogBoxTest, CameraDialogShowsTheFormatsInItsLanguageAndEscapeStoresNothing) {
    const int colour = Lumvek_GetColorMode(handle_);
    const int result = run(Lumvek_SetCameraDlg, nullptr, [&](const Box& box) {
        EXPECT_EQ(windowText(box.frame), pick(L"Property", L"プロパティ"));
        EXPECT_EQ(box.tabs(), std::vector<std::wstring>{pick(L"Stream Format", L"ストリーム形式")});
        EXPECT_TRUE(box.pages().empty());
        EXPECT_EQ(box.text(kCancel), pick(L"Cancel", L"キャンセル"));
        EXPECT_EQ(box.text(kApply), pick(L"Apply(&A)", L"適用(&A)"));
        const std::vector<std::wstring> colours = box.comboItems(1009);
        ASSERT_EQ(colours.size(), 6u);
        EXPECT_EQ(colours[0], pick(L"Monochrome 8bit", L"白黒 8bit"));
        EXPECT_EQ(colours[1], pick(L"Monochrome 16bit *", L"白黒 16bit ※"));
        EXPECT_EQ(box.comboItems(1012), std::vector<std::wstring>{L"1/1"});
        EXPECT_FALSE(box.enabled(1012));
        const std::vector<std::wstring> clocks = box.comboItems(1014);
        ASSERT_EQ(clocks.size(), 3u);
        EXPECT_EQ(clocks[2], pick(L"High(18MHz)", L"高速(18MHz)"));
        EXPECT_EQ(box.comboSelection(1014), 2);
        EXPECT_FALSE(box.enabled(1014));
        EXPECT_EQ(box.comboItems(1010).back(), pick(L"Custom", L"カスタム"));
        // This camera's window cannot be adjusted: the size fields are off.
        for (int id : {1009, 1012, 1014}) {
            EXPECT_EQ(className(box.item(id)), L"ComboBox") << id;
        }
        EXPECT_EQ(className(box.item(1045)), L"Edit");
        for (int id : {1010, 1039, 1040, 1041, 1042, 1043, 1044}) {
            EXPECT_EQ(className(box.item(id)), id == 1010 ? L"ComboBox" : L"Edit") << id;
            EXPECT_FALSE(box.enabled(id)) << id;
        }
        EXPECT_TRUE(box.enabled(1045));
        EXPECT_FALSE(box.enabled(kApply));
        box.choose(1009, colour == 8 ? 2 : 0);
        EXPECT_TRUE(box.enabled(kApply));  // the model saw the change
        // Text that is no number is refused, with the model's message in its language;
        // the edit keeps what was typed.
        EXPECT_EQ(box.text(1098), L"");
        box.type(1045, L"x");
        EXPECT_EQ(box.text(1098), pick(L"Please enter a number.", L"数値を入力してください。"));
        EXPECT_EQ(box.text(1045), L"x");
        box.escape();
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Lumvek_GetColorMode(handle_), colour);
}

TEST_F(DialogBoxTest, CameraDialogOkStoresTheChosenFormat) {
    const int result = run(Lumvek_SetCameraDlg, nullptr, [&](const Box& box) {
        box.choose(1009, 0);
        box.type(1045, L"5");
        box.click(kApply);
        EXPECT_FALSE(box.enabled(kApply));
        box.choose(1009, 3);
        box.click(IDOK);
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Lumvek_GetColorMode(handle_), 32);
}

// ---- Owners ----

TEST_F(DialogBoxTest, TheApplicationsWindowOwnsTheBoxAndItsDestructionEndsItAsCancel) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    if (owner == nullptr) {
        GTEST_SKIP() << "no window can be made here (no display)";
    }
    const int brightness = filter(LUMVEK_FILTER_BRIGHTNESS);
    const int moved = brightness == -20 ? -21 : -20;
    const int result = run(Lumvek_SetImageDlg, owner, [&](const Box& box) {
        EXPECT_EQ(GetWindow(box.frame, GW_OWNER), owner);
        EXPECT_FALSE(IsWindowEnabled(owner));  // modal for its owner
        box.drag(2001, moved);
        EXPECT_EQ(filter(LUMVEK_FILTER_BRIGHTNESS), moved);
        PostMessageW(owner, WM_CLOSE, 0, 0);
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_EQ(filter(LUMVEK_FILTER_BRIGHTNESS), brightness);
}

TEST_F(DialogBoxTest, ALibraryWindowAsOwnerThatIsDestroyedEndsTheBoxAsCancel) {
    HWND owner = LumvekWnd_CreateMessageWindow();
    ASSERT_NE(owner, nullptr);
    int ok = 0;
    const int gain = Lumvek_GetGlobalGain(handle_, &ok);
    HWND frame = nullptr;
    const int result = run(Lumvek_SetAnalogDlg, owner, [&](const Box& box) {
        frame = box.frame;
        const int max = static_cast<int>(SendMessageW(box.item(1013), TBM_GETRANGEMAX, 0, 0));
        const int min = static_cast<int>(SendMessageW(box.item(1013), TBM_GETRANGEMIN, 0, 0));
        box.drag(1013, gain == max ? min : max);
        int okNow = 0;
        EXPECT_NE(Lumvek_GetGlobalGain(handle_, &okNow), gain);
        EXPECT_EQ(LumvekWnd_DestroyWindow(owner), 1);
        // Cancel sends the gain back while the box goes away.
        EXPECT_TRUE(eventually([&] { return Lumvek_GetGlobalGain(handle_, &okNow) == gain; }))
            << "the box outlived its owner";
    });
    SKIP_WITHOUT_DISPLAY();
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(Lumvek_GetGlobalGain(handle_, &ok), gain);
}

} // namespace
} // namespace lumvek::test
