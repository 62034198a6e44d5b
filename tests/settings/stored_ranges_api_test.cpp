// The range table against the exported setters, and hostile stored values
// against a camera opened through the exports (a simulated R13 in-process).
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "settings/registry_key.h"
#include "settings/settings_ranges.h"
#include "settings/settings_store.h"
#include "support/test_env.h"

using namespace lumvek;

namespace {

constexpr int kColourModeBits[] = {8, 16, 24, 32, 48, 64};

class StoredRangesApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LUMVEK_SIM_CAMERAS", "product=0x3090,name=ranges,fps=40", 1); }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
    }
    void open() {
        handle_ = Lumvek_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Lumvek_GetLastError(handle_), 0) << "the camera did not open";
    }
    void release() {
        EXPECT_EQ(Lumvek_Release(handle_), 1);
        handle_ = 0;
    }
    // 1 when accepted; when refused, 0 and the code it pushed.
    int code() { return Lumvek_GetLastError(handle_); }
    void clearErrors() {
        while (Lumvek_GetLastError(handle_) != 0) {
        }
    }

    // Everything a caller can read of the stored settings.
    std::map<std::string, int> readBack() {
        std::map<std::string, int> values;
        for (const auto& row : storedValueRanges()) {
            if (row.selector != 0) {
                int ok = 0;
                values[row.name] = Lumvek_GetFilterValue(handle_, row.selector, &ok);
                values[std::string(row.name) + " ok"] = ok;
            }
        }
        values["wait"] = Lumvek_GetWaitTime(handle_);
        values["colour"] = Lumvek_GetColorMode(handle_);
        values["subsample"] = Lumvek_GetSubSample(handle_);
        values["mirror-h"] = Lumvek_GetMirrorH(handle_);
        values["mirror-v"] = Lumvek_GetMirrorV(handle_);
        int ok = 0;
        values["auto-iris"] = Lumvek_GetAutoIris(handle_, &ok);
        int w[6] = {};
        EXPECT_EQ(Lumvek_GetCaptureWindowEx(handle_, &w[0], &w[1], &w[2], &w[3], &w[4], &w[5]), 1);
        for (int i = 0; i < 6; ++i) values["window " + std::to_string(i)] = w[i];
        return values;
    }

    int32_t handle_ = 0;
};

// Every row with a setter of its own, driven at min, max, min-1 and max+1:
// the table says exactly what the setters accept, so the loads cannot let
// through what a setter refuses, nor replace what it accepts.
TEST_F(StoredRangesApi, TheTableAndTheSettersAgreeAtEveryBound) {
    test::ScopedEnv store("LUMVEK_REGISTRY_FILE", (test::makeTempDir("bounds") / "registry.sqlite3").string());
    open();
    const DeviceRanges camera = r13DeviceRanges();
    int driven = 0;
    for (const auto& row : storedValueRanges()) {
        const auto bounds = boundsOf(row, camera);
        const std::string name = row.name;
        SCOPED_TRACE(name);
        if (!bounds) {
            continue;  // passed to the camera or kept unused: nothing to agree on
        }
        if (row.selector != 0) {
            ++driven;
            clearErrors();
            const bool colour = row.source == RangeSource::ColourGain;
            // The colour words take the colour-gain range or the global gain's
            // copy; the camera's own colour setter takes only the first, so
            // only the outer bounds are tried on it.
            if (!colour) {
                for (const int value : {bounds->min, bounds->max}) {
                    EXPECT_EQ(Lumvek_SetFilterValue(handle_, row.selector, value), 1) << value << " code " << code();
                }
            }
            for (const int64_t value : {int64_t{bounds->min} - 1, int64_t{bounds->max} + 1}) {
                if (value < INT_MIN || value > INT_MAX) continue;
                EXPECT_EQ(Lumvek_SetFilterValue(handle_, row.selector, static_cast<int>(value)), 0) << value;
                EXPECT_EQ(code(), LUMVEK_ERR_ARGUMENT) << value;
            }
            if (row.source == RangeSource::ColourGain) {
                EXPECT_EQ(Lumvek_SetFilterValue(handle_, 13, camera.globalGain.max), 1);  // copied into this word
            }
            continue;
        }
        if (name == "AutoIris") {
            ++driven;
            EXPECT_EQ(Lumvek_SetAutoIris(handle_, bounds->min), 1);
            EXPECT_EQ(Lumvek_SetAutoIris(handle_, bounds->max), 1);
            EXPECT_EQ(Lumvek_SetAutoIris(handle_, bounds->min - 1), 0);
            EXPECT_EQ(Lumvek_SetAutoIris(handle_, bounds->max + 1), 0);
            EXPECT_EQ(Lumvek_SetAutoIris(handle_, 0), 1);
        } else if (name == "H_Mirror" || name == "V_Mirror") {
            ++driven;
            // Any value is taken as off or on: what is kept is always in range.
            auto set = name == "H_Mirror" ? Lumvek_SetMirrorH : Lumvek_SetMirrorV;
            auto get = name == "H_Mirror" ? Lumvek_GetMirrorH : Lumvek_GetMirrorV;
            for (const int value : {bounds->min - 1, bounds->min, bounds->max, bounds->max + 1}) {
                ASSERT_EQ(set(handle_, value), 1);
                const int kept = get(handle_);
                EXPECT_TRUE(kept >= bounds->min && kept <= bounds->max) << value << " kept as " << kept;
            }
            ASSERT_EQ(set(handle_, 0), 1);
        } else if (name == "WaitTime") {
            ++driven;
            EXPECT_EQ(Lumvek_SetWaitTime(handle_, bounds->max), 1);
            EXPECT_EQ(Lumvek_GetWaitTime(handle_), bounds->max);
            EXPECT_EQ(Lumvek_SetWaitTime(handle_, bounds->max + 1), 0);
            EXPECT_EQ(Lumvek_SetWaitTime(handle_, bounds->min - 1), 0);
            EXPECT_EQ(Lumvek_GetWaitTime(handle_), bounds->max);
            EXPECT_EQ(Lumvek_SetWaitTime(handle_, bounds->min), 1);
        } else if (name == "SubSample") {
            ++driven;
            EXPECT_EQ(Lumvek_SetSubSample(handle_, bounds->min), 1);
            EXPECT_EQ(Lumvek_SetSubSample(handle_, bounds->min - 1), 0);
            EXPECT_EQ(Lumvek_SetSubSample(handle_, bounds->max + 1), 0);
        } else if (name == "Color") {
            ++driven;
            // The setter takes bits; the store keeps the index of the bits.
            ASSERT_EQ(bounds->min, 0);
            ASSERT_EQ(bounds->max + 1, static_cast<int>(std::size(kColourModeBits)));
            for (const int bits : kColourModeBits) {
                EXPECT_EQ(Lumvek_SetColorMode(handle_, bits), 1);
                EXPECT_EQ(Lumvek_GetColorMode(handle_), bits);
            }
            EXPECT_EQ(Lumvek_SetColorMode(handle_, 12), 0);
        }
    }
    // 10 filter, 9 gray, 6 device-bounded selectors; auto-iris, two
    // mirrors, wait time, sub-sample and colour mode.
    EXPECT_EQ(driven, 10 + 9 + 6 + 6);
}

// The faults of a hostile store, tried as an application meets them: the
// camera opens with the values a fresh store gives, and snaps work.
TEST_F(StoredRangesApi, HostileStoredValuesOpenAsTheDefaultsAndSnapsWork) {
    test::ScopedEnv fresh("LUMVEK_REGISTRY_FILE", (test::makeTempDir("fresh") / "registry.sqlite3").string());
    open();
    const auto defaults = readBack();
    release();

    test::ScopedEnv hostile("LUMVEK_REGISTRY_FILE", (test::makeTempDir("hostile") / "registry.sqlite3").string());
    SettingsStore store;
    CaptureWindowRecord window;
    (void)store.loadSelectedPreset(0, window);  // the tree a first run makes
    // Whole groups as a first release leaves them (a value missing from a
    // group keeps the instance's word), then the hostile values over them.
    FilterSettings filter;
    GraySettings gray;
    GainSettings gain;
    (void)store.loadFilter(0, filter);
    (void)store.loadGray(0, gray);
    (void)store.loadGain(0, gain, r13GainDefaults());
    ASSERT_TRUE(store.saveFilter(0, filter) && store.saveGray(0, gray) && store.saveGain(0, gain));
    const auto put = [](const std::string& key, const char* name, uint32_t value) {
        RegistryKey handle;
        ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\" + key, handle));
        ASSERT_TRUE(handle.writeDword(name, value));
    };
    for (const char* name : {"Brightness", "Hue", "Gamma"}) put("Camera_00\\Filter", name, 0x7FFFFFFF);
    put("Camera_00\\Filter", "BayerMode", 7);
    for (const char* name : {"GainR1", "GainG1", "GainG2", "GainB1"}) {
        put("Camera_00\\Gray", name, static_cast<uint32_t>(INT_MIN));
    }
    put("Camera_00\\Gray", "Mode", 3);
    put("Camera_00\\Gain", "Exposure", 0);
    put("Camera_00\\Gain", "Global", 0x7FFFFFFF);
    put("Camera_00\\Gain", "AutoIris", 5);
    put("Camera_00", "WaitTime", 0x7FFFFFFF);
    put("Camera_00", "Color", 9);
    put("Camera_00", "SubSample", 4);
    put("Camera_00\\Size_00", "EH", 0xFFFFFFFF);
    put("Camera_00\\Size_00", "EV", 0);

    open();
    const auto loaded = readBack();
    for (const auto& [name, value] : defaults) {
        EXPECT_EQ(loaded.at(name), value) << name;
    }
    std::vector<uint8_t> picture(2336u * 1752u * 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Lumvek_SnapShot(handle_, picture.data(), static_cast<int>(picture.size()), 1), 1)
            << "code " << code();
    }
}

} // namespace
