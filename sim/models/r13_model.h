#pragma once
// The sensor of the R13 camera as the simulator carries it: a 2336 x 1752
// CCD timed by the FPGA, with two banks of 32-bit registers (written through
// request 0xD0, read 16 bits at a time through 0xD1). Frames follow the
// scene with the exposure register (FPGA 0xE2/0xE3, lines not integrated:
// smaller is longer), the analog gain word (register 0x005), the black level
// (register 0x006), the channel gains and offsets of FPGA 0x70-0x7F and the
// mirror bits of FPGA 0x3F, and leave the camera rows bottom-up, each row
// right to left. Exact scenes (PGM files) pass unchanged but for orientation.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/sensor_model.h"

namespace lumvek::sim {

[[nodiscard]] std::unique_ptr<SensorModel> makeR13Model(const SensorModelConfig& config);

class R13Model final : public SensorModel {
public:
    static constexpr int kFixedShift = 16;  // per-channel multipliers in 16.16 fixed point
    // What one Bayer position's samples go through: out = min(in x multiplier
    // >> kFixedShift + offset, full scale).
    struct ChannelTransform {
        uint64_t multiplier = uint64_t{1} << kFixedShift;
        uint32_t offset = 0;
        bool operator==(const ChannelTransform&) const = default;
    };

    static constexpr uint32_t kLineLengthClocks = 2836;
    static constexpr uint32_t kFrameLengthLines = 1952;
    static constexpr uint32_t kClockKHz = 60000;
    static constexpr uint32_t kLinePeriodClocks = 1547;  // one exposure line
    static constexpr int kExposureLineBase = 902;
    static constexpr int kExposureLinesMax = 901;
    static constexpr uint16_t kUnityGainWord = 350;
    static constexpr uint16_t kUnityChannelGain = 4096;

    R13Model();

    bool writeRegister32(uint16_t address, uint32_t value) override;
    std::optional<uint16_t> readRegister16(uint16_t address) override;
    std::optional<uint8_t> readFpgaRegister(uint8_t reg) override;
    void fpgaRegisterWritten(uint8_t reg, uint8_t value) override;
    [[nodiscard]] int rawOrientation() const override { return kOrientationBothReversed; }
    [[nodiscard]] SensorTiming timing() const override;
    void render(const RenderContext& context, std::span<uint8_t> pixels) override;

    // Exposure register (lines), clamped to 1..901 as the CCD timing does.
    [[nodiscard]] int exposureLines() const;
    // Exposure time the current register gives, microseconds.
    [[nodiscard]] uint32_t exposureUs() const;

private:
    static constexpr size_t kRegistersPerBank = 4096;
    using Bank = std::array<uint32_t, kRegistersPerBank>;
    Bank& bank(uint16_t address) { return (address & 0x8000) ? bank1_ : bank0_; }
    const Bank& bank(uint16_t address) const { return (address & 0x8000) ? bank1_ : bank0_; }

    Bank bank0_{};
    Bank bank1_{};
    // Written copies of FPGA 0x70..0x7F and 0xE2/0xE3; the FPGA powers up
    // with unity channel gains, zero offsets and exposure register 1.
    std::array<uint8_t, 16> channelRegisters_{};
    uint16_t exposureRegister_ = 1;
    // The scene's frame before exposure, gain and readout order; kept from
    // frame to frame.
    std::vector<uint8_t> sceneFrame_;
    // Per-channel output of every input level, and the transforms they hold.
    std::vector<uint8_t> levelTables8_;
    std::vector<uint16_t> levelTables16_;
    std::array<ChannelTransform, 4> tables8For_{};
    std::array<ChannelTransform, 4> tables16For_{};
    // What the last frame was rendered from, and the frame. While the scene
    // is still and none of it changes, the next frame is a copy: the
    // simulator then spends next to no host time on it, as a camera spends
    // none.
    struct RenderInputs {
        FrameGeometry geometry;
        std::array<ChannelTransform, 4> channels{};
        bool rowsReversed = false;
        bool samplesReversed = false;
        const Scene* scene = nullptr;
        bool operator==(const RenderInputs&) const = default;
    };
    std::optional<RenderInputs> lastInputs_;
    std::vector<uint8_t> lastFrame_;
};

} // namespace lumvek::sim
