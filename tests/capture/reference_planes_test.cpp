// Reference frames and masks of two instances in one process: taken in one,
// never seen in the other; kept across colour-mode changes; carried from
// one to the other by a mask file. And a colour mode keeps only its buffers.
#include <cstring>
#include <vector>

#include "capture_fixture.h"
#include "imaging/correction/defect_planes.h"
#include "instance/lumvek_internals.h"
#include "support/resident_memory.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {

constexpr int kW = 2336;
constexpr int kH = 1752;
// What one camera streaming 24-bit full frames with the mask filter on may
// add to the process: the application's frame buffer (12 MiB), the
// simulated camera's own frame (4 MiB), the shared 8-bit white reference
// (4 MiB) and the instance's raw frame, ring of four, receive buffer and
// 24-bit picture (36 MiB), with the threads' stacks and the heap's own
// growth (62 MiB measured on Linux). Windows commits stack and heap pages in
// larger steps (65.6 MiB measured under Wine). Eagerly made reference frames
// and masks (4 MiB and more each), or a ring made resident whole, would take
// it far past the bound.
#ifdef _WIN32
constexpr size_t kStreamingCameraBytes = 68 * kMiB;
#else
constexpr size_t kStreamingCameraBytes = 64 * kMiB;
#endif

std::vector<uint8_t> bytesOf(const ImageBuffer& plane) {
    return std::vector<uint8_t>(plane.pixels(), plane.pixels() + plane.sizeBytes());
}

bool everyByteIs(const ImageBuffer& plane, uint8_t byte) {
    for (size_t i = 0; i < plane.sizeBytes(); ++i) {
        if (plane.pixels()[i] != byte) {
            return false;
        }
    }
    return !plane.empty();
}

bool snap(CLumvek& self, int bits) {
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * (bits / 8) * kH);
    return self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1) == 1;
}

class ReferencePlanesTest : public CaptureTest {
protected:
    // Camera 0 sees a dark scene with a block of hot pixels, camera 1 the chart.
    void addCameras() {
        std::vector<uint16_t> samples(static_cast<size_t>(kW) * kH, 20);
        for (int y = 600; y < 608; ++y) {
            for (int x = 900; x < 908; ++x) {
                samples[static_cast<size_t>(y) * kW + x] = 230;
            }
        }
        const auto scene = writePgm((makeTempDir("scene") / "dark.pgm").string(), kW, kH, 255, samples);
        addCamera("product=0x3090,name=cam0,fps=40,scene=" + scene);
        addCamera("product=0x3090,name=cam1,fps=40,pattern=chart");
    }
};

TEST_F(ReferencePlanesTest, AReferenceTakenInOneInstanceStaysOutOfAnotherAndSurvivesColourModeChanges) {
    addCameras();
    CLumvek& self = start();
    ASSERT_EQ(self.SetDeviceNumber(0), 1);
    CLumvek other;
    ASSERT_EQ(other.Initialize(window_), 1);
    ASSERT_EQ(other.SetDeviceNumber(1), 1);
    ASSERT_EQ(other.SetColorMode(24), 1);
    ASSERT_TRUE(snap(other, 24));

    ASSERT_EQ(self.SetColorMode(24), 1);
    ASSERT_TRUE(snap(self, 24));
    ASSERT_EQ(self.UpdateMaskData(0), 1);  // the 8-bit dark reference and its mask
    std::vector<uint8_t> reference;
    std::vector<uint8_t> mask;
    {
        auto access = internals(self).defectPlanes()->access();
        EXPECT_TRUE(access.referenceIsPrivate(PlaneDepth::Bits8, ReferenceKind::Dark));
        reference = bytesOf(access.reference(PlaneDepth::Bits8, ReferenceKind::Dark));
        mask = bytesOf(access.mask(PlaneDepth::Bits8, ReferenceKind::Dark));
        EXPECT_EQ(mask[static_cast<size_t>(604) * kW + 904], 1);
        EXPECT_EQ(mask[static_cast<size_t>(100) * kW + 100], 0);
        EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits16, ReferenceKind::Dark));  // not this mode's
    }
    {
        auto access = internals(other).defectPlanes()->access();
        EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits8, ReferenceKind::Dark));
        EXPECT_TRUE(everyByteIs(access.reference(PlaneDepth::Bits8, ReferenceKind::Dark), 0));
        EXPECT_TRUE(everyByteIs(access.mask(PlaneDepth::Bits8, ReferenceKind::Dark), 0));
    }

    // To 48 bits and back: the 8-bit planes are kept as they were, and each
    // mode keeps only the buffers it uses.
    ASSERT_EQ(self.SetColorMode(48), 1);
    ASSERT_TRUE(snap(self, 48));
    EXPECT_TRUE(internals(self).buffer(BufferId::Raw8)->empty());
    EXPECT_FALSE(internals(self).buffer(BufferId::Out48)->empty());
    ASSERT_EQ(self.SetColorMode(24), 1);
    ASSERT_TRUE(snap(self, 24));
    EXPECT_TRUE(internals(self).buffer(BufferId::Out48)->empty());
    EXPECT_TRUE(internals(self).buffer(BufferId::Raw16)->empty());
    EXPECT_FALSE(internals(self).buffer(BufferId::Out24)->empty());
    {
        auto access = internals(self).defectPlanes()->access();
        EXPECT_TRUE(bytesOf(access.reference(PlaneDepth::Bits8, ReferenceKind::Dark)) == reference);
        EXPECT_TRUE(bytesOf(access.mask(PlaneDepth::Bits8, ReferenceKind::Dark)) == mask);
    }

    // A mask file carries the reference to the other instance, whose masks
    // are rebuilt from it; the planes the file holds untouched stay shared.
    const std::string path = (makeTempDir("mask") / "taken.msk").string();
    ASSERT_EQ(self.SaveMaskFile(path.c_str()), 1);
    ASSERT_EQ(other.LoadMaskFile(path.c_str()), 1);
    auto access = internals(other).defectPlanes()->access();
    EXPECT_TRUE(bytesOf(access.reference(PlaneDepth::Bits8, ReferenceKind::Dark)) == reference);
    EXPECT_TRUE(bytesOf(access.mask(PlaneDepth::Bits8, ReferenceKind::Dark)) == mask);
    EXPECT_TRUE(access.referenceIsPrivate(PlaneDepth::Bits8, ReferenceKind::Dark));
    for (ReferenceKind k : {ReferenceKind::Dark, ReferenceKind::White}) {
        EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits16, k));
        EXPECT_FALSE(access.maskIsPrivate(PlaneDepth::Bits16, k));
    }
    EXPECT_FALSE(access.referenceIsPrivate(PlaneDepth::Bits8, ReferenceKind::White));
    EXPECT_TRUE(everyByteIs(access.reference(PlaneDepth::Bits8, ReferenceKind::White), 0xFF));
}

TEST_F(ReferencePlanesTest, AStreamingCameraIn24BitModeHoldsOnlyTheBuffersItUses) {
    if (!test::kResidentMemoryMeaningful) {
        GTEST_SKIP() << "resident memory is not measured in an instrumented build";
    }
    const size_t before = residentBytes();
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(24), 1);
    ASSERT_EQ(self.SetFilterValue(103, 1), 1);  // the mask filter reads both references
    auto& buffer = callbackBuffer(static_cast<size_t>(kW) * 3 * kH);
    drainMessages();
    ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    for (int i = 0; i < 8; ++i) {  // every slot of the ring written twice
        LumvekMsg msg{};
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg)) << "frame " << i;
    }
    const size_t grown = residentGrowth(before);
    EXPECT_EQ(self.StopPreview(), 1);
    EXPECT_LT(grown, kStreamingCameraBytes) << grown / kMiB << " MiB";
}

} // namespace
