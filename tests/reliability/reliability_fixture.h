#pragma once
// In-process simulated cameras for the reliability tests, the same list in
// every test process (the library reads it once), and small helpers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "LumvekSdk.h"
#include "LumvekWindow.h"

namespace lumvek::test {

// Device numbers in discovery order: 0 streams well, 1 stalls every bulk read
// for two seconds, 2 announces (and sends) half frames for its first frames.
constexpr int kGoodCamera = 0;
constexpr int kStalledCamera = 1;
constexpr int kUndersizedCamera = 2;
// The fault matrix's cameras follow (fault_matrix_test.cpp), one per fault.
constexpr const char* kCameras =
    "product=0x3090,name=good,fps=20,pattern=chart;"
    "product=0x3090,name=stalled,fps=20,pattern=chart,stall-ms=2000;"
    "product=0x3090,name=under,fps=20,pattern=chart,undersize=4;"
    "product=0x3090,name=f-drop,fps=20,pattern=chart,drop-headers=3;"
    "product=0x3090,name=f-short,fps=20,pattern=chart,short-data=2;"
    "product=0x3090,name=f-under,fps=20,pattern=chart,undersize=2;"
    "product=0x3090,name=f-over,fps=20,pattern=chart,oversize=2;"
    "product=0x3090,name=f-stall,fps=20,pattern=chart,stall-ms=300;"
    "product=0x3090,name=f-rate,fps=20,pattern=chart,rate=40";
constexpr int kFirstFaultCamera = 3;

class Reliability : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("LUMVEK_SIM_CAMERAS", kCameras, 1);
        // Slow every export by up to 300 us at random, so that other threads
        // land between finding an instance and using it.
        setenv("LUMVEK_RACE_DELAY_US", "300", 1);
    }

    // A fresh instance on camera `number`, 8-bit frames.
    int32_t open(int number) {
        const int32_t handle = Lumvek_Initialize(nullptr);
        EXPECT_NE(handle, 0);
        EXPECT_EQ(Lumvek_SetDeviceNumber(handle, number), 1);
        EXPECT_EQ(Lumvek_SetColorMode(handle, 8), 1);
        return handle;
    }
};

// Instrumented builds process a full frame many times slower: every bound
// of these tests is that much longer there.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 10;
#else
constexpr int kSlowdown = 1;
#endif

// Polls until condition holds or timeoutMs pass; the condition's last value.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace lumvek::test
