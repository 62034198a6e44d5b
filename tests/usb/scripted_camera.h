#pragma once
// A device for the controller tests whose replies the test scripts exactly:
// short control replies, lost headers, announced pixel counts, short or
// over-long bulk data. It sits under the real driver stand-in (attached to
// the in-process bus), so every request reaches it through the real request
// packets, and it records what arrived. It models the FPGA register file
// (write reg,0,value; read answers a leading byte then the value).
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/fx3/usb_device.h"

namespace lumvek::test {

class ScriptedCamera final : public fx3::UsbDevice {
public:
    struct ControlSeen {
        fx3::RequestHeader header;
        std::array<uint8_t, fx3::kControlDataBytes> data{};
    };
    struct BulkSeen {
        uint8_t endpoint;
        uint32_t asked;
    };
    // One scripted answer to one bulk read.
    struct BulkAnswer {
        enum class Kind { Data, Stall, Overclaim } kind = Kind::Data;
        std::vector<uint8_t> bytes;  // Data: delivered up to what was asked
    };

    // Control replies: for request `code`, answer with these data bytes and
    // report `dataBytes` of them (default: all 64, zero-filled).
    void setReply(uint8_t code, std::vector<uint8_t> bytes, uint32_t dataBytes);
    void failControl(uint8_t code);
    void queueBulk(uint8_t endpoint, BulkAnswer answer);
    void setConnected(bool connected);

    [[nodiscard]] std::vector<ControlSeen> controls() const;
    [[nodiscard]] std::vector<ControlSeen> controls(uint8_t code) const;
    [[nodiscard]] std::vector<BulkSeen> bulkReads() const;
    [[nodiscard]] uint8_t fpgaRegister(uint8_t reg) const;
    // FPGA writes in order, as (register, value).
    [[nodiscard]] std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites() const;
    [[nodiscard]] int aborts() const;

    fx3::ControlResult controlTransfer(const fx3::RequestHeader& header,
                                       std::span<uint8_t, fx3::kControlDataBytes> data) override;
    fx3::BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                             const fx3::CancelToken& cancel) override;
    bool resetPipe(uint8_t endpoint) override;
    bool resetPort() override;
    uint32_t linkSpeed() override { return fx3::kLinkSpeedSuper; }
    [[nodiscard]] bool connected() const override;

private:
    struct Reply {
        std::vector<uint8_t> bytes;
        uint32_t dataBytes;
        bool fail;
    };
    mutable std::mutex mutex_;  // guards everything below
    std::map<uint8_t, Reply> replies_;
    std::map<uint8_t, std::deque<BulkAnswer>> bulk_;
    std::vector<ControlSeen> controls_;
    std::vector<BulkSeen> bulkReads_;
    std::array<uint8_t, 256> fpga_{};
    std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites_;
    uint8_t fpgaPointer_ = 0;
    int aborts_ = 0;
    bool connected_ = true;
};

} // namespace lumvek::test
