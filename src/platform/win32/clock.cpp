// The millisecond clock of the system: GetTickCount64, whose low 32 bits are
// what timeGetTime and GetTickCount return (and wrap the same way). The
// nanosecond clocks: the performance counter (monotonic) and the system
// time as UTC (100 ns units from 1601, moved to the Unix epoch).
#include "platform/sync/clock.h"

#include <windows.h>

namespace lumvek::platform {

uint32_t tickMs() {
    return static_cast<uint32_t>(GetTickCount64());
}

void sleepMs(uint32_t ms) {
    Sleep(ms);
}

uint64_t monotonicNs() {
    static const uint64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const auto ticks = static_cast<uint64_t>(now.QuadPart);
    // Whole seconds and the rest apart: ticks * 1e9 would overflow after
    // a few hours of uptime at a 10 MHz counter.
    return ticks / frequency * 1'000'000'000u + ticks % frequency * 1'000'000'000u / frequency;
}

uint64_t wallClockNs() {
    // 100 ns intervals between 1601-01-01 and 1970-01-01.
    constexpr uint64_t kUnixEpochIn100ns = 116'444'736'000'000'000u;
    // The precise form where the system has it (Windows 8 on), else the
    // tick-resolution one.
    using SystemTimeCall = void(WINAPI*)(LPFILETIME);
    static const auto precise = reinterpret_cast<SystemTimeCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME time{};
    if (precise != nullptr) {
        precise(&time);
    } else {
        GetSystemTimeAsFileTime(&time);
    }
    const uint64_t since1601 = static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    return since1601 < kUnixEpochIn100ns ? 0 : (since1601 - kUnixEpochIn100ns) * 100u;
}

} // namespace lumvek::platform
