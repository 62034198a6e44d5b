#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sync/clock.h"
#include "platform/sync/event.h"

using lumvek::platform::Event;

TEST(Event, AutoResetReleasesOneWaitAndClears) {
    Event event(Event::Reset::Auto);
    EXPECT_FALSE(event.wait(0));
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.wait(0));
}

TEST(Event, AskingWhetherItIsSetLeavesItAsItIs) {
    Event automatic(Event::Reset::Auto);
    EXPECT_FALSE(automatic.isSet());
    automatic.set();
    EXPECT_TRUE(automatic.isSet());
    EXPECT_TRUE(automatic.isSet());
    EXPECT_TRUE(automatic.wait(0));
    EXPECT_FALSE(automatic.isSet());

    Event manual(Event::Reset::Manual, true);
    EXPECT_TRUE(manual.isSet());
    manual.reset();
    EXPECT_FALSE(manual.isSet());
}

TEST(Event, ManualResetStaysSetUntilReset) {
    Event event(Event::Reset::Manual, true);
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0));
    event.reset();
    EXPECT_FALSE(event.wait(0));
}

TEST(Event, TimedWaitExpiresAndWakesOnSetFromAnotherThread) {
    Event event(Event::Reset::Auto);
    const uint32_t start = lumvek::platform::tickMs();
    EXPECT_FALSE(event.wait(30));
    EXPECT_GE(lumvek::platform::tickMs() - start, 25u);

    std::thread setter([&] { event.set(); });
    EXPECT_TRUE(event.wait(5000));
    setter.join();
}

TEST(Event, ManualResetWakesEveryWaiter) {
    Event event(Event::Reset::Manual);
    std::atomic<int> woken{0};
    std::thread a([&] { woken += event.wait(5000) ? 1 : 0; });
    std::thread b([&] { woken += event.wait(5000) ? 1 : 0; });
    event.set();
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 2);
}
