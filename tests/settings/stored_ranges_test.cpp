// Values in the store that the setters would refuse: each load gives the
// default instead and names what it replaced; values at the bounds stay.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "settings/registry_key.h"
#include "settings/settings_ranges.h"
#include "settings/settings_store.h"
#include "support/test_env.h"

using namespace lumvek;

namespace {

class StoredRanges : public ::testing::Test {
protected:
    StoredRanges() : registry_("LUMVEK_REGISTRY_FILE", (test::makeTempDir("ranges") / "registry.sqlite3").string()) {
        CaptureWindowRecord window;
        (void)store_.loadSelectedPreset(0, window);  // the default tree
    }
    static void put(const std::string& key, const char* name, uint32_t value) {
        RegistryKey handle;
        ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\" + key, handle));
        ASSERT_TRUE(handle.writeDword(name, value));
    }
    static void putInt(const std::string& key, const char* name, int32_t value) {
        put(key, name, static_cast<uint32_t>(value));
    }
    bool named(const std::vector<SettingsStore::OutOfRange>& found, const std::string& value) const {
        for (const auto& item : found) {
            if (item.value == value) return true;
        }
        return false;
    }

    test::ScopedEnv registry_;
    SettingsStore store_;
};

TEST_F(StoredRanges, HostileFilterAndGrayValuesLoadAsDefaultsAndAreNamed) {
    putInt("Camera_00\\Filter", "Brightness", 256);
    putInt("Camera_00\\Filter", "Hue", -361);
    putInt("Camera_00\\Filter", "Gamma", INT_MAX);
    putInt("Camera_00\\Filter", "BayerMode", 7);
    putInt("Camera_00\\Filter", "Contrast", -127);  // at its bound: kept
    putInt("Camera_00\\Filter", "R_Gain", 400);     // at its bound: kept
    putInt("Camera_00\\Gray", "GainR1", INT_MIN);
    putInt("Camera_00\\Gray", "OffsetB1", -256);
    putInt("Camera_00\\Gray", "OffsetG2", -255);  // kept

    FilterSettings filter;
    std::vector<SettingsStore::OutOfRange> found;
    ASSERT_TRUE(store_.loadFilter(0, filter, &found));
    EXPECT_EQ(filter.brightness, 0);
    EXPECT_EQ(filter.hue, 0);
    EXPECT_EQ(filter.gamma, 100);
    EXPECT_EQ(filter.bayerMode, 2);
    EXPECT_EQ(filter.contrast, -127);
    EXPECT_EQ(filter.rGain, 400);
    GraySettings gray;
    ASSERT_TRUE(store_.loadGray(0, gray, &found));
    EXPECT_EQ(gray.gainR, 128);
    EXPECT_EQ(gray.offsetB, 128);
    EXPECT_EQ(gray.offsetG2, -255);

    ASSERT_EQ(found.size(), 6u);
    EXPECT_EQ(found[2].value, "Camera_00\\Filter\\Gamma");
    EXPECT_EQ(found[2].stored, "2147483647");
    EXPECT_EQ(found[2].allowed, "0..200");
    EXPECT_EQ(found[2].used, "100");
    EXPECT_TRUE(named(found, "Camera_00\\Gray\\GainR1"));

    // The doctor's view is the same list, read without changing the store.
    const auto audit = store_.outOfRangeValues(0, r13GainDefaults());
    EXPECT_EQ(audit.size(), 6u);
    EXPECT_TRUE(named(audit, "Camera_00\\Filter\\BayerMode"));
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::openRead(std::string(kSettingsRoot) + "\\Camera_00\\Filter", key));
    uint32_t stored = 0;
    ASSERT_TRUE(key.readDword("Gamma", stored));
    EXPECT_EQ(stored, static_cast<uint32_t>(INT_MAX));
}

TEST_F(StoredRanges, CameraValuesAndTheSelectedWindowAreChecked) {
    put("Camera_00", "Color", 6);
    put("Camera_00", "SubSample", 1);
    put("Camera_00", "WaitTime", 0x7FFFFFFF);
    put("Camera_00", "Clock", 0xFFFFFFFF);  // no consumer: any value
    CameraValues values;
    ASSERT_TRUE(store_.loadCameraValues(0, values));
    EXPECT_EQ(values.color, 2);
    EXPECT_EQ(values.subSample, 0);
    EXPECT_EQ(values.waitTime, 1);
    EXPECT_EQ(values.clock, -1);
    put("Camera_00", "WaitTime", static_cast<uint32_t>(kMaxWaitTimeMs));
    ASSERT_TRUE(store_.loadCameraValues(0, values));
    EXPECT_EQ(values.waitTime, kMaxWaitTimeMs);

    // One value out of range: that value is replaced.
    put("Camera_00\\Size_00", "EH", 0xFFFFFFFF);
    CaptureWindowRecord window;
    window.EH = 7;
    ASSERT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window, CaptureWindowRecord{});
    put("Camera_00\\Size_00", "EH", 2336);
    put("Camera_00\\Size_00", "EV", 0);
    ASSERT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window.EV, 1752u);

    // Values each in range that together leave the sensor: the full frame.
    put("Camera_00\\Size_00", "EH", 1000);
    put("Camera_00\\Size_00", "EHS", 1400);
    put("Camera_00\\Size_00", "EV", 100);
    ASSERT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window, CaptureWindowRecord{});
    put("Camera_00\\Size_00", "EHS", 1336);  // exactly at the edge: kept
    put("Camera_00\\Size_00", "EVS", 1652);
    ASSERT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window.EH, 1000u);
    EXPECT_EQ(window.EHS, 1336u);
    EXPECT_EQ(window.EV, 100u);
    EXPECT_EQ(window.EVS, 1652u);

    // A preset number past the last one selects preset 0.
    put("Camera_00", "Size", 101);  // 100 is the dialog's "Custom" entry
    EXPECT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(store_.outOfRangeValues(0, r13GainDefaults()).size(), 3u)  // Color, SubSample, Size
        << "WaitTime and the window at the edge are in range";
}

TEST_F(StoredRanges, GainValuesAreCheckedAgainstTheCamerasOwnRanges) {
    putInt("Camera_00\\Gain", "Global", 14);
    putInt("Camera_00\\Gain", "Exposure", 0);
    putInt("Camera_00\\Gain", "ColorR", 1023);  // the global gain's copy: kept
    putInt("Camera_00\\Gain", "ColorB", 1024);
    putInt("Camera_00\\Gain", "H_Mirror", 2);
    putInt("Camera_00\\Gain", "AutoIris", 3);
    putInt("Camera_00\\Gain", "GainMode", INT_MIN);  // passed to the camera as it is
    GainSettings gain;
    ASSERT_TRUE(store_.loadGain(0, gain, r13GainDefaults()));
    EXPECT_EQ(gain.global, 350);
    EXPECT_EQ(gain.exposure, 774);
    EXPECT_EQ(gain.colorR, 1023);
    EXPECT_EQ(gain.colorB, 0);
    EXPECT_EQ(gain.hMirror, 0);
    EXPECT_EQ(gain.autoIris, 0);
    EXPECT_EQ(gain.gainMode, INT_MIN);

    // A camera of another range: its own bounds and defaults.
    GainDefaults other = r13GainDefaults();
    other.ranges.exposure = {0, 10};
    other.exposure = 5;
    putInt("Camera_00\\Gain", "Exposure", 11);
    ASSERT_TRUE(store_.loadGain(0, gain, other));
    EXPECT_EQ(gain.exposure, 5);

    // Seconds are checked where the camera has them.
    other.ranges.exposureExAvailable = true;
    other.ranges.exposureExMin = 0.001;
    other.ranges.exposureExMax = 2.0;
    other.exposureExAvailable = true;
    other.exposureEx = 0.25;
    for (const double stored : {std::nan(""), 2.5, -1.0}) {
        RegistryKey key;
        ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\Camera_00\\Gain", key));
        ASSERT_TRUE(key.writeDouble("ExposureEx", stored));
        ASSERT_TRUE(store_.loadGain(0, gain, other));
        EXPECT_EQ(gain.exposureEx, 0.25) << stored;
    }

    // Without the camera's ranges nothing camera-bounded is judged.
    GainDefaults unknown = r13GainDefaults();
    unknown.ranges = DeviceRanges{};
    ASSERT_TRUE(store_.loadGain(0, gain, unknown));
    EXPECT_EQ(gain.exposure, 11);
    EXPECT_EQ(gain.autoIris, 0);  // fixed ranges still hold
}

} // namespace
