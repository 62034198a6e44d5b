#include "sim/camera_description.h"

#include <sstream>

#include "platform/fx3/socket_wire.h"
#include "sim/faults.h"

namespace lumvek::sim {

namespace {
constexpr KeyHelp kDescriptionKeys[] = {
    {"product", "0x3090", "USB product identifier (hex or decimal); selects the sensor model"},
    {"name", "NAME", "unique name; the instance part of the device path (default cam0)"},
    {"vid", "0x04b4", "USB vendor identifier"},
    {"scene", "FILE.pgm", "what the sensor sees: a binary PGM, delivered exactly"},
    {"pattern", "chart|still|ramp|black|white", "what the sensor sees otherwise (default chart; still: the chart without motion)"},
    {"srom", "FILE", "serial ROM image kept in FILE"},
    {"fps", "N", "frame rate instead of the sensor's own timing"},
    {"sensor-version", "V", "passed to the sensor model (meaning per model)"},
    {"firmware", "N", "the FPGA firmware word (registers 0x10/0x11) of family heads"},
    {"info-word", "0x1100", "the 16-bit word at offset 24 of the 0xB0 info block"},
    {"ready", "1", "the status byte of request 0xC3"},
    {"usb-speed", "5000", "link speed in Mbit/s on usb-run's emulated bus (480: a USB 2 port)"},
    {"unplug", "1", "start unplugged"},
    {"serial", "SERIAL", "USB serial-number string on usb-run's bus (default: the name; empty: none)"},
};

bool parse16(const std::string& key, const std::string& value, uint16_t& out, std::string& error) {
    uint64_t v = 0;
    if (!parseUnsigned(value, v) || v > 0xFFFF) {
        error = key + " needs a 16-bit number, not '" + value + "'";
        return false;
    }
    out = static_cast<uint16_t>(v);
    return true;
}
} // namespace

std::span<const KeyHelp> cameraDescriptionKeys() {
    return kDescriptionKeys;
}

bool parseCameraDescription(const std::string& text, CameraDescription& description, std::string& error) {
    if (text.empty()) {
        error = "empty camera description";
        return false;
    }
    std::stringstream items(text);
    std::string item;
    bool haveScene = false, havePattern = false;
    while (std::getline(items, item, ',')) {
        const size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : item.substr(equals + 1);
        if (key.empty()) {
            error = "empty key in camera description '" + text + "'";
            return false;
        }
        if (key == "unplug" && (equals == std::string::npos || value == "1")) {
            description.startUnplugged = true;
            continue;
        }
        if (equals == std::string::npos) {
            error = "'" + item + "' is not key=value";
            return false;
        }
        if (key == "product") {
            if (!parse16(key, value, description.productId, error)) return false;
            if (description.productId == 0) {
                error = "product 0 is not a camera";
                return false;
            }
        } else if (key == "vid") {
            if (!parse16(key, value, description.vendorId, error)) return false;
        } else if (key == "name") {
            if (!fx3::wire::isValidInstanceName(value)) {
                error = "name '" + value + "' must be 1-64 characters of A-Z a-z 0-9 - _ . (not starting with .)";
                return false;
            }
            description.name = value;
        } else if (key == "serial") {
            if (!value.empty() && !fx3::wire::isValidInstanceName(value)) {
                error = "serial '" + value + "' must be 1-64 characters of A-Z a-z 0-9 - _ . (not starting with .)";
                return false;
            }
            description.serial = value;
        } else if (key == "scene") {
            if (value.empty()) {
                error = "scene needs a file name";
                return false;
            }
            description.scenePath = value;
            haveScene = true;
        } else if (key == "pattern") {
            if (!parsePattern(value, description.pattern)) {
                error = "pattern must be chart, still, ramp, black or white, not '" + value + "'";
                return false;
            }
            havePattern = true;
        } else if (key == "srom") {
            if (value.empty()) {
                error = "srom needs a file name";
                return false;
            }
            description.sromPath = value;
        } else if (key == "fps") {
            double fps = 0;
            if (!parseNonNegative(value, fps) || fps <= 0) {
                error = "fps needs a positive number, not '" + value + "'";
                return false;
            }
            description.fps = fps;
        } else if (key == "sensor-version") {
            description.sensorVersion = value;
        } else if (key == "firmware") {
            uint16_t firmware = 0;
            if (!parse16(key, value, firmware, error)) return false;
            description.firmware = value;
        } else if (key == "info-word") {
            if (!parse16(key, value, description.infoWord, error)) return false;
        } else if (key == "usb-speed") {
            uint16_t speed = 0;
            if (!parse16(key, value, speed, error) || (speed != 480 && speed != 5000 && speed != 10000)) {
                error = "usb-speed is 480, 5000 or 10000 (Mbit/s), not '" + value + "'";
                return false;
            }
            description.usbSpeedMbps = speed;
        } else if (key == "ready") {
            uint16_t ready = 0;
            if (!parse16(key, value, ready, error) || ready > 0xFF) {
                error = "ready needs a byte value, not '" + value + "'";
                return false;
            }
            description.readyStatus = static_cast<uint8_t>(ready);
        } else if (Faults::isFaultKey(key)) {
            Faults probe;
            if (!probe.set(key, value, error)) return false;
            description.faults.emplace_back(key, value);
        } else {
            error = "unknown camera key '" + key + "' (keys: " + keyList(kDescriptionKeys) +
                    "; faults: " + keyList(faultKeys()) + ")";
            return false;
        }
    }
    if (haveScene && havePattern) {
        error = "give either scene= or pattern=, not both";
        return false;
    }
    return true;
}

} // namespace lumvek::sim
