#pragma once
// Starting the library's threads (the frame transfer thread, the frame
// loop), with a diagnostic that makes the next starts fail as a system out
// of threads would, so the failure paths can be tested: a thread that
// cannot start must leave no flag saying it runs and nothing waiting for it.
#include <functional>
#include <thread>

namespace lumvek::platform {

// Starts body on a new thread; throws std::system_error when the system (or
// failNextThreadStarts) refuses, as std::thread does.
[[nodiscard]] std::thread startThread(std::function<void()> body);

// Diagnostics: after the next `after` calls of startThread succeed, the
// `count` calls that follow fail.
void failNextThreadStarts(int count, int after = 0);

} // namespace lumvek::platform
