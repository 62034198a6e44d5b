#pragma once
// CFx3Api: the controller's link to the open-device table shared by every
// process on the machine, and to device discovery. Constructing one attaches
// to the table; destroying it detaches. All controllers of a process share
// one copy of the table.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/fx3/fx3_driver.h"
#include "platform/shm/shared_memory_block.h"
#include "usb/device_table.h"

namespace lumvek {

class CFx3Api {
public:
    explicit CFx3Api(const fx3::Guid& interfaceGuid = fx3::kCameraInterfaceGuid);
    virtual ~CFx3Api();
    CFx3Api(const CFx3Api&) = delete;
    CFx3Api& operator=(const CFx3Api&) = delete;

    // True when the shared table could be attached; without it no camera opens.
    [[nodiscard]] bool HasTable() const { return view_ != nullptr; }

    // Adds every present, openable device interface of the interface class
    // not yet in the table (numbered among the cameras of its product in
    // order of discovery) and returns the entry count.
    int32_t EnumerateDevices();

    // Opens the device path of table entry `index` (write access, overlapped
    // when asked). False, with *out null, when the index is outside the
    // table or the path does not open now.
    [[nodiscard]] bool OpenDevice(int index, bool overlapped, fx3::DeviceHandle* out);
    [[nodiscard]] bool IsDeviceOpenable(int index);

    // Queries on the table that the camera device object offers.
    // Cameras of `productId` present now (0: the entry count); enumerates first.
    int32_t CountDevicesOfProduct(int32_t productId);
    [[nodiscard]] uint16_t GetEntryVendorId(int index) const;     // 0 outside 0..31
    [[nodiscard]] uint16_t GetEntryProductId(int index) const;    // 0 outside 0..31
    [[nodiscard]] int32_t GetEntryDeviceNumber(int index) const;  // -1 outside 0..31
    // Whether an entry of `productId` with device number `number` is openable now.
    [[nodiscard]] bool IsDeviceNumberPresent(int32_t productId, int32_t number);
    // The entry index to select for (product, number): enumeration must find
    // entries and the number must be present. -1 otherwise.
    [[nodiscard]] int FindDeviceEntry(int32_t productId, int32_t number);

    // This process's copy of the table (for diagnostics and tests).
    [[nodiscard]] usb::DeviceTable TableCopy() const;

protected:
    const fx3::Guid& InterfaceGuid() const { return interfaceGuid_; }

private:
    std::unique_ptr<platform::SharedMemoryBlock> mapping_;  // the named block, mapped whole
    void* secondHandle_ = nullptr;                          // never opened
    uint8_t* view_ = nullptr;                               // mapping_'s view of the block
    fx3::Guid interfaceGuid_;
};

} // namespace lumvek
