#include "camera/sensor_factory.h"

#include <new>

#include "camera/product_table.h"
#include "platform/log/log.h"
#include "sensors/family/mt9_sensors.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr uint8_t kVersionLow302 = 0x2E;
constexpr uint8_t kVersionHigh302 = 0x01;

} // namespace

std::unique_ptr<CSensorBase> createMt9fByIdentityProbe(CControllerBase* controller, uint8_t i2cAddress) {
    if (!controller) return nullptr;
    const uint8_t pointer[2] = {0x00, 0x00};
    uint8_t version[2] = {0, 0};
    (void)controller->I2cWrite(i2cAddress, pointer, 2, kI2cTimeoutMs);
    if (!controller->I2cRead(static_cast<uint8_t>(i2cAddress | 1), version, 2, kI2cTimeoutMs)) {
        platform::logf(platform::LogCategory::Sensor, "identity probe at 0x%02X failed", i2cAddress);
        return nullptr;
    }
    if (version[0] == kVersionLow302 && version[1] == kVersionHigh302) {
        return makeSensor<CSensorMT9F002>(controller, i2cAddress);
    }
    return makeSensor<CSensorMT9F001>(controller, i2cAddress);
}

std::unique_ptr<CSensorBase> createSensorForProduct(int productId, CControllerBase* controller) {
    const ProductRow& row = productRow(productId);
    std::unique_ptr<CSensorBase> sensor;
    try {
        sensor = row.createSensor(controller, row.i2cAddress);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (sensor && row.variantCode != 0) sensor->SetVariantCode(row.variantCode);
    return sensor;
}

} // namespace lumvek
