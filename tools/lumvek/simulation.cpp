#include "simulation.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "failure.h"
#include "platform/fx3/simulator_module.h"
#include "settings_store_path.h"

namespace lumvek::tool {

namespace {
constexpr const char* kPatterns[] = {"chart", "still", "ramp", "black", "white"};
constexpr const char* kSimulatedName = "sim0";

// The simulated camera's serial ROM: an 8 KiB image. A camera leaves the
// factory with its channel block filled in (four 16-bit little-endian
// channel gains at 0x1062, unity = 0x1000, then four offsets, 0); a blank
// ROM (all 0xFF) would read as gains of 16x and a white picture.
constexpr size_t kSerialRomBytes = 8192;
constexpr size_t kChannelBlockAddress = 0x1062;
constexpr uint16_t kUnityChannelGain = 0x1000;
constexpr int kChannels = 4;

std::string writeFactorySerialRom(const std::string& folder) {
    std::vector<uint8_t> image(kSerialRomBytes, 0xFF);
    for (int channel = 0; channel < kChannels; ++channel) {
        const size_t gain = kChannelBlockAddress + 2 * static_cast<size_t>(channel);
        image[gain] = static_cast<uint8_t>(kUnityChannelGain & 0xFF);
        image[gain + 1] = static_cast<uint8_t>(kUnityChannelGain >> 8);
        const size_t offset = gain + 2 * kChannels;
        image[offset] = 0;
        image[offset + 1] = 0;
    }
    const std::string path = folder + "/serial-rom.bin";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fail("--simulate: cannot write " + path);
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (std::fclose(file) != 0 || !written) fail("--simulate: cannot write " + path);
    return path;
}

std::string& privateDeviceFolder() {
    static std::string folder;
    return folder;
}

bool knownPattern(const std::string& name) {
    for (const char* pattern : kPatterns) {
        if (name == pattern) return true;
    }
    return false;
}
} // namespace

std::string simulatedCameraDescription(const SimulationOptions& options) {
    if (!options.scenePath.empty() && !options.pattern.empty()) {
        usageError("--scene and --pattern exclude each other");
    }
    std::string description = std::string("product=0x3090,name=") + kSimulatedName;
    if (!options.scenePath.empty()) {
        // The library would drop a camera with a bad scene silently; say why here.
        if (options.scenePath.find_first_of(",;") != std::string::npos) {
            usageError("--scene: the file name must not contain ',' or ';'");
        }
        std::FILE* file = std::fopen(options.scenePath.c_str(), "rb");
        if (file == nullptr) {
            usageError("--scene: cannot read " + options.scenePath);
        }
        char magic[2] = {};
        const size_t got = std::fread(magic, 1, 2, file);
        std::fclose(file);
        if (got != 2 || magic[0] != 'P' || magic[1] != '5') {
            usageError("--scene: " + options.scenePath + " is not a binary PGM file (P5)");
        }
        description += ",scene=" + options.scenePath;
    } else {
        const std::string pattern = options.pattern.empty() ? "chart" : options.pattern;
        if (!knownPattern(pattern)) {
            usageError("--pattern: unknown pattern '" + pattern + "' (chart, still, ramp, black or white)");
        }
        description += ",pattern=" + pattern;
    }
    return description;
}

void enterSimulation(const SimulationOptions& options) {
    const std::string description = simulatedCameraDescription(options);
    // The simulator is a module of its own, and a build or package may leave
    // it out: say so here rather than list no camera.
    std::string error;
    if (!fx3::loadSimulatorModule(error)) fail("--simulate: " + error);
    std::string folderTemplate = (std::filesystem::temp_directory_path() / "lumvek-simulate-XXXXXX").string();
    if (mkdtemp(folderTemplate.data()) == nullptr) {
        fail("--simulate: cannot create a private device folder in " +
             std::filesystem::temp_directory_path().string());
    }
    privateDeviceFolder() = folderTemplate;
    const std::string camera = description + ",srom=" + writeFactorySerialRom(folderTemplate);
    setenv("LUMVEK_SIM_CAMERAS", camera.c_str(), 1);
    setenv("LUMVEK_DEVICE_DIR", folderTemplate.c_str(), 1);
    const std::string blockName = "/lumvek-simulate-" + std::to_string(getpid());
    setenv("LUMVEK_SHM_NAME", blockName.c_str(), 1);
    // Settings of the simulated camera 0 must not overwrite those of a real
    // camera 0, so they get a store of their own unless one is named.
    const char* named = std::getenv("LUMVEK_REGISTRY_FILE");
    if ((named == nullptr || *named == '\0') && !settingsFolder().empty()) {
        setenv("LUMVEK_REGISTRY_FILE", simulatedSettingsStorePath().c_str(), 1);
    }
}

void leaveSimulation() {
    if (privateDeviceFolder().empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(privateDeviceFolder(), ignored);
    privateDeviceFolder().clear();
}

} // namespace lumvek::tool
