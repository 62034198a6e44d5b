// The flat C library and the C++ camera interface in one process stand on
// one core: a camera plugged into the process's in-process bus is one device
// for both faces, with one device table and one open-device state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "LumvekSdk.h"
#include "lumvek/camera.hpp"
#include "sim/in_process_camera.h"

namespace {

constexpr int kR13Product = 0x3090;

int countOfProduct(const std::vector<lumvek::CameraEntry>& cameras, int productId, bool openableOnly) {
    int count = 0;
    for (const auto& entry : cameras) {
        if (entry.productId == productId && (!openableOnly || entry.openable)) {
            ++count;
        }
    }
    return count;
}

int enumeratedThroughTheCApi() {
    const int32_t handle = Lumvek_Initialize(nullptr);
    EXPECT_NE(handle, 0);
    char names[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES] = {};
    const int count = Lumvek_EnumDevice(handle, names);
    EXPECT_EQ(Lumvek_Release(handle), 1);
    return count;
}

class OneCore : public ::testing::Test {
protected:
    void SetUp() override {
        // Only the camera plugged in below: none from the environment.
        ::unsetenv("LUMVEK_SIM_CAMERAS");
        std::string error;
        camera_ = lumvek::sim::InProcessCamera::create("product=0x3090,name=onecore,pattern=ramp", error);
        ASSERT_NE(camera_, nullptr) << error;
    }

    size_t requestsSeen() { return camera_->device().log().requests().size(); }

    std::unique_ptr<lumvek::sim::InProcessCamera> camera_;
};

TEST_F(OneCore, ACameraPluggedIntoTheProcessIsOneDeviceForBothFaces) {
    // Each face had its own bus before: the camera was invisible to both.
    EXPECT_EQ(countOfProduct(lumvek::listCameras(), kR13Product, true), 1);
    EXPECT_EQ(enumeratedThroughTheCApi(), 1);

    // Both faces' requests reach the very device object the test holds.
    const size_t beforeC = requestsSeen();
    const int32_t handle = Lumvek_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    const size_t afterC = requestsSeen();
    EXPECT_GT(afterC, beforeC) << "opening through the C API never reached the plugged-in camera";
    ASSERT_EQ(Lumvek_Release(handle), 1);

    lumvek::Error error = lumvek::Error::None;
    auto camera = lumvek::Camera::open(kR13Product, 0, error);
    ASSERT_NE(camera, nullptr) << lumvek::errorText(error);
    EXPECT_GT(requestsSeen(), afterC) << "opening through the C++ interface never reached the plugged-in camera";
}

TEST_F(OneCore, BothFacesNumberTheCamerasAlikeAndReachTheSameOneByNumber) {
    std::string error;
    auto second = lumvek::sim::InProcessCamera::create("product=0x3090,name=onecore2,pattern=chart", error);
    ASSERT_NE(second, nullptr) << error;

    const auto cameras = lumvek::listCameras();
    ASSERT_EQ(countOfProduct(cameras, kR13Product, true), 2);
    const int32_t handle = Lumvek_Initialize(nullptr);  // two cameras: none opened yet
    ASSERT_NE(handle, 0);
    char names[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES] = {};
    ASSERT_EQ(Lumvek_EnumDevice(handle, names), 2);

    // Device number 1 through the C API, then through the C++ interface: the
    // same one of the two device objects answers both times.
    const size_t firstBefore = requestsSeen();
    const size_t secondBefore = second->device().log().requests().size();
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle, 1), 1);
    const size_t firstAfterC = requestsSeen();
    const size_t secondAfterC = second->device().log().requests().size();
    const bool cReachedSecond = secondAfterC > secondBefore;
    EXPECT_NE(cReachedSecond, firstAfterC > firstBefore) << "device number 1 reached both cameras or neither";
    ASSERT_EQ(Lumvek_Release(handle), 1);

    lumvek::Error openError = lumvek::Error::None;
    const size_t firstBeforeCxx = requestsSeen();
    const size_t secondBeforeCxx = second->device().log().requests().size();
    auto camera = lumvek::Camera::open(kR13Product, 1, openError);
    ASSERT_NE(camera, nullptr) << lumvek::errorText(openError);
    const bool cxxReachedSecond = second->device().log().requests().size() > secondBeforeCxx;
    EXPECT_NE(cxxReachedSecond, requestsSeen() > firstBeforeCxx);
    EXPECT_EQ(cxxReachedSecond, cReachedSecond) << "the faces number the cameras differently";
}

TEST_F(OneCore, AnUnpluggedCameraLeavesBothFaces) {
    camera_->unplug();
    EXPECT_EQ(countOfProduct(lumvek::listCameras(), kR13Product, false), 0);
    EXPECT_EQ(enumeratedThroughTheCApi(), 0);

    camera_->replug();
    EXPECT_EQ(countOfProduct(lumvek::listCameras(), kR13Product, true), 1);
    EXPECT_EQ(enumeratedThroughTheCApi(), 1);
}

} // namespace
