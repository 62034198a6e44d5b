// Counts the allocations the frame thread makes once preview runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <pthread.h>
#include <thread>

#include "instance/lumvek.h"
#include "sim/in_process_camera.h"
#include "support/test_env.h"

namespace {

std::atomic<long> frameThreadAllocations{0};

// Whether the calling thread is the instance's frame thread; decided once
// per thread, after the thread has been named.
bool onFrameThread() {
    thread_local int state = -1;
    if (state < 0) {
        char name[32] = {};
        if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) {
            return false;
        }
        if (std::strcmp(name, "lumvek-frames") != 0) {
            return false;  // not (yet) named: ask again next time
        }
        state = 1;
    }
    return state == 1;
}

} // namespace

// Replacements of the global allocation functions: malloc and free
// underneath, counting what the frame thread asks for.
void* operator new(std::size_t size) {
    if (onFrameThread()) {
        frameThreadAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace lumvek;

// The count is only worth its zero if it sees the frame thread at all: a
// thread of that name, asking for memory, is counted (on Windows too, where
// the name lives in winpthreads).
TEST(FrameLoopAllocationCounter, CountsWhatAThreadNamedLikeTheFrameThreadAsksFor) {
    const long before = frameThreadAllocations.load();
    std::thread named([] {
        ASSERT_EQ(pthread_setname_np(pthread_self(), "lumvek-frames"), 0);
        ::operator delete(::operator new(16));  // a call, which the compiler may not leave out
    });
    named.join();
    EXPECT_EQ(frameThreadAllocations.load() - before, 1);
    ::operator delete(::operator new(16));  // this thread is not counted
    EXPECT_EQ(frameThreadAllocations.load() - before, 1);
}

class FrameLoopAllocations : public ::testing::TestWithParam<int> {};

TEST_P(FrameLoopAllocations, NoneOnceTheFirstFramesHavePassed) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers replace the allocator";
#endif
    test::ScopedEnv registry("LUMVEK_REGISTRY_FILE", (test::makeTempDir("alloc") / "r.sqlite3").string());
    std::string error;
    auto camera = sim::InProcessCamera::create("product=0x3090,name=cam0,fps=40,pattern=chart", error);
    ASSERT_TRUE(camera) << error;
    const int bits = GetParam();
    std::vector<uint8_t> buffer(static_cast<size_t>(2336) * 8 * 1752);
    {
        CLumvek instance;
        ASSERT_EQ(instance.Initialize(nullptr), 1);
        ASSERT_EQ(instance.SetColorMode(bits), 1);
        ASSERT_EQ(instance.SetFilterValue(11, 150), 1);  // gamma
        ASSERT_EQ(instance.SetFilterValue(5, 8), 1);     // sharpness
        ASSERT_EQ(instance.SetFilterValue(3, 20), 1);    // hue
        ASSERT_EQ(instance.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(instance.CallBackPreview(nullptr, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
        // Let the first frames settle (tables, first-use work), then count.
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        const long before = frameThreadAllocations.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const long during = frameThreadAllocations.load() - before;
        ASSERT_EQ(instance.StopPreview(), 1);
        EXPECT_EQ(during, 0) << "mode " << bits;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryColourMode, FrameLoopAllocations, ::testing::Values(8, 16, 24, 32, 48, 64));
