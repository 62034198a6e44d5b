#pragma once
// Faults a simulated camera can be told to show, at start (camera description keys)
// or while running (`lumvek-camsim ctl ... fault NAME KEY=VALUE`): drop-headers,
// short-data, oversize, undersize, stall-ms, rate, fail-control; faultKeys() says what
// each does (and lumvek-camsim --help prints it).
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

namespace lumvek::sim {

// One key of a camera description or a run-time fault, for --help and for
// the list of valid keys in an error message.
struct KeyHelp {
    const char* key;    // "stall-ms"
    const char* value;  // "T"
    const char* meaning;
};

[[nodiscard]] std::span<const KeyHelp> faultKeys();
// "key1, key2, ..." of a key table.
[[nodiscard]] std::string keyList(std::span<const KeyHelp> keys);

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
