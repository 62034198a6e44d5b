// The debugger lines on Windows: each reaches the debugger channel whole, as
// one OutputDebugStringA call, whether or not the diagnostic log is on. A
// vectored handler sees the exception that carries each line to a debugger.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/log/debugger_output.h"
#include "support/test_env.h"

namespace {

std::mutex seenMutex;
std::vector<std::string> seen;

LONG CALLBACK catchDebugString(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        std::lock_guard hold(seenMutex);
        seen.emplace_back(text, strnlen(text, length));
    }
    return EXCEPTION_CONTINUE_SEARCH;  // the system's own handler ends it as usual
}

TEST(DebuggerOutput, EachLineReachesTheDebuggerWholeWithItsLineEnd) {
    lumvek::test::ScopedEnv logOff("LUMVEK_LOG", std::nullopt);
    void* handler = AddVectoredExceptionHandler(1, catchDebugString);
    ASSERT_NE(handler, nullptr);
    {
        std::lock_guard hold(seenMutex);
        seen.clear();
    }
    lumvek::platform::debuggerOutput(lumvek::platform::LogCategory::Sensor, "::SerReset:: VD is ready.");
    lumvek::platform::debuggerOutput(lumvek::platform::LogCategory::Usb, "::SerReset:: failure.");
    RemoveVectoredExceptionHandler(handler);

    std::lock_guard hold(seenMutex);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "::SerReset:: VD is ready.\r\n");
    EXPECT_EQ(seen[1], "::SerReset:: failure.\r\n");
}

} // namespace
#endif
