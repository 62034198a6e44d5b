#pragma once
// An SDK instance with a scripted camera device object, an isolated settings
// store and a message window to watch what it posts.
#include <gtest/gtest.h>

#include <memory>

#include "instance/lumvek.h"
#include "platform/window/messages.h"
#include "scripted_device.h"
#include "support/test_env.h"

namespace lumvek::test {

// The factory hands over the device the test prepared; the test keeps a
// borrowed pointer to it for as long as the instance lives.
inline std::unique_ptr<ScriptedDevice>& pendingDevice() {
    static std::unique_ptr<ScriptedDevice> device;
    return device;
}
inline std::unique_ptr<CameraDevice> takePendingDevice() {
    return std::move(pendingDevice());
}
inline std::unique_ptr<CameraDevice> noDevice() {
    return nullptr;
}

class InstanceTest : public ::testing::Test {
protected:
    InstanceTest()
        : registry_("LUMVEK_REGISTRY_FILE", (makeTempDir("instance") / "registry.sqlite3").string()),
          window_(platform::window::createMessageWindow()) {}
    ~InstanceTest() override {
        instance_.reset();
        platform::window::destroyWindow(window_);
    }

    // Makes and initialises an instance over a fresh scripted device.
    CLumvek& start(std::unique_ptr<ScriptedDevice> device = std::make_unique<ScriptedDevice>()) {
        device_ = device.get();
        pendingDevice() = std::move(device);
        instance_ = std::make_unique<CLumvek>(&takePendingDevice);
        EXPECT_EQ(instance_->Initialize(window_), 1);
        return *instance_;
    }

    // Every error code posted to the window so far, oldest first.
    std::vector<intptr_t> postedErrors() {
        std::vector<intptr_t> codes;
        LumvekMsg msg{};
        while (platform::window::getMessage(window_, &msg, 0) == 1) {
            if (msg.message == LUMVEK_WM_ERROR) {
                codes.push_back(msg.lParam);
            }
        }
        return codes;
    }

    ScopedEnv registry_;
    HWND window_;
    ScriptedDevice* device_ = nullptr;
    std::unique_ptr<CLumvek> instance_;
};

} // namespace lumvek::test
