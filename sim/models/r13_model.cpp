#include "sim/models/r13_model.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "sim/fpga_register_file.h"
#include "sim/scene.h"

namespace lumvek::sim {
namespace {

constexpr uint16_t kRegisterMask = 0xFFF;
constexpr uint16_t kGainRegister = 0x005;
constexpr uint16_t kBlackRegister = 0x006;
constexpr uint16_t kIdentificationFirst = 0x044;
// "QUELROCo.Ltd", two characters per register, first in bits 8-15.
constexpr std::array<uint16_t, 6> kIdentification{0x5155, 0x454C, 0x524F, 0x436F, 0x2E4C, 0x7464};
constexpr uint8_t kFpgaChannelFirst = 0x70;  // offsets 0x70..0x77, gains 0x78..0x7F
constexpr uint8_t kFpgaChannelLast = 0x7F;
constexpr uint8_t kFpgaExposureLow = 0xE2;
constexpr uint8_t kFpgaExposureHigh = 0xE3;
constexpr uint8_t kMirrorBitH = 0x01;
constexpr uint8_t kMirrorBitV = 0x02;
constexpr int kFixedShift = 16;  // per-channel multipliers in 16.16 fixed point

struct ChannelTransform {
    uint64_t multiplier = 1u << kFixedShift;
    uint32_t offset = 0;
};

// Samples are 8-bit, or 16-bit little-endian (copied, not aliased). Each
// channel's transform is tabulated for every input level first; `tables`
// keeps its storage from frame to frame.
template <size_t Bytes>
void transformSamples(uint8_t* pixels, const FrameGeometry& g, const std::array<ChannelTransform, 4>& channels,
                      std::vector<uint16_t>& tables) {
    constexpr uint64_t kMax = Bytes == 1 ? 0xFF : 0xFFFF;
    constexpr size_t kLevels = size_t{kMax} + 1;
    tables.resize(4 * kLevels);
    for (size_t c = 0; c < 4; ++c) {
        for (uint64_t in = 0; in < kLevels; ++in) {
            const uint64_t out = std::min<uint64_t>(((in * channels[c].multiplier) >> kFixedShift) + channels[c].offset, kMax);
            tables[c * kLevels + in] = static_cast<uint16_t>(out);
        }
    }
    for (uint32_t y = 0; y < g.height; ++y) {
        uint8_t* row = pixels + size_t{y} * g.width * Bytes;
        const uint16_t* evenColumns = tables.data() + (y & 1) * 2 * kLevels;
        const uint16_t* oddColumns = evenColumns + kLevels;
        for (uint32_t x = 0; x < g.width; ++x) {
            const uint16_t* table = (x & 1) != 0 ? oddColumns : evenColumns;
            uint8_t* sample = row + size_t{x} * Bytes;
            if constexpr (Bytes == 1) {
                sample[0] = static_cast<uint8_t>(table[sample[0]]);
            } else {
                const uint16_t out = table[sample[0] | sample[1] << 8];
                sample[0] = static_cast<uint8_t>(out);
                sample[1] = static_cast<uint8_t>(out >> 8);
            }
        }
    }
}

} // namespace

std::unique_ptr<SensorModel> makeR13Model(const SensorModelConfig&) { return std::make_unique<R13Model>(); }

R13Model::R13Model() {
    for (Bank* b : {&bank0_, &bank1_}) {
        for (size_t i = 0; i < kIdentification.size(); ++i) (*b)[kIdentificationFirst + i] = kIdentification[i];
        (*b)[kGainRegister] = kUnityGainWord;
    }
    // Channel gains power up at unity (0x1000, low byte first).
    for (size_t channel = 0; channel < 4; ++channel) channelRegisters_[8 + 2 * channel + 1] = kUnityChannelGain >> 8;
}

bool R13Model::writeRegister32(uint16_t address, uint32_t value) {
    bank(address)[address & kRegisterMask] = value;
    return true;
}

std::optional<uint16_t> R13Model::readRegister16(uint16_t address) {
    return static_cast<uint16_t>(bank(address)[address & kRegisterMask]);
}

uint32_t R13Model::bankRegister(uint16_t address) const { return bank(address)[address & kRegisterMask]; }

std::optional<uint8_t> R13Model::readFpgaRegister(uint8_t reg) {
    if (reg >= kFpgaChannelFirst && reg <= kFpgaChannelLast) return channelRegisters_[reg - kFpgaChannelFirst];
    if (reg == kFpgaExposureLow) return static_cast<uint8_t>(exposureRegister_);
    if (reg == kFpgaExposureHigh) return static_cast<uint8_t>(exposureRegister_ >> 8);
    return std::nullopt;
}

void R13Model::fpgaRegisterWritten(uint8_t reg, uint8_t value) {
    if (reg >= kFpgaChannelFirst && reg <= kFpgaChannelLast) {
        channelRegisters_[reg - kFpgaChannelFirst] = value;
    } else if (reg == kFpgaExposureLow) {
        exposureRegister_ = static_cast<uint16_t>((exposureRegister_ & 0xFF00) | value);
    } else if (reg == kFpgaExposureHigh) {
        exposureRegister_ = static_cast<uint16_t>((exposureRegister_ & 0x00FF) | (value << 8));
    }
}

int R13Model::exposureLines() const { return std::clamp<int>(exposureRegister_, 1, kExposureLinesMax); }

uint32_t R13Model::exposureUs() const {
    return static_cast<uint32_t>(uint64_t(kExposureLineBase - exposureLines()) * kLinePeriodClocks * 1000 / kClockKHz);
}

SensorTiming R13Model::timing() const {
    return SensorTiming{.lineLengthClocks = kLineLengthClocks,
                        .frameLengthLines = kFrameLengthLines,
                        .clockKHz = kClockKHz,
                        .exposureUs = exposureUs()};
}

// Brightness follows the integrated lines (1.0 at the longest exposure) and
// the gain word (1.0 at 350); each Bayer position has its channel gain
// (4096 = 1.0) and offset; the black level lifts every sample.
void R13Model::render(const RenderContext& context, std::span<uint8_t> pixels) {
    const FrameGeometry& g = context.geometry;
    context.scene.render(context.frameIndex, g, pixels);
    if (!context.scene.exact() && g.width != 0 && g.height != 0 && pixels.size() >= g.frameBytes()) {
        const double exposure = double(kExposureLineBase - exposureLines()) / kExposureLinesMax;
        const double gain = double(bank0_[kGainRegister] & 0x3FF) / kUnityGainWord;
        const bool wide = g.bytesPerSample == 2;
        const uint32_t black = bank0_[kBlackRegister] & 0x3FF;
        std::array<ChannelTransform, 4> channels;
        for (size_t c = 0; c < 4; ++c) {
            const uint32_t offset = channelRegisters_[2 * c] | (channelRegisters_[2 * c + 1] << 8);
            const uint32_t channelGain = channelRegisters_[8 + 2 * c] | (channelRegisters_[8 + 2 * c + 1] << 8);
            const double factor = exposure * gain * channelGain / kUnityChannelGain;
            channels[c].multiplier = static_cast<uint64_t>(factor * (1u << kFixedShift) + 0.5);
            channels[c].offset = wide ? (black << 6) + (offset >> 4) : (black >> 2) + (offset >> 12);
        }
        if (wide) {
            transformSamples<2>(pixels.data(), g, channels, levelTables_);
        } else {
            transformSamples<1>(pixels.data(), g, channels, levelTables_);
        }
    }
    // The CCD sends rows bottom-up, each right to left; the mirror bits flip
    // the readout direction of either.
    const uint8_t mirror = context.fpga.get(fpga::kMirror);
    const bool rowsReversed = (mirror & kMirrorBitV) == 0;
    const bool samplesReversed = (mirror & kMirrorBitH) == 0;
    const int code = 1 + (samplesReversed ? 1 : 0) + (rowsReversed ? 2 : 0);
    if (code != kOrientationAsRead) applyRawOrientation(code, g, pixels);
}

} // namespace lumvek::sim
