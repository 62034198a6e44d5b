#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "output/mask/mask_file.h"
#include "output/outside_decoders.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;

// The four reference frames as a fresh instance has them: dark 0, white
// all ones.
struct Planes {
    ImageBuffer dark8;
    ImageBuffer white8;
    ImageBuffer dark16;
    ImageBuffer white16;

    Planes() {
        EXPECT_TRUE(dark8.create(kMaskWidth, kMaskHeight, 8));
        EXPECT_TRUE(white8.create(kMaskWidth, kMaskHeight, 8));
        EXPECT_TRUE(dark16.create(kMaskWidth, kMaskHeight, 16));
        EXPECT_TRUE(white16.create(kMaskWidth, kMaskHeight, 16));
        std::memset(white8.pixels(), 0xFF, white8.sizeBytes());
        std::memset(white16.pixels(), 0xFF, white16.sizeBytes());
    }
    ReferencePlanes refs() { return {dark8, white8, dark16, white16}; }
    void fill(uint32_t seed) {
        for (ImageBuffer* p : {&dark8, &white8, &dark16, &white16}) {
            fillPicture(*p, seed++);
        }
    }
    std::vector<uint8_t> snapshot() const {
        std::vector<uint8_t> all;
        for (const ImageBuffer* p : {&dark8, &white8, &dark16, &white16}) {
            all.insert(all.end(), p->pixels(), p->pixels() + p->sizeBytes());
        }
        return all;
    }
};

void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(MaskFile, FreshPlanesSaveTheDocumentedFileAndLoadBack) {
    const auto dir = makeTempDir("mask-fresh");
    const auto path = dir / "fresh.msk";
    auto fresh = std::make_unique<Planes>();
    const MaskFileOutcome saved = saveMaskFile(path.string().c_str(), fresh->refs());
    ASSERT_EQ(1, saved.result);
    EXPECT_EQ(0, saved.errorCode);
    const auto f = readFileBytes(path);
    ASSERT_EQ(24556072u, f.size());
    EXPECT_EQ(0, std::memcmp(f.data(), "QUELRO MASK1000\0", 16));
    const uint32_t header[] = {2336, 1752, 4092672, 4092672, 8185344, 8185344};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(header[i], le32(f, 16 + 4 * i)) << i;
    }
    const std::pair<size_t, size_t> zeroRanges[] = {{40, 4092712}, {8185384, 16370728}};
    for (const auto& [from, to] : zeroRanges) {
        for (size_t i = from; i < to; ++i) {
            ASSERT_EQ(0, f[i]) << i;
        }
    }
    for (const auto& [from, to] : {std::pair<size_t, size_t>{4092712, 8185384}, {16370728, 24556072}}) {
        for (size_t i = from; i < to; ++i) {
            ASSERT_EQ(0xFF, f[i]) << i;
        }
    }

    auto other = std::make_unique<Planes>();
    other->fill(5);
    const MaskFileOutcome loaded = loadMaskFile(path.string().c_str(), other->refs());
    EXPECT_EQ(1, loaded.result);
    EXPECT_EQ(fresh->snapshot(), other->snapshot());
}

TEST(MaskFile, RoundTripKeepsEveryPlaneExactly) {
    const auto dir = makeTempDir("mask-round");
    const auto path = (dir / "round.msk").string();
    auto source = std::make_unique<Planes>();
    source->fill(17);
    ASSERT_EQ(1, saveMaskFile(path.c_str(), source->refs()).result);
    auto target = std::make_unique<Planes>();
    ASSERT_EQ(1, loadMaskFile(path.c_str(), target->refs()).result);
    EXPECT_EQ(source->snapshot(), target->snapshot());
    // The 16-bit planes are the buffers' little-endian words.
    const auto f = readFileBytes(path);
    EXPECT_EQ(0, std::memcmp(&f[8185384], source->dark16.pixels(), 64));
}

// Any header that fails validation, and anything that is not a readable
// file, is code 14 and leaves every plane as it was.
TEST(MaskFile, InvalidHeadersAndUnreadablePathsAreRefusedWithoutChanges) {
    const auto dir = makeTempDir("mask-invalid");
    const auto good = dir / "good.msk";
    {
        auto source = std::make_unique<Planes>();
        source->fill(3);
        ASSERT_EQ(1, saveMaskFile(good.string().c_str(), source->refs()).result);
    }
    const auto original = readFileBytes(good);
    struct Damage {
        const char* name;
        size_t offset;
        uint8_t value;
    };
    const Damage damages[] = {
        {"magic without its zero byte", 15, 'X'}, {"magic letter", 0, 'q'},   {"width 2335", 16, 0x1F},
        {"height", 20, 0xD9},                      {"plane 1 size", 24, 0x01}, {"plane 4 size", 39, 0x01},
    };
    auto target = std::make_unique<Planes>();
    target->fill(99);
    const auto before = target->snapshot();
    for (const Damage& d : damages) {
        auto bytes = original;
        bytes[d.offset] = d.value;
        const auto path = dir / "damaged.msk";
        writeBytes(path, bytes);
        const MaskFileOutcome outcome = loadMaskFile(path.string().c_str(), target->refs());
        EXPECT_EQ(0, outcome.result) << d.name;
        EXPECT_EQ(14, outcome.errorCode) << d.name;
    }
    writeBytes(dir / "empty.msk", {});
    writeBytes(dir / "short-header.msk", std::vector<uint8_t>(original.begin(), original.begin() + 39));
    for (const std::string& path : {(dir / "empty.msk").string(), (dir / "short-header.msk").string(), dir.string(),
                                   (dir / "missing.msk").string(), std::string()}) {
        EXPECT_EQ(14, loadMaskFile(path.c_str(), target->refs()).errorCode) << path;
    }
    EXPECT_EQ(14, loadMaskFile(nullptr, target->refs()).errorCode);
#ifndef _WIN32  // no FIFOs on Windows
    const auto fifo = dir / "pipe.msk";  // nobody writes to it: must not hang
    ASSERT_EQ(0, ::mkfifo(fifo.string().c_str(), 0600));
    EXPECT_EQ(14, loadMaskFile(fifo.string().c_str(), target->refs()).errorCode);
#endif
    EXPECT_EQ(before, target->snapshot());

    // Planes that are not full-size frames of the right depth are never
    // written into, whatever the file says.
    auto odd = std::make_unique<Planes>();
    ASSERT_TRUE(odd->white16.create(kMaskWidth, kMaskHeight, 8));
    EXPECT_EQ(14, loadMaskFile(good.string().c_str(), odd->refs()).errorCode);
    for (size_t i = 0; i < odd->dark8.sizeBytes(); ++i) {
        ASSERT_EQ(0, odd->dark8.pixels()[i]);
    }
}

TEST(MaskFile, AFileShorterThanItsHeaderSaysIsRefusedAndChangesNothing) {
    const auto dir = makeTempDir("mask-short");
    const auto full = dir / "full.msk";
    auto source = std::make_unique<Planes>();
    source->fill(21);
    ASSERT_EQ(1, saveMaskFile(full.string().c_str(), source->refs()).result);
    const auto bytes = readFileBytes(full);
    ASSERT_EQ(kMaskFileBytes, bytes.size());

    auto target = std::make_unique<Planes>();
    target->fill(77);
    const auto before = target->snapshot();
    const struct {
        const char* name;
        size_t bytes;
    } cuts[] = {
        {"header only", kMaskHeaderBytes},
        {"header, plane 1 and half of plane 2", kMaskHeaderBytes + kMaskPlane8Bytes + kMaskPlane8Bytes / 2},
        {"half the file", kMaskFileBytes / 2},
        {"one byte short", kMaskFileBytes - 1},
    };
    for (const auto& cut : cuts) {
        const auto path = dir / "cut.msk";
        writeBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut.bytes)));
        const MaskFileOutcome outcome = loadMaskFile(path.string().c_str(), target->refs());
        EXPECT_EQ(0, outcome.result) << cut.name;
        EXPECT_EQ(kErrorMaskFile, outcome.errorCode) << cut.name;
        EXPECT_EQ(before, target->snapshot()) << cut.name << " changed a plane";
    }

    // Extra bytes after the planes are not read into anything.
    auto longer = bytes;
    longer.resize(bytes.size() + 4096, 0xAB);
    writeBytes(dir / "long.msk", longer);
    ASSERT_EQ(1, loadMaskFile((dir / "long.msk").string().c_str(), target->refs()).result);
    EXPECT_EQ(source->snapshot(), target->snapshot());
}

TEST(MaskFile, SaveToUnusablePlacesIsCodeFourteen) {
    const auto dir = makeTempDir("mask-save");
    auto planes = std::make_unique<Planes>();
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(14, saveMaskFile(path, planes->refs()).errorCode);
    }
    EXPECT_EQ(14, saveMaskFile(dir.string().c_str(), planes->refs()).errorCode);
    EXPECT_EQ(14, saveMaskFile((dir / "missing" / "m.msk").string().c_str(), planes->refs()).errorCode);
    if (std::filesystem::exists("/dev/full")) {
        const MaskFileOutcome full = saveMaskFile("/dev/full", planes->refs());
        EXPECT_EQ(0, full.result);
        EXPECT_EQ(14, full.errorCode);
    }
}

} // namespace
} // namespace lumvek
