#include "usb/fx3_api.h"

#include <cctype>
#include <string>

#include "platform/log/debugger_output.h"
#include "usb/shared_device_table.h"

namespace lumvek {

namespace {

using usb::DeviceEntry;
using usb::DeviceTable;
using usb::kMaxDevices;

// Discovery reads the vendor identifier from path offsets 12..15 and the
// product identifier from 21..24 (the digits of "vid_vvvv&pid_pppp").
constexpr size_t kPathVendorOffset = 12;
constexpr size_t kPathProductOffset = 21;
constexpr size_t kPathIdDigits = 4;
// How many interface indices discovery tries.
constexpr int kInterfaceTries = 32;

bool parseHexId(const std::string& path, size_t at, uint16_t& out) {
    if (path.size() < at + kPathIdDigits) {
        return false;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < kPathIdDigits; ++i) {
        const char c = path[at + i];
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                               : std::tolower(c) - 'a' + 10);
    }
    out = static_cast<uint16_t>(value);
    return true;
}

bool pathOpensNow(const std::string& path, fx3::DeviceHolder holder) {
    fx3::DeviceHandle handle = fx3::openDevice(path, true, holder);
    if (handle == nullptr) {
        return false;
    }
    fx3::closeHandle(handle);
    return true;
}

// Adds one discovered device to the table unless it is known. Returns true
// when it was added.
bool addDevice(DeviceTable& table, uint16_t vendorId, uint16_t productId, const std::string& path) {
    int32_t sameProduct = 0;
    for (const DeviceEntry& entry : table.entries) {
        if (entry.vendorId == vendorId && entry.productId == productId) {
            if (entry.hasPath(path)) {
                return false;  // known: keeps its number
            }
            ++sameProduct;
        }
    }
    if (table.entryCount >= kMaxDevices) {
        return false;  // a 33rd camera is not recorded
    }
    DeviceEntry& entry = table.entries[static_cast<size_t>(table.entryCount)];
    if (entry.productId != 0) {
        // Entries past the count are always free: a table that says
        // otherwise was written by something else.
        const std::string line =
            "open-device table: entry " + std::to_string(table.entryCount) + " was not free; overwritten";
        platform::debuggerOutput(platform::LogCategory::Usb, line.c_str());
    }
    entry.vendorId = vendorId;
    entry.productId = productId;
    entry.deviceNumber = sameProduct;
    entry.setPath(path);
    ++table.entryCount;
    return true;
}

} // namespace

CFx3Api::CFx3Api(const fx3::Guid& interfaceGuid)
    : mapping_(usb::SharedDeviceTable::attach()), interfaceGuid_(interfaceGuid) {
    view_ = mapping_ ? mapping_->data() : nullptr;
}

CFx3Api::~CFx3Api() {
    view_ = nullptr;
    secondHandle_ = nullptr;
    usb::SharedDeviceTable::detach(std::move(mapping_));
}

int32_t CFx3Api::EnumerateDevices() {
    if (!mapping_) {
        return 0;
    }
    // Discovery (opening each path) runs outside the table locks; only the
    // table edit is serialised.
    struct Found {
        uint16_t vendorId;
        uint16_t productId;
        std::string path;
    };
    std::vector<Found> found;
    const std::vector<std::string> paths = fx3::enumerateDeviceInterfaces(interfaceGuid_);
    for (size_t i = 0; i < paths.size() && i < static_cast<size_t>(kInterfaceTries); ++i) {
        const std::string& path = paths[i];
        if (path.empty() || path.size() >= usb::kDevicePathBytes || !pathOpensNow(path, this)) {
            continue;
        }
        Found device{0, 0, path};
        if (!parseHexId(path, kPathVendorOffset, device.vendorId) ||
            !parseHexId(path, kPathProductOffset, device.productId)) {
            continue;
        }
        found.push_back(std::move(device));
    }
    return usb::SharedDeviceTable::update(*mapping_, [&](DeviceTable& table) {
        for (const Found& device : found) {
            addDevice(table, device.vendorId, device.productId, device.path);
        }
        return table.entryCount;
    });
}

bool CFx3Api::OpenDevice(int index, bool overlapped, fx3::DeviceHandle* out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    if (out == nullptr || index < 0 || index >= kMaxDevices) {
        return false;
    }
    const DeviceTable table = usb::SharedDeviceTable::processCopy();
    if (index >= table.entryCount) {
        return false;
    }
    // This controller is the holder: a camera another controller of the
    // process holds does not open, as one another process holds does not.
    *out = fx3::openDevice(table.entries[static_cast<size_t>(index)].path.data(), overlapped, this);
    return *out != nullptr;
}

bool CFx3Api::IsDeviceOpenable(int index) {
    fx3::DeviceHandle handle = nullptr;
    if (!OpenDevice(index, false, &handle)) {
        return false;
    }
    fx3::closeHandle(handle);
    return true;
}

int32_t CFx3Api::CountDevicesOfProduct(int32_t productId) {
    const int32_t entryCount = EnumerateDevices();
    if (productId == 0) {
        return entryCount;
    }
    const DeviceTable table = usb::SharedDeviceTable::processCopy();
    int32_t count = 0;
    for (int i = 0; i < table.entryCount && i < kMaxDevices; ++i) {
        if (table.entries[static_cast<size_t>(i)].productId == productId && IsDeviceOpenable(i)) {
            ++count;
        }
    }
    return count;
}

uint16_t CFx3Api::GetEntryVendorId(int index) const {
    if (index < 0 || index >= kMaxDevices) {
        return 0;
    }
    return usb::SharedDeviceTable::processCopy().entries[static_cast<size_t>(index)].vendorId;
}

uint16_t CFx3Api::GetEntryProductId(int index) const {
    if (index < 0 || index >= kMaxDevices) {
        return 0;
    }
    return usb::SharedDeviceTable::processCopy().entries[static_cast<size_t>(index)].productId;
}

int32_t CFx3Api::GetEntryDeviceNumber(int index) const {
    if (index < 0 || index >= kMaxDevices) {
        return -1;
    }
    return usb::SharedDeviceTable::processCopy().entries[static_cast<size_t>(index)].deviceNumber;
}

bool CFx3Api::IsDeviceNumberPresent(int32_t productId, int32_t number) {
    if (productId == -1) {
        return false;
    }
    const DeviceTable table = usb::SharedDeviceTable::processCopy();
    for (int i = 0; i < kMaxDevices; ++i) {
        const DeviceEntry& entry = table.entries[static_cast<size_t>(i)];
        if (entry.productId == productId && entry.deviceNumber == number && IsDeviceOpenable(i)) {
            return true;
        }
    }
    return false;
}

int CFx3Api::FindDeviceEntry(int32_t productId, int32_t number) {
    if (EnumerateDevices() == 0 || !IsDeviceNumberPresent(productId, number)) {
        return -1;
    }
    const DeviceTable table = usb::SharedDeviceTable::processCopy();
    for (int i = 0; i < kMaxDevices; ++i) {
        const DeviceEntry& entry = table.entries[static_cast<size_t>(i)];
        if (entry.productId == productId && entry.deviceNumber == number) {
            return i;
        }
    }
    return -1;
}

DeviceTable CFx3Api::TableCopy() const {
    return usb::SharedDeviceTable::processCopy();
}

} // namespace lumvek
