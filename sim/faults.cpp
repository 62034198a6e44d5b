#include "sim/faults.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace lumvek::sim {

namespace {
constexpr KeyHelp kFaultKeys[] = {
    {"drop-headers", "N", "the next N frame headers are lost (their reads time out)"},
    {"short-data", "N", "the next N frames deliver half the pixel bytes announced"},
    {"oversize", "N", "the next N headers announce more pixel bytes than any buffer"},
    {"undersize", "N", "the next N headers announce fewer pixel bytes than the frame holds, and only that many are sent"},
    {"stall-ms", "T", "every bulk read waits T ms before it delivers (0: off)"},
    {"rate", "MB", "bulk data is capped at MB megabytes per second (0: no cap)"},
    {"fail-control", "N", "the next N control requests fail"},
};
} // namespace

std::span<const KeyHelp> faultKeys() {
    return kFaultKeys;
}

std::string keyList(std::span<const KeyHelp> keys) {
    std::string text;
    for (const KeyHelp& entry : keys) {
        text += (text.empty() ? "" : ", ") + std::string(entry.key);
    }
    return text;
}

bool parseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
        return false;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') {
        return false;
    }
    value = v;
    return true;
}

bool parseNonNegative(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(v) || v < 0) {
        return false;
    }
    value = v;
    return true;
}

bool Faults::isFaultKey(const std::string& key) {
    for (const KeyHelp& entry : kFaultKeys) {
        if (key == entry.key) return true;
    }
    return false;
}

bool Faults::set(const std::string& key, const std::string& value, std::string& error) {
    if (!isFaultKey(key)) {
        error = "unknown fault '" + key + "' (faults: " + keyList(kFaultKeys) + ")";
        return false;
    }
    if (key == "rate") {
        double mb = 0;
        if (!parseNonNegative(value, mb)) {
            error = "rate needs a number of MB/s, not '" + value + "'";
            return false;
        }
        rateMBps_ = mb;
        return true;
    }
    uint64_t n = 0;
    if (!parseUnsigned(value, n) || n > 0xFFFFFFFFu) {
        error = key + " needs an unsigned count, not '" + value + "'";
        return false;
    }
    const auto count = static_cast<uint32_t>(n);
    if (key == "drop-headers") dropHeaders_ = count;
    else if (key == "short-data") shortData_ = count;
    else if (key == "oversize") oversize_ = count;
    else if (key == "undersize") undersize_ = count;
    else if (key == "fail-control") failControl_ = count;
    else stallMs_ = count;
    return true;
}

bool Faults::takeOne(std::atomic<uint32_t>& counter) {
    uint32_t current = counter.load();
    while (current > 0) {
        if (counter.compare_exchange_weak(current, current - 1)) {
            return true;
        }
    }
    return false;
}

} // namespace lumvek::sim
