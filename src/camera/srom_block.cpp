#include "camera/srom_block.h"

#include <algorithm>

#include "camera/camera_device.h"

namespace lumvek {

SromBlockWrite writeChangedSromBytes(CameraDevice& device, uint16_t address, std::span<const uint8_t> before,
                                     std::span<const uint8_t> after) {
    SromBlockWrite result;
    const size_t count = std::min(before.size(), after.size());
    for (size_t i = 0; i < count; ++i) {
        if (before[i] == after[i]) {
            continue;
        }
        if (device.WriteSromByte(static_cast<uint16_t>(address + i), after[i])) {
            ++result.written;
        } else {
            ++result.failed;
        }
    }
    return result;
}

} // namespace lumvek
