#pragma once
// A simulated camera's description: the description string of `lumvek-camsim
// --camera` and of LUMVEK_SIM_CAMERAS, comma-separated key=value pairs
// (product=0x3090,name=cam0,pattern=chart,...). The keys and their meaning
// are the table of cameraDescriptionKeys() plus every fault key of faults.h;
// lumvek-camsim --help prints both.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/faults.h"
#include "sim/scene.h"

namespace lumvek::sim {

// The keys of a camera description other than the fault keys (faultKeys()).
[[nodiscard]] std::span<const KeyHelp> cameraDescriptionKeys();

inline constexpr uint16_t kDefaultVendorId = 0x04B4;

struct CameraDescription {
    uint16_t productId = 0x3090;
    uint16_t vendorId = kDefaultVendorId;
    std::string name = "cam0";
    // The USB serial-number string usb-run presents (its sysfs "serial" and
    // string descriptor 3). Unset: the name; "serial=" (empty): none, so the
    // library falls back to the bus and port path.
    std::optional<std::string> serial;
    [[nodiscard]] std::string serialNumber() const { return serial.value_or(name); }
    std::string scenePath;
    Pattern pattern = Pattern::Chart;
    std::string sromPath;
    std::optional<double> fps;
    std::string sensorVersion;
    std::string firmware;
    uint16_t infoWord = 0x1100;
    uint8_t readyStatus = 1;
    bool startUnplugged = false;
    uint16_t usbSpeedMbps = 5000;
    std::vector<std::pair<std::string, std::string>> faults;  // applied in order
};

// false with one clear line in `error` for an unknown key (listing the valid
// ones) or a bad value.
[[nodiscard]] bool parseCameraDescription(const std::string& text, CameraDescription& description, std::string& error);

} // namespace lumvek::sim
