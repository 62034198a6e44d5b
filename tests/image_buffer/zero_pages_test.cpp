// Pixel blocks are fresh zero pages: resident only where written, freed at
// once, and zero wherever they were not written, also when memory is reused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imaging/image_buffer.h"
#include "platform/memory/zeroed_block.h"
#include "support/resident_memory.h"

namespace lumvek {
namespace {

using test::kMiB;
using test::residentBytes;
using test::residentGrowth;

constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

bool allZero(const uint8_t* bytes, size_t size) {
    return std::all_of(bytes, bytes + size, [](uint8_t b) { return b == 0; });
}

TEST(ZeroPages, AFullFramePictureIsResidentOnlyWhereWritten) {
    if (!test::kResidentMemoryMeaningful) {
        GTEST_SKIP() << "resident memory is not measured in an instrumented build";
    }
    const size_t before = residentBytes();
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(kWidth, kHeight, 24));  // 12 MiB
    // Reading the untouched block (it must be zero) makes nothing resident.
    EXPECT_TRUE(allZero(picture.pixels(), picture.sizeBytes()));
    EXPECT_LT(residentGrowth(before), 2 * kMiB);

    // Writing the top half makes that half resident, and only it.
    std::memset(picture.pixels(), 0x5A, picture.sizeBytes() / 2);
    const size_t grown = residentGrowth(before);
    EXPECT_GE(grown, picture.sizeBytes() / 2 - kMiB);
    EXPECT_LT(grown, picture.sizeBytes() / 2 + 2 * kMiB);

    // Freed at once: back to the system, not kept by the allocator.
    picture.destroy();
    EXPECT_LT(residentGrowth(before), 2 * kMiB);
}

TEST(ZeroPages, ABlockMadeAgainAfterAWrittenOneIsZero) {
    // glibc reuses freed heap blocks; the blocks here must still read as zero.
    for (size_t bytes : {size_t{1}, size_t{63}, size_t{4096}, platform::kMappedBlockBytes - 1,
                         platform::kMappedBlockBytes, size_t{8} * kMiB}) {
        for (int round = 0; round < 3; ++round) {
            platform::ZeroedBlock block = platform::allocateZeroed(bytes);
            ASSERT_TRUE(block) << bytes;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block.get()) % platform::kBlockAlignment, 0u) << bytes;
            ASSERT_TRUE(allZero(block.get(), bytes)) << bytes << " round " << round;
            std::memset(block.get(), 0xA5, bytes);
        }
    }
    EXPECT_FALSE(platform::allocateZeroed(0));
}

TEST(ZeroPages, SwappedPicturesFreeTheirOwnBlocks) {
    // Each block keeps the size it was made with: a small heap block and a
    // mapped one change owners and are both freed the right way.
    ImageBuffer small;
    ImageBuffer large;
    ASSERT_TRUE(small.create(4, 4, 8));
    ASSERT_TRUE(large.create(kWidth, kHeight, 16));
    small.pixels()[15] = 7;
    large.pixels()[large.sizeBytes() - 1] = 9;
    small.swap(large);
    EXPECT_EQ(large.pixels()[15], 7);
    EXPECT_EQ(small.pixels()[small.sizeBytes() - 1], 9);
    ASSERT_TRUE(large.create(kWidth, kHeight, 8));  // frees the small block
    EXPECT_TRUE(allZero(large.pixels(), large.sizeBytes()));
    small.destroy();  // unmaps the large one
    EXPECT_TRUE(small.empty());
}

} // namespace
} // namespace lumvek
