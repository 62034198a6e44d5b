#pragma once
// The steps single products need, pointed to by their product-table rows.
#include "camera/product_steps.h"

namespace lumvek::product_steps {

// Initialisation after open.
void openFrameDirect(ProductStepHost& host);          // 0x3042: sensor over vendor requests
void openFpgaSequence3140(ProductStepHost& host);     // 0x3140
void openSerialLinkWhenNotReady(ProductStepHost& host);  // 0x3180
void openWaitUntilReady31E0(ProductStepHost& host);   // 0x31E0

// Frame geometry, after the window registers.
void geometryPause3020(ProductStepHost& host, const FrameWindow& w);
void geometry30B0(ProductStepHost& host, const FrameWindow& w);
void geometry30C0(ProductStepHost& host, const FrameWindow& w);
void geometry30F0(ProductStepHost& host, const FrameWindow& w);
void geometry3100(ProductStepHost& host, const FrameWindow& w);
void geometry3130(ProductStepHost& host, const FrameWindow& w);
void geometry31B0(ProductStepHost& host, const FrameWindow& w);  // also 0x31B4, 0x32A0
void geometry31C0(ProductStepHost& host, const FrameWindow& w);
void geometry31C4(ProductStepHost& host, const FrameWindow& w);
void geometry31E0(ProductStepHost& host, const FrameWindow& w);  // also 0x32D0
void geometry31F0(ProductStepHost& host, const FrameWindow& w);
void geometry3260(ProductStepHost& host, const FrameWindow& w);  // 0x3260..0x3290
void geometry32B0(ProductStepHost& host, const FrameWindow& w);
void geometry32C0(ProductStepHost& host, const FrameWindow& w);
void geometry32E0(ProductStepHost& host, const FrameWindow& w);  // also 0x32F0
void geometry3300(ProductStepHost& host, const FrameWindow& w);

// Colour mode (1 handled, 0 write failed: default path, -1 refused).
int colorMode3130(ProductStepHost& host, int mode, int* storedMode);
int colorMode31E0(ProductStepHost& host, int mode, int* storedMode);  // also 0x32D0

// Trigger mode; return the mode to store.
int triggerWithPrimingFrame(ProductStepHost& host, int mode);  // 0x3030, 0x3050
int triggerFpga48(ProductStepHost& host, int mode);            // 0x30F0, 0x3100
int triggerFpga36(ProductStepHost& host, int mode);            // 0x3150, 0x3170
int triggerFirstFrame(ProductStepHost& host, int mode);        // 0x3260..0x3290

// Cooling.
extern const CoolingSteps kCoolingFpga144;     // 0x3150, 0x3170, 0x3220
extern const CoolingSteps kCoolingSensorRom;   // 0x31E0
extern const CoolingSteps kCoolingFpga209;     // 0x3260

// The FPGA reset pulse through the sensor driver (its model picks the
// register), or on register 0x6C when there is no driver.
void pulseFpgaReset(ProductStepHost& host);

} // namespace lumvek::product_steps
