// The reference frames and defect masks: untouched planes are one shared
// read-only plane per size, depth and value; a write gets a private copy;
// the mask and dot filters see exactly what eagerly made planes held.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/correction/defect_planes.h"
#include "imaging/correction/dot_filter.h"
#include "imaging/correction/mask_filter.h"
#include "imaging/pipeline/row_bands.h"
#include "plane_helpers.h"
#include "support/resident_memory.h"

namespace lumvek {
namespace {

using test::OwnedPlane;

constexpr PlaneDepth kDepths[] = {PlaneDepth::Bits8, PlaneDepth::Bits16};
constexpr ReferenceKind kKinds[] = {ReferenceKind::Dark, ReferenceKind::White};

bool holds(const ImageBuffer& plane, uint8_t byte) {
    for (size_t i = 0; i < plane.sizeBytes(); ++i) {
        if (plane.pixels()[i] != byte) {
            return false;
        }
    }
    return !plane.empty();
}

TEST(SharedPlanes, UntouchedPlanesOfTwoInstancesAreOneReadOnlyPlanePerSizeDepthAndValue) {
    DefectPlanes first;
    DefectPlanes second;
    ASSERT_TRUE(first.create(64, 48));
    ASSERT_TRUE(second.create(64, 48));
    DefectPlanes other;
    ASSERT_TRUE(other.create(66, 48));
    auto a = first.access();
    auto b = second.access();
    auto c = other.access();
    for (PlaneDepth d : kDepths) {
        for (ReferenceKind k : kKinds) {
            EXPECT_EQ(a.reference(d, k).pixels(), b.reference(d, k).pixels());
            EXPECT_EQ(a.mask(d, k).pixels(), b.mask(d, k).pixels());
            EXPECT_NE(a.reference(d, k).pixels(), c.reference(d, k).pixels());  // another size
            EXPECT_TRUE(holds(a.reference(d, k), k == ReferenceKind::White ? 0xFF : 0x00));
            EXPECT_TRUE(holds(a.mask(d, k), 0x00));
            EXPECT_FALSE(a.referenceIsPrivate(d, k));
            EXPECT_FALSE(a.maskIsPrivate(d, k));
        }
    }
    EXPECT_NE(a.reference(PlaneDepth::Bits8, ReferenceKind::White).pixels(),
              a.reference(PlaneDepth::Bits16, ReferenceKind::White).pixels());
    EXPECT_NE(a.reference(PlaneDepth::Bits8, ReferenceKind::White).pixels(),
              a.reference(PlaneDepth::Bits8, ReferenceKind::Dark).pixels());
    EXPECT_EQ(a.reference(PlaneDepth::Bits16, ReferenceKind::White).bitsPerPixel(), 16);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(a.reference(PlaneDepth::Bits16, ReferenceKind::White).row(47))[63],
              65535);
}

TEST(SharedPlanes, AWriteToOneInstancesReferenceNeverShowsInAnother) {
    DefectPlanes first;
    DefectPlanes second;
    ASSERT_TRUE(first.create(40, 30));
    ASSERT_TRUE(second.create(40, 30));
    {
        auto b = second.access();
        (void)b.reference(PlaneDepth::Bits16, ReferenceKind::White);  // second holds the shared plane
    }
    {
        auto a = first.access();
        ImageBuffer* white = a.writableReference(PlaneDepth::Bits16, ReferenceKind::White);
        ASSERT_NE(white, nullptr);
        EXPECT_TRUE(holds(*white, 0xFF));  // the private copy starts from the initial contents
        reinterpret_cast<uint16_t*>(white->row(10))[11] = 1234;
        EXPECT_TRUE(a.referenceIsPrivate(PlaneDepth::Bits16, ReferenceKind::White));
        EXPECT_EQ(&a.reference(PlaneDepth::Bits16, ReferenceKind::White), white);
        ImageBuffer* mask = a.writableMask(PlaneDepth::Bits8, ReferenceKind::Dark);
        ASSERT_NE(mask, nullptr);
        mask->row(3)[4] = 1;
    }
    DefectPlanes third;  // made after the write
    ASSERT_TRUE(third.create(40, 30));
    for (DefectPlanes* planes : {&second, &third}) {
        auto access = planes->access();
        EXPECT_TRUE(holds(access.reference(PlaneDepth::Bits16, ReferenceKind::White), 0xFF));
        EXPECT_TRUE(holds(access.mask(PlaneDepth::Bits8, ReferenceKind::Dark), 0x00));
        EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits16, ReferenceKind::White));
    }
    auto a = first.access();
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(a.reference(PlaneDepth::Bits16, ReferenceKind::White).row(10))[11],
              1234);
    EXPECT_EQ(a.mask(PlaneDepth::Bits8, ReferenceKind::Dark).row(3)[4], 1);
}

TEST(SharedPlanes, MasksFollowTheirReferenceAndGoBackToSharedWhenClean) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(20, 16));
    auto access = planes.access();
    access.buildAllMasks();  // from untouched references: nothing to copy
    for (PlaneDepth d : kDepths) {
        for (ReferenceKind k : kKinds) {
            EXPECT_FALSE(access.maskIsPrivate(d, k));
            EXPECT_FALSE(access.referenceIsPrivate(d, k));
        }
    }
    ImageBuffer* white = access.writableReference(PlaneDepth::Bits8, ReferenceKind::White);
    ASSERT_NE(white, nullptr);
    white->row(5)[7] = 10;  // a dead pixel
    white->row(0)[7] = 10;  // in the border: never marked
    ASSERT_TRUE(access.buildMask(PlaneDepth::Bits8, ReferenceKind::White));
    const ImageBuffer& mask = access.mask(PlaneDepth::Bits8, ReferenceKind::White);
    EXPECT_TRUE(access.maskIsPrivate(PlaneDepth::Bits8, ReferenceKind::White));
    int marked = 0;
    for (size_t i = 0; i < mask.sizeBytes(); ++i) {
        marked += mask.pixels()[i];
    }
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(mask.row(5)[7], 1);

    white->row(5)[7] = 255;  // repaired: the rebuilt mask is all zero again
    ASSERT_TRUE(access.buildMask(PlaneDepth::Bits8, ReferenceKind::White));
    EXPECT_FALSE(access.maskIsPrivate(PlaneDepth::Bits8, ReferenceKind::White));
    EXPECT_TRUE(holds(access.mask(PlaneDepth::Bits8, ReferenceKind::White), 0x00));
    EXPECT_TRUE(access.referenceIsPrivate(PlaneDepth::Bits8, ReferenceKind::White));
}

TEST(SharedPlanesDeathTest, AWriteIntoTheSharedPlaneFaultsInsteadOfReachingEveryInstance) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an AddressSanitizer build takes its planes from the heap, which cannot be made read-only";
#endif
    DefectPlanes planes;
    ASSERT_TRUE(planes.create());
    auto access = planes.access();
    for (ReferenceKind k : kKinds) {
        // What a kernel writing through a view of a plane it was given to read would do.
        const PlaneView view = viewOf(access.reference(PlaneDepth::Bits8, k));
        EXPECT_DEATH(view.row(100)[100] = 7, "");
    }
    EXPECT_TRUE(holds(access.reference(PlaneDepth::Bits8, ReferenceKind::White), 0xFF));
}

TEST(SharedPlanes, ReplacedReferencesAreKeptAndInitialOnesGoBackToShared) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(24, 20));
    DefectPlanes::ReferenceCopy copy;
    ASSERT_TRUE(planes.copyReferences(copy));
    EXPECT_TRUE(holds(copy.references[1], 0xFF));
    EXPECT_TRUE(holds(copy.references[3], 0xFF));
    EXPECT_TRUE(holds(copy.masks[2], 0x00));
    reinterpret_cast<uint16_t*>(copy.references[2].row(8))[9] = 20000;  // 16-bit dark: a hot pixel
    ASSERT_TRUE(planes.replaceReferences(copy));
    {
        auto access = planes.access();
        EXPECT_TRUE(access.referenceIsPrivate(PlaneDepth::Bits16, ReferenceKind::Dark));
        EXPECT_EQ(reinterpret_cast<const uint16_t*>(access.mask(PlaneDepth::Bits16, ReferenceKind::Dark).row(8))[9], 1);
        for (ReferenceKind k : kKinds) {
            EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits8, k));  // still their initial contents
            EXPECT_FALSE(access.maskIsPrivate(PlaneDepth::Bits8, k));
        }
        EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits16, ReferenceKind::White));
    }
    ASSERT_TRUE(planes.copyReferences(copy));
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(copy.references[2].row(8))[9], 20000);
    std::memset(copy.references[2].pixels(), 0, copy.references[2].sizeBytes());
    ASSERT_TRUE(planes.replaceReferences(copy));
    auto access = planes.access();
    EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits16, ReferenceKind::Dark));
    EXPECT_FALSE(access.maskIsPrivate(PlaneDepth::Bits16, ReferenceKind::Dark));
    EXPECT_TRUE(holds(access.mask(PlaneDepth::Bits16, ReferenceKind::Dark), 0x00));
}

TEST(SharedPlanes, ReplacingWithPlanesOfAnotherSizeChangesNothing) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(24, 20));
    DefectPlanes::ReferenceCopy copy;
    ASSERT_TRUE(planes.copyReferences(copy));
    ASSERT_TRUE(copy.references[3].create(24, 21, 16));
    ASSERT_TRUE(copy.masks[3].create(24, 21, 16));
    std::memset(copy.references[0].pixels(), 7, copy.references[0].sizeBytes());
    EXPECT_FALSE(planes.replaceReferences(copy));
    auto access = planes.access();
    EXPECT_TRUE(holds(access.reference(PlaneDepth::Bits8, ReferenceKind::Dark), 0x00));
    EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits8, ReferenceKind::Dark));
}

// The filters on a window of the full sensor, once with planes read through
// the access (shared or private) and once with planes made eagerly as the
// instance used to: the frames must come out identical.
struct EagerPlanes {
    OwnedPlane dark;
    OwnedPlane white;
    OwnedPlane darkMask;
    OwnedPlane whiteMask;
    explicit EagerPlanes(int bytesPerPixel)
        : dark(kSensorWidth, kSensorHeight, bytesPerPixel), white(kSensorWidth, kSensorHeight, bytesPerPixel),
          darkMask(kSensorWidth, kSensorHeight, bytesPerPixel), whiteMask(kSensorWidth, kSensorHeight, bytesPerPixel) {
        white.fill(0xFF);
    }
};

void writeDefects(const PlaneView& dark, const PlaneView& white, const CaptureWindow& window, uint32_t seed) {
    std::mt19937 rng(seed);
    const bool wide = dark.bytesPerPixel == 2;
    for (int i = 0; i < 200; ++i) {
        const int x = window.left + static_cast<int>(rng() % static_cast<uint32_t>(window.width));
        const int y = window.top + static_cast<int>(rng() % static_cast<uint32_t>(window.height));
        if (wide) {
            dark.row16(y)[x] = static_cast<uint16_t>(rng() % 30000);
            white.row16(y)[x] = static_cast<uint16_t>(rng() % 65536);
        } else {
            dark.row(y)[x] = static_cast<uint8_t>(rng() % 256);
            white.row(y)[x] = static_cast<uint8_t>(rng() % 256);
        }
    }
}

void expectFiltersAgree(bool written) {
    const CaptureWindow window{96, 64, 1001, 803, 0};
    RowBands bands(2);
    for (PlaneDepth depth : kDepths) {
        const int bpp = depth == PlaneDepth::Bits8 ? 1 : 2;
        SCOPED_TRACE(testing::Message() << "bytes per pixel " << bpp << (written ? ", written" : ", initial"));
        EagerPlanes eager(bpp);
        DefectPlanes planes;
        ASSERT_TRUE(planes.create());
        auto access = planes.access();
        if (written) {
            writeDefects(eager.dark.view(), eager.white.view(), window, 11);
            ImageBuffer* dark = access.writableReference(depth, ReferenceKind::Dark);
            ImageBuffer* white = access.writableReference(depth, ReferenceKind::White);
            ASSERT_TRUE(dark != nullptr && white != nullptr);
            writeDefects(viewOf(*dark), viewOf(*white), window, 11);
            ASSERT_TRUE(buildDefectMask(eager.dark.view(), eager.darkMask.view(), ReferenceKind::Dark));
            ASSERT_TRUE(buildDefectMask(eager.white.view(), eager.whiteMask.view(), ReferenceKind::White));
            access.buildAllMasks();
        }
        const DotFilterPlanes eagerMasks{eager.darkMask.view(), eager.whiteMask.view()};
        const DotFilterPlanes masks{viewOf(access.mask(depth, ReferenceKind::Dark)),
                                    viewOf(access.mask(depth, ReferenceKind::White))};
        const PlaneView dark = viewOf(access.reference(depth, ReferenceKind::Dark));
        const PlaneView white = viewOf(access.reference(depth, ReferenceKind::White));

        OwnedPlane frame(window.width, window.height, bpp);
        frame.fillRandom(5);
        OwnedPlane expected = frame;
        OwnedPlane reference = frame;
        OwnedPlane optimised = frame;
        std::vector<uint8_t> flags;
        ASSERT_TRUE(maskFilterReference(expected.view(), eager.dark.view(), eager.white.view(), window));
        ASSERT_TRUE(dotFilterReference(expected.view(), eagerMasks, window, flags));
        ASSERT_TRUE(maskFilterReference(reference.view(), dark, white, window));
        ASSERT_TRUE(dotFilterReference(reference.view(), masks, window, flags));
        ASSERT_TRUE(maskFilterOptimised(optimised.view(), dark, white, window, bands));
        ASSERT_TRUE(dotFilterOptimised(optimised.view(), masks, window, flags, bands));
        EXPECT_TRUE(expected.bytes() == reference.bytes());
        EXPECT_TRUE(expected.bytes() == optimised.bytes());
        EXPECT_FALSE(expected.bytes() == frame.bytes());  // the filters did change the frame
    }
}

TEST(SharedPlanes, MaskAndDotFiltersGiveWhatEagerInitialPlanesGave) { expectFiltersAgree(false); }

TEST(SharedPlanes, MaskAndDotFiltersGiveWhatEagerWrittenPlanesGave) { expectFiltersAgree(true); }

TEST(SharedPlanes, TwoFullSizeInstancesHoldOnlyOneWhiteReferencePerDepthInMemory) {
    if (!test::kResidentMemoryMeaningful) {
        GTEST_SKIP() << "resident memory is not measured in an instrumented build";
    }
    const size_t before = test::residentBytes();
    DefectPlanes first;
    DefectPlanes second;
    ASSERT_TRUE(first.create());
    ASSERT_TRUE(second.create());
    EXPECT_LT(test::residentGrowth(before), test::kMiB);  // nothing made yet
    size_t whiteBytes = 0;
    for (DefectPlanes* planes : {&first, &second}) {
        auto access = planes->access();
        access.buildAllMasks();
        for (PlaneDepth d : kDepths) {
            for (ReferenceKind k : kKinds) {
                EXPECT_TRUE(holds(access.reference(d, k), k == ReferenceKind::White ? 0xFF : 0x00));
                EXPECT_TRUE(holds(access.mask(d, k), 0x00));
            }
        }
        whiteBytes = access.reference(PlaneDepth::Bits8, ReferenceKind::White).sizeBytes() +
                     access.reference(PlaneDepth::Bits16, ReferenceKind::White).sizeBytes();
    }
    // Eight planes each, read whole: only the two shared white references
    // (12 MiB) are resident; the zero planes never are.
    const size_t grown = test::residentGrowth(before);
    EXPECT_GE(grown, whiteBytes - test::kMiB);
    EXPECT_LT(grown, whiteBytes + 2 * test::kMiB);
}

TEST(SharedPlanes, AMaskBuiltFromAReferenceWithFewDefectsTakesMemoryOnlyWhereTheyAre) {
    if (!test::kResidentMemoryMeaningful) {
        GTEST_SKIP() << "resident memory is not measured in an instrumented build";
    }
    DefectPlanes planes;
    ASSERT_TRUE(planes.create());
    auto access = planes.access();
    ImageBuffer* dark = access.writableReference(PlaneDepth::Bits16, ReferenceKind::Dark);
    ASSERT_NE(dark, nullptr);
    reinterpret_cast<uint16_t*>(dark->row(900))[1200] = 40000;
    const size_t before = test::residentBytes();
    ASSERT_TRUE(access.buildMask(PlaneDepth::Bits16, ReferenceKind::Dark));
    EXPECT_LT(test::residentGrowth(before), test::kMiB);  // not the 8 MiB of a mask written whole
    const ImageBuffer& mask = access.mask(PlaneDepth::Bits16, ReferenceKind::Dark);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(mask.row(900))[1200], 1);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(mask.row(900))[1201], 0);
}

} // namespace
} // namespace lumvek
