#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "conversion/pattern.h"
#include "imaging/convert/conversion_kernels.h"

namespace lumvek {
namespace {

using test::fillPattern;

struct Member {
    Conversion conversion;
    const char* name;
    int srcBits;
    int dstBits;
};

// Every member at every pixel-size pairing it accepts.
const Member kMembers[] = {
    {Conversion::TenBitTo8Flipped, "TenBitTo8Flipped", 16, 8},
    {Conversion::HighByte16To8Flipped, "HighByte16To8Flipped", 16, 8},
    {Conversion::HighByte16To8, "HighByte16To8", 16, 8},
    {Conversion::HighBytesTo24Flipped, "HighBytesTo24Flipped/48", 48, 24},
    {Conversion::HighBytesTo24Flipped, "HighBytesTo24Flipped/64", 64, 24},
    {Conversion::HighBytesTo24, "HighBytesTo24/48", 48, 24},
    {Conversion::HighBytesTo24, "HighBytesTo24/64", 64, 24},
    {Conversion::Copy24Flipped, "Copy24Flipped/24", 24, 24},
    {Conversion::Copy24Flipped, "Copy24Flipped/32", 32, 24},
    {Conversion::Copy24, "Copy24/24", 24, 24},
    {Conversion::Copy24, "Copy24/32", 32, 24},
    {Conversion::SwapRedBlue, "SwapRedBlue/24-24", 24, 24},
    {Conversion::SwapRedBlue, "SwapRedBlue/32-32", 32, 32},
    {Conversion::SwapRedBlue, "SwapRedBlue/32-24", 32, 24},
    {Conversion::InvertFourthByte32, "InvertFourthByte32", 32, 32},
    {Conversion::CopyRowsFlipped, "CopyRowsFlipped/8", 8, 8},
    {Conversion::CopyRowsFlipped, "CopyRowsFlipped/16", 16, 16},
    {Conversion::CopyRowsFlipped, "CopyRowsFlipped/64", 64, 64},
    {Conversion::Grey8To24, "Grey8To24", 8, 24},
    {Conversion::SwapRedBlue16, "SwapRedBlue16/48", 48, 48},
    {Conversion::SwapRedBlue16, "SwapRedBlue16/64", 64, 64},
    {Conversion::OpaqueFourthSample64, "OpaqueFourthSample64", 64, 64},
};

bool flipped(Conversion c) {
    return c == Conversion::TenBitTo8Flipped || c == Conversion::HighByte16To8Flipped ||
           c == Conversion::HighBytesTo24Flipped || c == Conversion::Copy24Flipped ||
           c == Conversion::CopyRowsFlipped;
}

uint16_t sample(const uint8_t* p, int i) {
    return static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
}

// What one destination pixel must hold, written from the rules of each
// member independently of the kernels. `keep` is the destination's old
// content (members leave some bytes alone).
std::vector<uint8_t> expectedPixel(Conversion c, const uint8_t* s, int srcBytes, int dstBytes, const uint8_t* keep) {
    std::vector<uint8_t> d(keep, keep + dstBytes);
    switch (c) {
    case Conversion::TenBitTo8Flipped:
        d[0] = static_cast<uint8_t>((sample(s, 0) >> 2) & 0xFF);
        break;
    case Conversion::HighByte16To8Flipped:
    case Conversion::HighByte16To8:
        d[0] = static_cast<uint8_t>(sample(s, 0) >> 8);
        break;
    case Conversion::HighBytesTo24Flipped:
    case Conversion::HighBytesTo24:
        for (int k = 0; k < 3; ++k) {
            d[k] = static_cast<uint8_t>(sample(s, k) >> 8);
        }
        break;
    case Conversion::Copy24Flipped:
    case Conversion::Copy24:
        std::memcpy(d.data(), s, 3);
        break;
    case Conversion::SwapRedBlue:
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        break;
    case Conversion::InvertFourthByte32:
        std::memcpy(d.data(), s, 3);
        d[3] = static_cast<uint8_t>(255 - s[3]);
        break;
    case Conversion::CopyRowsFlipped:
        std::memcpy(d.data(), s, static_cast<size_t>(srcBytes));
        break;
    case Conversion::Grey8To24:
        d[0] = d[1] = d[2] = s[0];
        break;
    case Conversion::SwapRedBlue16:
        std::memcpy(d.data(), s + 4, 2);
        std::memcpy(d.data() + 2, s + 2, 2);
        std::memcpy(d.data() + 4, s, 2);
        if (dstBytes == 8) {
            d[6] = d[7] = 0xFF;
        }
        break;
    case Conversion::OpaqueFourthSample64:
        std::memcpy(d.data(), s, 6);
        d[6] = d[7] = 0xFF;
        break;
    }
    return d;
}

// Checks every row when rowStep is 1; at full size a spread of rows and the
// last one (the paths are compared on every byte anyway).
void expectMatchesRules(const Member& m, const ImageBuffer& src, const ImageBuffer& before, const ImageBuffer& dst,
                        int rowStep) {
    const int sb = m.srcBits / 8;
    const int db = m.dstBits / 8;
    auto checkRow = [&](int r) {
        const int sr = flipped(m.conversion) ? src.height() - 1 - r : r;
        for (int c = 0; c < dst.width(); ++c) {
            const auto want = expectedPixel(m.conversion, src.row(sr) + c * sb, sb, db, before.row(r) + c * db);
            ASSERT_EQ(0, std::memcmp(want.data(), dst.row(r) + c * db, static_cast<size_t>(db)))
                << m.name << " at row " << r << " column " << c << " of " << dst.width() << "x" << dst.height();
        }
    };
    for (int r = 0; r < dst.height(); r += rowStep) {
        checkRow(r);
    }
    checkRow(dst.height() - 1);
}

void runBothPaths(const Member& m, int width, int height) {
    ImageBuffer src;
    ImageBuffer scalar;
    ImageBuffer optimised;
    ImageBuffer before;
    ASSERT_TRUE(src.create(width, height, m.srcBits));
    ASSERT_TRUE(scalar.create(width, height, m.dstBits));
    ASSERT_TRUE(optimised.create(width, height, m.dstBits));
    ASSERT_TRUE(before.create(width, height, m.dstBits));
    fillPattern(src, static_cast<uint32_t>(width * 31 + height));
    // Start the destinations from a pattern too: bytes a member must not
    // write then show up.
    fillPattern(before, 7);
    std::memcpy(scalar.pixels(), before.pixels(), before.sizeBytes());
    std::memcpy(optimised.pixels(), before.pixels(), before.sizeBytes());

    ASSERT_EQ(1, convertImage(scalar, m.conversion, src, KernelPath::Reference)) << m.name;
    ASSERT_EQ(1, convertImage(optimised, m.conversion, src, KernelPath::Optimised)) << m.name;
    ASSERT_EQ(0, std::memcmp(scalar.pixels(), optimised.pixels(), scalar.sizeBytes()))
        << m.name << " paths differ at " << width << "x" << height;
    expectMatchesRules(m, src, before, scalar, height > 100 ? 97 : 1);
}

TEST(ConversionKernels, EveryMemberFollowsItsRuleOnBothPathsAtTinyAndOddSizes) {
    const int sizes[][2] = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {4, 4}, {5, 7}, {37, 13}, {642, 3}};
    for (const Member& m : kMembers) {
        for (const auto& s : sizes) {
            runBothPaths(m, s[0], s[1]);
        }
    }
}

TEST(ConversionKernels, EveryMemberBitIdenticalOnBothPathsAtFullSensorSize) {
    for (const Member& m : kMembers) {
        runBothPaths(m, 2336, 1752);
    }
}

TEST(ConversionKernels, TenBitMemberKeepsBitsTwoToNineAndWrapsAbove) {
    const uint16_t in[] = {0x03FF, 0x0200, 0x0003, 0x0400, 0x0004, 0xFFFF};
    const uint8_t want[] = {0xFF, 0x80, 0x00, 0x00, 0x01, 0xFF};
    for (KernelPath path : {KernelPath::Reference, KernelPath::Optimised}) {
        ImageBuffer src;
        ImageBuffer dst;
        ASSERT_TRUE(src.create(6, 1, 16));
        ASSERT_TRUE(dst.create(6, 1, 8));
        std::memcpy(src.pixels(), in, sizeof in);
        ASSERT_EQ(1, convertImage(dst, Conversion::TenBitTo8Flipped, src, path));
        EXPECT_EQ(0, std::memcmp(dst.pixels(), want, sizeof want));
    }
}

TEST(ConversionKernels, FourthByteInversionMakesZeroOpaqueAndFullTransparent) {
    ImageBuffer src;
    ImageBuffer dst;
    ASSERT_TRUE(src.create(2, 1, 32));
    ASSERT_TRUE(dst.create(2, 1, 32));
    const uint8_t in[] = {1, 2, 3, 0, 4, 5, 6, 255};
    std::memcpy(src.pixels(), in, sizeof in);
    ASSERT_EQ(1, convertImage(dst, Conversion::InvertFourthByte32, src));
    const uint8_t want[] = {1, 2, 3, 255, 4, 5, 6, 0};
    EXPECT_EQ(0, std::memcmp(dst.pixels(), want, sizeof want));
}

TEST(ConversionKernels, UnsupportedPixelSizesWriteNothingAndReturnZero) {
    ImageBuffer src8;
    ImageBuffer dst24;
    ImageBuffer src24;
    ImageBuffer dst16;
    ASSERT_TRUE(src8.create(4, 4, 8));
    ASSERT_TRUE(dst24.create(4, 4, 24));
    ASSERT_TRUE(src24.create(4, 4, 24));
    ASSERT_TRUE(dst16.create(4, 4, 16));
    fillPattern(src8, 1);
    fillPattern(src24, 2);
    for (KernelPath path : {KernelPath::Reference, KernelPath::Optimised}) {
        EXPECT_EQ(0, convertImage(dst24, Conversion::TenBitTo8Flipped, src8, path));
        EXPECT_EQ(0, convertImage(dst24, Conversion::HighBytesTo24, src8, path));
        EXPECT_EQ(0, convertImage(dst16, Conversion::CopyRowsFlipped, src24, path));
        EXPECT_EQ(0, convertImage(dst16, Conversion::SwapRedBlue, src24, path));
    }
    for (size_t i = 0; i < dst24.sizeBytes(); ++i) {
        ASSERT_EQ(0, dst24.pixels()[i]);
    }
    for (size_t i = 0; i < dst16.sizeBytes(); ++i) {
        ASSERT_EQ(0, dst16.pixels()[i]);
    }
}

// A kernel given a rectangle and a destination origin (in the rows it is
// handed) writes exactly that region, on both paths.
TEST(ConversionKernels, RectangleAtOffsetWritesOnlyItsRegion) {
    for (KernelPath path : {KernelPath::Reference, KernelPath::Optimised}) {
        ImageBuffer src;
        ImageBuffer dst;
        ASSERT_TRUE(src.create(9, 9, 48));
        ASSERT_TRUE(dst.create(11, 10, 24));
        fillPattern(src, 3);
        const Rect rect{2, 3, 7, 6};  // 5 x 3
        const PixelKernel kernel = conversionKernel(Conversion::HighBytesTo24, path);
        ASSERT_EQ(1, kernel(dst.pixels(), src.pixels(), rect, 4, 5, 3, 6, dst.stride(), src.stride(), nullptr, nullptr));
        for (int r = 0; r < dst.height(); ++r) {
            for (int c = 0; c < dst.width(); ++c) {
                const uint8_t* d = dst.row(r) + 3 * c;
                const bool inside = r >= 5 && r < 8 && c >= 4 && c < 9;
                if (!inside) {
                    ASSERT_EQ(0, d[0] | d[1] | d[2]) << r << "," << c;
                    continue;
                }
                const uint8_t* s = src.row(3 + r - 5) + 6 * (2 + c - 4);
                ASSERT_EQ(s[1], d[0]);
                ASSERT_EQ(s[3], d[1]);
                ASSERT_EQ(s[5], d[2]);
            }
        }
    }
}

TEST(ConversionKernels, RectangleOutsideDestinationCallsNothing) {
    ImageBuffer src;
    ImageBuffer dst;
    ASSERT_TRUE(src.create(4, 4, 24));
    ASSERT_TRUE(dst.create(4, 4, 24));
    Rect rect{0, 0, 4, 4};
    EXPECT_EQ(0, apply(dst, conversionKernel(Conversion::Copy24, KernelPath::Optimised), src, &rect, 10, 10, nullptr,
                       nullptr));
    EXPECT_EQ(Rect{}, rect);
}

} // namespace
} // namespace lumvek
