// The product table and sensor factory, product by product: driver class,
// I2C address, variant code, device name and the driver's basic constants,
// against an expectations table kept apart from the library's rows.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "camera/product_table.h"
#include "camera/sensor_factory.h"
#include "recording_controller.h"
#include "sensors/family/family_drivers.h"

namespace lumvek {
namespace {

template <class T>
bool isA(const CSensorBase* sensor) {
    return dynamic_cast<const T*>(sensor) != nullptr;
}

struct ProductExpectation {
    int productId;
    const char* nameOfNumber3;  // null: no device name
    bool (*isDriver)(const CSensorBase*);
    uint8_t address;
    int variant;  // the driver's model code after the factory; 0 = none
    int maxWidth;
    int maxHeight;
    int clockKHz;
    int orientation;
};

const ProductExpectation kExpectations[] = {
    {0x3030, "Lumvek-D03-USB3-K7_03", isA<CSensorMT9P001>, 0x90, 0, 2592, 1944, 96000, 0},
    {0x3040, "Lumvek-D02-USB3-K7_03", isA<CSensorMT9J001>, 0x20, 0, 3856, 2764, 80000, 0},
    {0x3042, "Lumvek-D05-USB3-K7_03", isA<CSensorMT9J001>, 0x20, 0, 3856, 2764, 80000, 0},
    {0x3050, "Lumvek-D04-USB3-K7_03", isA<CSensorICX274>, 0, 0, 1600, 1200, 60000, 0},
    {0x3090, "Lumvek-D08-USB3-K7_03", isA<CSensorR13>, 0, 0, 2336, 1752, 60000, 4},
    {0x30B0, "Lumvek-D10-USB3-K7_03", isA<CSensorR07>, 0, 0, 4896, 3264, 40000, 0},
    {0x30C0, "Lumvek-D09-USB3-K7_03", isA<CSensorR11>, 0, 0, 6576, 4384, 40000, 0},
    {0x30F0, "Lumvek-D06-USB3-K7_03", isA<CSensorIMX178>, 0x48, 0, 3072, 2048, 364000, 0},
    {0x3100, "Lumvek-D07-USB3-K7_03", isA<CSensorIMX174>, 0x48, 0, 1920, 1200, 74250, 0},
    {0x3110, "Lumvek-D12-USB3-K7_03", isA<CSensorIMX183>, 0x48, 0, 5520, 3680, 72000, 0},
    {0x3120, "Lumvek-D11-USB3-K7_03", isA<CSensorIMX159>, 0x48, 0, 4800, 3520, 36000, 0},
    {0x3130, "QuelroCnv-U3I_03", isA<CSensorR15>, 0x42, 0, 1920, 1080, 74250, 0},
    {0x3140, "Lumvek-D13-USB3-K7_03", isA<CSensorR06>, 0x6C, 0, 1280, 1024, 37125, 0},
    {0x3150, nullptr, isA<CSensorR02>, 0x6C, 0, 640, 512, 6250, 0},
    {0x3170, nullptr, isA<CSensorR01>, 0x6C, 0, 320, 256, 6250, 0},
    {0x3180, nullptr, isA<CSensorR05>, 0x48, 100, 1280, 1024, 72000, 2},
    {0x3190, nullptr, isA<CSensorR14>, 0x20, 0, 512, 32768, 5000, 0},
    {0x31A0, nullptr, isA<CSensorR10>, 0x20, 0, 256, 32768, 5000, 0},
    {0x31B0, nullptr, isA<CSensorIMX250>, 0x48, 59, 2448, 2048, 54000, 4},
    {0x31B4, nullptr, isA<CSensorIMX264>, 0x48, 57, 2448, 2048, 74250, 4},
    {0x31C0, nullptr, isA<CSensorIMX252>, 0x48, 56, 2048, 1536, 54545, 4},
    {0x31C4, nullptr, isA<CSensorIMX252>, 0x48, 56, 2048, 1536, 54545, 4},
    {0x31D0, nullptr, isA<CSensorR04>, 0x20, 0, 1024, 32768, 5000, 0},
    {0x31E0, nullptr, isA<CSensorR08>, 0x6C, 103, 2048, 2048, 50000, 0},
    {0x31F0, nullptr, isA<CSensorIMX226>, 0x48, 60, 4168, 3062, 72000, 4},
    {0x3200, nullptr, isA<CSensorR03>, 0x48, 99, 640, 512, 9000, 4},
    {0x3210, nullptr, isA<CSensorR09>, 0x20, 0, 2048, 32768, 5000, 0},
    {0x3220, nullptr, isA<CSensorG1467x>, 0x6C, 105, 320, 256, 6250, 2},
    {0x3260, nullptr, isA<CSensorIMX990>, 0x48, 109, 1280, 1024, 54545, 4},
    {0x3270, nullptr, isA<CSensorIMX990>, 0x48, 110, 1280, 1024, 54545, 4},
    {0x3280, nullptr, isA<CSensorIMX991>, 0x48, 111, 640, 512, 54545, 4},
    {0x3290, nullptr, isA<CSensorIMX991>, 0x48, 112, 640, 512, 54545, 4},
    {0x32A0, nullptr, isA<CSensorIMX250>, 0x48, 113, 2448, 2048, 54000, 4},
    {0x32B0, nullptr, isA<CSensorLI7050>, 0x48, 61, 1936, 1096, 48000, 4},
    {0x32C0, nullptr, isA<CSensorGLUX9701>, 0x48, 114, 1280, 1024, 37037, 3},
    {0x32D0, nullptr, isA<CSensorR12>, 0x6C, 115, 4096, 4096, 25000, 0},
    {0x32E0, nullptr, isA<CSensorIMX536>, 0x48, 62, 2848, 2848, 54545, 4},
    {0x32F0, nullptr, isA<CSensorIMX487>, 0x48, 63, 2848, 2848, 54545, 4},
    {0x3300, nullptr, isA<CSensorIMX273>, 0x48, 128, 1440, 1080, 54545, 4},
};

TEST(ProductTable, EveryProductGetsItsDriverAddressVariantAndName) {
    test::RecordingController controller;
    for (const ProductExpectation& e : kExpectations) {
        SCOPED_TRACE(::testing::Message() << "product 0x" << std::hex << e.productId);
        EXPECT_TRUE(isKnownProduct(e.productId));
        const auto sensor = createSensorForProduct(e.productId, &controller);
        ASSERT_TRUE(sensor);
        EXPECT_TRUE(e.isDriver(sensor.get()));
        EXPECT_EQ(sensor->serialAddress(), e.address);
        EXPECT_EQ(sensor->controller(), &controller);
        EXPECT_EQ(sensor->variantCode(), e.variant);
        const SensorDescriptor& d = sensor->descriptor();
        EXPECT_EQ(d.maxWidth, e.maxWidth);
        EXPECT_EQ(d.maxHeight, e.maxHeight);
        EXPECT_EQ(d.clockKHz, e.clockKHz);
        EXPECT_EQ(d.rawOrientation, e.orientation);
        EXPECT_EQ(d.globalGain.available, 1);
        EXPECT_EQ(d.exposureLines.available, 1);
        char name[64] = "untouched";
        if (e.nameOfNumber3) {
            ASSERT_TRUE(formatProductDeviceName(e.productId, 3, name, sizeof(name)));
            EXPECT_STREQ(name, e.nameOfNumber3);
        } else {
            EXPECT_FALSE(formatProductDeviceName(e.productId, 3, name, sizeof(name)));
            EXPECT_STREQ(name, "untouched");
        }
    }
    // 0x3020 is the fortieth; its driver depends on the chip (tested below).
    EXPECT_EQ(productTable().size(), std::size(kExpectations) + 1);
    std::set<int> ids;
    for (const ProductRow& row : productTable()) ids.insert(row.productId);
    EXPECT_EQ(ids.size(), productTable().size()) << "one row per product";
}

TEST(ProductTable, DriversBuiltWithoutControllerKeepTheirConstants) {
    for (const ProductExpectation& e : kExpectations) {
        const auto sensor = createSensorForProduct(e.productId, nullptr);
        ASSERT_TRUE(sensor) << std::hex << e.productId;
        EXPECT_EQ(sensor->controller(), nullptr);
        EXPECT_EQ(sensor->descriptor().maxWidth, e.maxWidth);
        SensorDescriptor copy{};
        EXPECT_EQ(sensor->GetSensorInfo(&copy), 1);
        EXPECT_EQ(std::memcmp(&copy, &sensor->descriptor(), sizeof(copy)), 0);
        EXPECT_EQ(sensor->GetSensorInfo(nullptr), 0);
        EXPECT_EQ(sensor->InitializeSensor() == 1, e.productId == 0x3130 || e.productId == 0x3180)
            << "only drivers with nothing to program initialise without a camera";
    }
}

TEST(ProductTable, UnknownProductGetsMt9f001WithoutName) {
    test::RecordingController controller;
    for (int id : {0x1234, 0x3000, 0x3091, -1}) {
        EXPECT_FALSE(isKnownProduct(id));
        const auto sensor = createSensorForProduct(id, &controller);
        ASSERT_TRUE(sensor);
        EXPECT_TRUE(isA<CSensorMT9F001>(sensor.get()));
        EXPECT_EQ(sensor->serialAddress(), 0x20);
        char name[32] = "untouched";
        EXPECT_FALSE(formatProductDeviceName(id, 0, name, sizeof(name)));
        EXPECT_STREQ(name, "untouched");
    }
    EXPECT_TRUE(controller.log.empty()) << "no probe outside product 0x3020";
}

TEST(ProductTable, DeviceNameNeedsRoomForTheWholeName) {
    char name[22];
    ASSERT_TRUE(formatProductDeviceName(0x3090, 0, name, sizeof(name)));
    EXPECT_STREQ(name, "Lumvek-D08-USB3-K7_00");
    std::memset(name, 'x', sizeof(name));
    EXPECT_FALSE(formatProductDeviceName(0x3090, 0, name, 21));
    EXPECT_EQ(name[0], 'x');
    EXPECT_FALSE(formatProductDeviceName(0x3090, 123, name, sizeof(name))) << "three digits need one more byte";
    EXPECT_FALSE(formatProductDeviceName(0x3090, 1, nullptr, 64));
}

TEST(SensorFactory, Product3020ProbesTheChipVersion) {
    struct Case {
        uint8_t first;
        uint8_t second;
        bool mt9f002;
    };
    for (const Case c : {Case{0x2E, 0x01, true}, Case{0x01, 0x2E, false}, Case{0x2D, 0x01, false}, Case{0, 0, false}}) {
        test::RecordingController controller;
        controller.i2cReader = [&](uint8_t address, uint8_t* data, uint8_t count) {
            EXPECT_EQ(address, 0x21);
            EXPECT_EQ(count, 2);
            data[0] = c.first;
            data[1] = c.second;
            return true;
        };
        const auto sensor = createSensorForProduct(0x3020, &controller);
        ASSERT_TRUE(sensor);
        EXPECT_EQ(isA<CSensorMT9F002>(sensor.get()), c.mt9f002);
        EXPECT_EQ(isA<CSensorMT9F001>(sensor.get()), !c.mt9f002);
        EXPECT_EQ(sensor->serialAddress(), 0x20);
        // Register pointer 0x0000 is written before the read.
        ASSERT_GE(controller.log.size(), 2u);
        EXPECT_EQ(controller.log[0], (test::ControllerAccess{test::ControllerAccess::Kind::I2cWrite, 0x20, 0x00}));
        EXPECT_EQ(controller.log[1].kind, test::ControllerAccess::Kind::I2cRead);
    }
    char name[32];
    ASSERT_TRUE(formatProductDeviceName(0x3020, 7, name, sizeof(name)));
    EXPECT_STREQ(name, "Lumvek-D01-USB3-K7_07");
}

TEST(SensorFactory, FailedProbeOrMissingControllerGivesNoDriver) {
    test::RecordingController controller;  // answers no I2C read
    EXPECT_FALSE(createSensorForProduct(0x3020, &controller));
    EXPECT_FALSE(createSensorForProduct(0x3020, nullptr));
}

} // namespace
} // namespace lumvek
