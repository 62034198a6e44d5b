#include "platform/shm/attach_records.h"

#include <cstring>

namespace lumvek::platform {

namespace {

// Layout: magic, slot count, then kSlots records of
// { int32 pid; int32 count; uint64 startTicks } (16 bytes each).
constexpr uint32_t kMagic = 0x5254414C;  // "LATR"
constexpr size_t kHeaderBytes = 8;
constexpr size_t kSlotBytes = 16;
constexpr size_t kObjectBytes = kHeaderBytes + AttachRecords::kSlots * kSlotBytes;

struct Slot {
    int32_t pid;
    int32_t count;
    uint64_t startTicks;
};
static_assert(sizeof(Slot) == kSlotBytes);

Slot readSlot(const uint8_t* base, uint32_t i) {
    Slot slot;
    std::memcpy(&slot, base + kHeaderBytes + i * kSlotBytes, sizeof slot);
    return slot;
}

void writeSlot(uint8_t* base, uint32_t i, const Slot& slot) {
    std::memcpy(base + kHeaderBytes + i * kSlotBytes, &slot, sizeof slot);
}

bool sameProcess(const Slot& slot, const ProcessIdentity& who) {
    return slot.pid == who.pid && slot.startTicks == who.startTicks;
}

} // namespace

std::unique_ptr<AttachRecords> AttachRecords::open(const std::string& name) {
    auto block = SharedMemoryBlock::open(name, kObjectBytes, SharedMemoryBlock::Mode::OpenOrCreate);
    if (!block) {
        return nullptr;
    }
    uint32_t magic = 0;
    std::memcpy(&magic, block->data(), sizeof magic);
    if (magic != kMagic) {
        // New (zero-filled) or foreign content: start with no records.
        std::memset(block->data(), 0, kObjectBytes);
        const uint32_t header[2] = {kMagic, kSlots};
        std::memcpy(block->data(), header, sizeof header);
    }
    return std::unique_ptr<AttachRecords>(new AttachRecords(std::move(block)));
}

AttachRecords::AttachRecords(std::unique_ptr<SharedMemoryBlock> block) : block_(std::move(block)) {}

int32_t AttachRecords::reclaimDead() {
    int32_t reclaimed = 0;
    for (uint32_t i = 0; i < kSlots; ++i) {
        const Slot slot = readSlot(block_->data(), i);
        if (slot.pid == 0) {
            continue;
        }
        if (!isProcessAlive(ProcessIdentity{slot.pid, slot.startTicks})) {
            if (slot.count > 0) {
                reclaimed += slot.count;
            }
            writeSlot(block_->data(), i, Slot{});
        }
    }
    return reclaimed;
}

bool AttachRecords::add(const ProcessIdentity& who, int32_t delta) {
    int32_t freeSlot = -1;
    for (uint32_t i = 0; i < kSlots; ++i) {
        Slot slot = readSlot(block_->data(), i);
        if (slot.pid != 0 && sameProcess(slot, who)) {
            slot.count += delta;
            writeSlot(block_->data(), i, slot.count > 0 ? slot : Slot{});
            return true;
        }
        if (slot.pid == 0 && freeSlot < 0) {
            freeSlot = static_cast<int32_t>(i);
        }
    }
    if (delta <= 0) {
        return true;  // nothing recorded to take away
    }
    if (freeSlot < 0) {
        return false;
    }
    writeSlot(block_->data(), static_cast<uint32_t>(freeSlot), Slot{who.pid, delta, who.startTicks});
    return true;
}

int32_t AttachRecords::countOf(const ProcessIdentity& who) const {
    for (uint32_t i = 0; i < kSlots; ++i) {
        const Slot slot = readSlot(block_->data(), i);
        if (slot.pid != 0 && sameProcess(slot, who)) {
            return slot.count;
        }
    }
    return 0;
}

} // namespace lumvek::platform
