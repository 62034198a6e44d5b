#pragma once
// The posted-message queue of one window and its optional handler
// dispatcher. Messages are only ever posted: post() queues and returns; the
// application either takes them with get() or has a handler called on the
// queue's own dispatcher thread, one message at a time in posting order.
//
// Handler rules: after setHandler() or close() returns on a thread other than
// the dispatcher, the previous handler is not running and will not be called
// again. Called from inside the handler (on the dispatcher thread) they do
// not wait for themselves; the dispatcher finishes the current call and
// stops. A post made from inside a handler is queued and handled after the
// current call returns.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "LumvekWindow.h"

namespace lumvek::platform::window {

// Like the system's per-thread post quota: a window nobody reads cannot
// grow without bound; posts beyond this fail.
inline constexpr size_t kMaxQueuedMessages = 10000;

class MessageQueue : public std::enable_shared_from_this<MessageQueue> {
public:
    MessageQueue() = default;
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Queues msg (time stamped by the caller). False once closed or full.
    [[nodiscard]] bool post(const LumvekMsg& msg);
    // 1 taken, 0 nothing within timeoutMs (-1: wait for ever; other negative
    // values poll), -1 closed (also when closed while waiting).
    [[nodiscard]] int get(LumvekMsg* msg, int timeoutMs);
    // How many queued messages (not yet taken or handed to the handler) are
    // `message` with a wParam in [wParamFirst, wParamEnd).
    [[nodiscard]] size_t countQueued(uint32_t message, uintptr_t wParamFirst, uintptr_t wParamEnd);
    // Installs handler (null: back to queueing). False once closed.
    [[nodiscard]] bool setHandler(LumvekMsgHandler handler, void* context);
    // Refuses further posts, drops what is queued, wakes every waiter and
    // stops the dispatcher.
    void close();

private:
    void dispatch(uint64_t generation);
    // Stops the dispatcher (caller holds lock); returns the thread to join,
    // or an empty one when called on the dispatcher itself.
    std::thread stopDispatcher(std::unique_lock<std::mutex>& lock);
    // Waits until no handler call runs other than the one this thread is in.
    void waitForOtherHandlers(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;  // guards every member below
    std::condition_variable changed_;  // queue, handler or closed changed; a handler call ended
    std::deque<LumvekMsg> queue_;
    LumvekMsgHandler handler_ = nullptr;
    void* context_ = nullptr;
    bool closed_ = false;
    int handlersRunning_ = 0;  // more than one only while a stopped dispatcher finishes its last call
    uint64_t generation_ = 0;  // bumped whenever the running dispatcher must stop
    std::thread dispatcher_;
    std::thread::id dispatcherId_;
};

} // namespace lumvek::platform::window
