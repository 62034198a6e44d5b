#pragma once
// Faults a simulated camera can be told to show, at start (camera description keys)
// or while running (`lumvek-camsim ctl ... fault NAME KEY=VALUE`):
//   drop-headers=N  the next N frame headers are lost (their reads time out)
//   short-data=N    the next N frames deliver half the pixel bytes announced
//   oversize=N      the next N headers announce more pixel bytes than any buffer
//   undersize=N     the next N headers announce fewer pixel bytes than the frame
//                   holds, and only that many are sent
//   stall-ms=T      every bulk read waits T ms before it delivers (0: off)
//   rate=MB         bulk data is capped at MB megabytes per second (0: no cap)
//   fail-control=N  the next N control requests fail
#include <atomic>
#include <cstdint>
#include <string>

namespace lumvek::sim {

class Faults {
public:
    // false with `error` set for an unknown key or a bad value.
    [[nodiscard]] bool set(const std::string& key, const std::string& value, std::string& error);
    [[nodiscard]] static bool isFaultKey(const std::string& key);

    // Each returns true (and counts down) while a counted fault is pending.
    [[nodiscard]] bool takeDropHeader() { return takeOne(dropHeaders_); }
    [[nodiscard]] bool takeShortData() { return takeOne(shortData_); }
    [[nodiscard]] bool takeOversize() { return takeOne(oversize_); }
    [[nodiscard]] bool takeUndersize() { return takeOne(undersize_); }
    [[nodiscard]] bool takeFailControl() { return takeOne(failControl_); }
    [[nodiscard]] uint32_t stallMs() const { return stallMs_.load(); }
    [[nodiscard]] double rateMBps() const { return rateMBps_.load(); }

private:
    static bool takeOne(std::atomic<uint32_t>& counter);
    std::atomic<uint32_t> dropHeaders_{0};
    std::atomic<uint32_t> shortData_{0};
    std::atomic<uint32_t> oversize_{0};
    std::atomic<uint32_t> undersize_{0};
    std::atomic<uint32_t> failControl_{0};
    std::atomic<uint32_t> stallMs_{0};
    std::atomic<double> rateMBps_{0.0};
};

// Unsigned integers in decimal or 0x-hexadecimal; false for anything else.
[[nodiscard]] bool parseUnsigned(const std::string& text, uint64_t& value);
[[nodiscard]] bool parseNonNegative(const std::string& text, double& value);

} // namespace lumvek::sim
