// The capture-window rule every interface shares, and camera ids read from
// the open-device table.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "camera/camera_identity.h"
#include "camera/window_rule.h"
#include "platform/fx3/fx3_driver.h"

namespace lumvek {
namespace {

WindowLimits ccd() {
    WindowLimits limits;
    limits.fullWidth = 2336;
    limits.fullHeight = 1752;
    limits.freeWidth = false;
    limits.freeHeight = false;
    return limits;
}

WindowLimits family() {
    WindowLimits limits;
    limits.fullWidth = 1280;
    limits.fullHeight = 1024;
    limits.minWidth = 16;
    limits.maxSubSample = 2;
    return limits;
}

TEST(WindowRule, AWholeFrameCameraTakesOnlyTheFullSensor) {
    EXPECT_EQ(windowRuleProblem(ccd(), {0, 0, 2336, 1752, 0}), "");
    const std::string problem = windowRuleProblem(ccd(), {100, 100, 640, 480, 0});
    EXPECT_EQ(problem,
              "capture window 640 x 480 at (100, 100) refused: this camera cannot narrow the width: width must be "
              "2336 and x 0; accepted: width 2336 at x 0 (the camera reads out whole rows); height 1752 at y 0 "
              "(the camera reads out whole columns); sub-sample 0 (full resolution) only");
    // Full width at an offset is refused too, and the height is checked once the width passes.
    EXPECT_NE(windowRuleProblem(ccd(), {4, 0, 2336, 1752, 0}).find("width must be 2336 and x 0"), std::string::npos);
    EXPECT_NE(windowRuleProblem(ccd(), {0, 0, 2336, 1000, 0}).find("cannot narrow the height"), std::string::npos);
}

TEST(WindowRule, AFreeSensorNamesTheFirstBrokenLimit) {
    const WindowLimits limits = family();
    EXPECT_EQ(windowRuleProblem(limits, {0, 0, 16, 1, 0}), "");
    EXPECT_EQ(windowRuleProblem(limits, {1264, 1023, 16, 1, 2}), "");
    const auto rule = [&](RequestedWindow r) {
        const std::string text = windowRuleProblem(limits, r);
        const size_t from = text.find("refused: ");
        const size_t to = text.find("; accepted: ");
        return from == std::string::npos || to == std::string::npos ? text : text.substr(from + 9, to - from - 9);
    };
    EXPECT_EQ(rule({0, 0, 15, 10, 0}), "width 15 is below the minimum 16");
    EXPECT_EQ(rule({0, 0, 1281, 10, 0}), "width 1281 is larger than the sensor's 1280");
    EXPECT_EQ(rule({-1, 0, 16, 10, 0}), "x -1 is negative");
    EXPECT_EQ(rule({1270, 0, 16, 10, 0}), "x + width = 1286 passes the sensor's edge at 1280");
    EXPECT_EQ(rule({0, 1000, 16, 25, 0}), "y + height = 1025 passes the sensor's edge at 1024");
    EXPECT_EQ(rule({0, 0, 16, 0, 0}), "height 0 is below the minimum 1");
    EXPECT_EQ(rule({0, 0, 16, 8, 3}), "sub-sample mode 3 is not taken");
    // No overflow at the edges of int.
    EXPECT_EQ(rule({2147483000, 0, 1000, 1, 0}), "x + width = 2147484000 passes the sensor's edge at 1280");
}

TEST(WindowRule, TheAcceptedPartListsEverySide) {
    EXPECT_EQ(acceptedWindows(family()),
              "width 16..1280 with x >= 0 and x + width <= 1280; height 1..1024 with y >= 0 and y + height <= 1024; "
              "sub-sample 0..2");
}

usb::DeviceTable tableOf(std::initializer_list<std::pair<uint16_t, std::string>> cameras) {
    usb::DeviceTable table;
    table.reset();
    std::map<uint16_t, int> numbers;
    for (const auto& [product, instance] : cameras) {
        usb::DeviceEntry& entry = table.entries[static_cast<size_t>(table.entryCount++)];
        entry.vendorId = 0x04B4;
        entry.productId = product;
        entry.deviceNumber = numbers[product]++;
        entry.setPath(fx3::formatDevicePath(0x04B4, product, instance));
    }
    return table;
}

TEST(CameraIdentity, IdsAreTheInstancePartOfEachPath) {
    const usb::DeviceTable table = tableOf({{0x3090, "SN-4711"}, {0x3200, "usb2-1.4"}, {0x3090, "cam1"}});
    const auto cameras = identifiedCameras(table);
    ASSERT_EQ(cameras.size(), 3u);
    EXPECT_EQ(cameras[0].id, "SN-4711");
    EXPECT_EQ(cameras[1].id, "usb2-1.4");
    EXPECT_EQ(cameras[2].id, "cam1");
    EXPECT_EQ(cameras[2].deviceNumber, 1);
    EXPECT_EQ(cameras[2].entry, 2);

    const auto found = findCameraById(table, "cam1", 0x3090);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->deviceNumber, 1);
    EXPECT_EQ(found->productId, 0x3090);
    EXPECT_FALSE(findCameraById(table, "usb2-1.4", 0x3090)) << "another product's camera";
    EXPECT_TRUE(findCameraById(table, "usb2-1.4", 0));
    EXPECT_FALSE(findCameraById(table, "CAM1", 0)) << "ids match exactly";
    EXPECT_FALSE(findCameraById(table, "", 0));
}

TEST(CameraIdentity, FreeEntriesAndForeignPathsHaveNoId) {
    usb::DeviceTable table = tableOf({{0x3090, "cam0"}});
    table.entries[1].productId = 0x3090;  // counted, but its path is not a device path
    table.entries[1].setPath("/dev/something");
    table.entryCount = 2;
    EXPECT_EQ(cameraIdOfEntry(table.entries[1]), "");
    EXPECT_EQ(cameraIdOfEntry(table.entries[5]), "");
    table.entryCount = 99;  // a count from a damaged block is clamped
    EXPECT_EQ(identifiedCameras(table).size(), 2u);
}

} // namespace
} // namespace lumvek
