#pragma once
// The seam between the simulated camera and the sensor it carries. The camera
// (simulated_camera.h) owns the USB side, the I2C bus, the FPGA register file,
// the serial ROM and the frame stream; a SensorModel answers the sensor's own
// register requests and renders each frame.
//
// Routed to the model: vendor requests 0xD0/0xD1 (32-bit banked registers),
// 0x3E/0x3F (16-bit registers), I2C traffic to the addresses it owns, reads of
// FPGA registers it models (readFpgaRegister) and notice of FPGA writes.
// A product-specific model is created by makeSensorModel (sensor_models.cpp);
// the R13 model lives in sim/models/r13_model.h as
//   std::unique_ptr<SensorModel> makeR13Model(const SensorModelConfig&);
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace lumvek::sim {

class FpgaRegisterFile;
class Scene;

struct SensorModelConfig {
    uint16_t productId = 0;
    std::string sensorVersion;  // the `sensor-version=` key of the camera description, empty when not given
    std::string firmware;       // the `firmware=` key: the FPGA's firmware word, empty when not given
};

// Readout timing: the frame period is lineLength x frameLength / clock, or the
// exposure when that is longer.
struct SensorTiming {
    uint32_t lineLengthClocks = 0;
    uint32_t frameLengthLines = 0;
    uint32_t clockKHz = 0;
    uint32_t exposureUs = 0;
};
[[nodiscard]] double framePeriodMs(const SensorTiming& timing);

struct FrameGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerSample = 1;  // 1 or 2; 16-bit samples are little-endian
    [[nodiscard]] size_t frameBytes() const { return size_t{width} * height * bytesPerSample; }
    bool operator==(const FrameGeometry&) const = default;
};

struct RenderContext {
    FrameGeometry geometry;
    uint32_t frameIndex = 0;  // counts every frame the sensor produced; moving scenes use it
    const FpgaRegisterFile& fpga;
    const Scene& scene;
};

// Raw orientation codes: 1 as read, 2 each row right to left, 3 rows bottom-up, 4 both.
inline constexpr int kOrientationAsRead = 1;
inline constexpr int kOrientationBothReversed = 4;

class SensorModel {
public:
    virtual ~SensorModel() = default;

    // Vendor request 0xD0: `address` carries the bank in bit 15.
    virtual bool writeRegister32(uint16_t address, uint32_t value);
    // Vendor request 0xD1: nullopt makes the request fail.
    virtual std::optional<uint16_t> readRegister16(uint16_t address);
    // Vendor requests 0x3E / 0x3F.
    virtual bool writeRequestRegister16(uint16_t address, uint16_t value);
    virtual std::optional<uint16_t> readRequestRegister16(uint16_t address);

    // I2C devices of the sensor, by 8-bit write address (bit 0 clear).
    [[nodiscard]] virtual bool ownsI2cAddress(uint8_t writeAddress) const;
    virtual bool i2cWrite(uint8_t writeAddress, std::span<const uint8_t> bytes);
    virtual bool i2cRead(uint8_t writeAddress, std::span<uint8_t> bytes);
    // The auxiliary device (0x5A/0x5B): a value for `reg`, or nullopt for the
    // camera's plain register file.
    virtual std::optional<uint8_t> readAuxRegister(uint8_t reg);

    // FPGA registers whose value the sensor side determines; nullopt leaves
    // the register file's value.
    virtual std::optional<uint8_t> readFpgaRegister(uint8_t reg);
    virtual void fpgaRegisterWritten(uint8_t reg, uint8_t value);

    // The output size the sensor's own registers program, for a camera that
    // sends whole frames without FPGA window registers; nullopt when unset.
    [[nodiscard]] virtual std::optional<std::pair<uint32_t, uint32_t>> outputSize() const { return std::nullopt; }

    [[nodiscard]] virtual int rawOrientation() const = 0;
    [[nodiscard]] virtual SensorTiming timing() const = 0;
    // Fills `pixels` (geometry.frameBytes() bytes) with one frame as the sensor
    // sends it, i.e. in its raw orientation. When the geometry equals that of
    // the previous call, `pixels` still holds what that call rendered (the
    // camera never writes into it), so a model of a still scene may keep it.
    virtual void render(const RenderContext& context, std::span<uint8_t> pixels) = 0;
};

// Reorders a frame in reading order into the order a sensor with raw
// orientation `code` sends it (codes 2..4 reverse rows and/or samples; the
// same operation undoes itself).
void applyRawOrientation(int code, const FrameGeometry& geometry, std::span<uint8_t> pixels);

} // namespace lumvek::sim
