#include "usb/shared_device_table.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/log/log.h"
#include "platform/shm/attach_records.h"
#include "platform/shm/named_lock.h"
#include "platform/shm/process_identity.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek::usb {

namespace {

using platform::LogCategory;

// The process's copy of the table and of the attach count. One per process,
// as every controller of the process shares it.
struct ProcessTableState {
    // The process lock: taken by every controller's attach, detach and table
    // update, before the named lock of the shared block. Nothing else is
    // taken under it but that named lock.
    platform::Mutex mutex;
    DeviceTable table GUARDED_BY(mutex);
    int32_t attachCount GUARDED_BY(mutex) = 0;
    int32_t ownAttachments GUARDED_BY(mutex) = 0;  // controllers of this process attached now
    bool releasedAtExit GUARDED_BY(mutex) = false;  // the exit handler gave this process's attachments back
    bool exitHandlerInstalled GUARDED_BY(mutex) = false;
    pid_t owner GUARDED_BY(mutex) = 0;  // the process this state belongs to (a forked child starts afresh)
};

ProcessTableState& processState() {
    static ProcessTableState state;
    return state;
}

void forgetInheritedState(ProcessTableState& state) REQUIRES(state.mutex) {
    const pid_t self = getpid();
    if (state.owner != self) {
        state.owner = self;
        state.table.reset();
        state.attachCount = 0;
        state.ownAttachments = 0;
        state.releasedAtExit = false;
    }
}

std::string lockName(const std::string& block) {
    return block + ".lock";
}

std::string recordsName(const std::string& block) {
    return block + ".attach";
}

// Attachments of processes that died, taken off the block's count.
int32_t liveAttachCount(const uint8_t* block, platform::AttachRecords* records) {
    int32_t count = readAttachCount(block);
    if (records != nullptr) {
        const int32_t dead = records->reclaimDead();
        if (dead > 0) {
            platform::logf(LogCategory::Usb, "open-device table: %d attachment(s) of exited processes released", dead);
            count -= dead;
        }
    }
    return count < 0 ? 0 : count;
}

// A process that exits with controllers still alive (leaked, or static)
// gives their attachments back, as the system does with the handles of a
// process that ends; otherwise its block would outlive it for good.
void releaseAttachmentsAtExit() {
    ProcessTableState& state = processState();
    platform::MutexLock processLock(state.mutex);
    if (state.owner != getpid() || state.ownAttachments <= 0) {
        return;
    }
    const std::string name = sharedBlockName();
    platform::NamedLockGuard namedLock(lockName(name));
    auto records = platform::AttachRecords::open(recordsName(name));
    auto view = platform::SharedMemoryBlock::open(name, kSharedBlockBytes,
                                                  platform::SharedMemoryBlock::Mode::OpenExisting);
    if (view) {
        int32_t count = liveAttachCount(view->data(), records.get()) - state.ownAttachments;
        count = count < 0 ? 0 : count;
        writeAttachCount(view->data(), count);
        if (records) {
            records->add(platform::currentProcessIdentity(), -state.ownAttachments);
        }
        if (count == 0 && namedLock.held()) {
            platform::SharedMemoryBlock::unlink(name);
            platform::SharedMemoryBlock::unlink(recordsName(name));
            namedLock.removeName();
        }
    }
    state.ownAttachments = 0;
    state.releasedAtExit = true;
}

} // namespace

std::unique_ptr<platform::SharedMemoryBlock> SharedDeviceTable::attach() {
    using platform::SharedMemoryBlock;
    ProcessTableState& state = processState();
    platform::MutexLock processLock(state.mutex);
    forgetInheritedState(state);
    if (!state.exitHandlerInstalled) {
        state.exitHandlerInstalled = std::atexit(releaseAttachmentsAtExit) == 0;
    }

    const std::string name = sharedBlockName();
    platform::NamedLockGuard namedLock(lockName(name));
    if (!namedLock.held()) {
        platform::logf(LogCategory::Usb, "open-device table: no named lock for %s; copying unguarded", name.c_str());
    }
    auto records = platform::AttachRecords::open(recordsName(name));

    auto view = SharedMemoryBlock::open(name, kSharedBlockBytes, SharedMemoryBlock::Mode::OpenExisting);
    if (view) {
        state.attachCount = liveAttachCount(view->data(), records.get());
        readTable(view->data(), state.table);
    } else {
        view = SharedMemoryBlock::open(name, kSharedBlockBytes, SharedMemoryBlock::Mode::OpenOrCreate);
        if (!view) {
            platform::logf(LogCategory::Usb, "open-device table: cannot open or create %s", name.c_str());
            return nullptr;
        }
        if (records) {
            (void)records->reclaimDead();  // records left from a block that is gone
        }
        // A new block counts only this process's own controllers (none, when
        // the last one elsewhere removed the old block).
        state.attachCount = state.ownAttachments;
    }
    if (state.attachCount <= 0) {
        state.table.reset();
        state.attachCount = 0;
    }
    state.attachCount += 1;
    state.ownAttachments += 1;
    writeAttachCount(view->data(), state.attachCount);
    writeTable(view->data(), state.table);
    if (records && !records->add(platform::currentProcessIdentity(), +1)) {
        platform::logf(LogCategory::Usb, "open-device table: no free attach record; this process is not recoverable");
    }
    return view;
}

void SharedDeviceTable::detach(std::unique_ptr<platform::SharedMemoryBlock> view) {
    if (!view) {
        return;
    }
    ProcessTableState& state = processState();
    platform::MutexLock processLock(state.mutex);
    forgetInheritedState(state);
    if (state.releasedAtExit) {
        view.reset();  // the exit handler already gave this attachment back
        return;
    }

    const std::string name = sharedBlockName();
    platform::NamedLockGuard namedLock(lockName(name));
    auto records = platform::AttachRecords::open(recordsName(name));

    const int32_t count = liveAttachCount(view->data(), records.get()) - 1;
    state.attachCount = count < 0 ? 0 : count;
    state.ownAttachments = state.ownAttachments > 0 ? state.ownAttachments - 1 : 0;
    writeAttachCount(view->data(), state.attachCount);
    // The block holds the newest table: every enumeration refreshed its copy
    // from it and wrote back under the named lock, so it is not overwritten
    // here with a copy that another process may have extended since.
    readTable(view->data(), state.table);
    if (records) {
        records->add(platform::currentProcessIdentity(), -1);
    }
    if (state.attachCount == 0 && namedLock.held() && view->stillNamed(name)) {
        platform::SharedMemoryBlock::unlink(name);
        platform::SharedMemoryBlock::unlink(recordsName(name));
        namedLock.removeName();
    }
    view.reset();
}

int32_t SharedDeviceTable::update(platform::SharedMemoryBlock& view, const std::function<int32_t(DeviceTable&)>& change) {
    ProcessTableState& state = processState();
    platform::MutexLock processLock(state.mutex);
    platform::NamedLockGuard namedLock(lockName(sharedBlockName()));
    readTable(view.data(), state.table);
    const int32_t result = change(state.table);
    writeTable(view.data(), state.table);
    return result;
}

DeviceTable SharedDeviceTable::processCopy() {
    ProcessTableState& state = processState();
    platform::MutexLock processLock(state.mutex);
    return state.table;
}

int32_t SharedDeviceTable::processAttachCount() {
    ProcessTableState& state = processState();
    platform::MutexLock processLock(state.mutex);
    return state.attachCount;
}

} // namespace lumvek::usb
