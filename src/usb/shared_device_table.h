#pragma once
// The process side of the open-device table: this process's copy of the
// table (shared by all its controllers), and the steps that copy it to and
// from the shared block at attach, detach and enumeration.
//
// Locks, outermost first: the process lock (guards the process copy and the
// process's attach count), then the named lock "<block>.lock" (guards the
// block and the attach records across processes).
//
// Recovery: every process that attaches keeps a record (its identity and
// its number of attachments) in "<block>.attach". Attach and detach take the
// attachments of processes that died off the attach count, so a process
// killed while attached cannot keep numbering alive for ever. When the count
// reaches 0 at a detach the block and its companions are removed; the next
// attach starts a fresh, empty table, as after the last detach.
#include <functional>
#include <memory>

#include "platform/shm/shared_memory_block.h"
#include "usb/device_table.h"

namespace lumvek::usb {

class SharedDeviceTable {
public:
    // Attach: maps the block (creating it when missing), empties the table
    // when no controller is attached anywhere, counts this attachment.
    // Null when the block can be neither opened nor created.
    [[nodiscard]] static std::unique_ptr<platform::SharedMemoryBlock> attach();

    // Detach: takes this attachment off the count and unmaps the view.
    static void detach(std::unique_ptr<platform::SharedMemoryBlock> view);

    // Refreshes the process copy from the block, lets `change` edit it and
    // writes it back whole, all under both locks. Returns change's result.
    static int32_t update(platform::SharedMemoryBlock& view, const std::function<int32_t(DeviceTable&)>& change);

    // A copy of the process's table (no block access).
    [[nodiscard]] static DeviceTable processCopy();
    // This process's value of the attach count.
    [[nodiscard]] static int32_t processAttachCount();
};

} // namespace lumvek::usb
