#include "platform/diag/race_widen.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace lumvek::platform {

namespace {

unsigned readDelayLimitUs() {
    const char* text = std::getenv("LUMVEK_RACE_DELAY_US");
    if (text == nullptr) {
        return 0;
    }
    const long value = std::strtol(text, nullptr, 10);
    constexpr long kMaxDelayUs = 100000;
    return value > 0 ? static_cast<unsigned>(value < kMaxDelayUs ? value : kMaxDelayUs) : 0;
}

} // namespace

void widenRaceWindow() {
    static const unsigned limitUs = readDelayLimitUs();
    if (limitUs == 0) {
        return;
    }
    // A shared xorshift state: lost updates between threads only make the
    // delays a little less random.
    static std::atomic<unsigned> state{2463534242u};
    unsigned x = state.load(std::memory_order_relaxed);
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    state.store(x, std::memory_order_relaxed);
    std::this_thread::sleep_for(std::chrono::microseconds(x % (limitUs + 1)));
}

} // namespace lumvek::platform
