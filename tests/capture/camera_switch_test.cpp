// One instance, two simulated cameras: one thread switches between them
// while others ask for the camera's description, names, gains, exposure and
// channel values. Every answer must come from a whole camera (never from one
// half replaced), and nothing may crash or race (this suite runs under
// ThreadSanitizer in CI).
#include <atomic>
#include <cstring>
#include <thread>

#include "capture_fixture.h"

namespace lumvek::test {
namespace {

// The readers run until the last switch is done.
constexpr int kSwitches = 6;
constexpr int kGlobalGainSelector = 13;
constexpr int kExposureSelector = 18;
constexpr int kChannelGain1Selector = 29;

class CameraSwitchTest : public CaptureTest {
protected:
    void SetUp() override {
        addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
        addCamera("product=0x3090,name=cam1,fps=40,pattern=ramp");
        start();
        ASSERT_EQ(instance_->SetDeviceNumber(0), 1);
    }

    // Runs reader on `threads` threads while this thread switches cameras
    // kSwitches times, and returns how many turns they made in all.
    template <typename Reader>
    int whileSwitching(int threads, Reader reader) {
        std::atomic<bool> done{false};
        std::atomic<int> turns{0};
        std::vector<std::thread> readers;
        for (int t = 0; t < threads; ++t) {
            readers.emplace_back([&, t] {
                for (int i = 0; !done.load(); ++i) {
                    reader(t, i);
                    turns.fetch_add(1);
                }
            });
        }
        for (int s = 1; s <= kSwitches; ++s) {
            EXPECT_EQ(instance_->SetDeviceNumber(s % 2), 1) << "switch " << s;
        }
        done = true;
        for (auto& thread : readers) {
            thread.join();
        }
        return turns.load();
    }
};

TEST_F(CameraSwitchTest, DescriptionAndNamesAlwaysDescribeAWholeCamera) {
    std::atomic<int> bad{0};
    const int turns = whileSwitching(3, [&](int t, int i) {
        if (t == 0) {
            alignas(8) uint8_t bytes[64];
            std::memset(bytes, 0, sizeof bytes);
            auto* info = reinterpret_cast<LumvekCameraInfo*>(bytes);
            info->size = 56;
            // A sensor driver being replaced answers with zero ranges.
            if (instance_->GetCameraInfo(info) != 1 || info->fullWidth != 2336 || info->globalGainMax <= 0 ||
                info->globalGainMin > info->globalGainMax || info->exposureMax <= 0 ||
                info->exposureMin > info->exposureMax) {
                if (bad.fetch_add(1) == 0) {
                    ADD_FAILURE() << "camera info: gain " << info->globalGainMin << ".." << info->globalGainMax
                                  << ", exposure " << info->exposureMin << ".." << info->exposureMax;
                }
            }
        } else if (t == 1) {
            char name[64] = {};
            if (instance_->GetDeviceName(i % 2, name, sizeof name) != 1 ||
                std::strcmp(name, i % 2 == 0 ? "LumvekR13-USB3-K7_01" : "LumvekR13-USB3-K7_02") != 0) {
                if (bad.fetch_add(1) == 0) {
                    ADD_FAILURE() << "name of " << i % 2 << ": " << name;
                }
            }
        } else {
            char names[10][256];
            if (instance_->EnumDevice(names) != 2 || std::strcmp(names[1], "LumvekR13-USB3-K7_02") != 0) {
                if (bad.fetch_add(1) == 0) {
                    ADD_FAILURE() << "second name: " << names[1];
                }
            }
        }
    });
    EXPECT_GT(turns, 0);
    EXPECT_EQ(bad.load(), 0);
}

TEST_F(CameraSwitchTest, GainsExposureAndChannelValuesStayInTheirRanges) {
    LumvekCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(instance_->GetCameraInfo(&info), 1);
    std::atomic<int> bad{0};
    const int turns = whileSwitching(3, [&](int t, int i) {
        int ok = 0;
        if (t == 0) {
            const int gain = instance_->GetFilterValue(kGlobalGainSelector, &ok);
            if (ok != 1 || gain < info.globalGainMin || gain > info.globalGainMax) {
                bad.fetch_add(1);
            }
            const int exposure = instance_->GetFilterValue(kExposureSelector, &ok);
            if (ok != 1 || exposure < info.exposureMin || exposure > info.exposureMax) {
                bad.fetch_add(1);
            }
        } else if (t == 1) {
            const int value = info.globalGainMin + i % (info.globalGainMax - info.globalGainMin + 1);
            if (instance_->SetFilterValue(kGlobalGainSelector, value) != 1) {
                bad.fetch_add(1);
            }
            const double seconds = instance_->GetExposureTimeEx(&ok);
            if (ok == 1 && !(seconds > 0.0 && seconds <= info.exposureMaxSeconds)) {
                bad.fetch_add(1);
            }
        } else {
            const int value = 0x100 + i % 0x100;
            if (instance_->SetFilterValue(kChannelGain1Selector, value) != 1) {
                bad.fetch_add(1);
            }
            const int read = instance_->GetFilterValue(kChannelGain1Selector, &ok);
            // Another camera may have been selected in between: its value
            // came from its own serial ROM, still a 16-bit word.
            if (ok != 1 || read < 0 || read > 0xFFFF) {
                bad.fetch_add(1);
            }
        }
    });
    EXPECT_GT(turns, 0);
    EXPECT_EQ(bad.load(), 0);
}

} // namespace
} // namespace lumvek::test
