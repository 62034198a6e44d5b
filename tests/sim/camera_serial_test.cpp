// The serial-number string of a simulated camera's description.
#include <gtest/gtest.h>

#include <string>

#include "sim/camera_description.h"

namespace lumvek::sim {
namespace {

TEST(CameraSerial, EveryCameraHasOneOfItsOwnUnlessToldNone) {
    std::string error;
    CameraDescription named;
    ASSERT_TRUE(parseCameraDescription("product=0x3090,name=left", named, error)) << error;
    EXPECT_EQ(named.serialNumber(), "left") << "the name, unique among the cameras, unless told";
    CameraDescription given;
    ASSERT_TRUE(parseCameraDescription("name=left,serial=SN-0042", given, error)) << error;
    EXPECT_EQ(given.serialNumber(), "SN-0042");
    CameraDescription none;
    ASSERT_TRUE(parseCameraDescription("name=left,serial=", none, error)) << error;
    EXPECT_EQ(none.serialNumber(), "");
    CameraDescription bad;
    EXPECT_FALSE(parseCameraDescription("name=left,serial=a/b", bad, error));
    EXPECT_NE(error.find("serial 'a/b' must be"), std::string::npos) << error;
}

} // namespace
} // namespace lumvek::sim
