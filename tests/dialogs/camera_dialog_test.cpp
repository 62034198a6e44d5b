// The camera dialog through the exports' path: CLumvek over a simulated R13
// (whose window cannot be adjusted), with the settings store in the test's
// own registry file.
#include <gtest/gtest.h>

#include "capture/capture_fixture.h"
#include "dialog_test_support.h"
#include "dialogs/camera_dialog.h"

namespace lumvek::test {
namespace {

using dialogs::DialogAutomation;
using dialogs::Outcome;
namespace d = dialogs;

class CameraDialogTest : public CaptureTest {
protected:
    CameraDialogTest() : english_("LC_ALL", "C") { addCamera("product=0x3090,name=cam0,fps=40"); }

    // n presets of growing width under Camera_00, Size pointing at `size`.
    void storePresets(int n, int size) {
        SettingsStore::DialogPresets presets;
        for (int i = 0; i < n; ++i) {
            CaptureWindowRecord preset;
            preset.EH = static_cast<uint32_t>(64 + 8 * i);
            preset.EV = 48;
            presets.presets.push_back(preset);
        }
        presets.values.size = size;
        ASSERT_TRUE(store_.saveDialogPresets(0, presets));
    }
    SettingsStore::DialogPresets stored() {
        SettingsStore::DialogPresets presets;
        (void)store_.loadDialogPresets(0, presets);
        return presets;
    }

    ScopedEnv english_;
    SettingsStore store_;
};

TEST_F(CameraDialogTest, OnThisModelTheWindowControlsAreDisabledAndSubSampleAndClockFixed) {
    CLumvek& lumvek = start();
    bool ran = false;
    useScript(lumvek, [&](DialogAutomation& m) {
        ran = true;
        for (int id : {d::kIdHTotal, d::kIdVTotal, d::kIdHEffective, d::kIdVEffective, d::kIdHStart, d::kIdVStart,
                       d::kIdSizeCombo, d::kIdSubSampleCombo, d::kIdClockCombo, d::kIdApply}) {
            EXPECT_FALSE(m.control(id)->enabled) << id;
        }
        EXPECT_TRUE(m.control(d::kIdColorCombo)->enabled);
        EXPECT_TRUE(m.control(d::kIdWaitTime)->enabled);
        EXPECT_EQ(m.control(d::kIdSubSampleCombo)->items, std::vector<std::string>{"1/1"});
        EXPECT_EQ(m.control(d::kIdSubSampleCombo)->value, 0);
        EXPECT_EQ(m.control(d::kIdClockCombo)->value, 2);
        // The fresh store's Size_00 is the full frame.
        EXPECT_EQ(m.control(d::kIdSizeCombo)->items, (std::vector<std::string>{"2336 x 1752", "Custom"}));
        EXPECT_EQ(m.control(d::kIdHEffective)->text, "2336");
        EXPECT_EQ(m.setText(d::kIdHEffective, "640"), Outcome::Disabled);
        EXPECT_EQ(m.setValue(d::kIdClockCombo, 0), Outcome::Disabled);
        EXPECT_EQ(m.press(d::kIdApply), Outcome::Disabled);
        EXPECT_EQ(m.press(d::kIdCancel), Outcome::Done);
        EXPECT_EQ(m.press(d::kIdOk), Outcome::Closed);
    });
    EXPECT_EQ(lumvek.SetCameraDlg(nullptr), 1);
    EXPECT_TRUE(ran);
}

TEST_F(CameraDialogTest, OkStoresClockTwoSubSampleZeroAndTheInstanceReloadsColourAndWaitTime) {
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.setValue(d::kIdColorCombo, 0), Outcome::Done);
        EXPECT_TRUE(m.control(d::kIdApply)->enabled);
        EXPECT_EQ(m.setText(d::kIdWaitTime, "25"), Outcome::Done);
        EXPECT_EQ(m.press(d::kIdOk), Outcome::Done);
        EXPECT_EQ(m.result(), d::kResultOk);
    });
    ASSERT_EQ(lumvek.SetCameraDlg(nullptr), 1);
    const SettingsStore::DialogPresets after = stored();
    EXPECT_EQ(after.values.clock, 2);
    EXPECT_EQ(after.values.subSample, 0);
    EXPECT_EQ(after.values.color, 0);
    EXPECT_EQ(after.values.waitTime, 25);
    EXPECT_EQ(lumvek.GetColorMode(), 8);
    EXPECT_EQ(lumvek.GetWaitTime(), 25);
}

TEST_F(CameraDialogTest, CancelAfterApplyKeepsWhatApplyWroteButTheInstanceIsNotReloaded) {
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        (void)m.setValue(d::kIdColorCombo, 3);
        EXPECT_EQ(m.press(d::kIdApply), Outcome::Done);
        EXPECT_FALSE(m.control(d::kIdApply)->enabled);
        (void)m.setValue(d::kIdColorCombo, 0);
        EXPECT_EQ(m.press(d::kIdCancel), Outcome::Done);
    });
    ASSERT_EQ(lumvek.SetCameraDlg(nullptr), 1);
    EXPECT_EQ(stored().values.color, 3);
    EXPECT_EQ(stored().values.clock, 2);
    EXPECT_EQ(lumvek.GetColorMode(), 24);  // the instance keeps its colour mode until an OK
}

TEST_F(CameraDialogTest, CustomWithApplyTwiceAppendsTwoPresets) {
    storePresets(1, 1);  // Size 1 is the "Custom" entry after one preset
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.control(d::kIdSizeCombo)->value, 1);
        EXPECT_EQ(m.setText(d::kIdWaitTime, "3"), Outcome::Done);
        EXPECT_EQ(m.press(d::kIdApply), Outcome::Done);
        EXPECT_EQ(m.setText(d::kIdWaitTime, "4"), Outcome::Done);
        EXPECT_EQ(m.press(d::kIdApply), Outcome::Done);
        // The new entries stand before "Custom", which stays selected.
        EXPECT_EQ(m.control(d::kIdSizeCombo)->items,
                  (std::vector<std::string>{"64 x 48", "2336 x 1752", "2336 x 1752", "Custom"}));
        EXPECT_EQ(m.control(d::kIdSizeCombo)->value, 3);
        (void)m.press(d::kIdCancel);
    });
    ASSERT_EQ(lumvek.SetCameraDlg(nullptr), 1);
    const SettingsStore::DialogPresets after = stored();
    ASSERT_EQ(after.presets.size(), 3u);
    EXPECT_EQ(after.presets[2].EH, 2336u);
    EXPECT_EQ(after.values.size, 2);  // the position "Custom" had at the second Apply
}

TEST_F(CameraDialogTest, AHundredAndFirstPresetIsRefusedWithAMessageAndTheStoreIsLeftAlone) {
    storePresets(100, 100);
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.control(d::kIdSizeCombo)->items.size(), 101u);
        EXPECT_EQ(m.control(d::kIdSizeCombo)->value, 100);  // "Custom", past the last record
        EXPECT_EQ(m.control(d::kIdHEffective)->text, "2336");
        EXPECT_EQ(m.setText(d::kIdWaitTime, "7"), Outcome::Done);
        EXPECT_EQ(m.press(d::kIdApply), Outcome::Done);
        EXPECT_NE(m.message().find("100"), std::string::npos);
        EXPECT_EQ(m.press(d::kIdOk), Outcome::Done);
        EXPECT_FALSE(m.closed());  // OK cannot store it either
        EXPECT_EQ(m.press(d::kIdCancel), Outcome::Done);
    });
    ASSERT_EQ(lumvek.SetCameraDlg(nullptr), 1);
    const SettingsStore::DialogPresets after = stored();
    EXPECT_EQ(after.presets.size(), 100u);
    EXPECT_EQ(after.values.waitTime, 1);
    RegistryKey key;
    EXPECT_FALSE(RegistryKey::openRead(std::string(kSettingsRoot) + "\\Camera_00\\Size_100", key));
}

TEST_F(CameraDialogTest, TypedValuesAreClampedAndTextThatIsNoNumberIsRefused) {
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.setText(d::kIdWaitTime, "12abc"), Outcome::Refused);
        EXPECT_EQ(m.setText(d::kIdWaitTime, ""), Outcome::Refused);
        EXPECT_EQ(m.control(d::kIdWaitTime)->text, "1");
        EXPECT_FALSE(m.control(d::kIdApply)->enabled);
        EXPECT_EQ(m.setText(d::kIdWaitTime, "-5"), Outcome::Done);
        EXPECT_EQ(m.control(d::kIdWaitTime)->text, "0");
        EXPECT_EQ(m.setText(d::kIdWaitTime, "99999999999999999999"), Outcome::Done);
        EXPECT_EQ(m.control(d::kIdWaitTime)->value, m.control(d::kIdWaitTime)->max);
        EXPECT_EQ(m.setValue(d::kIdColorCombo, 42), Outcome::Done);
        EXPECT_EQ(m.control(d::kIdColorCombo)->value, 5);
        EXPECT_EQ(m.setValue(9999, 1), Outcome::NoControl);
        (void)m.press(d::kIdCancel);
    });
    EXPECT_EQ(lumvek.SetCameraDlg(nullptr), 1);
}

TEST_F(CameraDialogTest, PreviewStopsWhileTheDialogIsOpenAndResumesAfterIt) {
    CLumvek& lumvek = start();
    ASSERT_EQ(lumvek.SetColorMode(8), 1);
    ASSERT_EQ(lumvek.CallBackPreview(window_, callbackBuffer(2336 * 1752).data(), 2336 * 1752, 1), 1);
    InstanceState during = InstanceState::NoCamera;
    useScript(lumvek, [&](DialogAutomation& m) {
        during = lumvek.state();
        (void)m.press(d::kIdOk);
    });
    ASSERT_EQ(lumvek.SetCameraDlg(nullptr), 1);
    EXPECT_EQ(during, InstanceState::Idle);
    EXPECT_EQ(lumvek.state(), InstanceState::Previewing);
    drainMessages();
    LumvekMsg msg{};
    EXPECT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
    EXPECT_EQ(lumvek.StopPreview(), 1);
}

} // namespace
} // namespace lumvek::test
