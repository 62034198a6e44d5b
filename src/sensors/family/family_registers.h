#pragma once
// The register maps of this family's own minimal sensor programming: where
// a driver puts the window, line and frame length, exposure, gain and mirror
// of a sensor whose vendor script is not carried. The camera simulator's
// sensor models read the same addresses, so both sides include this file.
// These maps are this family's own, not a sensor vendor's.
#include <cstdint>

namespace lumvek::family {

// Sensors with 8-bit registers at 16-bit addresses behind a serial bridge
// (the IMX-chip group, LI7050, GLUX9701, R03, R05, R06, G1467x). A 16-bit
// quantity sits low byte first at the address and the next one; the
// exposure takes three bytes.
namespace bridge {
inline constexpr uint16_t kStandby = 0x3000;  // 1 standby, 0 streaming
inline constexpr uint16_t kWindowX = 0x3010;
inline constexpr uint16_t kWindowY = 0x3012;
inline constexpr uint16_t kOutputWidth = 0x3014;
inline constexpr uint16_t kOutputHeight = 0x3016;
inline constexpr uint16_t kSubSample = 0x3018;
inline constexpr uint16_t kSampleBits = 0x3019;  // 8 or 16
inline constexpr uint16_t kLineLength = 0x301A;
inline constexpr uint16_t kFrameLength = 0x301C;
inline constexpr uint16_t kExposureLines = 0x3020;  // three bytes
inline constexpr uint16_t kGain = 0x3024;
inline constexpr uint16_t kMirror = 0x3026;  // bit 0 horizontal, bit 1 vertical
inline constexpr uint16_t kTrigger = 0x3027;
inline constexpr uint16_t kAuxMode = 0x3028;
inline constexpr uint16_t kSensorReset = 0x3029;  // 1 then 0 restarts the sensor
inline constexpr uint16_t kBlackLevel = 0x302A;
inline constexpr uint16_t kSubRegisterBase = 0x3100;  // AccessSubRegister: 0x3100 + register
inline constexpr uint8_t kMirrorBitH = 0x01;
inline constexpr uint8_t kMirrorBitV = 0x02;
}  // namespace bridge

// Heads whose sensor only the FPGA reaches (R01, R02, R04, R09, R10, R14,
// R08, R12): the same quantities as FPGA bytes.
namespace fpgahead {
inline constexpr uint8_t kExposureLines = 0xB0;  // 0xB0 low .. 0xB2 high
inline constexpr uint8_t kGain = 0xB4;
inline constexpr uint8_t kMirror = 0xB5;  // bit 0 horizontal, bit 1 vertical
inline constexpr uint8_t kWindowX = 0xB6;  // 0xB6/0xB7
inline constexpr uint8_t kWindowY = 0xB8;  // 0xB8/0xB9
inline constexpr uint8_t kTrigger = 0xBA;
inline constexpr uint8_t kSubSample = 0xBB;
inline constexpr uint8_t kReadoutMode = 0xBC;
inline constexpr uint8_t kExtUnitPresent = 0xBD;  // bit 0
inline constexpr uint8_t kExtUnitMode = 0xBE;
inline constexpr uint8_t kBlackLevel = 0xC2;  // 0xC2/0xC3
inline constexpr uint8_t kSecondMode = 0xC4;
inline constexpr uint8_t kCooler = 0xBF;  // R08: bit 0 switches the head's cooler
inline constexpr uint8_t kInfoByte1 = 0xC0;
inline constexpr uint8_t kInfoByte2 = 0xC1;
inline constexpr uint8_t kTemperatureSample = 0x98;  // 0x98/0x99: R03's 16-bit temperature sample
}  // namespace fpgahead

// MT9 chips (16-bit registers): the standard window and timing words.
namespace mt9 {
inline constexpr uint16_t kChipVersion = 0x0000;
inline constexpr uint16_t kModeSelect = 0x0100;
inline constexpr uint16_t kGroupedHold = 0x0104;
inline constexpr uint16_t kFrameLength = 0x0340;
inline constexpr uint16_t kLineLength = 0x0342;
inline constexpr uint16_t kXStart = 0x0344;
inline constexpr uint16_t kYStart = 0x0346;
inline constexpr uint16_t kXEnd = 0x0348;
inline constexpr uint16_t kYEnd = 0x034A;
inline constexpr uint16_t kOutputWidth = 0x034C;
inline constexpr uint16_t kOutputHeight = 0x034E;
inline constexpr uint16_t kPllMultiplier = 0x0306;
inline constexpr uint16_t kCoarseIntegration = 0x3012;
inline constexpr uint16_t kResetRegister = 0x301A;
inline constexpr uint16_t kReadMode = 0x3040;
inline constexpr uint16_t kGreen1Gain = 0x3056;
inline constexpr uint16_t kBlueGain = 0x3058;
inline constexpr uint16_t kRedGain = 0x305A;
inline constexpr uint16_t kGreen2Gain = 0x305C;
inline constexpr uint16_t kGlobalGain = 0x305E;
inline constexpr uint16_t kTriggerControl = 0x001E;  // MT9P001
inline constexpr uint16_t kReadModeMirrorH = 0x4000;
inline constexpr uint16_t kReadModeMirrorV = 0x8000;
}  // namespace mt9

}  // namespace lumvek::family
