// The settings store reading a hostile registry file: the fuzz bytes become
// the store file, then every group of two cameras and the global presets
// are read through the store (the selected-preset read last, as it may
// create the root in a file that lacks one). A corrupt file must make the
// reads fail or give defaults, never crash; the dialog's preset list stays
// within its bound; and every value loaded is one its setter accepts.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "fuzz/stored_range_check.h"
#include "platform/registry/registry.h"
#include "settings/settings_store.h"

using namespace lumvek;

namespace {
constexpr int kCameras[] = {0, 1};
constexpr const char* kSideFiles[] = {"-wal", "-shm", "-journal"};

void readEverything(const SettingsStore& store) {
    const GainDefaults cameras[] = {r13GainDefaults(), fuzz::secondsCamera()};
    for (const int camera : kCameras) {
        const GainDefaults& defaults = cameras[camera % 2];
        fuzz::LoadedRecords loaded(defaults);
        (void)store.loadCameraValues(camera, loaded.values);
        (void)store.loadGain(camera, loaded.gain, defaults);
        (void)store.loadFilter(camera, loaded.filter);
        (void)store.loadGray(camera, loaded.gray);
        fuzz::expectInRange(loaded, defaults);
        GainSettings unknownCamera;
        (void)store.loadGain(camera, unknownCamera, GainDefaults{});
        SettingsStore::DialogPresets dialog;
        (void)store.loadDialogPresets(camera, dialog);
        if (dialog.presets.size() > static_cast<size_t>(kMaxPresets)) {
            fuzz::fail("more dialog presets than the store allows");
        }
        for (const auto& preset : dialog.presets) {
            if (!windowFitsSensor(preset)) {
                fuzz::fail("a dialog preset does not fit the sensor");
            }
        }
        (void)store.outOfRangeValues(camera, defaults);
    }
    CaptureWindowRecord window;
    (void)store.findPresetBySize(2336, 1752, window);
    for (const int camera : kCameras) {
        CaptureWindowRecord selected;
        (void)store.loadSelectedPreset(camera, selected);
        if (!windowFitsSensor(selected)) {
            fuzz::fail("a selected preset does not fit the sensor");
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path path = platform::registryFilePath();
    // A journal left by the previous input would be replayed into this one.
    for (const char* side : kSideFiles) {
        std::error_code ignored;
        std::filesystem::remove(path.string() + side, ignored);
    }
    fuzz::replaceFile(path, {data, size});
    readEverything(SettingsStore{});
    return 0;
}
