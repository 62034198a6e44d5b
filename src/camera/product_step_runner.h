#pragma once
// The product-dependent parts of the camera device object's operations, run
// from a product's row: each function does the row's own step where it has
// one and the family's default otherwise.
#include <cstdint>

#include "camera/product_steps.h"
#include "camera/product_table.h"

namespace lumvek {

// Initialisation after open, before the sensor's readiness check.
void runProductOpenSteps(const ProductRow& row, ProductStepHost& host);

// The window registers (width, then height, 16 bits low byte first) and the
// product's own geometry registers. Products whose frames arrive whole
// write nothing.
void writeProductFrameGeometry(const ProductRow& row, ProductStepHost& host, const FrameWindow& window);

// The window and readout flags of the sensor driver, with its full size.
[[nodiscard]] FrameWindow frameWindowOf(const CSensorBase& sensor);

// Receive and ring buffer size for a w x h window: (h + 128) x (w + 128) x 2
// rounded up to 8192, times the product's frame-size factor. 0 on overflow.
[[nodiscard]] uint64_t productFrameBufferBytes(const ProductRow& row, int width, int height);
// Bytes of one frame: w x h, doubled in colour modes 1 and 2, times the factor.
[[nodiscard]] uint64_t productFrameBytes(const ProductRow& row, int width, int height, int colorMode);

// Colour (bit-depth) mode: the sensor first where the product wants it, then
// the product's write or the default one (FPGA register 60, or request 0x3C
// on the direct-frame product). 1 with *storedMode set; 0 when the write
// failed or the mode is refused.
[[nodiscard]] int applyProductColorMode(const ProductRow& row, ProductStepHost& host, int mode, int* storedMode);

// Trigger mode: the product's steps, or the sensor driver's trigger
// operation (followed by a frame-tag read for mode 1). Returns the mode to store.
int applyProductTriggerMode(const ProductRow& row, ProductStepHost& host, int mode);

// Cooling: 0 on products without a cooler.
[[nodiscard]] int isProductCoolingSupported(const ProductRow& row, ProductStepHost& host);
[[nodiscard]] int getProductCooling(const ProductRow& row, ProductStepHost& host);
// 0 when not supported; 1 at once when the state already matches.
[[nodiscard]] int setProductCooling(const ProductRow& row, ProductStepHost& host, int on);

// Stopping acquisition: port reset (direct-frame product) or pipe reset on
// newer firmware, FPGA reset pulse, FPGA register 104 <- 2; then restart.
void runProductStopSteps(const ProductRow& row, ProductStepHost& host);

// Closing: the CCD products park their sensor banks and clear their FPGA flags.
void runProductCloseSteps(const ProductRow& row, ProductStepHost& host);

} // namespace lumvek
