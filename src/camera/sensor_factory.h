#pragma once
// The sensor factory: makes the driver a product's row names, with the
// row's I2C address, and gives it the row's variant code.
#include <cstdint>
#include <memory>

namespace lumvek {

class CControllerBase;
class CSensorBase;

// The driver of product `productId` (the fallback row's for an identifier
// without a row), borrowing `controller` (may be null). Null when no driver
// could be made: the 0x3020 identity probe failed, or allocation failed.
[[nodiscard]] std::unique_ptr<CSensorBase> createSensorForProduct(int productId, CControllerBase* controller);

// Creators the product rows point to.
template <class Driver>
std::unique_ptr<CSensorBase> makeSensor(CControllerBase* controller, uint8_t i2cAddress) {
    return std::make_unique<Driver>(controller, i2cAddress);
}

// Product 0x3020 carries an MT9F002 or an MT9F001: write register pointer
// 0x0000, read two bytes; 0x2E 0x01 (version 302, low byte first) is the
// MT9F002. Null when the probe cannot be read.
[[nodiscard]] std::unique_ptr<CSensorBase> createMt9fByIdentityProbe(CControllerBase* controller, uint8_t i2cAddress);

} // namespace lumvek
