#pragma once
// The library's millisecond clock: what timeGetTime/GetTickCount stand for.
// Monotonic, wraps at 2^32 ms like the original.
#include <cstdint>

namespace lumvek::platform {

[[nodiscard]] uint32_t tickMs();
void sleepMs(uint32_t ms);
// Nanoseconds of CLOCK_MONOTONIC (the clock GStreamer's system clock and
// Python's time.monotonic_ns use) and of the wall clock (CLOCK_REALTIME).
[[nodiscard]] uint64_t monotonicNs();
[[nodiscard]] uint64_t wallClockNs();

} // namespace lumvek::platform
