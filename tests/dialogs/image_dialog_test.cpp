// The image dialog: which controls the colour mode offers, changes reaching
// the instance's records at once, the request flags, Default and Cancel.
#include <gtest/gtest.h>

#include "instance/lumvek_internals.h"
#include "dialog_test_support.h"
#include "dialogs/image_dialog.h"
#include "instance/instance_fixture.h"

namespace lumvek::test {
namespace {

using dialogs::DialogAutomation;
using dialogs::Outcome;
namespace d = dialogs;

constexpr int kBrightnessEdit = 2002;
constexpr int kHueEdit = 2022;
constexpr int kGammaTrackbar = 2081;
constexpr int kRGainEdit = 2052;
constexpr int kGrayGainR1Edit = 2101;
constexpr int kGrayOffsetB1Trackbar = 2121;
constexpr int kGrayscaleRadio = 1048;

class ImageDialogTest : public InstanceTest {
protected:
    ImageDialogTest() : english_("LC_ALL", "C") {}
    ScopedEnv english_;
};

TEST(ImageDialogModel, TheColourModeDecidesWhatIsOfferedAndWhetherTheGrayPageExists) {
    auto enabled = [](const d::ImageDialog& m, int id) { return m.control(id)->enabled; };
    d::ImageDialog mono(d::Language::English, 1, {}, [](auto&) {});
    ASSERT_TRUE(mono.hasGrayPage());
    EXPECT_EQ(mono.pages().size(), 2u);
    EXPECT_TRUE(enabled(mono, kBrightnessEdit));
    EXPECT_TRUE(enabled(mono, kGammaTrackbar));
    EXPECT_FALSE(enabled(mono, kHueEdit));
    EXPECT_FALSE(enabled(mono, kRGainEdit));
    EXPECT_FALSE(enabled(mono, d::kIdWhiteBalanceOnce));
    EXPECT_FALSE(enabled(mono, d::kIdBayerMode0));
    EXPECT_TRUE(enabled(mono, kGrayGainR1Edit));
    EXPECT_TRUE(enabled(mono, d::grayPageId(d::kIdWhiteBalanceOnce)));

    d::ImageDialog colour(d::Language::English, 3, {}, [](auto&) {});
    EXPECT_FALSE(colour.hasGrayPage());
    EXPECT_EQ(colour.pages().size(), 1u);
    EXPECT_EQ(colour.control(kGrayGainR1Edit), nullptr);
    for (int id : {kHueEdit, kRGainEdit, d::kIdWhiteBalanceOnce, d::kIdWhiteBalanceAll, d::kIdBayerMode0 + 3}) {
        EXPECT_TRUE(enabled(colour, id)) << id;
    }

    d::ImageDialog unknown(d::Language::English, 9, {}, [](auto&) {});
    EXPECT_FALSE(unknown.hasGrayPage());
    EXPECT_FALSE(enabled(unknown, kBrightnessEdit));
    EXPECT_FALSE(enabled(unknown, kGammaTrackbar));
}

TEST_F(ImageDialogTest, ChangesReachTheRecordsAtOnceAndCancelRestoresThem) {
    CLumvek& lumvek = start();
    ASSERT_EQ(lumvek.SetColorMode(24), 1);
    const ImageSettings before = internals(lumvek).imageSettings();
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.setText(kBrightnessEdit, "-300"), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().filter.brightness, -255);
        EXPECT_EQ(m.setValue(d::kIdBayerMode0 + 1, 1), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().filter.bayerMode, 1);
        EXPECT_EQ(m.control(d::kIdBayerMode0 + 2)->value, 0);
        EXPECT_EQ(m.press(d::kIdWhiteBalanceOnce), Outcome::Done);
        const ImageSettings once = internals(lumvek).imageSettings();
        EXPECT_EQ(once.autoWhiteBalance, 1);
        EXPECT_EQ(once.whiteBalanceOneShot[0], 1);
        EXPECT_EQ(once.whiteBalanceOneShot[1], 1);
        EXPECT_EQ(m.control(d::kIdWhiteBalanceAll)->value, 0);
        EXPECT_EQ(m.setValue(d::kIdWhiteBalanceAll, 1), Outcome::Done);
        const ImageSettings all = internals(lumvek).imageSettings();
        EXPECT_EQ(all.autoWhiteBalance, 1);
        EXPECT_EQ(all.whiteBalanceOneShot[0], 0);
        EXPECT_EQ(all.whiteBalanceOneShot[1], 0);
        EXPECT_EQ(m.press(d::kIdCancel), Outcome::Done);
    });
    ASSERT_EQ(lumvek.SetImageDlg(nullptr), 1);
    const ImageSettings after = internals(lumvek).imageSettings();
    EXPECT_EQ(after.filter.brightness, before.filter.brightness);
    EXPECT_EQ(after.filter.bayerMode, before.filter.bayerMode);
    EXPECT_EQ(after.autoWhiteBalance, before.autoWhiteBalance);
}

TEST_F(ImageDialogTest, GrayPageRequestsDefaultsAndOk) {
    CLumvek& lumvek = start();
    ASSERT_EQ(lumvek.SetColorMode(8), 1);
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.setValue(kGrayOffsetB1Trackbar, -40), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().gray.offsetB, -40);
        EXPECT_EQ(m.setValue(kGrayscaleRadio, 1), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().gray.mode, 2);
        EXPECT_EQ(m.setValue(d::grayPageId(d::kIdWhiteBalanceAll), 1), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().grayMeasureRequest, -1);
        EXPECT_EQ(m.setValue(d::grayPageId(d::kIdWhiteBalanceAll), 0), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().grayMeasureRequest, 0);
        EXPECT_EQ(m.press(d::grayPageId(d::kIdWhiteBalanceOnce)), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().grayMeasureRequest, 1);
        // The Bayer Mode of both pages is the one setting.
        EXPECT_EQ(m.setValue(d::grayPageId(d::kIdBayerMode0), 1), Outcome::Done);
        EXPECT_EQ(internals(lumvek).imageSettings().filter.bayerMode, 0);

        (void)m.setText(kBrightnessEdit, "17");
        EXPECT_EQ(m.press(d::kIdDefault), Outcome::Done);
        const ImageSettings defaults = internals(lumvek).imageSettings();
        EXPECT_EQ(defaults.filter.brightness, 0);
        EXPECT_EQ(defaults.filter.gamma, 100);
        EXPECT_EQ(defaults.filter.rGain, 100);
        EXPECT_EQ(defaults.filter.bayerMode, 2);
        EXPECT_EQ(defaults.gray.offsetB, 128);
        EXPECT_EQ(defaults.gray.gainG2, 128);
        EXPECT_EQ(m.control(kBrightnessEdit)->text, "0");
        EXPECT_EQ(m.control(d::kIdBayerMode0 + 2)->value, 1);
        EXPECT_EQ(m.control(d::grayPageId(d::kIdBayerMode0 + 2))->value, 1);
        (void)m.setText(kBrightnessEdit, "9");
        EXPECT_EQ(m.press(d::kIdOk), Outcome::Done);
    });
    ASSERT_EQ(lumvek.SetImageDlg(nullptr), 1);
    EXPECT_EQ(internals(lumvek).imageSettings().filter.brightness, 9);
    EXPECT_EQ(internals(lumvek).imageSettings().gray.mode, 2);
}

} // namespace
} // namespace lumvek::test
