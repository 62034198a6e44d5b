// Message windows: posting, taking, handlers on their dispatcher thread,
// destruction under waiters and handlers, and device-change notification.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sync/clock.h"
#include "platform/sync/event.h"
#include "platform/window/device_notification.h"
#include "platform/window/message_queue.h"
#include "platform/window/messages.h"

namespace lumvek::platform::window {
namespace {

constexpr uint32_t kBoundMs = 10000;  // bound on every wait; never reached when the code works

// Collects what a handler receives, with the thread it ran on.
struct Received {
    std::mutex mutex;  // guards messages, threads
    std::vector<LumvekMsg> messages;
    std::vector<std::thread::id> threads;
    Event arrived{Event::Reset::Auto};
    size_t expected = 0;
    Event all{Event::Reset::Manual};

    static void handler(void* context, const LumvekMsg* msg) {
        auto* self = static_cast<Received*>(context);
        std::lock_guard lock(self->mutex);
        self->messages.push_back(*msg);
        self->threads.push_back(std::this_thread::get_id());
        self->arrived.set();
        if (self->messages.size() == self->expected)
            self->all.set();
    }
};

TEST(MessageWindow, PostedMessagesAreTakenInOrderWithTheirFields) {
    const HWND hwnd = createMessageWindow();
    ASSERT_NE(hwnd, nullptr);
    const uint32_t before = tickMs();
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(postMessage(hwnd, 0x8002, static_cast<uintptr_t>(i), -i));
    const uint32_t after = tickMs();
    for (int i = 0; i < 100; ++i) {
        LumvekMsg msg{};
        ASSERT_EQ(getMessage(hwnd, &msg, 0), 1);
        EXPECT_EQ(msg.hwnd, hwnd);
        EXPECT_EQ(msg.message, 0x8002u);
        EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(i));
        EXPECT_EQ(msg.lParam, -i);
        EXPECT_LE(static_cast<uint32_t>(msg.time - before), static_cast<uint32_t>(after - before));
    }
    LumvekMsg msg{};
    EXPECT_EQ(getMessage(hwnd, &msg, 0), 0);
    EXPECT_EQ(getMessage(hwnd, &msg, 5), 0);
    EXPECT_EQ(getMessage(hwnd, nullptr, 0), -1);
    EXPECT_TRUE(destroyWindow(hwnd));
}

TEST(MessageWindow, DeadNullAndInventedHandlesAreRefused) {
    const HWND hwnd = createMessageWindow();
    const HWND other = createMessageWindow();
    EXPECT_NE(hwnd, other);
    ASSERT_TRUE(destroyWindow(hwnd));
    LumvekMsg msg{};
    for (HWND bad : {hwnd, static_cast<HWND>(nullptr), reinterpret_cast<HWND>(uintptr_t{0x1234}),
                     reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(other) + 1), reinterpret_cast<HWND>(&msg)}) {
        EXPECT_FALSE(postMessage(bad, 1, 2, 3));
        EXPECT_EQ(getMessage(bad, &msg, 0), -1);
        EXPECT_FALSE(setMessageHandler(bad, &Received::handler, nullptr));
        EXPECT_FALSE(destroyWindow(bad));
        EXPECT_FALSE(isWindow(bad));
    }
    // A new window never gets a destroyed window's handle.
    const HWND later = createMessageWindow();
    EXPECT_NE(later, hwnd);
    EXPECT_EQ(getMessage(other, &msg, 0), 0);  // posts to the dead one went nowhere
    destroyWindow(other);
    destroyWindow(later);
}

TEST(MessageWindow, DestroyWakesEveryWaiter) {
    const HWND hwnd = createMessageWindow();
    std::vector<std::future<int>> waiters;
    std::atomic<int> started{0};
    for (int i = 0; i < 3; ++i) {
        waiters.push_back(std::async(std::launch::async, [&, i] {
            ++started;
            LumvekMsg msg{};
            return getMessage(hwnd, &msg, i == 0 ? -1 : 60000);
        }));
    }
    while (started < 3)
        std::this_thread::yield();
    destroyWindow(hwnd);
    for (auto& waiter : waiters) {
        ASSERT_EQ(waiter.wait_for(std::chrono::milliseconds(kBoundMs)), std::future_status::ready);
        EXPECT_EQ(waiter.get(), -1);
    }
}

TEST(MessageWindow, WaiterTakesAMessagePostedByAnotherThread) {
    const HWND hwnd = createMessageWindow();
    auto waiter = std::async(std::launch::async, [hwnd] {
        LumvekMsg msg{};
        return getMessage(hwnd, &msg, -1) == 1 ? msg.lParam : -1;
    });
    std::thread poster([hwnd] { (void)postMessage(hwnd, 0x8003, 0, 9); });
    poster.join();
    ASSERT_EQ(waiter.wait_for(std::chrono::milliseconds(kBoundMs)), std::future_status::ready);
    EXPECT_EQ(waiter.get(), 9);
    destroyWindow(hwnd);
}

TEST(MessageWindow, HandlerRunsOnItsOwnThreadInPostingOrder) {
    const HWND hwnd = createMessageWindow();
    Received received;
    received.expected = 200;
    for (int i = 0; i < 50; ++i)  // queued before the handler: delivered first
        ASSERT_TRUE(postMessage(hwnd, 0x8002, static_cast<uintptr_t>(i), 0));
    ASSERT_TRUE(setMessageHandler(hwnd, &Received::handler, &received));
    for (int i = 50; i < 200; ++i)
        ASSERT_TRUE(postMessage(hwnd, 0x8002, static_cast<uintptr_t>(i), 0));
    ASSERT_TRUE(received.all.wait(kBoundMs));
    std::lock_guard lock(received.mutex);
    for (size_t i = 0; i < received.messages.size(); ++i) {
        EXPECT_EQ(received.messages[i].wParam, i);
        EXPECT_NE(received.threads[i], std::this_thread::get_id());
    }
    LumvekMsg msg{};
    EXPECT_EQ(getMessage(hwnd, &msg, 0), 0);  // nothing left over for the queue
    destroyWindow(hwnd);
}

TEST(MessageWindow, NullHandlerReturnsToQueueing) {
    const HWND hwnd = createMessageWindow();
    Received received;
    received.expected = 1;
    ASSERT_TRUE(setMessageHandler(hwnd, &Received::handler, &received));
    ASSERT_TRUE(postMessage(hwnd, 1, 0, 0));
    ASSERT_TRUE(received.all.wait(kBoundMs));
    ASSERT_TRUE(setMessageHandler(hwnd, nullptr, nullptr));
    ASSERT_TRUE(postMessage(hwnd, 2, 0, 0));
    LumvekMsg msg{};
    ASSERT_EQ(getMessage(hwnd, &msg, static_cast<int>(kBoundMs)), 1);
    EXPECT_EQ(msg.message, 2u);
    std::lock_guard lock(received.mutex);
    EXPECT_EQ(received.messages.size(), 1u);
    destroyWindow(hwnd);
}

// A handler that posts to its own window, then destroys it from inside.
struct SelfDestroying {
    HWND hwnd = nullptr;
    std::atomic<int> calls{0};
    std::atomic<bool> repostOk{false}, destroyOk{false}, postAfterDestroy{true};
    Event done{Event::Reset::Manual};

    static void handler(void* context, const LumvekMsg* msg) {
        auto* self = static_cast<SelfDestroying*>(context);
        ++self->calls;
        if (msg->message == 1) {
            self->repostOk = postMessage(self->hwnd, 2, 0, 0);  // queued, handled after this call
            return;
        }
        self->destroyOk = destroyWindow(self->hwnd);
        self->postAfterDestroy = postMessage(self->hwnd, 3, 0, 0);
        self->done.set();
    }
};

TEST(MessageWindow, HandlerMayPostToAndDestroyItsOwnWindow) {
    // The handler may still be returning after it signals done (a destroy from
    // inside cannot wait for itself), so its context outlives the test.
    static SelfDestroying* const kept = new SelfDestroying;
    SelfDestroying& state = *kept;
    state.calls = 0;
    state.done.reset();
    state.hwnd = createMessageWindow();
    ASSERT_TRUE(setMessageHandler(state.hwnd, &SelfDestroying::handler, &state));
    ASSERT_TRUE(postMessage(state.hwnd, 1, 0, 0));
    ASSERT_TRUE(state.done.wait(kBoundMs));
    EXPECT_TRUE(state.repostOk);
    EXPECT_TRUE(state.destroyOk);
    EXPECT_FALSE(state.postAfterDestroy);
    EXPECT_EQ(state.calls, 2);
    EXPECT_FALSE(isWindow(state.hwnd));
}

// A handler held inside its call until the test lets it go.
struct Blocking {
    Event entered{Event::Reset::Manual};
    Event release{Event::Reset::Manual};
    std::atomic<bool> finished{false};

    static void handler(void* context, const LumvekMsg*) {
        auto* self = static_cast<Blocking*>(context);
        self->entered.set();
        (void)self->release.wait(kBoundMs);
        self->finished = true;
    }
};

TEST(MessageWindow, DestroyOrHandlerChangeWaitsForTheRunningHandler) {
    for (const bool destroy : {true, false}) {
        const HWND hwnd = createMessageWindow();
        Blocking blocking;
        ASSERT_TRUE(setMessageHandler(hwnd, &Blocking::handler, &blocking));
        ASSERT_TRUE(postMessage(hwnd, 1, 0, 0));
        ASSERT_TRUE(blocking.entered.wait(kBoundMs));
        std::thread releaser([&] { blocking.release.set(); });
        if (destroy)
            EXPECT_TRUE(destroyWindow(hwnd));
        else
            EXPECT_TRUE(setMessageHandler(hwnd, nullptr, nullptr));
        // Once the call returns the handler is no longer running: its
        // context may be freed.
        EXPECT_TRUE(blocking.finished);
        releaser.join();
        destroyWindow(hwnd);
    }
}

TEST(MessageWindow, ManyPostersKeepTheirOwnOrderWhileTheWindowDies) {
    const HWND hwnd = createMessageWindow();
    Received received;
    received.expected = ~size_t{0};
    ASSERT_TRUE(setMessageHandler(hwnd, &Received::handler, &received));
    constexpr int kThreads = 4, kPosts = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([hwnd, t] {
            for (int i = 0; i < kPosts; ++i)
                if (!postMessage(hwnd, static_cast<uint32_t>(t), static_cast<uintptr_t>(i), 0))
                    return;  // destroyed under us
        });
    }
    ASSERT_TRUE(received.arrived.wait(kBoundMs));
    destroyWindow(hwnd);
    for (auto& poster : posters)
        poster.join();
    std::lock_guard lock(received.mutex);
    std::vector<uintptr_t> last(kThreads, 0);
    std::vector<bool> seen(kThreads, false);
    for (const LumvekMsg& msg : received.messages) {
        ASSERT_LT(msg.message, static_cast<uint32_t>(kThreads));
        if (seen[msg.message]) {
            EXPECT_GT(msg.wParam, last[msg.message]);
        }
        seen[msg.message] = true;
        last[msg.message] = msg.wParam;
    }
}

TEST(MessageWindow, QueueNobodyReadsIsBounded) {
    const HWND hwnd = createMessageWindow();
    for (size_t i = 0; i < kMaxQueuedMessages; ++i)
        ASSERT_TRUE(postMessage(hwnd, 1, i, 0));
    EXPECT_FALSE(postMessage(hwnd, 1, 0, 0));
    LumvekMsg msg{};
    ASSERT_EQ(getMessage(hwnd, &msg, 0), 1);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_TRUE(postMessage(hwnd, 1, 0, 0));
    destroyWindow(hwnd);
}

TEST(DeviceNotification, RegisteredLiveWindowsGetOneDeviceChangeEach) {
    const HWND first = createMessageWindow();
    const HWND second = createMessageWindow();
    const HWND quiet = createMessageWindow();
    ASSERT_TRUE(registerDeviceNotification(first));
    ASSERT_TRUE(registerDeviceNotification(first));  // twice: still one message
    ASSERT_TRUE(registerDeviceNotification(second));
    EXPECT_FALSE(registerDeviceNotification(reinterpret_cast<HWND>(uintptr_t{0x77})));
    destroyWindow(second);

    EXPECT_EQ(postDeviceChange(DBT_DEVICEARRIVAL), 1);
    EXPECT_EQ(postDeviceChange(DBT_DEVICEREMOVECOMPLETE), 1);
    LumvekMsg msg{};
    ASSERT_EQ(getMessage(first, &msg, 0), 1);
    EXPECT_EQ(msg.message, WM_DEVICECHANGE);
    EXPECT_EQ(msg.wParam, DBT_DEVICEARRIVAL);
    EXPECT_EQ(msg.lParam, 0);
    ASSERT_EQ(getMessage(first, &msg, 0), 1);
    EXPECT_EQ(msg.wParam, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(getMessage(first, &msg, 0), 0);
    EXPECT_EQ(getMessage(quiet, &msg, 0), 0);
    EXPECT_TRUE(unregisterDeviceNotification(first));
    EXPECT_FALSE(unregisterDeviceNotification(first));
    destroyWindow(first);
    destroyWindow(quiet);
}

} // namespace
} // namespace lumvek::platform::window
