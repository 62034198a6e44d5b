#pragma once
// The library's own user-interface thread on Windows: it owns every window
// the library shows on the desktop (the preview) and runs their message
// loop, so the windows behave whether or not the application's threads pump
// messages. Started on first use and never joined: it ends with the process
// (joining it from a static destructor would wait under the loader lock).
#include <windows.h>

#include <functional>

namespace lumvek::platform::window::win32 {

class UiThread {
public:
    // The running thread; null when it could not be started.
    [[nodiscard]] static UiThread* instance();

    // Runs task on the UI thread (at once when called there) and waits at
    // most timeoutMs for it; while waiting, messages other threads send to
    // the caller's own windows are handled, so a window of the caller that
    // the task touches cannot deadlock it. False when the task did not run
    // within the time or the thread has ended; it may then still run later.
    bool call(std::function<void()> task, DWORD timeoutMs);
    // Queues task for the UI thread and returns; false when it has ended.
    bool post(std::function<void()> task);
    [[nodiscard]] bool onThread() const { return GetCurrentThreadId() == threadId_; }
    // A top-level window could be created on the desktop when the thread
    // started (false under a window station without a display).
    [[nodiscard]] bool hasDesktop() const { return hasDesktop_; }

private:
    UiThread() = default;
    [[nodiscard]] bool start();
    static DWORD WINAPI run(void* self);
    static LRESULT CALLBACK taskWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    [[nodiscard]] bool alive() const;

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND taskWindow_ = nullptr;  // message-only window on the thread that runs posted tasks
    bool hasDesktop_ = false;
};

} // namespace lumvek::platform::window::win32
