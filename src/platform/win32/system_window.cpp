// The application's own windows on Windows: messages go out with
// PostMessageA. What the library posted and the window's thread has not yet
// taken is counted here, because the system lets no other thread look into
// a thread's queue: a message hook (WH_GETMESSAGE) on each thread of this
// process that owns such a window sees every message its GetMessage or
// PeekMessage(PM_REMOVE) takes, and crosses it off.
#include "platform/window/system_window.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/sync/thread_annotations.h"

namespace lumvek::platform::window {
namespace {

// Posts to windows nobody reads fail once the system's queue is full
// (10000); a list this long holds only entries of windows long dead.
constexpr size_t kMaxPendingPosts = 20000;
// WM_DEVICECHANGE events from 0x8000 on (arrival, removal) come with a record.
constexpr WPARAM kDeviceEventWithRecord = 0x8000;
constexpr UINT kSendTimeoutMs = 5000;

LRESULT CALLBACK takenMessageHook(int code, WPARAM removal, LPARAM message);

class PendingPosts {
public:
    static PendingPosts& instance() {
        // Never destroyed: hooks on application threads call into it until
        // the process ends.
        static PendingPosts* const posts = new PendingPosts;
        return *posts;
    }

    // Makes sure the thread owning a window of this process has the hook;
    // false when it could not be installed (its posts are then not counted).
    bool watch(DWORD threadId) EXCLUDES(mutex_) {
        {
            MutexLock hold(mutex_);
            const auto it = threads_.find(threadId);
            if (it != threads_.end()) {
                if (WaitForSingleObject(it->second.thread, 0) == WAIT_TIMEOUT)
                    return true;
                // The thread ended (its hook went with it) and the id came back.
                CloseHandle(it->second.thread);
                threads_.erase(it);
            }
        }
        // Outside the lock: installing may wait for the system.
        HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
        if (thread == nullptr)
            return false;
        HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, takenMessageHook, nullptr, threadId);
        if (hook == nullptr) {
            CloseHandle(thread);
            return false;
        }
        MutexLock hold(mutex_);
        if (!threads_.emplace(threadId, Watched{hook, thread}).second) {
            // Another post installed one meanwhile.
            UnhookWindowsHookEx(hook);
            CloseHandle(thread);
        }
        return true;
    }

    void add(HWND hwnd, UINT message, WPARAM wParam) EXCLUDES(mutex_) {
        MutexLock hold(mutex_);
        if (posts_.size() >= kMaxPendingPosts)
            std::erase_if(posts_, [](const Post& post) { return !IsWindow(post.hwnd); });
        if (posts_.size() < kMaxPendingPosts)
            posts_.push_back({hwnd, message, wParam});
    }

    // The earliest matching post is the one taken: a queue hands out posted
    // messages in order.
    void taken(HWND hwnd, UINT message, WPARAM wParam) EXCLUDES(mutex_) {
        MutexLock hold(mutex_);
        const auto it = std::find_if(posts_.begin(), posts_.end(), [&](const Post& post) {
            return post.hwnd == hwnd && post.message == message && post.wParam == wParam;
        });
        if (it != posts_.end())
            posts_.erase(it);
    }

    size_t count(HWND hwnd, UINT message, WPARAM first, WPARAM end) EXCLUDES(mutex_) {
        const bool alive = IsWindow(hwnd) != FALSE;
        MutexLock hold(mutex_);
        if (!alive) {
            // Messages of a destroyed window are gone with it.
            std::erase_if(posts_, [&](const Post& post) { return post.hwnd == hwnd; });
            return 0;
        }
        return static_cast<size_t>(std::count_if(posts_.begin(), posts_.end(), [&](const Post& post) {
            return post.hwnd == hwnd && post.message == message && post.wParam >= first && post.wParam < end;
        }));
    }

private:
    struct Watched {
        HHOOK hook;
        HANDLE thread;  // signalled once the thread has ended
    };
    struct Post {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
    };

    Mutex mutex_;  // guards threads_ and posts_; a leaf lock (hooks take it inside GetMessage)
    std::map<DWORD, Watched> threads_ GUARDED_BY(mutex_);
    std::vector<Post> posts_ GUARDED_BY(mutex_);  // posting order
};

// Runs on the application's thread inside its GetMessage / PeekMessage.
LRESULT CALLBACK takenMessageHook(int code, WPARAM removal, LPARAM message) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(message);
        if (msg->hwnd != nullptr)
            PendingPosts::instance().taken(msg->hwnd, msg->message, msg->wParam);
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

} // namespace

bool isSystemWindow(HWND hwnd) {
    return hwnd != nullptr && IsWindow(hwnd) != FALSE;
}

bool postToSystemWindow(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_DEVICECHANGE && (wParam & kDeviceEventWithRecord) != 0) {
        // The system's device events carry a record pointer, so it refuses to
        // queue them (ERROR_MESSAGE_SYNC_ONLY): they are sent, as the system
        // sends its own, with a bound for a window that hangs.
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs,
                                   &ignored) != 0;
    }
    DWORD process = 0;
    const DWORD thread = hwnd != nullptr ? GetWindowThreadProcessId(hwnd, &process) : 0;
    if (thread == 0)
        return false;
    PendingPosts& pending = PendingPosts::instance();
    // Counted before it is posted: the window's thread may take it at once.
    const bool counted = process == GetCurrentProcessId() && pending.watch(thread);
    if (counted)
        pending.add(hwnd, message, wParam);
    if (PostMessageA(hwnd, message, wParam, lParam))
        return true;
    if (counted)
        pending.taken(hwnd, message, wParam);
    return false;
}

size_t countPendingSystemMessages(HWND hwnd, uint32_t message, uintptr_t wParamFirst, uintptr_t wParamEnd) {
    return hwnd != nullptr ? PendingPosts::instance().count(hwnd, message, wParamFirst, wParamEnd) : 0;
}

bool destroySystemWindow(HWND hwnd) {
    if (!isSystemWindow(hwnd) || GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId())
        return false;
    return DestroyWindow(hwnd) != FALSE;
}

bool isSystemWindowVisible(HWND hwnd) {
    return hwnd != nullptr && IsWindowVisible(hwnd) != FALSE;
}

unsigned long systemWindowId(HWND hwnd) {
    // A window handle carries 32 significant bits (the system sign-extends
    // them), so it fits the display id.
    return isSystemWindow(hwnd) ? static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)) : 0;
}

} // namespace lumvek::platform::window
