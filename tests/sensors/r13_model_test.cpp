// The simulator's R13 sensor model, seen through the real controller: its
// register banks, timing, raw orientation with the mirror bits, and how
// exposure, gain, black level and channel settings shape the frames.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "simulated_r13.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

constexpr uint32_t kWidth = 6;
constexpr uint32_t kHeight = 4;

// An 8-bit (maxval 255) or 16-bit (maxval 65535, big-endian in the file) PGM.
std::string writePgm(const std::string& stem, const std::vector<uint16_t>& samples, bool wide) {
    const auto path = test::makeTempDir(stem) / "scene.pgm";
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << kWidth << " " << kHeight << "\n" << (wide ? 65535 : 255) << "\n";
    for (uint16_t s : samples) {
        if (wide) out.put(static_cast<char>(s >> 8));
        out.put(static_cast<char>(s & 0xFF));
    }
    return path.string();
}

class R13Model : public test::SimulatedCameraFixture {
protected:
    // One frame of the current window, as the camera delivers it.
    std::vector<uint8_t> readFrame(uint32_t width, uint32_t height, uint8_t depth) {
        EXPECT_EQ(controller_->WriteFpgaRegister(0x44, static_cast<uint8_t>(width)), 1);
        EXPECT_EQ(controller_->WriteFpgaRegister(0x45, static_cast<uint8_t>(width >> 8)), 1);
        EXPECT_EQ(controller_->WriteFpgaRegister(0x40, static_cast<uint8_t>(height)), 1);
        EXPECT_EQ(controller_->WriteFpgaRegister(0x41, static_cast<uint8_t>(height >> 8)), 1);
        EXPECT_EQ(controller_->WriteFpgaRegister(60, depth), 1);
        std::vector<uint8_t> pixels(size_t{width} * height * depth);
        FrameRecord record;
        record.destination = pixels.data();
        record.capacity = static_cast<uint32_t>(pixels.size());
        EXPECT_EQ(controller_->ReadFrameHeader(&record), 1);
        EXPECT_EQ(record.pixelDataBytes(), pixels.size());
        EXPECT_EQ(controller_->ReadFrameData(&record, 3000), 1);
        return pixels;
    }
    void setFpga(uint8_t reg, uint8_t value) { ASSERT_EQ(controller_->WriteFpgaRegister(reg, value), 1); }
    void setFpga16(uint8_t reg, uint16_t value) {
        setFpga(reg, static_cast<uint8_t>(value));
        setFpga(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>(value >> 8));
    }
    void setBank0(uint16_t reg, uint32_t value) { ASSERT_EQ(controller_->WriteSensorRegister32(reg, value), 1); }
};

std::vector<uint16_t> distinctSamples(uint16_t scale) {
    std::vector<uint16_t> s(kWidth * kHeight);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint16_t>((i + 1) * scale);
    return s;
}

// Where scene sample (x, y) lands for a delivery with reversed rows/samples.
size_t deliveredIndex(uint32_t x, uint32_t y, bool rowsReversed, bool samplesReversed) {
    const uint32_t row = rowsReversed ? kHeight - 1 - y : y;
    const uint32_t col = samplesReversed ? kWidth - 1 - x : x;
    return size_t{row} * kWidth + col;
}

TEST_F(R13Model, ExactSceneArrivesInRawOrientationWithMirrorBitsToggling) {
    const auto scene = distinctSamples(7);
    attach("product=0x3090,scene=" + writePgm("exact8", scene, false));
    // Exposure and gain do not touch an exact scene.
    setFpga16(0xE2, 700);
    setBank0(0x0005, 100);
    struct Case {
        uint8_t mirrorBits;
        bool rowsReversed;
        bool samplesReversed;
    };
    for (const Case c : {Case{0, true, true}, Case{2, false, true}, Case{1, true, false}, Case{3, false, false}}) {
        setFpga(0x3F, c.mirrorBits);
        const auto frame = readFrame(kWidth, kHeight, 1);
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) {
                ASSERT_EQ(frame[deliveredIndex(x, y, c.rowsReversed, c.samplesReversed)], scene[y * kWidth + x])
                    << "mirror bits " << int(c.mirrorBits) << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(R13Model, ExactSixteenBitSceneKeepsEverySample) {
    const auto scene = distinctSamples(2521);
    attach("product=0x3090,scene=" + writePgm("exact16", scene, true));
    const auto frame = readFrame(kWidth, kHeight, 2);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const size_t i = deliveredIndex(x, y, true, true);
            const uint16_t sample = static_cast<uint16_t>(frame[2 * i] | frame[2 * i + 1] << 8);
            ASSERT_EQ(sample, scene[y * kWidth + x]) << x << "," << y;
        }
    }
}

TEST_F(R13Model, BrightnessFollowsExposureGainBlackLevelAndChannels) {
    attach("product=0x3090,pattern=white");
    setFpga(0x3F, 3);  // rows and samples as read
    auto frame = readFrame(8, 4, 1);
    for (uint8_t v : frame) ASSERT_EQ(v, 255) << "power-up settings pass the scene unchanged";

    setFpga16(0xE2, 451);  // half the integrated lines
    frame = readFrame(8, 4, 1);
    for (uint8_t v : frame) ASSERT_EQ(v, 127);

    setFpga16(0xE2, 1);
    setBank0(0x0005, 175);  // half the unity gain word
    frame = readFrame(8, 4, 1);
    for (uint8_t v : frame) ASSERT_EQ(v, 127);

    setBank0(0x0005, 350);
    setFpga16(0x78, 2048);  // channel 1 at half gain: even rows, even columns
    setFpga16(0x76, 0x3000);  // channel 4 offset: odd rows, odd columns
    setBank0(0x0006, 0);
    setFpga16(0xE2, 451);
    frame = readFrame(8, 4, 1);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            const int channel = (y & 1) * 2 + (x & 1) + 1;
            const int expected = channel == 1 ? 63 : channel == 4 ? 127 + 3 : 127;
            ASSERT_EQ(frame[y * 8 + x], expected) << x << "," << y;
        }
    }
    setBank0(0x0006, 40);  // black level lifts every sample
    frame = readFrame(8, 4, 1);
    EXPECT_EQ(frame[1], 127 + 10);
}

TEST_F(R13Model, SixteenBitSamplesScaleWithTheSameSettings) {
    attach("product=0x3090,pattern=white");
    setFpga(0x3F, 3);
    auto frame = readFrame(8, 2, 2);
    for (size_t i = 0; i < frame.size(); i += 2) ASSERT_EQ(frame[i] | frame[i + 1] << 8, 0xFFFF);
    setFpga16(0xE2, 451);
    setBank0(0x0006, 40);
    frame = readFrame(8, 2, 2);
    for (size_t i = 0; i < frame.size(); i += 2) {
        const int sample = frame[i] | frame[i + 1] << 8;
        ASSERT_NEAR(sample, 65535 / 2 + 40 * 64, 80) << "half exposure plus the black level";
    }
}

TEST_F(R13Model, BanksAreSeparateAndCarryTheIdentificationText) {
    attach("product=0x3090,pattern=black");
    const uint16_t text[] = {0x5155, 0x454C, 0x524F, 0x436F, 0x2E4C, 0x7464};
    for (uint16_t bank : {0x0000, 0x8000}) {
        for (uint16_t i = 0; i < 6; ++i) {
            uint32_t value = 0;
            ASSERT_EQ(controller_->ReadSensorRegister16(static_cast<uint16_t>(bank | (0x44 + i)), &value), 1);
            EXPECT_EQ(value, text[i]);
        }
    }
    ASSERT_EQ(controller_->WriteSensorRegister32(0x8123, 0x12345678), 1);
    uint32_t value = 0;
    ASSERT_EQ(controller_->ReadSensorRegister16(0x8123, &value), 1);
    EXPECT_EQ(value, 0x5678u) << "reads carry the low 16 bits";
    ASSERT_EQ(controller_->ReadSensorRegister16(0x0123, &value), 1);
    EXPECT_EQ(value, 0u);
}

TEST_F(R13Model, FramePeriodIsTheCcdReadout) {
    attach("product=0x3090,pattern=black");
    const double period = device().framePeriodMs();
    EXPECT_NEAR(period, 2836.0 * 1952 / 60000, 0.01);
    EXPECT_NEAR(1000.0 / period, 10.8, 0.1);
}

} // namespace
} // namespace lumvek
