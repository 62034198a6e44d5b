#include "platform/win32/ui_thread.h"

#include <memory>
#include <mutex>

namespace lumvek::platform::window::win32 {
namespace {

constexpr UINT kRunTask = WM_APP + 0x51;
constexpr wchar_t kTaskClass[] = L"LumvekUiTasks";
constexpr wchar_t kProbeClass[] = L"LumvekUiProbe";
constexpr DWORD kStartTimeoutMs = 10000;

struct StartState {
    UiThread* self;
    HANDLE ready;  // set once the thread has its task window (or failed)
};

// A task and whether it ran; shared by the caller (which may stop waiting)
// and the UI thread.
struct Call {
    std::function<void()> task;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Call() {
        if (done != nullptr)
            CloseHandle(done);
    }
};

HINSTANCE ownModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ownModule), &self);
    return self;
}

// Whether the window station has a desktop a window can be shown on: Wine
// without a display, or a service session, refuses top-level windows.
bool desktopAvailable(HINSTANCE module) {
    WNDCLASSEXW probeClass{};
    probeClass.cbSize = sizeof probeClass;
    probeClass.lpfnWndProc = DefWindowProcW;
    probeClass.hInstance = module;
    probeClass.lpszClassName = kProbeClass;
    RegisterClassExW(&probeClass);
    HWND probe = CreateWindowExW(0, kProbeClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, module, nullptr);
    if (probe == nullptr)
        return false;
    DestroyWindow(probe);
    return true;
}

} // namespace

UiThread* UiThread::instance() {
    // Never destroyed (see the header); a failed start is not retried.
    static UiThread* const thread = [] {
        auto* fresh = new UiThread;
        return fresh->start() ? fresh : nullptr;
    }();
    return thread;
}

bool UiThread::start() {
    StartState state{this, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    if (state.ready == nullptr)
        return false;
    thread_ = CreateThread(nullptr, 0, &UiThread::run, &state, 0, &threadId_);
    if (thread_ != nullptr) {
        const HANDLE waits[] = {state.ready, thread_};
        WaitForMultipleObjects(2, waits, FALSE, kStartTimeoutMs);
    }
    CloseHandle(state.ready);
    return thread_ != nullptr && taskWindow_ != nullptr;
}

DWORD WINAPI UiThread::run(void* param) {
    auto* state = static_cast<StartState*>(param);
    UiThread* self = state->self;
    const HINSTANCE module = ownModule();
    WNDCLASSEXW taskClass{};
    taskClass.cbSize = sizeof taskClass;
    taskClass.lpfnWndProc = &UiThread::taskWindowProcedure;
    taskClass.hInstance = module;
    taskClass.lpszClassName = kTaskClass;
    RegisterClassExW(&taskClass);
    self->hasDesktop_ = desktopAvailable(module);
    self->taskWindow_ = CreateWindowExW(0, kTaskClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
    SetEvent(state->ready);  // state is not touched after this
    if (self->taskWindow_ == nullptr)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

LRESULT CALLBACK UiThread::taskWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunTask)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    std::unique_ptr<std::shared_ptr<Call>> call(reinterpret_cast<std::shared_ptr<Call>*>(lParam));
    (*call)->task();
    if ((*call)->done != nullptr)
        SetEvent((*call)->done);
    return 0;
}

bool UiThread::alive() const {
    return WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

bool UiThread::post(std::function<void()> task) {
    if (!alive())
        return false;
    auto call = std::make_unique<std::shared_ptr<Call>>(std::make_shared<Call>());
    (**call).task = std::move(task);
    if (!PostMessageW(taskWindow_, kRunTask, 0, reinterpret_cast<LPARAM>(call.get())))
        return false;
    (void)call.release();  // the UI thread owns it now
    return true;
}

bool UiThread::call(std::function<void()> task, DWORD timeoutMs) {
    if (onThread()) {
        task();
        return true;
    }
    if (!alive())
        return false;  // ended with the process: nothing would ever run it
    auto shared = std::make_shared<Call>();
    if (shared->done == nullptr)
        return false;
    shared->task = std::move(task);
    auto posted = std::make_unique<std::shared_ptr<Call>>(shared);
    if (!PostMessageW(taskWindow_, kRunTask, 0, reinterpret_cast<LPARAM>(posted.get())))
        return false;
    (void)posted.release();
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    const HANDLE waits[] = {shared->done, thread_};
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woke = MsgWaitForMultipleObjectsEx(2, waits, left, QS_SENDMESSAGE, 0);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 2)
            return false;  // timed out, or the thread ended
        // Messages sent to this thread's windows (by the task, say a parent
        // told of its new child): handled here, nothing posted is taken.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

} // namespace lumvek::platform::window::win32
