#include "camera/product_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "camera/product_step_functions.h"
#include "camera/sensor_factory.h"
#include "sensors/family/family_drivers.h"
#include "sensors/sensor_base.h"

namespace lumvek {
namespace {

namespace ps = product_steps;
using WR = WindowRegisters;

constexpr uint8_t kI2cMt9 = 0x20;
constexpr uint8_t kI2cMt9P = 0x90;
constexpr uint8_t kI2cBridge = 0x48;
constexpr uint8_t kI2cHead = 0x6C;
constexpr uint8_t kI2cConverter = 0x42;

constexpr std::array<ProductRow, 40> kProducts{{
    {.productId = 0x3020, .deviceNameFormat = "Lumvek-D01-USB3-K7_%02d", .driverName = "MT9F002/MT9F001",
     .createSensor = createMt9fByIdentityProbe, .i2cAddress = kI2cMt9, .geometry = ps::geometryPause3020},
    {.productId = 0x3030, .deviceNameFormat = "Lumvek-D03-USB3-K7_%02d", .driverName = "CSensorMT9P001",
     .createSensor = makeSensor<CSensorMT9P001>, .i2cAddress = kI2cMt9P, .trigger = ps::triggerWithPrimingFrame},
    {.productId = 0x3040, .deviceNameFormat = "Lumvek-D02-USB3-K7_%02d", .driverName = "CSensorMT9J001",
     .createSensor = makeSensor<CSensorMT9J001>, .i2cAddress = kI2cMt9},
    {.productId = 0x3042, .deviceNameFormat = "Lumvek-D05-USB3-K7_%02d", .driverName = "CSensorMT9J001",
     .createSensor = makeSensor<CSensorMT9J001>, .i2cAddress = kI2cMt9, .open = ps::openFrameDirect,
     .windowRegisters = WR::None, .frameDirect = true},
    {.productId = 0x3050, .deviceNameFormat = "Lumvek-D04-USB3-K7_%02d", .driverName = "CSensorICX274",
     .createSensor = makeSensor<CSensorICX274>, .trigger = ps::triggerWithPrimingFrame},
    {.productId = 0x3090, .deviceNameFormat = "Lumvek-D08-USB3-K7_%02d", .driverName = "CSensorR13",
     .createSensor = makeSensor<CSensorR13>, .closeSensorBanks = true},
    {.productId = 0x30B0, .deviceNameFormat = "Lumvek-D10-USB3-K7_%02d", .driverName = "CSensorR07",
     .createSensor = makeSensor<CSensorR07>, .geometry = ps::geometry30B0, .closeSensorBanks = true},
    {.productId = 0x30C0, .deviceNameFormat = "Lumvek-D09-USB3-K7_%02d", .driverName = "CSensorR11",
     .createSensor = makeSensor<CSensorR11>, .geometry = ps::geometry30C0, .resetPulseAtStop = false,
     .closeSensorBanks = true},
    {.productId = 0x30F0, .deviceNameFormat = "Lumvek-D06-USB3-K7_%02d", .driverName = "CSensorIMX178",
     .createSensor = makeSensor<CSensorIMX178>, .i2cAddress = kI2cBridge, .geometry = ps::geometry30F0,
     .trigger = ps::triggerFpga48},
    {.productId = 0x3100, .deviceNameFormat = "Lumvek-D07-USB3-K7_%02d", .driverName = "CSensorIMX174",
     .createSensor = makeSensor<CSensorIMX174>, .i2cAddress = kI2cBridge, .geometry = ps::geometry3100,
     .sensorAppliesColorModeFirst = true, .trigger = ps::triggerFpga48, .resetPipeOnRecovery = true},
    {.productId = 0x3110, .deviceNameFormat = "Lumvek-D12-USB3-K7_%02d", .driverName = "CSensorIMX183",
     .createSensor = makeSensor<CSensorIMX183>, .i2cAddress = kI2cBridge},
    {.productId = 0x3120, .deviceNameFormat = "Lumvek-D11-USB3-K7_%02d", .driverName = "CSensorIMX159",
     .createSensor = makeSensor<CSensorIMX159>, .i2cAddress = kI2cBridge},
    {.productId = 0x3130, .deviceNameFormat = "QuelroCnv-U3I_%02d", .driverName = "CSensorR15",
     .createSensor = makeSensor<CSensorR15>, .i2cAddress = kI2cConverter, .geometry = ps::geometry3130,
     .frameSizeFactor = 3, .colorMode = ps::colorMode3130, .resetPipeOnRecovery = true},
    {.productId = 0x3140, .deviceNameFormat = "Lumvek-D13-USB3-K7_%02d", .driverName = "CSensorR06",
     .createSensor = makeSensor<CSensorR06>, .i2cAddress = kI2cHead, .open = ps::openFpgaSequence3140},
    {.productId = 0x3150, .driverName = "CSensorR02", .createSensor = makeSensor<CSensorR02>, .i2cAddress = kI2cHead,
     .trigger = ps::triggerFpga36, .cooling = &ps::kCoolingFpga144, .extraStopPauseMs = 100,
     .resetPipeOnRecovery = true},
    {.productId = 0x3170, .driverName = "CSensorR01", .createSensor = makeSensor<CSensorR01>, .i2cAddress = kI2cHead,
     .trigger = ps::triggerFpga36, .cooling = &ps::kCoolingFpga144, .resetPipeOnRecovery = true},
    {.productId = 0x3180, .driverName = "CSensorR05", .createSensor = makeSensor<CSensorR05>,
     .i2cAddress = kI2cBridge, .open = ps::openSerialLinkWhenNotReady, .alwaysSixteenBitPath = true,
     .textLink = true},
    {.productId = 0x3190, .driverName = "CSensorR14", .createSensor = makeSensor<CSensorR14>, .i2cAddress = kI2cMt9,
     .noRetryInTriggerMode2 = true},
    {.productId = 0x31A0, .driverName = "CSensorR10", .createSensor = makeSensor<CSensorR10>, .i2cAddress = kI2cMt9},
    {.productId = 0x31B0, .driverName = "CSensorIMX250", .createSensor = makeSensor<CSensorIMX250>,
     .i2cAddress = kI2cBridge, .variantCode = 59, .geometry = ps::geometry31B0, .sensorAppliesColorModeFirst = true,
     .resetPipeOnRecovery = true},
    {.productId = 0x31B4, .driverName = "CSensorIMX264", .createSensor = makeSensor<CSensorIMX264>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry31B0, .sensorAppliesColorModeFirst = true,
     .resetPipeOnRecovery = true},
    {.productId = 0x31C0, .driverName = "CSensorIMX252", .createSensor = makeSensor<CSensorIMX252>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry31C0, .sensorAppliesColorModeFirst = true,
     .resetPipeOnRecovery = true},
    {.productId = 0x31C4, .driverName = "CSensorIMX252", .createSensor = makeSensor<CSensorIMX252>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry31C4, .sensorAppliesColorModeFirst = true,
     .resetPipeOnRecovery = true},
    {.productId = 0x31D0, .driverName = "CSensorR04", .createSensor = makeSensor<CSensorR04>, .i2cAddress = kI2cMt9},
    {.productId = 0x31E0, .driverName = "CSensorR08", .createSensor = makeSensor<CSensorR08>, .i2cAddress = kI2cHead,
     .open = ps::openWaitUntilReady31E0, .windowRegisters = WR::Alternate, .geometry = ps::geometry31E0,
     .colorMode = ps::colorMode31E0, .cooling = &ps::kCoolingSensorRom,
     .resetPipeOnRecovery = true, .lastRowRepair = true},
    {.productId = 0x31F0, .driverName = "CSensorIMX226", .createSensor = makeSensor<CSensorIMX226>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry31F0},
    {.productId = 0x3200, .driverName = "CSensorR03", .createSensor = makeSensor<CSensorR03>,
     .i2cAddress = kI2cBridge, .exposureBetweenFrames = true},
    {.productId = 0x3210, .driverName = "CSensorR09", .createSensor = makeSensor<CSensorR09>, .i2cAddress = kI2cMt9},
    {.productId = 0x3220, .driverName = "CSensorG1467x", .createSensor = makeSensor<CSensorG1467x>,
     .i2cAddress = kI2cHead, .variantCode = 105, .cooling = &ps::kCoolingFpga144},
    {.productId = 0x3260, .driverName = "CSensorIMX990", .createSensor = makeSensor<CSensorIMX990>,
     .i2cAddress = kI2cBridge, .variantCode = 109, .geometry = ps::geometry3260,
     .sensorAppliesColorModeFirst = true, .trigger = ps::triggerFirstFrame, .cooling = &ps::kCoolingFpga209},
    {.productId = 0x3270, .driverName = "CSensorIMX990", .createSensor = makeSensor<CSensorIMX990>,
     .i2cAddress = kI2cBridge, .variantCode = 110, .geometry = ps::geometry3260,
     .sensorAppliesColorModeFirst = true, .trigger = ps::triggerFirstFrame},
    {.productId = 0x3280, .driverName = "CSensorIMX991", .createSensor = makeSensor<CSensorIMX991>,
     .i2cAddress = kI2cBridge, .variantCode = 111, .geometry = ps::geometry3260,
     .sensorAppliesColorModeFirst = true, .trigger = ps::triggerFirstFrame},
    {.productId = 0x3290, .driverName = "CSensorIMX991", .createSensor = makeSensor<CSensorIMX991>,
     .i2cAddress = kI2cBridge, .variantCode = 112, .geometry = ps::geometry3260,
     .sensorAppliesColorModeFirst = true, .trigger = ps::triggerFirstFrame},
    {.productId = 0x32A0, .driverName = "CSensorIMX250", .createSensor = makeSensor<CSensorIMX250>,
     .i2cAddress = kI2cBridge, .variantCode = 113, .geometry = ps::geometry31B0, .sensorAppliesColorModeFirst = true,
     .resetPipeOnRecovery = true},
    {.productId = 0x32B0, .driverName = "CSensorLI7050", .createSensor = makeSensor<CSensorLI7050>,
     .i2cAddress = kI2cBridge, .variantCode = 61, .geometry = ps::geometry32B0},
    {.productId = 0x32C0, .driverName = "CSensorGLUX9701", .createSensor = makeSensor<CSensorGLUX9701>,
     .i2cAddress = kI2cBridge, .variantCode = 114, .geometry = ps::geometry32C0},
    {.productId = 0x32D0, .driverName = "CSensorR12", .createSensor = makeSensor<CSensorR12>, .i2cAddress = kI2cHead,
     .windowRegisters = WR::Alternate, .geometry = ps::geometry31E0, .colorMode = ps::colorMode31E0,
     .resetPipeOnRecovery = true},
    {.productId = 0x32E0, .driverName = "CSensorIMX536", .createSensor = makeSensor<CSensorIMX536>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry32E0, .sensorAppliesColorModeFirst = true},
    {.productId = 0x32F0, .driverName = "CSensorIMX487", .createSensor = makeSensor<CSensorIMX487>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry32E0, .sensorAppliesColorModeFirst = true},
    {.productId = 0x3300, .driverName = "CSensorIMX273", .createSensor = makeSensor<CSensorIMX273>,
     .i2cAddress = kI2cBridge, .geometry = ps::geometry3300, .sensorAppliesColorModeFirst = true},
}};

// An identifier without a row of its own: MT9F001 at 0x20, no name, no steps.
constexpr ProductRow kFallbackProduct{.productId = -1, .driverName = "CSensorMT9F001",
                                      .createSensor = makeSensor<CSensorMT9F001>, .i2cAddress = kI2cMt9};

const ProductRow* findRow(int productId) {
    const auto it = std::find_if(kProducts.begin(), kProducts.end(),
                                 [productId](const ProductRow& row) { return row.productId == productId; });
    return it == kProducts.end() ? nullptr : &*it;
}

} // namespace

std::span<const ProductRow> productTable() { return kProducts; }

const ProductRow& productRow(int productId) {
    const ProductRow* row = findRow(productId);
    return row ? *row : kFallbackProduct;
}

bool isKnownProduct(int productId) { return findRow(productId) != nullptr; }

bool formatProductDeviceName(int productId, int deviceNumber, char* out, size_t capacity) {
    const ProductRow* row = findRow(productId);
    if (!row || !row->deviceNameFormat || !out || capacity == 0) return false;
    char name[64];
    const int length = std::snprintf(name, sizeof(name), row->deviceNameFormat, deviceNumber);
    if (length < 0 || static_cast<size_t>(length) >= capacity || static_cast<size_t>(length) >= sizeof(name)) {
        return false;
    }
    std::copy_n(name, length + 1, out);
    return true;
}

} // namespace lumvek
