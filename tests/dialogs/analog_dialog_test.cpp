// The analog dialog over the scripted device object: what reaches the camera
// at once, what Cancel sends back and what it leaves, and the seconds-based
// exposure controls.
#include <gtest/gtest.h>

#include <algorithm>

#include "instance/lumvek_internals.h"
#include "dialog_test_support.h"
#include "dialogs/analog_dialog.h"
#include "instance/instance_fixture.h"

namespace lumvek::test {
namespace {

using dialogs::DialogAutomation;
using dialogs::Outcome;
namespace d = dialogs;

constexpr int kExposureEditId = 1027;
constexpr int kGlobalGainTrackbar = 1013;
constexpr int kColorGainG1Edit = 1019;

// A camera that tells its channel defaults and black-level range.
class ChannelDefaultsDevice : public ScriptedDevice {
public:
    int GetChannelGainDefault(int* v) override { *v = 4096 - 1000; return 1; }
    int GetChannelOffsetDefault(int* v) override { *v = 12; return 1; }
    int GetBlackLevelMin(int* v) override { *v = 16; return 1; }
    int GetBlackLevelMax(int* v) override { *v = 240; return 1; }
};

// A camera whose seconds-based exposure spans 10 microseconds to 10 seconds.
class SecondsDevice : public ScriptedDevice {
public:
    SecondsDevice() { seconds = true; }
    int GetExposureTimeExMin(double* s) override { *s = 0.00001; return 1; }
    int GetExposureTimeExMax(double* s) override { *s = 10.0; return 1; }
    // The integer exposure follows the seconds, in 0.1 ms units.
    int SetExposureSeconds(double s) override {
        exposure = static_cast<int>(s * 10000.0);
        return ScriptedDevice::SetExposureSeconds(s);
    }
};

class AnalogDialogTest : public InstanceTest {
protected:
    AnalogDialogTest() : english_("LC_ALL", "en_US.UTF-8") {}
    size_t count(const std::string& call) const {
        return static_cast<size_t>(std::count(device_->calls->begin(), device_->calls->end(), call));
    }
    ScopedEnv english_;
};

TEST_F(AnalogDialogTest, CancelRestoresGainsExposureAndMirrorsButNotTheChannelValues) {
    CLumvek& lumvek = start();
    const GainSettings before = internals(lumvek).gainSettings();
    const int exposureBefore = device_->exposure;
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.setValue(d::kIdExposureTrackbar, 2000), Outcome::Done);
        EXPECT_EQ(device_->exposure, 2000);  // sent at once
        EXPECT_EQ(m.control(d::kIdExposureMs)->text, "=200.00ms");
        EXPECT_EQ(internals(lumvek).gainSettings().exposure, 2000);
        EXPECT_EQ(m.setValue(kGlobalGainTrackbar, 600), Outcome::Done);
        EXPECT_EQ(m.setValue(d::kIdMirrorV, 1), Outcome::Done);
        EXPECT_EQ(device_->mirrorV, 1);
        EXPECT_EQ(m.setText(d::channelGainEdit(2), "1234"), Outcome::Done);
        EXPECT_EQ(m.setText(d::channelOffsetEdit(4), "77"), Outcome::Done);
        EXPECT_EQ(device_->channelGain[1], 1234);
        EXPECT_EQ(m.press(d::kIdCancel), Outcome::Done);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(device_->exposure, exposureBefore);
    EXPECT_EQ(device_->global, 350);
    EXPECT_EQ(device_->mirrorV, 0);
    EXPECT_EQ(internals(lumvek).gainSettings().exposure, before.exposure);
    EXPECT_EQ(internals(lumvek).gainSettings().global, before.global);
    EXPECT_EQ(device_->channelGain[1], 1234);
    EXPECT_EQ(device_->channelOffset[3], 77);
    EXPECT_EQ(internals(lumvek).channelGain(2), 1234);
    EXPECT_EQ(internals(lumvek).channelOffset(4), 77);
}

TEST_F(AnalogDialogTest, OkKeepsTheChangesInTheCameraAndTheGainRecord) {
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.setText(d::kIdGlobalGainEdit, "5000"), Outcome::Done);  // clamped to 1023
        EXPECT_EQ(m.control(kGlobalGainTrackbar)->value, 1023);
        EXPECT_EQ(m.setValue(d::kIdMirrorH, 1), Outcome::Done);
        (void)m.press(d::kIdOk);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(device_->global, 1023);
    EXPECT_EQ(internals(lumvek).gainSettings().global, 1023);
    EXPECT_EQ(internals(lumvek).gainSettings().hMirror, 1);
}

TEST_F(AnalogDialogTest, AutoIrisBoxesExcludeEachOtherAndOnlyChangeTheRecord) {
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        const size_t calls = device_->calls->size();
        EXPECT_EQ(m.setValue(d::kIdAutoIrisGain, 1), Outcome::Done);
        EXPECT_EQ(internals(lumvek).gainSettings().autoIris, 2);
        EXPECT_EQ(m.setValue(d::kIdAutoIrisExposure, 1), Outcome::Done);
        EXPECT_EQ(m.control(d::kIdAutoIrisGain)->value, 0);
        EXPECT_EQ(internals(lumvek).gainSettings().autoIris, 1);
        EXPECT_EQ(device_->calls->size(), calls);
        // The colour gains are shown but not offered on this page.
        EXPECT_EQ(m.setText(kColorGainG1Edit, "3"), Outcome::Disabled);
        (void)m.press(d::kIdOk);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(internals(lumvek).gainSettings().autoIris, 1);
}

TEST_F(AnalogDialogTest, OptionalControlsAreHiddenUnlessTheCameraOffersThem) {
    CLumvek& lumvek = start();
    useScript(lumvek, [&](DialogAutomation& m) {
        // Default leaves the channel values alone when the camera tells no defaults.
        (void)m.setText(d::channelGainEdit(1), "321");
        EXPECT_EQ(m.press(d::kIdDefault), Outcome::Done);
        EXPECT_EQ(device_->channelGain[0], 321);
        for (int id : {d::kIdExposureExEdit, d::kIdExposureUnitCombo, d::kIdExposureRange, d::kIdBlackLevelEdit,
                       d::kIdCooling, d::kIdShortExposure, d::kIdGainMode}) {
            EXPECT_FALSE(m.control(id)->visible) << id;
        }
        EXPECT_TRUE(m.control(kExposureEditId)->visible);
        EXPECT_EQ(m.setValue(d::kIdCooling, 1), Outcome::Disabled);
        (void)m.press(d::kIdCancel);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(count("SetCooling(1)"), 0u);
}

TEST_F(AnalogDialogTest, SecondsExposureOffersItsUnitsAndRangeAndSendsTypedValuesInTheChosenUnit) {
    CLumvek& lumvek = start(std::make_unique<SecondsDevice>());
    device_->exposureSeconds = 0.0125;  // what the camera has when the dialog opens
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.control(d::kIdExposureUnitCombo)->items, (std::vector<std::string>{"μs", "ms", "sec"}));
        EXPECT_EQ(m.control(d::kIdExposureRange)->text, "range: 10μs - 10sec");
        EXPECT_EQ(m.control(d::kIdExposureUnitCombo)->value, 1);  // 12.5 ms is shown in ms
        EXPECT_EQ(m.control(d::kIdExposureExEdit)->text, "12.500");
        EXPECT_FALSE(m.control(kExposureEditId)->visible);
        EXPECT_FALSE(m.control(d::kIdExposureMs)->visible);

        // Another unit shows the same time and sends nothing.
        const size_t sent = device_->calls->size();
        EXPECT_EQ(m.setValue(d::kIdExposureUnitCombo, 0), Outcome::Done);
        EXPECT_EQ(m.control(d::kIdExposureExEdit)->text, "12500");
        EXPECT_EQ(device_->calls->size(), sent);

        EXPECT_EQ(m.setText(d::kIdExposureExEdit, "2500.5"), Outcome::Done);  // microseconds
        EXPECT_DOUBLE_EQ(device_->exposureSeconds, 0.0025005);
        EXPECT_EQ(m.control(kExposureEditId)->value, 25);  // read back, not sent
        EXPECT_EQ(count("SetExposure(25)"), 0u);
        EXPECT_EQ(m.setText(d::kIdExposureExEdit, "fast"), Outcome::Refused);
        EXPECT_EQ(m.setValue(d::kIdExposureUnitCombo, 2), Outcome::Done);
        EXPECT_EQ(m.setText(d::kIdExposureExEdit, "99"), Outcome::Done);  // clamped to 10 s
        EXPECT_DOUBLE_EQ(device_->exposureSeconds, 10.0);
        EXPECT_DOUBLE_EQ(internals(lumvek).gainSettings().exposureEx, 10.0);
        (void)m.press(d::kIdCancel);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(nullptr), 1);
    EXPECT_DOUBLE_EQ(device_->exposureSeconds, 0.0125);  // sent back by Cancel
}

TEST_F(AnalogDialogTest, DefaultSendsEveryDefaultAtOnce) {
    auto device = std::make_unique<ChannelDefaultsDevice>();
    device->blackLevel = device->cooling = device->shortExposure = device->gainMode = true;
    CLumvek& lumvek = start(std::move(device));
    device_->gainModeValue = 1;
    useScript(lumvek, [&](DialogAutomation& m) {
        EXPECT_EQ(m.control(d::kIdGainMode)->value, 1);
        EXPECT_EQ(m.control(d::kIdBlackLevelEdit)->min, 16);
        EXPECT_EQ(m.control(d::kIdBlackLevelEdit)->max, 240);
        (void)m.setValue(kGlobalGainTrackbar, 20);
        (void)m.setValue(d::kIdShortExposure, 1);
        device_->calls->clear();
        EXPECT_EQ(m.press(d::kIdDefault), Outcome::Done);
        EXPECT_EQ(device_->global, 350);
        EXPECT_EQ(device_->colorR, 8);
        EXPECT_EQ(device_->exposure, 774);
        EXPECT_EQ(device_->coolingOn, 1);
        EXPECT_EQ(device_->shortMode, 0);
        EXPECT_EQ(device_->gainModeValue, 0);
        EXPECT_EQ(count("SetChannelGain(1,3096)"), 1u);
        EXPECT_EQ(device_->channelOffset[3], 12);
        EXPECT_EQ(m.control(d::channelGainEdit(4))->value, 3096);
        EXPECT_EQ(m.control(kGlobalGainTrackbar)->value, 350);
        EXPECT_EQ(m.control(d::kIdShortExposure)->value, 0);
        EXPECT_FALSE(m.closed());
        (void)m.press(d::kIdOk);
    });
    ASSERT_EQ(lumvek.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(internals(lumvek).gainSettings().global, 350);
}

TEST(ExposureNumbers, ShownWithThreeSixOrNoDecimals) {
    EXPECT_EQ(d::formatExposureNumber(12.5), "12.500");
    EXPECT_EQ(d::formatExposureNumber(0.0005), "0.000500");
    EXPECT_EQ(d::formatExposureNumber(40.0), "40");
    EXPECT_EQ(d::exposureUnitOf(10.0), 3);
    EXPECT_EQ(d::exposureUnitOf(1.0), 2);  // "sec" only above one second
    EXPECT_EQ(d::exposureUnitOf(0.000001), 1);
    EXPECT_EQ(d::exposureUnitOf(0.0000009), 0);
}

} // namespace
} // namespace lumvek::test
