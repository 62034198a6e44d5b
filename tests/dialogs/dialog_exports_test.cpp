// When a dialog cannot run: no open camera (code 1), or no view to show it
// (code 4), and a view that returns with the dialog still open.
#include <gtest/gtest.h>

#include "instance/lumvek_internals.h"
#include "capture/capture_fixture.h"
#include "dialog_test_support.h"

namespace lumvek::test {
namespace {

using Dialog = int (CLumvek::*)(HWND);
constexpr Dialog kDialogs[] = {&CLumvek::SetCameraDlg, &CLumvek::SetImageDlg, &CLumvek::SetAnalogDlg};

TEST_F(CaptureTest, WithoutAnOpenCameraEveryDialogRecordsCodeOneAndShowsNothing) {
    CLumvek& lumvek = start();  // no simulated camera: the device object has nothing open
    ScriptedView* view = useScript(lumvek, [](dialogs::DialogAutomation&) {});
    for (Dialog dialog : kDialogs) {
        EXPECT_EQ((lumvek.*dialog)(window_), 0);
        EXPECT_EQ(lumvek.GetLastError(), LUMVEK_ERR_STATE);
    }
    EXPECT_EQ(view->runs, 0);
}

TEST_F(CaptureTest, WithoutADisplayEveryDialogRecordsCodeFour) {
    ScopedEnv noX("DISPLAY", std::nullopt);
    ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    addCamera("product=0x3090,name=cam0,fps=40");
    CLumvek& lumvek = start();
    for (Dialog dialog : kDialogs) {
        EXPECT_EQ((lumvek.*dialog)(window_), 0);
        EXPECT_EQ(lumvek.GetLastError(), LUMVEK_ERR_WINDOW);
    }
}

TEST_F(CaptureTest, WithADisplayButNoViewModuleBesideTheCodeEveryDialogRecordsCodeFour) {
    // This test program holds the library's code itself; no view module lies beside it.
    ScopedEnv display("DISPLAY", ":4321");
    addCamera("product=0x3090,name=cam0,fps=40");
    CLumvek& lumvek = start();
    for (Dialog dialog : kDialogs) {
        EXPECT_EQ((lumvek.*dialog)(window_), 0);
        EXPECT_EQ(lumvek.GetLastError(), LUMVEK_ERR_WINDOW);
    }
    EXPECT_EQ(lumvek.state(), InstanceState::Idle);
}

TEST_F(CaptureTest, ADialogTheViewLeavesOpenEndsAsCancel) {
    constexpr int kGlobalGainSelector = 13;
    constexpr int kGlobalGainTrackbar = 1013;
    addCamera("product=0x3090,name=cam0,fps=40");
    CLumvek& lumvek = start();
    const int gain = lumvek.GetFilterValue(kGlobalGainSelector, nullptr);
    useScript(lumvek, [&](dialogs::DialogAutomation& m) {
        const dialogs::ControlState* trackbar = m.control(kGlobalGainTrackbar);
        (void)m.setValue(kGlobalGainTrackbar, trackbar->value == trackbar->max ? trackbar->min : trackbar->max);
        EXPECT_NE(lumvek.GetFilterValue(kGlobalGainSelector, nullptr), gain);
        // ... and the view returns with the dialog still open (its owner went away).
    });
    EXPECT_EQ(lumvek.SetAnalogDlg(window_), 1);
    EXPECT_EQ(lumvek.GetFilterValue(kGlobalGainSelector, nullptr), gain);
    EXPECT_EQ(internals(lumvek).gainSettings().global, gain);
}

} // namespace
} // namespace lumvek::test

namespace lumvek::test {
namespace {

TEST_F(CaptureTest, AnalogDefaultOnTheR13SendsTheSensorsChannelDefaults) {
    addCamera("product=0x3090,name=cam0,fps=40");
    CLumvek& lumvek = start();
    useScript(lumvek, [&](dialogs::DialogAutomation& m) {
        (void)m.setText(1050, "100");  // channel 1 gain
        EXPECT_EQ(internals(lumvek).channelGain(1), 100);
        EXPECT_EQ(m.press(dialogs::kIdDefault), dialogs::Outcome::Done);
        (void)m.press(dialogs::kIdOk);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(window_), 1);
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(internals(lumvek).channelGain(c), 4096) << c;
        EXPECT_EQ(internals(lumvek).channelOffset(c), 0) << c;
    }
}

} // namespace
} // namespace lumvek::test
