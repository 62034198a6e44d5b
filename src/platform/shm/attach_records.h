#pragma once
// Per-process attach records beside a shared block whose header keeps an
// attach count: each process that holds attachments owns one record (its
// identity and how many attachments it holds). When a process dies without
// detaching, the next process to look finds its record dead and takes its
// attachments off the count, so the count never stays wrong for ever.
//
// The records live in their own named shared-memory object. Every call must
// be made while holding the named lock that guards the block.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/shm/process_identity.h"
#include "platform/shm/shared_memory_block.h"

namespace lumvek::platform {

class AttachRecords {
public:
    static constexpr uint32_t kSlots = 256;

    // Opens or creates the records object `name`. Null when impossible.
    [[nodiscard]] static std::unique_ptr<AttachRecords> open(const std::string& name);

    // Clears the records of processes that are gone; returns the number of
    // attachments they held.
    [[nodiscard]] int32_t reclaimDead();

    // Adds delta (+1 attach, -1 detach) to the record of `who`. False when a
    // new record is needed and every slot is taken by a live process.
    bool add(const ProcessIdentity& who, int32_t delta);

    // Attachments recorded for `who` (0 without a record).
    [[nodiscard]] int32_t countOf(const ProcessIdentity& who) const;

private:
    explicit AttachRecords(std::unique_ptr<SharedMemoryBlock> block);

    std::unique_ptr<SharedMemoryBlock> block_;
};

} // namespace lumvek::platform
