// Every still format and depth, decoded by programs we did not write.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <thread>

#include "output/outside_decoders.h"
#include "output/still/save_image.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;

constexpr int kDepths[] = {8, 16, 24, 32, 48, 64};
constexpr int kOddWidth = 37;  // rows carry padding at every depth but 32 and 64
constexpr int kOddHeight = 23;

void makePicture(ImageBuffer& picture, int bits) {
    ASSERT_TRUE(picture.create(kOddWidth, kOddHeight, bits));
    fillPicture(picture, 1 + static_cast<uint32_t>(bits));
}

std::string pathIn(const std::filesystem::path& dir, const std::string& name) {
    return (dir / name).string();
}

const char* mapFor(int bits, bool alpha) {
    if (bits <= 16) {
        return "gray";
    }
    return alpha && (bits == 32 || bits == 64) ? "rgba" : "rgb";
}

int sampleDepth(int bits) {
    return (bits == 16 || bits >= 48) ? 16 : 8;
}

TEST(StillFiles, RawIsTheBufferImageAndBmpDecodesToThePicture) {
    LUMVEK_REQUIRE_TOOL(convert, "convert");
    const auto dir = makeTempDir("raw-bmp");
    for (int bits : kDepths) {
        ImageBuffer picture;
        makePicture(picture, bits);
        const std::string raw = pathIn(dir, "p" + std::to_string(bits) + ".raw");
        ASSERT_EQ(1, saveImage(picture, bits, raw.c_str(), 1).result);
        const auto rawBytes = readFileBytes(raw);
        ASSERT_EQ(picture.sizeBytes(), rawBytes.size());
        EXPECT_EQ(0, std::memcmp(rawBytes.data(), picture.pixels(), picture.sizeBytes())) << bits;

        const std::string bmp = pathIn(dir, "p" + std::to_string(bits) + ".bmp");
        ASSERT_EQ(1, saveImage(picture, bits, bmp.c_str(), 0).result);
        const auto b = readFileBytes(bmp);
        const uint32_t dataOffset = bits <= 8 ? 1078 : 54;
        ASSERT_EQ(dataOffset + picture.sizeBytes(), b.size()) << bits;
        EXPECT_EQ('B', b[0]);
        EXPECT_EQ('M', b[1]);
        EXPECT_EQ(b.size(), le32(b, 2));
        EXPECT_EQ(0u, le32(b, 6));
        EXPECT_EQ(dataOffset, le32(b, 10));
        EXPECT_EQ(40u, le32(b, 14));
        EXPECT_EQ(static_cast<uint32_t>(kOddWidth), le32(b, 18));
        EXPECT_EQ(static_cast<uint32_t>(kOddHeight), le32(b, 22));  // positive: bottom line first
        EXPECT_EQ(1, le16(b, 26));
        EXPECT_EQ(bits, le16(b, 28));
        for (size_t at = 30; at < 54; at += 4) {
            EXPECT_EQ(0u, le32(b, at)) << "info header field at " << at;
        }
        for (int r = 0; r < kOddHeight; ++r) {
            const uint8_t* stored = b.data() + dataOffset + static_cast<size_t>(picture.stride()) * r;
            ASSERT_EQ(0, std::memcmp(stored, picture.row(kOddHeight - 1 - r), picture.stride())) << bits << " " << r;
        }
        if (bits == 8 || bits == 24) {  // the depths other decoders agree on
            EXPECT_EQ(expectedSamples(picture, false), imageMagickSamples(convert, bmp, mapFor(bits, false), 8))
                << bits;
        }
    }
}

TEST(StillFiles, PngDecodesExactlyAtEveryDepthWithOpaqueAlpha) {
    LUMVEK_REQUIRE_TOOL(convert, "convert");
    LUMVEK_REQUIRE_TOOL(pngcheck, "pngcheck");
    const auto dir = makeTempDir("png");
    for (int bits : kDepths) {
        ImageBuffer picture;
        makePicture(picture, bits);
        const std::string png = pathIn(dir, "p" + std::to_string(bits) + ".png");
        ASSERT_EQ(1, saveImage(picture, bits, png.c_str(), 5).result);
        const auto check = runCommand(pngcheck + " -v '" + png + "'");
        EXPECT_EQ(0, check.exitCode) << check.output;
        const bool alpha = bits == 32 || bits == 64;
        EXPECT_EQ(expectedSamples(picture, true),
                  imageMagickSamples(convert, png, mapFor(bits, alpha), sampleDepth(bits)))
            << bits;
    }
}

TEST(StillFiles, PngEdgeCasesSampleByteOrderAndOpaqueThirtyTwoBit) {
    LUMVEK_REQUIRE_TOOL(convert, "convert");
    const auto dir = makeTempDir("png-edges");
    // 16-bit sample 0x1234 is stored most significant byte first.
    ImageBuffer one;
    ASSERT_TRUE(one.create(1, 1, 16));
    one.pixels()[0] = 0x34;
    one.pixels()[1] = 0x12;
    const std::string path = pathIn(dir, "one.png");
    ASSERT_EQ(1, saveImage(one, 16, path.c_str(), 5).result);
    const auto png = readFileBytes(path);
    size_t at = 8;
    std::vector<uint8_t> idat;
    while (at + 8 <= png.size()) {
        const uint32_t length = (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
            idat.insert(idat.end(), png.begin() + static_cast<ptrdiff_t>(at + 8),
                        png.begin() + static_cast<ptrdiff_t>(at + 8 + length));
        }
        at += 12 + length;
    }
    uint8_t inflated[16] = {};
    uLongf inflatedSize = sizeof inflated;
    ASSERT_EQ(Z_OK, uncompress(inflated, &inflatedSize, idat.data(), idat.size()));
    ASSERT_EQ(3u, inflatedSize);  // filter byte + one sample; every filter leaves a lone first pixel as it is
    EXPECT_EQ(0x12, inflated[1]);
    EXPECT_EQ(0x34, inflated[2]);

    // The pipeline leaves the fourth byte 0: fully opaque.
    ImageBuffer colour;
    ASSERT_TRUE(colour.create(9, 4, 32));
    fillPicture(colour, 3);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 9; ++c) {
            colour.row(r)[4 * c + 3] = 0;
        }
    }
    const std::string rgba = pathIn(dir, "opaque.png");
    ASSERT_EQ(1, saveImage(colour, 32, rgba.c_str(), 5).result);
    const auto samples = imageMagickSamples(convert, rgba, "rgba", 8);
    ASSERT_EQ(9u * 4u * 4u, samples.size());
    for (size_t i = 3; i < samples.size(); i += 4) {
        ASSERT_EQ(255, samples[i]) << i;
    }
}

// Strip bytes of a little-endian TIFF with one strip, read from its own
// directory entries.
std::vector<uint8_t> tiffStrip(const std::vector<uint8_t>& t) {
    if (t.size() < 8 || t[0] != 'I' || t[1] != 'I') {
        return {};
    }
    const uint32_t ifd = le32(t, 4);
    const uint16_t entries = le16(t, ifd);
    uint32_t offset = 0;
    uint32_t count = 0;
    for (uint16_t i = 0; i < entries; ++i) {
        const size_t e = ifd + 2 + 12u * i;
        const uint16_t tag = le16(t, e);
        const uint16_t type = le16(t, e + 2);
        const uint32_t value = type == 3 ? le16(t, e + 8) : le32(t, e + 8);
        if (tag == 273) {
            offset = value;
        } else if (tag == 279) {
            count = value;
        }
    }
    if (offset == 0 || offset + static_cast<size_t>(count) > t.size()) {
        return {};
    }
    return {t.begin() + offset, t.begin() + offset + count};
}

TEST(StillFiles, TiffStoresRedGreenBlueUnpaddedWithTheTagsOfEachDepth) {
    LUMVEK_REQUIRE_TOOL(convert, "convert");
    LUMVEK_REQUIRE_TOOL(tiffdump, "tiffdump");
    LUMVEK_REQUIRE_TOOL(tiffinfo, "tiffinfo");
    const auto dir = makeTempDir("tiff");
    for (int bits : kDepths) {
        ImageBuffer picture;
        makePicture(picture, bits);
        const std::string tif = pathIn(dir, "p" + std::to_string(bits) + ".tif");
        ASSERT_EQ(1, saveImage(picture, bits, tif.c_str(), 6).result);
        EXPECT_EQ(0, runCommand(tiffinfo + " '" + tif + "'").exitCode) << bits;
        const std::string dump = runCommand(tiffdump + " '" + tif + "'").output;
        const int samples = bits <= 16 ? 1 : (bits == 32 || bits == 64 ? 4 : 3);
        EXPECT_NE(std::string::npos, dump.find("SamplesPerPixel (277) SHORT (3) 1<" + std::to_string(samples) + ">"))
            << dump;
        EXPECT_NE(std::string::npos, dump.find("Photometric (262) SHORT (3) 1<" + std::string(bits <= 16 ? "1" : "2")))
            << dump;
        EXPECT_NE(std::string::npos, dump.find("Compression (259) SHORT (3) 1<1>")) << dump;
        // A fourth sample is marked as no alpha, so readers show the picture
        // opaque instead of taking the zero bytes of 32-bit files as transparent.
        EXPECT_EQ(samples == 4, dump.find("ExtraSamples (338) SHORT (3) 1<0>") != std::string::npos) << dump;
        if (samples == 4) {
            // PIL reads the 32-bit file as RGBX: colour plus a padding byte, no alpha.
            const std::string python = findTool("python3");
            const auto mode = runCommand(python + " -c \"from PIL import Image; print(Image.open('" + tif +
                                         "').mode, end='')\"");
            if (mode.exitCode == 0) {
                EXPECT_EQ(bits == 32 ? "RGBX" : mode.output, mode.output) << bits;
            }
        }

        // 32 bits: fourth byte 0; 64 bits: fourth sample 0xFFFF.
        std::vector<uint8_t> want = expectedSamples(picture, bits == 64);
        if (bits == 32) {
            std::vector<uint8_t> withZero;
            for (size_t i = 0; i < want.size(); i += 3) {
                withZero.insert(withZero.end(), {want[i], want[i + 1], want[i + 2], 0});
            }
            want = withZero;
        }
        EXPECT_EQ(want, tiffStrip(readFileBytes(tif))) << bits;
        if (bits != 32 && bits != 64) {
            EXPECT_EQ(expectedSamples(picture, false),
                      imageMagickSamples(convert, tif, mapFor(bits, false), sampleDepth(bits)))
                << bits;
        }
    }
}

TEST(StillFiles, TiffOfColourPictureReadsRedGreenBlueInPil) {
    const std::string python = "/usr/bin/python3";
    if (runCommand(python + " -c 'import PIL'").exitCode != 0) {
        GTEST_SKIP() << "python3-pil is not installed";
    }
    const auto dir = makeTempDir("tiff-pil");
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(3, 1, 24));
    const uint8_t bgr[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};  // blue, green, red per pixel
    std::memcpy(picture.pixels(), bgr, sizeof bgr);
    const std::string tif = pathIn(dir, "rgb.tif");
    ASSERT_EQ(1, saveImage(picture, 24, tif.c_str(), 6).result);
    const auto out = runCommand(python + " -c \"from PIL import Image; im=Image.open('" + tif +
                                "'); print(im.mode, list(im.getdata()))\"");
    EXPECT_EQ("RGB [(30, 20, 10), (60, 50, 40), (90, 80, 70)]\n", out.output);
}

double meanAbsoluteError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) {
        return 1e9;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    }
    return sum / static_cast<double>(a.size());
}

// What the JPEG encoder is given: 8-bit samples (high bytes of 16-bit ones),
// red-green-blue.
std::vector<uint8_t> eightBitView(const ImageBuffer& picture) {
    const auto full = expectedSamples(picture, false);
    if (sampleDepth(picture.bitsPerPixel()) == 8) {
        return full;
    }
    std::vector<uint8_t> high;
    for (size_t i = 1; i < full.size(); i += 2) {
        high.push_back(full[i]);
    }
    return high;
}

bool progressive(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC2) {
            return true;
        }
    }
    return false;
}

TEST(StillFiles, JpegIsProgressiveShrinksWithQualityAndDecodesWithinItsLoss) {
    LUMVEK_REQUIRE_TOOL(djpeg, "djpeg");
    const auto dir = makeTempDir("jpeg");
    for (int bits : kDepths) {
        ImageBuffer picture;
        ASSERT_TRUE(picture.create(97, 61, bits));
        fillSmoothPicture(picture);
        const auto want = eightBitView(picture);
        size_t previousSize = SIZE_MAX;
        for (int type : {2, 3, 4}) {
            const std::string jpg = pathIn(dir, "p" + std::to_string(bits) + "-" + std::to_string(type) + ".jpg");
            ASSERT_EQ(1, saveImage(picture, bits, jpg.c_str(), type).result);
            const auto file = readFileBytes(jpg);
            EXPECT_TRUE(progressive(file)) << bits << " type " << type;
            EXPECT_LT(file.size(), previousSize) << bits << " type " << type;
            previousSize = file.size();

            const std::string pnm = jpg + ".pnm";
            ASSERT_EQ(0, runCommand(djpeg + " -pnm -outfile '" + pnm + "' '" + jpg + "'").exitCode);
            const Pnm decoded = parsePnm(readFileBytes(pnm));
            EXPECT_EQ(97, decoded.width);
            EXPECT_EQ(61, decoded.height);
            EXPECT_EQ(bits <= 16 ? 1 : 3, decoded.channels) << bits;
            // Loose enough for chroma subsampling, far below a channel or row mix-up
            // (the channels of the picture differ by 30 and its rows by up to 150).
            const double limit = type == 2 ? 2.5 : (type == 3 ? 5.0 : 10.0);
            EXPECT_LT(meanAbsoluteError(want, decoded.samples), limit) << bits << " type " << type;
        }
    }
}

TEST(StillFiles, FullFrameBmpSizesAndBottomLineFirst) {
    const auto dir = makeTempDir("bmp-full");
    ImageBuffer grey;
    ASSERT_TRUE(grey.create(2336, 1752, 8));
    grey.row(0)[0] = 0;
    grey.row(1751)[0] = 255;
    const std::string path8 = pathIn(dir, "full8.bmp");
    ASSERT_EQ(1, saveImage(grey, 8, path8.c_str(), 0).result);
    EXPECT_EQ(1078u + 4092672u, std::filesystem::file_size(path8));
    const auto bytes = readFileBytes(path8);
    EXPECT_EQ(255, bytes[1078]);
    EXPECT_EQ(128, bytes[54 + 4 * 128]);  // grey colour table entry

    ImageBuffer colour;
    ASSERT_TRUE(colour.create(2336, 1752, 24));
    const std::string path24 = pathIn(dir, "full24.bmp");
    ASSERT_EQ(1, saveImage(colour, 24, path24.c_str(), 0).result);
    EXPECT_EQ(54u + 12278016u, std::filesystem::file_size(path24));
}

// Bad requests and bad places: result 0, the code the export reports, the
// picture untouched, and the process alive (the library error paths of
// libjpeg and libpng return to the writer).
TEST(StillFiles, UnusablePathsAndRequestsFailCleanly) {
    const auto dir = makeTempDir("bad-paths");
    const std::string inDirectory = dir.string();
    const std::string missingParent = (dir / "no-such-folder" / "x.img").string();
    const bool haveDevFull = std::filesystem::exists("/dev/full");
    for (int bits : kDepths) {
        ImageBuffer picture;
        makePicture(picture, bits);
        std::vector<uint8_t> before(picture.pixels(), picture.pixels() + picture.sizeBytes());
        for (int type = 0; type <= 6; ++type) {
            for (const char* path : {static_cast<const char*>(nullptr), "", inDirectory.c_str(), missingParent.c_str()}) {
                const SaveOutcome outcome = saveImage(picture, bits, path, type);
                EXPECT_EQ(0, outcome.result) << bits << " type " << type << " " << (path ? path : "(null)");
                EXPECT_EQ(0, outcome.errorCode);
            }
            if (haveDevFull) {  // every write fails with "no space left"
                const SaveOutcome full = saveImage(picture, bits, "/dev/full", type);
                EXPECT_EQ(0, full.result) << bits << " type " << type << " on a full disk";
                EXPECT_EQ(0, full.errorCode);
            }
        }
        EXPECT_EQ(0, std::memcmp(before.data(), picture.pixels(), before.size())) << bits;

        const std::string fine = pathIn(dir, "fine.bin");
        const SaveOutcome unknown = saveImage(picture, bits, fine.c_str(), 7);
        EXPECT_EQ(0, unknown.result);
        EXPECT_EQ(0, unknown.errorCode);  // no error is reported for an unknown type
        EXPECT_FALSE(std::filesystem::exists(fine));
        EXPECT_EQ(0, saveImage(picture, bits, fine.c_str(), -1).result);
    }
    ImageBuffer empty;
    const SaveOutcome none = saveImage(empty, 8, pathIn(dir, "none.bmp").c_str(), 0);
    EXPECT_EQ(0, none.result);
    EXPECT_EQ(1, none.errorCode);
    ImageBuffer picture;
        makePicture(picture, 24);
    EXPECT_EQ(1, saveImage(picture, 32, pathIn(dir, "mismatch.bmp").c_str(), 0).errorCode);
}

TEST(StillFiles, PngSavesFromSeveralThreadsEachGetTheirOwnPicture) {
    LUMVEK_REQUIRE_TOOL(convert, "convert");
    const auto dir = makeTempDir("png-threads");
    constexpr int kThreads = 4;
    constexpr int kRounds = 5;
    std::vector<ImageBuffer> pictures(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_TRUE(pictures[t].create(64 + t, 48, t % 2 == 0 ? 24 : 48));
        fillPicture(pictures[t], 100 + t);
    }
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const std::string path = pathIn(dir, "t" + std::to_string(t) + "-" + std::to_string(round) + ".png");
                if (saveImage(pictures[t], pictures[t].bitsPerPixel(), path.c_str(), 5).result != 1) {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(0, failures[t]);
        const int bits = pictures[t].bitsPerPixel();
        for (int round = 0; round < kRounds; ++round) {
            const auto path = dir / ("t" + std::to_string(t) + "-" + std::to_string(round) + ".png");
            EXPECT_EQ(expectedSamples(pictures[t], false), imageMagickSamples(convert, path, "rgb", sampleDepth(bits)))
                << t << " " << round;
        }
    }
}

} // namespace
} // namespace lumvek
