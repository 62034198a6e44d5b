#pragma once
// One connection to an X server and the thread that owns it. Every Xlib call
// on the connection runs on that thread: window creation and destruction,
// events (expose, resize, close button, keys) and drawing. Other threads hand
// it tasks and mark windows dirty; none of them ever waits on the server
// beyond a bounded call(). Connections live for the rest of the process (a
// lost one is kept, idle, so windows that still point at it stay valid).
#include <X11/Xlib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/window/x11/x11_errors.h"

namespace lumvek::platform::window::x11 {

class X11Window;

class Connection {
public:
    // Null when the server does not answer.
    static Connection* open(const char* displayName);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // False once the server went away (or the connection was never usable).
    [[nodiscard]] bool alive() const { return !errors_.connectionLost && running_; }
    [[nodiscard]] int screenWidth() const { return screenWidth_; }
    [[nodiscard]] int screenHeight() const { return screenHeight_; }

    // Runs task on the connection thread and waits for it at most timeoutMs;
    // false when it did not finish in time or the connection is lost.
    bool call(std::function<void()> task, int timeoutMs);
    void post(std::function<void()> task);
    // Wakes the thread to draw the windows marked dirty.
    void wake();

    // For the connection thread only.
    [[nodiscard]] Display* display() const { return display_; }
    [[nodiscard]] ErrorLog& errors() { return errors_; }
    [[nodiscard]] bool sharedMemory() const { return sharedMemory_; }
    void adopt(const std::shared_ptr<X11Window>& window);
    // Atoms looked up once.
    Atom wmProtocols = None;
    Atom wmDeleteWindow = None;
    Atom netWmName = None;
    Atom utf8String = None;

private:
    Connection(Display* display, int wakeFd);
    void run();
    void runTasks();
    void handleEvents();
    void drawDirty();

    Display* const display_;
    const int wakeFd_;  // eventfd: tasks or dirty windows are waiting
    ErrorLog errors_;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    bool sharedMemory_ = false;
    std::atomic<bool> running_{true};

    std::mutex mutex_;  // guards tasks_
    std::deque<std::function<void()>> tasks_;
    std::vector<std::weak_ptr<X11Window>> windows_;  // connection thread only
    std::thread thread_;
};

} // namespace lumvek::platform::window::x11
