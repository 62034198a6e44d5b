// The filter-selector table, grouped by where a value lives.
#include "instance/lumvek_internals.h"
#include "instance_fixture.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {

class SelectorTest : public InstanceTest {
protected:
    void SetUp() override { start(); (void)postedErrors(); }
    int get(int selector, int* ok) { return instance_->GetFilterValue(selector, ok); }
    int set(int selector, int value) { return instance_->SetFilterValue(selector, value); }
    int lastError() { return instance_->GetLastError(); }
};

} // namespace

TEST_F(SelectorTest, InstanceValuesKeepTheirRangesAndRefuseOutOfRangeUnchanged) {
    struct Case {
        int selector, min, max;
    };
    const Case cases[] = {{1, -255, 255}, {2, -127, 127}, {3, -360, 360}, {4, -255, 255}, {5, 0, 30},
                          {7, 0, 400},    {8, 0, 400},    {9, 0, 400},    {11, 0, 200},   {12, 0, 3},
                          {19, 0, 2},     {20, 0, 255},   {23, 0, 255},   {24, -255, 255}, {27, -255, 255},
                          {102, 0, 1},    {103, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        int ok = -1;
        EXPECT_EQ(set(c.selector, c.min), 1);
        EXPECT_EQ(get(c.selector, &ok), c.min);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(set(c.selector, c.max), 1);
        EXPECT_EQ(set(c.selector, c.max + 1), 0);
        EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
        EXPECT_EQ(set(c.selector, c.min - 1), 0);
        EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
        EXPECT_EQ(get(c.selector, &ok), c.max);
    }
}

TEST_F(SelectorTest, PackedGainsSplitAndJoinWithoutRangeCheck) {
    EXPECT_EQ(set(6, 64 | 128 << 8 | 255 << 16 | 0x7F << 24), 1);
    int ok = 0;
    EXPECT_EQ(get(7, &ok), 64);
    EXPECT_EQ(get(8, &ok), 128);
    EXPECT_EQ(get(9, &ok), 255);
    EXPECT_EQ(set(7, 400), 1);  // 400 = 0x190: only the low byte is packed
    EXPECT_EQ(get(6, &ok), 0x90 | 128 << 8 | 255 << 16);
}

TEST_F(SelectorTest, FlagsAreNormalisedAndTheMeasurementRequestIsSetOnly) {
    int ok = -1;
    EXPECT_EQ(set(10, 17), 1);
    EXPECT_EQ(get(10, &ok), 1);
    EXPECT_EQ(set(28, 1), 1);
    EXPECT_EQ(internals(*instance_).imageSettings().grayMeasureRequest, 1);
    EXPECT_EQ(get(28, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(set(28, 2), 0);
}

TEST_F(SelectorTest, UnknownSelectorsAreRefused) {
    int ok = -1;
    for (int selector : {0, 37, 99, 107, -1}) {
        EXPECT_EQ(get(selector, &ok), 0);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
        EXPECT_EQ(set(selector, 0), 0);
        EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
    }
    EXPECT_EQ(get(1, nullptr), 0);  // a null flag pointer is simply not written
}

TEST_F(SelectorTest, GlobalGainUsesTheDeviceRangeAndCopiesIntoTheColourGains) {
    EXPECT_EQ(set(13, 1024), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(set(13, 14), 0);
    EXPECT_EQ(set(13, 15), 1);
    EXPECT_EQ(set(13, 1023), 1);
    EXPECT_EQ(device_->global, 1023);
    int ok = 0;
    EXPECT_EQ(get(13, &ok), 1023);
    const GainSettings gain = internals(*instance_).gainSettings();
    EXPECT_EQ(gain.global, 1023);
    EXPECT_EQ(gain.colorR, 1023);
    EXPECT_EQ(gain.colorG1, 1023);
    EXPECT_EQ(gain.colorG2, 1023);
    EXPECT_EQ(gain.colorB, 1023);
}

TEST_F(SelectorTest, DeviceValuesReachTheDeviceAndAFailedWriteIsCode6) {
    EXPECT_EQ(set(14, 63), 1);
    EXPECT_EQ(set(17, 64), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(device_->colorR, 63);
    EXPECT_EQ(set(18, 8191), 1);
    EXPECT_EQ(device_->exposure, 8191);
    EXPECT_EQ(set(18, 0), 0);
    EXPECT_EQ(set(18, 8192), 0);
    EXPECT_EQ(internals(*instance_).gainSettings().exposure, 8191);

    const int before = internals(*instance_).gainSettings().colorG1;
    device_->failWrites = true;
    EXPECT_EQ(set(15, 10), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_TRANSFER);
    EXPECT_EQ(internals(*instance_).gainSettings().colorG1, before);
}

TEST_F(SelectorTest, ChannelSelectorsMapToChannelsOneToFour) {
    for (int channel = 1; channel <= 4; ++channel) {
        EXPECT_EQ(set(28 + channel, 100 * channel), 1);
        EXPECT_EQ(set(32 + channel, 10 * channel), 1);
    }
    EXPECT_EQ(device_->channelGain[3], 400);
    EXPECT_EQ(device_->channelOffset[0], 10);
    EXPECT_EQ(internals(*instance_).channelGain(2), 200);
    EXPECT_EQ(internals(*instance_).channelOffset(4), 40);
    int ok = 0;
    EXPECT_EQ(get(31, &ok), 300);
    EXPECT_EQ(set(29, 4096), 0);
    EXPECT_EQ(set(33, 1024), 0);
}

TEST_F(SelectorTest, OptionalFeaturesReportUnsupportedUntilTheDeviceHasThem) {
    int ok = -1;
    EXPECT_EQ(get(100, &ok), -1);
    EXPECT_EQ(lastError(), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(set(100, 1), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(get(105, &ok), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(set(106, 5), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(get(104, &ok), -1);

    device_->cooling = device_->shortExposure = device_->blackLevel = true;
    EXPECT_EQ(set(100, 1), 1);
    EXPECT_EQ(get(100, &ok), 1);
    EXPECT_EQ(set(105, 7), 1);
    EXPECT_EQ(device_->shortMode, 1);  // any positive value switches it on
    EXPECT_EQ(lastError(), LUMVEK_ERR_NONE);
    EXPECT_EQ(set(106, 40), 1);
    EXPECT_EQ(device_->black, 40);
    EXPECT_EQ(internals(*instance_).gainSettings().blackLevel, 40);
}

TEST_F(SelectorTest, SuccessfulShortExposureAndBlackLevelAccessPushAndPostCodeZero) {
    device_->shortExposure = device_->blackLevel = true;
    (void)set(1, 999);  // a code 9 underneath the zeros
    int ok = 0;
    EXPECT_EQ(get(106, &ok), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(get(105, &ok), 0);
    EXPECT_EQ(lastError(), 0);
    EXPECT_EQ(lastError(), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(postedErrors(), (std::vector<intptr_t>{9, 0, 0}));

    device_->failWrites = true;
    EXPECT_EQ(get(105, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_TRANSFER);
}

TEST_F(SelectorTest, TemperatureThroughTheSelectorIsNeverOffered) {
    device_->temperature = true;
    int ok = -1;
    EXPECT_EQ(get(101, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(set(101, 1), 0);
    EXPECT_EQ(lastError(), LUMVEK_ERR_ARGUMENT);
}

TEST_F(SelectorTest, GainModeIsPassedOnWithoutTouchingTheStoredCopy) {
    device_->gainMode = true;
    EXPECT_EQ(set(104, 1), 1);
    int ok = 0;
    EXPECT_EQ(get(104, &ok), 1);
    EXPECT_EQ(internals(*instance_).gainSettings().gainMode, 0);
}

TEST(SelectorWithoutDevice, EverySelectorFailsWithCode1) {
    CLumvek instance(&noDevice);
    ASSERT_EQ(instance.Initialize(nullptr), 1);
    for (int selector : {1, 6, 13, 28, 99, 103}) {
        int ok = -1;
        EXPECT_EQ(instance.GetFilterValue(selector, &ok), 0);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(instance.GetLastError(), LUMVEK_ERR_STATE);
        EXPECT_EQ(instance.SetFilterValue(selector, 0), 0);
        EXPECT_EQ(instance.GetLastError(), LUMVEK_ERR_STATE);
    }
}
