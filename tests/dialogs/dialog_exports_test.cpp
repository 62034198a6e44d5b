// When a dialog cannot run: no open camera (code 1), or no view to show it
// (code 4), and a view that returns with the dialog still open.
#include <gtest/gtest.h>

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

TEST_F(CaptureTest, ADialogTheViewLeavesOpenEndsAsCancel) {
    addCamera("product=0x3090,name=cam0,fps=40");
    CLumvek& lumvek = start();
    const int exposure = lumvek.GetFilterValue(18, nullptr);
    const int recorded = lumvek.gainSettings().exposure;
    useScript(lumvek, [&](dialogs::DialogAutomation& m) {
        (void)m.setValue(1026, 4000);  // the exposure trackbar; then the owner "goes away"
        EXPECT_NE(lumvek.GetFilterValue(18, nullptr), exposure);
    });
    EXPECT_EQ(lumvek.SetAnalogDlg(window_), 1);
    EXPECT_EQ(lumvek.GetFilterValue(18, nullptr), exposure);
    EXPECT_EQ(lumvek.gainSettings().exposure, recorded);
}

} // namespace
} // namespace lumvek::test
