#pragma once
// The resident memory of the test process (/proc/self/statm), to check that
// a buffer takes memory only once written. Every test of a suite runs in a
// process of its own (gtest_discover_tests), so a difference between two
// readings is the test's own doing, up to the few pages its code touches.
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include <cstddef>
#include <fstream>

namespace lumvek::test {

inline constexpr size_t kMiB = size_t{1} << 20;

// Instrumented builds keep shadow memory beside every byte touched, and an
// AddressSanitizer build takes every pixel block from its (zero-filled)
// heap: resident memory says nothing there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kResidentMemoryMeaningful = false;
#else
inline constexpr bool kResidentMemoryMeaningful = true;
#endif

inline size_t residentBytes() {
#ifdef _WIN32
    // The working set: the pages of the process in memory now.
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
#else
    std::ifstream statm("/proc/self/statm");
    size_t totalPages = 0;
    size_t residentPages = 0;
    statm >> totalPages >> residentPages;
    return residentPages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

// Resident bytes gained since `before` (0 when the process shrank).
inline size_t residentGrowth(size_t before) {
    const size_t now = residentBytes();
    return now > before ? now - before : 0;
}

} // namespace lumvek::test
