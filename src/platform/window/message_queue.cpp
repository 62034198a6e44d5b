#include "platform/window/message_queue.h"

#include <chrono>
#include <system_error>

namespace lumvek::platform::window {
namespace {
// The queue whose handler this thread is running, if any.
thread_local const MessageQueue* tDispatching = nullptr;
} // namespace

MessageQueue::~MessageQueue() {
    // The last reference may be dropped by the dispatcher itself (it keeps the
    // queue alive while it runs); it cannot join itself.
    if (dispatcher_.joinable()) {
        if (dispatcher_.get_id() == std::this_thread::get_id())
            dispatcher_.detach();
        else
            dispatcher_.join();
    }
}

bool MessageQueue::post(const LumvekMsg& msg) {
    std::lock_guard lock(mutex_);
    if (closed_ || queue_.size() >= kMaxQueuedMessages)
        return false;
    queue_.push_back(msg);
    changed_.notify_all();
    return true;
}

size_t MessageQueue::countQueued(uint32_t message, uintptr_t wParamFirst, uintptr_t wParamEnd) {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const LumvekMsg& msg : queue_) {
        if (msg.message == message && msg.wParam >= wParamFirst && msg.wParam < wParamEnd)
            ++count;
    }
    return count;
}

int MessageQueue::get(LumvekMsg* msg, int timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return closed_ || !queue_.empty(); };
    if (timeoutMs == -1)
        changed_.wait(lock, ready);
    else if (timeoutMs > 0)
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    if (closed_)
        return -1;
    if (queue_.empty())
        return 0;
    *msg = queue_.front();
    queue_.pop_front();
    return 1;
}

bool MessageQueue::setHandler(LumvekMsgHandler handler, void* context) {
    std::thread finished;
    {
        std::unique_lock lock(mutex_);
        if (closed_)
            return false;
        if (handler == nullptr) {
            handler_ = nullptr;
            context_ = nullptr;
            finished = stopDispatcher(lock);
        } else {
            handler_ = handler;
            context_ = context;
            if (!dispatcher_.joinable()) {
                // A dispatcher stopped from inside its own handler may still be
                // finishing that call; the new one waits for it (see dispatch).
                const uint64_t generation = generation_;
                try {
                    dispatcher_ = std::thread([self = shared_from_this(), generation] { self->dispatch(generation); });
                } catch (const std::system_error&) {
                    handler_ = nullptr;
                    context_ = nullptr;
                    return false;
                }
                dispatcherId_ = dispatcher_.get_id();
            } else {
                // The replaced handler must not be running when we return
                // (except the call we may be inside of).
                waitForOtherHandlers(lock);
            }
            changed_.notify_all();
        }
    }
    if (finished.joinable())
        finished.join();
    return true;
}

void MessageQueue::close() {
    std::thread finished;
    {
        std::unique_lock lock(mutex_);
        if (closed_)
            return;
        closed_ = true;
        queue_.clear();
        handler_ = nullptr;
        context_ = nullptr;
        finished = stopDispatcher(lock);
    }
    if (finished.joinable())
        finished.join();
}

std::thread MessageQueue::stopDispatcher(std::unique_lock<std::mutex>& lock) {
    ++generation_;
    changed_.notify_all();
    if (!dispatcher_.joinable())
        return {};
    if (std::this_thread::get_id() == dispatcherId_) {
        // Inside the handler: the dispatcher ends after the call returns.
        dispatcherId_ = std::thread::id();
        dispatcher_.detach();
        return {};
    }
    waitForOtherHandlers(lock);
    dispatcherId_ = std::thread::id();
    return std::move(dispatcher_);
}

void MessageQueue::waitForOtherHandlers(std::unique_lock<std::mutex>& lock) {
    const int own = tDispatching == this ? 1 : 0;
    changed_.wait(lock, [this, own] { return handlersRunning_ == own; });
}

void MessageQueue::dispatch(uint64_t generation) {
    tDispatching = this;
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] {
            return generation_ != generation || (!queue_.empty() && handler_ != nullptr && handlersRunning_ == 0);
        });
        if (generation_ != generation)
            return;
        const LumvekMsg msg = queue_.front();
        queue_.pop_front();
        const LumvekMsgHandler handler = handler_;
        void* const context = context_;
        ++handlersRunning_;
        lock.unlock();
        handler(context, &msg);  // application code: no lock held
        lock.lock();
        --handlersRunning_;
        changed_.notify_all();
    }
}

} // namespace lumvek::platform::window
