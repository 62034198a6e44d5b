#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry/registry.h"
#include "settings/registry_key.h"
#include "settings/settings_store.h"
#include "support/test_env.h"

using namespace lumvek;

namespace {

// Each test gets a registry file of its own.
class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest()
        : registry_("LUMVEK_REGISTRY_FILE", (test::makeTempDir("settings") / "registry.sqlite3").string()) {}

    static uint32_t readDword(const std::string& path, const char* name) {
        RegistryKey key;
        EXPECT_TRUE(RegistryKey::openRead(path, key)) << path;
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(key.readDword(name, value)) << path << " " << name;
        return value;
    }
    static void writeDword(const std::string& path, const char* name, uint32_t value) {
        RegistryKey key;
        ASSERT_TRUE(RegistryKey::openWrite(path, key));
        ASSERT_TRUE(key.writeDword(name, value));
    }
    static void writePreset(const std::string& path, uint32_t eh, uint32_t ev) {
        writeDword(path, "EH", eh);
        writeDword(path, "EV", ev);
        writeDword(path, "EHS", 16);
        writeDword(path, "EVS", 8);
    }

    test::ScopedEnv registry_;
    SettingsStore store_;
    const std::string root_ = kSettingsRoot;
};

} // namespace

TEST_F(SettingsStoreTest, FirstLoadCreatesTheDefaultTreeAndReportsFailure) {
    CaptureWindowRecord window;
    window.EH = 1000;  // the caller's values stay when the tree is created
    EXPECT_FALSE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window.EH, 1000u);

    const std::string camera = root_ + "\\Camera_00";
    EXPECT_EQ(readDword(camera, "Size"), 0u);
    EXPECT_EQ(readDword(camera, "Color"), 2u);
    EXPECT_EQ(readDword(camera, "SubSample"), 0u);
    EXPECT_EQ(readDword(camera, "WaitTime"), 1u);
    EXPECT_EQ(readDword(camera, "Clock"), 0u);
    const std::string preset = camera + "\\Size_00";
    EXPECT_EQ(readDword(preset, "TH"), 2336u);
    EXPECT_EQ(readDword(preset, "TV"), 1752u);
    EXPECT_EQ(readDword(preset, "EH"), 2336u);
    EXPECT_EQ(readDword(preset, "EV"), 1752u);
    EXPECT_EQ(readDword(preset, "EHS"), 0u);
    EXPECT_EQ(readDword(preset, "EVS"), 0u);
    EXPECT_EQ(readDword(preset, "Buf"), 4u);

    // The second load finds the tree and reads the selected preset.
    window = CaptureWindowRecord{};
    window.EH = 1;
    EXPECT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window, CaptureWindowRecord{});
}

TEST_F(SettingsStoreTest, SelectedPresetFollowsTheSizeValueAndNeverCreatesAnotherCamera) {
    CaptureWindowRecord window;
    (void)store_.loadSelectedPreset(0, window);
    writePreset(root_ + "\\Camera_00\\Size_03", 640, 480);
    writeDword(root_ + "\\Camera_00", "Size", 3);
    ASSERT_TRUE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window.EH, 640u);
    EXPECT_EQ(window.EV, 480u);
    EXPECT_EQ(window.EHS, 16u);

    EXPECT_FALSE(store_.loadSelectedPreset(5, window));
    RegistryKey key;
    EXPECT_FALSE(RegistryKey::openRead(root_ + "\\Camera_05", key));
}

TEST_F(SettingsStoreTest, PresetSearchLooksOnlyUnderTheRootAndStopsAtTheFirstGap) {
    CaptureWindowRecord window;
    EXPECT_EQ(store_.findPresetBySize(1024, 768, window), SettingsStore::PresetSearch::NoRoot);

    // A matching preset under Camera_00 does not count.
    (void)store_.loadSelectedPreset(0, window);
    writePreset(root_ + "\\Camera_00\\Size_01", 1024, 768);
    EXPECT_EQ(store_.findPresetBySize(1024, 768, window), SettingsStore::PresetSearch::NoMatch);

    writePreset(root_ + "\\Size_00", 800, 600);
    writePreset(root_ + "\\Size_02", 1024, 768);  // Size_01 missing: never seen
    EXPECT_EQ(store_.findPresetBySize(1024, 768, window), SettingsStore::PresetSearch::NoMatch);
    ASSERT_EQ(store_.findPresetBySize(800, 600, window), SettingsStore::PresetSearch::Found);
    EXPECT_EQ(window.EH, 800u);
    EXPECT_EQ(window.EHS, 16u);
    EXPECT_EQ(window.TH, 2336u);  // a value the preset lacks keeps the caller's
}

TEST_F(SettingsStoreTest, GroupsRoundTripEveryValueIncludingTheBinaryDouble) {
    GainSettings gain{351, 2, 3, 4, 5, 8191, 1, 0, 2, 1, -7, 0.0123456789};
    FilterSettings filter{-255, 127, -360, 255, 30, 400, 0, 17, 200, 3};
    GraySettings gray{2, 255, 0, 1, 2, -255, 255, 0, -1};
    ASSERT_TRUE(store_.saveGain(3, gain));
    ASSERT_TRUE(store_.saveFilter(3, filter));
    ASSERT_TRUE(store_.saveGray(3, gray));

    GainSettings gainBack;
    FilterSettings filterBack;
    GraySettings grayBack;
    ASSERT_TRUE(store_.loadGain(3, gainBack, r13GainDefaults()));
    ASSERT_TRUE(store_.loadFilter(3, filterBack));
    ASSERT_TRUE(store_.loadGray(3, grayBack));
    EXPECT_EQ(std::memcmp(&gainBack, &gain, offsetof(GainSettings, blackLevel) + sizeof gain.blackLevel), 0);
    EXPECT_EQ(gainBack.exposureEx, gain.exposureEx);  // bit-exact through 8 bytes
    EXPECT_EQ(std::memcmp(&filterBack, &filter, sizeof filter), 0);
    EXPECT_EQ(std::memcmp(&grayBack, &gray, sizeof gray), 0);
    EXPECT_EQ(static_cast<int32_t>(readDword(root_ + "\\Camera_03\\Gain", "BlackLevel")), -7);
}

TEST_F(SettingsStoreTest, MissingGroupsGiveTheDefaultsAndMissingValuesKeepTheirWord) {
    GainSettings gain;
    gain.exposureEx = 9.0;
    GainDefaults defaults = r13GainDefaults();
    EXPECT_FALSE(store_.loadGain(0, gain, defaults));
    EXPECT_EQ(gain.global, 350);
    EXPECT_EQ(gain.colorR, 0);
    EXPECT_EQ(gain.exposure, 774);
    EXPECT_EQ(gain.exposureEx, 9.0);  // no seconds exposure on this camera: left alone
    defaults.exposureExAvailable = true;
    defaults.exposureEx = 0.5;
    EXPECT_FALSE(store_.loadGain(0, gain, defaults));
    EXPECT_EQ(gain.exposureEx, 0.5);

    FilterSettings filter{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_FALSE(store_.loadFilter(0, filter));
    EXPECT_EQ(filter.brightness, 0);
    EXPECT_EQ(filter.rGain, 100);
    EXPECT_EQ(filter.gamma, 100);
    EXPECT_EQ(filter.bayerMode, 2);
    GraySettings gray;
    EXPECT_FALSE(store_.loadGray(0, gray));
    EXPECT_EQ(gray.gainR, 128);
    EXPECT_EQ(gray.offsetB, 128);

    writeDword(root_ + "\\Camera_00\\Filter", "Gamma", 150);
    filter = FilterSettings{};
    filter.hue = 42;
    EXPECT_TRUE(store_.loadFilter(0, filter));
    EXPECT_EQ(filter.gamma, 150);
    EXPECT_EQ(filter.hue, 42);
}

TEST_F(SettingsStoreTest, AValueOfTheWrongTypeOrSizeIsTreatedAsMissing) {
    RegistryKey raw;
    ASSERT_TRUE(RegistryKey::openWrite(root_ + "\\Camera_00\\Gain", raw));
    ASSERT_TRUE(raw.writeDword("ExposureEx", 5));   // a DWORD where a double belongs
    ASSERT_TRUE(raw.writeDouble("Global", 2.0));    // a double where a DWORD belongs
    GainSettings gain;
    gain.global = 77;
    gain.exposureEx = 1.5;
    EXPECT_TRUE(store_.loadGain(0, gain, r13GainDefaults()));
    EXPECT_EQ(gain.global, 77);
    EXPECT_EQ(gain.exposureEx, 1.5);
}

TEST_F(SettingsStoreTest, DialogPresetsEnumerateUpToTheFirstGapAndSaveBack) {
    SettingsStore::DialogPresets dialog;
    CaptureWindowRecord small;
    small.EH = 320;
    small.EV = 240;
    dialog.presets = {CaptureWindowRecord{}, small};
    dialog.values.size = 1;
    dialog.values.color = 4;
    dialog.values.subSample = 3;  // written as 0: every list position is mode 0
    dialog.values.waitTime = 25;
    ASSERT_TRUE(store_.saveDialogPresets(0, dialog));
    writePreset(root_ + "\\Camera_00\\Size_03", 100, 100);  // after a gap

    SettingsStore::DialogPresets back;
    ASSERT_TRUE(store_.loadDialogPresets(0, back));
    ASSERT_EQ(back.presets.size(), 2u);
    EXPECT_EQ(back.presets[1], small);
    EXPECT_EQ(back.values.size, 1);
    EXPECT_EQ(back.values.color, 4);
    EXPECT_EQ(back.values.subSample, 0);
    EXPECT_EQ(back.values.waitTime, 25);
}

TEST_F(SettingsStoreTest, AnotherProcessSeesTheSavedValues) {
    GainSettings gain;
    gain.global = 512;
    gain.exposureEx = 2.25;
    ASSERT_TRUE(store_.saveGain(1, gain));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SettingsStore store;
        GainSettings seen;
        const bool ok = store.loadGain(1, seen, r13GainDefaults()) && seen.global == 512 && seen.exposureEx == 2.25;
        seen.global = 600;
        const bool saved = store.saveGain(1, seen);
        _exit(ok && saved ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    GainSettings back;
    ASSERT_TRUE(store_.loadGain(1, back, r13GainDefaults()));
    EXPECT_EQ(back.global, 600);
}

TEST_F(SettingsStoreTest, ACorruptStoreFailsCleanly) {
    {
        FILE* f = std::fopen(std::getenv("LUMVEK_REGISTRY_FILE"), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("this is not a database, just some text long enough to look like a header", f);
        std::fclose(f);
    }
    CaptureWindowRecord window;
    EXPECT_FALSE(store_.loadSelectedPreset(0, window));
    EXPECT_EQ(window, CaptureWindowRecord{});
    GainSettings gain;
    EXPECT_FALSE(store_.loadGain(0, gain, r13GainDefaults()));
    EXPECT_EQ(gain.global, 350);
    EXPECT_FALSE(store_.saveGain(0, gain));
}
