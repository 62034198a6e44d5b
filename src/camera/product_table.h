#pragma once
// What a camera's USB product identifier decides: the sensor driver and its
// I2C address, the variant code given to the driver, the device-name format,
// and the product-specific steps. One row per product; an identifier
// without a row is served by kFallbackProduct.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "camera/product_steps.h"

namespace lumvek {

class CControllerBase;
class CSensorBase;

// Makes the product's sensor driver, borrowing the controller (may be null).
// Null when it cannot (the MT9F001/MT9F002 identity probe failed).
using SensorCreator = std::unique_ptr<CSensorBase> (*)(CControllerBase* controller, uint8_t i2cAddress);

struct ProductRow {
    int productId = 0;
    const char* deviceNameFormat = nullptr;  // "%02d" takes the device number; null: no name
    const char* driverName = "";             // the driver class, for diagnostics
    SensorCreator createSensor = nullptr;
    uint8_t i2cAddress = 0;  // 8-bit form; 0 = reached through the FPGA
    int variantCode = 0;     // 0 = none; else given to SetVariantCode after construction

    // Initialisation after open, before the sensor's readiness check.
    OpenStep open = nullptr;
    // Frame geometry: window registers, then the product's own registers.
    WindowRegisters windowRegisters = WindowRegisters::Standard;
    GeometryStep geometry = nullptr;
    int frameSizeFactor = 1;  // 3: three samples per pixel (buffers and byte count)
    // Colour (bit-depth) mode.
    bool sensorAppliesColorModeFirst = false;
    bool alwaysSixteenBitPath = false;
    ColorModeStep colorMode = nullptr;
    // Trigger mode; null: the sensor driver's trigger operation.
    TriggerStep trigger = nullptr;
    const CoolingSteps* cooling = nullptr;
    bool textLink = false;               // SendText / ReceiveText
    bool exposureBetweenFrames = false;  // exposure applied by the transfer thread
    bool frameDirect = false;            // whole frames on endpoint 0x83, output mode by request 0x3C
    bool resetPulseAtStop = true;
    uint32_t extraStopPauseMs = 0;
    bool closeSensorBanks = false;       // the CCD close sequence
    bool noRetryInTriggerMode2 = false;  // transfer thread gives up a failed frame
    bool resetPipeOnRecovery = false;    // bulk pipe reset between attempts at a failed frame
    // Frames copied out whole, and heads below firmware revision 8 send a
    // broken last row that the copy replaces by the row before it.
    bool lastRowRepair = false;
};

// Every row, in the order of the product list.
[[nodiscard]] std::span<const ProductRow> productTable();

// The row of a product identifier; the fallback row for one without a row.
[[nodiscard]] const ProductRow& productRow(int productId);

// True when the identifier has a row of its own.
[[nodiscard]] bool isKnownProduct(int productId);

// Formats the device name of device number `deviceNumber` of a product into
// out (capacity bytes, terminated). False, out untouched, when the product
// has no name format or the name does not fit.
[[nodiscard]] bool formatProductDeviceName(int productId, int deviceNumber, char* out, size_t capacity);

} // namespace lumvek
