#include "sim/register_log.h"

namespace lumvek::sim {

void RegisterLog::addRequest(const ControlRecord& record) {
    std::lock_guard lock(mutex_);
    if (requests_.size() == kMaxRecords) {
        requests_.pop_front();
    }
    requests_.push_back(record);
}

void RegisterLog::addAccess(Access kind, uint32_t address, uint32_t value) {
    std::lock_guard lock(mutex_);
    if (accesses_.size() == kMaxRecords) {
        accesses_.pop_front();
    }
    accesses_.push_back({kind, address, value});
}

std::vector<ControlRecord> RegisterLog::requests() const {
    std::lock_guard lock(mutex_);
    return {requests_.begin(), requests_.end()};
}

std::vector<RegisterAccess> RegisterLog::accesses() const {
    std::lock_guard lock(mutex_);
    return {accesses_.begin(), accesses_.end()};
}

std::vector<RegisterAccess> RegisterLog::accesses(Access kind) const {
    std::lock_guard lock(mutex_);
    std::vector<RegisterAccess> matching;
    for (const auto& access : accesses_) {
        if (access.kind == kind) {
            matching.push_back(access);
        }
    }
    return matching;
}

void RegisterLog::clear() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    accesses_.clear();
}

} // namespace lumvek::sim
