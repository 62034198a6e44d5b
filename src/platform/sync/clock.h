#pragma once
// The library's millisecond clock: what timeGetTime/GetTickCount stand for.
// Monotonic, wraps at 2^32 ms like the original.
#include <cstdint>

namespace lumvek::platform {

[[nodiscard]] uint32_t tickMs();
void sleepMs(uint32_t ms);

} // namespace lumvek::platform
