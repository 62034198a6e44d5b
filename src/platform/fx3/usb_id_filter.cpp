#include "platform/fx3/usb_id_filter.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>

namespace lumvek::fx3 {

namespace {
constexpr size_t kMaxHexDigits = 4;
std::atomic<ProductCheck> gProductCheck{nullptr};

bool parseHexId(std::string token, uint16_t& out) {
    token.erase(std::remove_if(token.begin(), token.end(), [](unsigned char c) { return std::isspace(c) != 0; }),
                token.end());
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        token = token.substr(2);
    }
    if (token.empty() || token.size() > kMaxHexDigits ||
        !std::all_of(token.begin(), token.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return false;
    }
    out = static_cast<uint16_t>(std::strtoul(token.c_str(), nullptr, 16));
    return true;
}
} // namespace

std::vector<uint16_t> parseUsbVendorIds(const char* text) {
    if (text == nullptr) {
        return {kDefaultUsbVendorId};
    }
    std::vector<uint16_t> ids;
    const std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        uint16_t id = 0;
        if (parseHexId(list.substr(start, comma - start), id) && std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
        start = comma + 1;
    }
    return ids;
}

std::vector<uint16_t> usbVendorIds() {
    return parseUsbVendorIds(std::getenv("LUMVEK_USB_VENDOR_IDS"));
}

void setUsbProductCheck(ProductCheck check) {
    gProductCheck.store(check);
}

bool isCameraUsbId(const std::vector<uint16_t>& vendors, uint16_t vendorId, uint16_t productId) {
    if (std::find(vendors.begin(), vendors.end(), vendorId) == vendors.end()) {
        return false;
    }
    const ProductCheck check = gProductCheck.load();
    return check == nullptr || check(productId);
}

} // namespace lumvek::fx3
