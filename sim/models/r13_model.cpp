#include "sim/models/r13_model.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

#include "sim/fpga_register_file.h"
#include "sim/models/level_rows.h"
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
constexpr int kFixedShift = R13Model::kFixedShift;
using ChannelTransform = R13Model::ChannelTransform;

// Samples are 8-bit, or 16-bit little-endian (copied, never aliased). Each channel's transform is tabulated for every
// input level; the tables are rebuilt only when a transform changes.
template <typename Sample>
void buildLevelTables(const std::array<ChannelTransform, 4>& channels, std::vector<Sample>& tables) {
    constexpr uint64_t kMax = std::numeric_limits<Sample>::max();
    constexpr size_t kLevels = size_t{kMax} + 1;
    tables.resize(4 * kLevels);
    for (size_t c = 0; c < 4; ++c) {
        for (uint64_t in = 0; in < kLevels; ++in) {
            const uint64_t out = std::min<uint64_t>(((in * channels[c].multiplier) >> kFixedShift) + channels[c].offset, kMax);
            tables[c * kLevels + in] = static_cast<Sample>(out);
        }
    }
}

// On a little-endian host a 16-bit sample is one (unaligned) load or store.
constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

template <typename Sample>
Sample loadSample(const uint8_t* row, size_t x) {
    if constexpr (sizeof(Sample) == 1) {
        return row[x];
    } else if constexpr (kLittleEndianHost) {
        Sample value;
        std::memcpy(&value, row + 2 * x, sizeof value);
        return value;
    } else {
        return static_cast<Sample>(row[2 * x] | row[2 * x + 1] << 8);
    }
}

template <typename Sample>
void storeSample(uint8_t* row, size_t x, Sample value) {
    if constexpr (sizeof(Sample) == 1) {
        row[x] = value;
    } else if constexpr (kLittleEndianHost) {
        std::memcpy(row + 2 * x, &value, sizeof value);
    } else {
        row[2 * x] = static_cast<uint8_t>(value);
        row[2 * x + 1] = static_cast<uint8_t>(value >> 8);
    }
}

// One pass from the scene's frame (reading order) to the frame as the CCD
// sends it: every sample through its Bayer position's table, rows and
// samples reversed as the readout direction asks. The Bayer position is the
// sample's place in reading order.
template <typename Sample>
void transformAndOrient(const uint8_t* scene, uint8_t* out, const FrameGeometry& g, const std::vector<Sample>& tables,
                        bool rowsReversed, bool samplesReversed) {
    constexpr size_t kLevels = size_t{std::numeric_limits<Sample>::max()} + 1;
    const size_t width = g.width;
    const size_t rowBytes = width * sizeof(Sample);
    for (uint32_t y = 0; y < g.height; ++y) {
        const uint8_t* from = scene + size_t{y} * rowBytes;
        uint8_t* to = out + size_t{rowsReversed ? g.height - 1 - y : y} * rowBytes;
        const Sample* even = tables.data() + (y & 1) * 2 * kLevels;
        const Sample* odd = even + kLevels;
        size_t x = 0;
        if constexpr (sizeof(Sample) == 1) {
            x = transformRow8Wide(from, to, width, even, odd, samplesReversed);
        }
        if (samplesReversed) {
            for (; x + 1 < width; x += 2) {
                storeSample<Sample>(to, width - 1 - x, even[loadSample<Sample>(from, x)]);
                storeSample<Sample>(to, width - 2 - x, odd[loadSample<Sample>(from, x + 1)]);
            }
            if (x < width) {
                storeSample<Sample>(to, 0, even[loadSample<Sample>(from, x)]);
            }
        } else {
            for (; x + 1 < width; x += 2) {
                storeSample<Sample>(to, x, even[loadSample<Sample>(from, x)]);
                storeSample<Sample>(to, x + 1, odd[loadSample<Sample>(from, x + 1)]);
            }
            if (x < width) {
                storeSample<Sample>(to, x, even[loadSample<Sample>(from, x)]);
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

void R13Model::render(const RenderContext& context, std::span<uint8_t> pixels) {
    const FrameGeometry& g = context.geometry;
    // The CCD sends rows bottom-up, each right to left; the mirror bits flip
    // the readout direction of either.
    const uint8_t mirror = context.fpga.get(fpga::kMirror);
    const bool rowsReversed = (mirror & kMirrorBitV) == 0;
    const bool samplesReversed = (mirror & kMirrorBitH) == 0;
    const int code = 1 + (samplesReversed ? 1 : 0) + (rowsReversed ? 2 : 0);
    if (context.scene.exact() || g.width == 0 || g.height == 0 || pixels.size() < g.frameBytes()) {
        context.scene.render(context.frameIndex, g, pixels);
        if (code != kOrientationAsRead) applyRawOrientation(code, g, pixels);
        return;
    }
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
    // Brightness follows the integrated lines (1.0 at the longest exposure)
    // and the gain word (1.0 at 350); each Bayer position has its channel
    // gain (4096 = 1.0) and offset; the black level lifts every sample.
    const RenderInputs inputs{g, channels, rowsReversed, samplesReversed, &context.scene};
    const bool still = !context.scene.animated();
    if (still && lastInputs_ == inputs && lastFrame_.size() == g.frameBytes()) {
        std::memcpy(pixels.data(), lastFrame_.data(), lastFrame_.size());
        return;
    }
    lastInputs_.reset();
    sceneFrame_.resize(g.frameBytes());
    context.scene.render(context.frameIndex, g, sceneFrame_);
    if (wide) {
        if (levelTables16_.empty() || channels != tables16For_) {
            buildLevelTables(channels, levelTables16_);
            tables16For_ = channels;
        }
        transformAndOrient(sceneFrame_.data(), pixels.data(), g, levelTables16_, rowsReversed, samplesReversed);
    } else {
        if (levelTables8_.empty() || channels != tables8For_) {
            buildLevelTables(channels, levelTables8_);
            tables8For_ = channels;
        }
        transformAndOrient(sceneFrame_.data(), pixels.data(), g, levelTables8_, rowsReversed, samplesReversed);
    }
    if (still) {
        lastFrame_.assign(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(g.frameBytes()));
        lastInputs_ = inputs;
    } else {
        lastFrame_ = {};
    }
}

} // namespace lumvek::sim
