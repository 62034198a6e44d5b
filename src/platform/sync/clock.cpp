#include "platform/sync/clock.h"

#include <chrono>
#include <thread>

#include <time.h>

namespace lumvek::platform {

uint32_t tickMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {
uint64_t nanosecondsOf(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}
} // namespace

uint64_t monotonicNs() {
    return nanosecondsOf(CLOCK_MONOTONIC);
}

uint64_t wallClockNs() {
    return nanosecondsOf(CLOCK_REALTIME);
}

} // namespace lumvek::platform
