#include "platform/sync/clock.h"

#include <chrono>
#include <thread>

namespace lumvek::platform {

uint32_t tickMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace lumvek::platform
