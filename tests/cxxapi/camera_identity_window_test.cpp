// lumvek::Camera: opening by id, the window rule in words, and the Bayer
// order under the mirrors. The same simulated cameras as the other suite of
// this program (the library makes them once per process).
#include <gtest/gtest.h>

#include <cstdlib>
#include <lumvek/camera.hpp>
#include <string>

namespace {

class CameraIdentityWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("LUMVEK_SIM_CAMERAS",
                 "product=0x32D0,name=r12,pattern=ramp;product=0x3180,name=r05;"
                 "product=0x3090,name=r13;product=0x3220,name=g1467x",
                 1);
    }
};

TEST_F(CameraIdentityWindow, EveryCameraIsListedAndOpenedByItsId) {
    const auto cameras = lumvek::listCameras();
    ASSERT_EQ(cameras.size(), 4u);
    for (const auto& entry : cameras) {
        lumvek::Error error{};
        auto camera = lumvek::Camera::open(entry.id, error);
        ASSERT_TRUE(camera) << entry.id << ": " << lumvek::errorText(error);
        EXPECT_EQ(camera->productId(), entry.productId);
        EXPECT_EQ(camera->deviceNumber(), entry.deviceNumber);
        EXPECT_EQ(camera->id(), entry.id);
    }
    lumvek::Error error{};
    auto byNumber = lumvek::Camera::open(0x3180, 0, error);
    ASSERT_TRUE(byNumber);
    EXPECT_EQ(byNumber->id(), "r05");
    EXPECT_FALSE(lumvek::Camera::open("r99", error));
    EXPECT_EQ(error, lumvek::Error::NotFound);
    EXPECT_FALSE(lumvek::Camera::open(std::string_view(), error));
    EXPECT_EQ(error, lumvek::Error::NotFound);
}

TEST_F(CameraIdentityWindow, AWholeFrameCameraRefusesANarrowWindowAndSaysWhy) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open("r13", error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    std::string reason;
    EXPECT_EQ(camera->setWindow({100, 100, 640, 480, 0}, reason), lumvek::Error::InvalidArgument);
    EXPECT_EQ(reason.rfind("capture window 640 x 480 at (100, 100) refused: this camera cannot narrow the width", 0),
              0u)
        << reason;
    EXPECT_NE(reason.find("accepted: width 2336 at x 0"), std::string::npos) << reason;
    EXPECT_EQ(camera->windowProblem({100, 100, 640, 480, 0}), reason);
    // The window stays as it was, and the full frame is taken.
    EXPECT_EQ(camera->window().width, 2336);
    EXPECT_EQ(camera->setWindow({0, 0, 2336, 1752, 0}, reason), lumvek::Error::None);
    EXPECT_EQ(reason, "");
}

TEST_F(CameraIdentityWindow, AWindowingSensorNamesTheLimitBroken) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open("r12", error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    std::string reason;
    EXPECT_EQ(camera->setWindow({0, 0, 8, 8, 0}, reason), lumvek::Error::InvalidArgument);
    EXPECT_NE(reason.find("refused: width 8 is below the minimum 16; accepted: width 16..4096"), std::string::npos)
        << reason;
    EXPECT_NE(camera->windowProblem({0, 0, 64, 64, 3}).find("sub-sample mode 3 is not taken"), std::string::npos);
    EXPECT_NE(camera->windowProblem({4090, 0, 16, 16, 0}).find("x + width = 4106 passes the sensor's edge at 4096"),
              std::string::npos);
    EXPECT_EQ(camera->setWindow({32, 16, 64, 48, 0}, reason), lumvek::Error::None) << reason;
    EXPECT_EQ(camera->frameBytes(), 64u * 48);
    EXPECT_EQ(camera->setWindow({0, 0, 8, 8, 0}), lumvek::Error::InvalidArgument);
    EXPECT_EQ(camera->frameBytes(), 64u * 48) << "a refused window changes nothing";
}

TEST_F(CameraIdentityWindow, TheBayerOrderFollowsTheMirrors) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open("r12", error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    struct Case {
        bool h, v;
        lumvek::BayerOrder order;
        const char* name;
    };
    for (const Case c : {Case{false, false, lumvek::BayerOrder::BGGR, "bggr"},
                         Case{true, false, lumvek::BayerOrder::GBRG, "gbrg"},
                         Case{false, true, lumvek::BayerOrder::GRBG, "grbg"},
                         Case{true, true, lumvek::BayerOrder::RGGB, "rggb"}}) {
        ASSERT_EQ(camera->setMirror(c.h, c.v), lumvek::Error::None);
        EXPECT_EQ(camera->bayerOrder(), c.order) << "mirror h " << c.h << " v " << c.v;
        EXPECT_STREQ(lumvek::bayerOrderName(camera->bayerOrder()), c.name);
    }
    EXPECT_STREQ(lumvek::bayerOrderName(lumvek::BayerOrder::None), "none");
}

} // namespace
