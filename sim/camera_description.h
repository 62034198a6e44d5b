#pragma once
// A simulated camera's description: the description string of `lumvek-camsim
// --camera` and of LUMVEK_SIM_CAMERAS, comma-separated key=value pairs:
//   product=0x3090   USB product identifier (hex or decimal; default 0x3090)
//   name=NAME        unique name; the instance part of the device path (default cam0)
//   vid=0x04b4       USB vendor identifier
//   scene=FILE.pgm | pattern=chart|ramp|black|white   (default: chart)
//   srom=FILE        serial ROM image kept in FILE
//   fps=N            frame rate instead of the sensor's own timing
//   sensor-version=V passed to the sensor model (meaning per model)
//   firmware=N       the FPGA firmware word (registers 0x10/0x11) of family heads
//   info-word=0x1100 the 16-bit word at offset 24 of the 0xB0 info block
//   ready=1          the status byte of request 0xC3
//   usb-speed=5000   link speed in Mbit/s on usb-run's emulated bus (480: a USB 2 port)
//   unplug           start unplugged
//   and every fault key of faults.h.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/scene.h"

namespace lumvek::sim {

inline constexpr uint16_t kDefaultVendorId = 0x04B4;

struct CameraDescription {
    uint16_t productId = 0x3090;
    uint16_t vendorId = kDefaultVendorId;
    std::string name = "cam0";
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

// false with one clear line in `error` for an unknown key or a bad value.
[[nodiscard]] bool parseCameraDescription(const std::string& text, CameraDescription& description, std::string& error);

} // namespace lumvek::sim
