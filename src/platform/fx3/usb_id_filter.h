#pragma once
// Which USB devices the libusb backend counts as cameras: the vendor
// identifiers of $LUMVEK_USB_VENDOR_IDS (comma-separated hex; default 0x04B4,
// the USB3 controller maker's own) and the product identifiers the camera
// layer knows (it installs its product-table check; until then any product).
#include <cstdint>
#include <string>
#include <vector>

namespace lumvek::fx3 {

inline constexpr uint16_t kDefaultUsbVendorId = 0x04B4;

// Parses a comma-separated list of hex identifiers ("04b4, 0x1f3a");
// entries that are not 1-4 hex digits are skipped. nullptr: the default list.
[[nodiscard]] std::vector<uint16_t> parseUsbVendorIds(const char* text);
// The list of $LUMVEK_USB_VENDOR_IDS.
[[nodiscard]] std::vector<uint16_t> usbVendorIds();

using ProductCheck = bool (*)(int productId);
void setUsbProductCheck(ProductCheck check);
[[nodiscard]] bool isCameraUsbId(const std::vector<uint16_t>& vendors, uint16_t vendorId, uint16_t productId);

} // namespace lumvek::fx3
