#ifdef LUMVEK_HAVE_X11
#include "platform/window/x11/x11_connection.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#ifdef LUMVEK_HAVE_XSHM
#include <X11/extensions/XShm.h>
#endif

#include "platform/window/x11/x11_window.h"

namespace lumvek::platform::window::x11 {
namespace {

constexpr const char* kThreadName = "lumvek-x11";

struct CallState {
    std::mutex mutex;  // guards done
    std::condition_variable changed;
    bool done = false;
};

} // namespace

Connection* Connection::open(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr)
        return nullptr;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    return new Connection(display, wakeFd);
}

Connection::Connection(Display* display, int wakeFd) : display_(display), wakeFd_(wakeFd) {
    watchDisplay(display_, &errors_);
    const int screen = DefaultScreen(display_);
    screenWidth_ = DisplayWidth(display_, screen);
    screenHeight_ = DisplayHeight(display_, screen);
#ifdef LUMVEK_HAVE_XSHM
    sharedMemory_ = XShmQueryExtension(display_) != 0;
#endif
    wmProtocols = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDeleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8String = XInternAtom(display_, "UTF8_STRING", False);
    thread_ = std::thread([this] { run(); });
}

void Connection::post(std::function<void()> task) {
    if (!running_)
        return;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake();
}

bool Connection::call(std::function<void()> task, int timeoutMs) {
    if (!alive())
        return false;
    auto state = std::make_shared<CallState>();
    post([state, task = std::move(task)] {
        task();
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->changed.notify_all();
    });
    std::unique_lock lock(state->mutex);
    return state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->done; });
}

void Connection::wake() {
    const uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
}

void Connection::adopt(const std::shared_ptr<X11Window>& window) {
    windows_.push_back(window);
}

void Connection::runTasks() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& task : batch)
        task();
}

void Connection::handleEvents() {
    while (!errors_.connectionLost && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        for (const auto& weak : windows_)
            if (const auto window = weak.lock(); window && window->owns(event.xany.window))
                window->handleEvent(event);
    }
}

void Connection::drawDirty() {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [](const auto& w) { return w.expired(); }),
                   windows_.end());
    for (const auto& weak : windows_)
        if (const auto window = weak.lock())
            window->drawIfDirty();
}

void Connection::run() {
    pthread_setname_np(pthread_self(), kThreadName);  // found by name in CPU figures
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    while (!errors_.connectionLost) {
        runTasks();
        handleEvents();
        drawDirty();
        XFlush(display_);
        if (errors_.connectionLost)
            break;
        if (XPending(display_) > 0)
            continue;
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & (POLLHUP | POLLERR))
            (void)XPending(display_);  // lets Xlib notice the hang-up and report it
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            (void)!read(wakeFd_, &count, sizeof count);
        }
    }
    running_ = false;
    // Windows stop mirroring; tasks still queued are dropped (callers time out or
    // see alive() false). Tell the windows so they forget their ids.
    for (const auto& weak : windows_)
        if (const auto window = weak.lock())
            window->connectionLost();
    std::lock_guard lock(mutex_);
    tasks_.clear();
}

} // namespace lumvek::platform::window::x11
#endif
