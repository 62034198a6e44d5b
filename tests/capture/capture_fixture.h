#pragma once
// An SDK instance over the real camera layer, with simulated cameras in the
// test process, an isolated settings store and a message window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instance/lumvek.h"
#include "platform/window/messages.h"
#include "sim/in_process_camera.h"
#include "settings/registry_key.h"
#include "support/test_env.h"

namespace lumvek::test {

// A binary PGM: 8-bit when maxval < 256, else 16-bit big-endian.
inline std::string writePgm(const std::string& path, int width, int height, int maxval,
                            const std::vector<uint16_t>& samples) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << width << " " << height << "\n" << maxval << "\n";
    for (uint16_t s : samples) {
        if (maxval < 256) {
            out.put(static_cast<char>(s));
        } else {
            out.put(static_cast<char>(s >> 8));
            out.put(static_cast<char>(s & 0xFF));
        }
    }
    return path;
}

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest()
        : registry_("LUMVEK_REGISTRY_FILE", (makeTempDir("capture") / "registry.sqlite3").string()),
          window_(platform::window::createMessageWindow()) {}
    ~CaptureTest() override {
        instance_.reset();
        cameras_.clear();
        platform::window::destroyWindow(window_);
    }

    sim::InProcessCamera& addCamera(const std::string& description) {
        std::string error;
        auto camera = sim::InProcessCamera::create(description, error);
        EXPECT_TRUE(camera) << error;
        cameras_.push_back(std::move(camera));
        return *cameras_.back();
    }

    CLumvek& start() {
        instance_ = std::make_unique<CLumvek>();
        EXPECT_EQ(instance_->Initialize(window_), 1);
        return *instance_;
    }

    // An instrumented build processes a full frame many times slower.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    static constexpr int kMessageWaitMs = 60000;
#else
    static constexpr int kMessageWaitMs = 5000;
#endif

    // Waits for the next message of this kind; false when none came in time.
    bool waitMessage(uint32_t message, LumvekMsg& out, int timeoutMs = kMessageWaitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  deadline - std::chrono::steady_clock::now())
                                                  .count());
            if (platform::window::getMessage(window_, &out, std::max(left, 1)) != 1) {
                return false;
            }
            if (out.message == message) {
                return true;
            }
        }
        return false;
    }

    // A buffer that outlives the instance (the frame loop may write into it
    // until the instance is gone).
    std::vector<uint8_t>& callbackBuffer(size_t bytes) {
        buffers_.emplace_back(std::make_unique<std::vector<uint8_t>>(bytes));
        return *buffers_.back();
    }

    void drainMessages() {
        LumvekMsg msg{};
        while (platform::window::getMessage(window_, &msg, 0) == 1) {
        }
    }

    ScopedEnv registry_;
    HWND window_;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> buffers_;
    std::vector<std::unique_ptr<sim::InProcessCamera>> cameras_;
    std::unique_ptr<CLumvek> instance_;
};

} // namespace lumvek::test
