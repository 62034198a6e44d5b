#include "scripted_camera.h"

#include "platform/fx3/fx3_driver.h"

#include <algorithm>
#include <cstring>

namespace lumvek::test {

void ScriptedCamera::setReply(uint8_t code, std::vector<uint8_t> bytes, uint32_t dataBytes) {
    std::lock_guard lock(mutex_);
    replies_[code] = Reply{std::move(bytes), dataBytes, false};
}

void ScriptedCamera::failControl(uint8_t code) {
    std::lock_guard lock(mutex_);
    replies_[code] = Reply{{}, 0, true};
}

void ScriptedCamera::queueBulk(uint8_t endpoint, BulkAnswer answer) {
    std::lock_guard lock(mutex_);
    bulk_[endpoint].push_back(std::move(answer));
}

void ScriptedCamera::setConnected(bool connected) {
    std::lock_guard lock(mutex_);
    connected_ = connected;
}

std::vector<ScriptedCamera::ControlSeen> ScriptedCamera::controls() const {
    std::lock_guard lock(mutex_);
    return controls_;
}

std::vector<ScriptedCamera::ControlSeen> ScriptedCamera::controls(uint8_t code) const {
    std::lock_guard lock(mutex_);
    std::vector<ControlSeen> out;
    for (const auto& seen : controls_) {
        if (seen.header.requestCode == code) {
            out.push_back(seen);
        }
    }
    return out;
}

std::vector<ScriptedCamera::BulkSeen> ScriptedCamera::bulkReads() const {
    std::lock_guard lock(mutex_);
    return bulkReads_;
}

uint8_t ScriptedCamera::fpgaRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return fpga_[reg];
}

std::vector<std::pair<uint8_t, uint8_t>> ScriptedCamera::fpgaWrites() const {
    std::lock_guard lock(mutex_);
    return fpgaWrites_;
}

int ScriptedCamera::aborts() const {
    std::lock_guard lock(mutex_);
    return aborts_;
}

fx3::ControlResult ScriptedCamera::controlTransfer(const fx3::RequestHeader& header,
                                                   std::span<uint8_t, fx3::kControlDataBytes> data) {
    std::lock_guard lock(mutex_);
    ControlSeen seen{header, {}};
    std::copy(data.begin(), data.end(), seen.data.begin());
    controls_.push_back(seen);
    if (!connected_) {
        return {false, 0};
    }
    // The FPGA register file behind I2C 0x40/0x41.
    if (header.requestCode == 0x30 && header.index == 0x40) {
        fpgaPointer_ = data[0];
        if (header.value >= 3) {
            fpga_[data[0]] = data[2];
            fpgaWrites_.emplace_back(data[0], data[2]);
        }
    }
    const auto reply = replies_.find(header.requestCode);
    if (reply != replies_.end()) {
        if (reply->second.fail) {
            return {false, 0};
        }
        std::fill(data.begin(), data.end(), uint8_t{0});
        std::copy_n(reply->second.bytes.begin(), std::min<size_t>(reply->second.bytes.size(), data.size()),
                    data.begin());
        return {true, reply->second.dataBytes};
    }
    if (header.requestType == fx3::kRequestTypeVendorIn) {
        std::fill(data.begin(), data.end(), uint8_t{0});
        if (header.requestCode == 0x31 && header.index == 0x41) {
            data[0] = 0;
            data[1] = fpga_[fpgaPointer_];
        }
    }
    return {true, static_cast<uint32_t>(fx3::kControlDataBytes)};
}

fx3::BulkResult ScriptedCamera::bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t /*timeoutMs*/,
                                         const fx3::CancelToken& cancel) {
    BulkAnswer answer;
    {
        std::lock_guard lock(mutex_);
        bulkReads_.push_back({endpoint, static_cast<uint32_t>(buffer.size())});
        auto& queue = bulk_[endpoint];
        if (!connected_) {
            return {fx3::kErrorDeviceNotConnected, 0};
        }
        if (queue.empty()) {
            answer.kind = BulkAnswer::Kind::Stall;
        } else {
            answer = std::move(queue.front());
            queue.pop_front();
        }
    }
    switch (answer.kind) {
    case BulkAnswer::Kind::Stall: {
        // Nothing comes until the read is cancelled.
        (void)cancel.sleepFor(fx3::CancelToken::kForever);
        std::lock_guard lock(mutex_);
        ++aborts_;
        return {fx3::kErrorOperationAborted, 0};
    }
    case BulkAnswer::Kind::Overclaim: {
        const size_t n = std::min(buffer.size(), answer.bytes.size());
        std::memcpy(buffer.data(), answer.bytes.data(), n);
        return {fx3::kErrorSuccess, static_cast<uint32_t>(buffer.size() + 4096)};
    }
    case BulkAnswer::Kind::Data:
        break;
    }
    const size_t n = std::min(buffer.size(), answer.bytes.size());
    std::memcpy(buffer.data(), answer.bytes.data(), n);
    return {fx3::kErrorSuccess, static_cast<uint32_t>(n)};
}

bool ScriptedCamera::resetPipe(uint8_t /*endpoint*/) {
    return true;
}

bool ScriptedCamera::resetPort() {
    return true;
}

bool ScriptedCamera::connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

} // namespace lumvek::test
