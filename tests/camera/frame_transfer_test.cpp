// The frame transfer thread and the frame ring: what is stored while the
// reader sleeps, one-frame mode, giving up, unplugging, copying out.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "device_fixture.h"
#include "sensors/sensor_base.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek::test {
namespace {

bool uniform(const std::vector<uint8_t>& frame, uint8_t value) {
    return std::all_of(frame.begin(), frame.end(), [&](uint8_t b) { return b == value; });
}

using FrameTransfer = ScriptedDeviceTest;

TEST_F(FrameTransfer, FiveFramesWhileTheReaderSlept) {
    for (uint8_t fill = 1; fill <= 5; ++fill) {
        queueFrame(fill);
    }
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    ASSERT_TRUE(waitForStoredFrames(5));
    ASSERT_EQ(device_->StopAcquisition(), 1);
    EXPECT_EQ(device_->framesStored(), 5u);
    EXPECT_EQ(device_->ring().writeIndex(), 1);

    std::vector<uint8_t> frame(frameBytes_);
    ASSERT_EQ(device_->GetFirstFrame(frame.data(), frame.size(), 0), 0);
    EXPECT_TRUE(uniform(frame, 5));  // ring buffer 0 holds the fifth frame
    std::fill(frame.begin(), frame.end(), 0);
    ASSERT_EQ(device_->GetLatestFrame(frame.data(), frame.size(), 0), 0);
    EXPECT_TRUE(uniform(frame, 5));
    EXPECT_EQ(device_->ring().readIndex(), 1);
}

TEST_F(FrameTransfer, ModeOneStoresExactlyOneFrame) {
    queueFrame(7);
    queueFrame(8);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    EXPECT_EQ(device_->WaitFrame(5000), 3);
    EXPECT_EQ(device_->stepWaitAcquisitionEnd(5000), 1);  // the thread ended by itself
    // Every later waiter sees the end too, so a stop after it cannot wait for ever.
    EXPECT_EQ(device_->stepWaitAcquisitionEnd(0), 1);
    EXPECT_EQ(device_->WaitFrame(100), 2);
    EXPECT_EQ(device_->framesStored(), 1u);
    std::vector<uint8_t> frame(frameBytes_);
    ASSERT_EQ(device_->GetLatestFrame(frame.data(), frame.size(), 0), 0);
    EXPECT_TRUE(uniform(frame, 7));
}

TEST_F(FrameTransfer, GivesUpAfterFiveFailedFrames) {
    camera_->failControl(0xC2);  // arming is never answered
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    int result = 0;
    for (int i = 0; i < 100 && result != 1; ++i) {
        result = device_->WaitFrame(200);
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(device_->stepWaitAcquisitionEnd(5000), 1);
    EXPECT_EQ(camera_->controls(0xC2).size(), 5u);  // one arm per failed frame
    EXPECT_EQ(device_->WaitFrame(0), 1);            // until a later frame succeeds
    EXPECT_EQ(device_->framesStored(), 0u);
}

TEST_F(FrameTransfer, CopyFrameChecksTheBufferPassed) {
    queueFrame(3);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    ASSERT_EQ(device_->WaitFrame(5000), 3);
    std::vector<uint8_t> frame(frameBytes_);
    EXPECT_EQ(device_->CopyFrame(frame.data(), frameBytes_ - 1, false, 0), 0);
    EXPECT_EQ(device_->CopyFrame(nullptr, frameBytes_, false, 0), 0);
    EXPECT_NE(device_->GetLatestFrame(frame.data(), frameBytes_ - 1, 0), 0);
    EXPECT_EQ(device_->GetFirstFrame(nullptr, frameBytes_, 0), -2);
    EXPECT_EQ(device_->CopyFrame(frame.data(), frameBytes_, false, 0), 1);
}

TEST_F(FrameTransfer, OrientationFollowsTheRawCodeAndFlag) {
    // The R13 sends rows bottom-up, each right to left (code 4).
    ASSERT_EQ(device_->sensor()->descriptor().rawOrientation, 4);
    const int width = device_->sensor()->descriptor().windowWidth;
    const int height = device_->sensor()->descriptor().windowHeight;
    ASSERT_EQ(static_cast<uint32_t>(width * height), frameBytes_);
    std::vector<uint8_t> raw(frameBytes_);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            raw[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(x * 3 + y * 7);
        }
    }
    queueFrame(raw);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    ASSERT_EQ(device_->WaitFrame(5000), 3);
    std::vector<uint8_t> out(frameBytes_);
    // Flag 0: rows as sent, pixels reversed.
    ASSERT_EQ(device_->CopyFrame(out.data(), out.size(), false, 0), 1);
    EXPECT_EQ(out[0], raw[width - 1]);
    EXPECT_EQ(out[static_cast<size_t>(height - 1) * width], raw[static_cast<size_t>(height) * width - 1]);
    // Flag 1: rows reversed too.
    ASSERT_EQ(device_->CopyFrame(out.data(), out.size(), false, 1), 1);
    EXPECT_EQ(out[0], raw[static_cast<size_t>(height) * width - 1]);
    EXPECT_EQ(out[static_cast<size_t>(height) * width - 1], raw[0]);
}

TEST_F(FrameTransfer, APinnedFrameGivesTheRowsOfTheWholeCopyInAnyOrderAndCountsAsTaken) {
    const int width = device_->sensor()->descriptor().windowWidth;
    const int height = device_->sensor()->descriptor().windowHeight;
    std::vector<uint8_t> raw(frameBytes_);
    for (size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<uint8_t>(i * 7 + i / 4093);
    }
    queueFrame(raw);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    ASSERT_EQ(device_->WaitFrame(5000), 3);
    std::optional<PinnedFrame> pinned;
    EXPECT_EQ(device_->PinLatestFrame(pinned, frameBytes_ - 1, 1), 1) << "a buffer too small for the frame";
    EXPECT_FALSE(pinned.has_value());
    for (const int flag : {0, 1}) {
        std::vector<uint8_t> whole(frameBytes_);
        ASSERT_EQ(device_->CopyFrame(whole.data(), whole.size(), false, flag), 1);
        ASSERT_EQ(device_->PinLatestFrame(pinned, frameBytes_, flag), 0) << "flag " << flag;
        ASSERT_EQ(pinned->order().height, height);
        ASSERT_EQ(pinned->order().rowBytes(), static_cast<size_t>(width));
        // Taken in uneven pieces, out of order, into rows wider than the frame's.
        const size_t stride = static_cast<size_t>(width) + 13;
        std::vector<uint8_t> rows(stride * static_cast<size_t>(height), 0xEE);
        pinned->copyRows(rows.data(), stride, 5, height);
        pinned->copyRows(rows.data(), stride, 0, 5);
        for (int y = 0; y < height; ++y) {
            ASSERT_EQ(std::memcmp(rows.data() + static_cast<size_t>(y) * stride,
                                  whole.data() + static_cast<size_t>(y) * width, static_cast<size_t>(width)),
                      0)
                << "flag " << flag << " row " << y;
            ASSERT_EQ(rows[static_cast<size_t>(y) * stride + static_cast<size_t>(width)], 0xEE) << "past the row";
        }
        pinned.reset();
    }
    EXPECT_EQ(device_->GetTransferCounters().framesTaken, 1u) << "one frame, taken by the first pin";
    EXPECT_EQ(device_->WaitFrame(50), 2) << "the pinned frame was the newest: nothing new is left";
}

TEST_F(FrameTransfer, FramesCopiedOutAreNeverTorn) {
    // A fast camera and a slow reader: the reader copies with the orientation
    // undone pixel by pixel while the thread keeps storing uniform frames.
    constexpr int kFrames = 40;
    for (int i = 1; i <= kFrames; ++i) {
        queueFrame(static_cast<uint8_t>(i));
    }
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    std::vector<uint8_t> frame(frameBytes_);
    int copies = 0;
    int torn = 0;
    // On a loaded machine the thread may store every frame before the reader
    // first runs: the last one is still there to be copied.
    for (int attempt = 0; (device_->framesStored() < static_cast<uint32_t>(kFrames) || copies == 0) && attempt < 400;
         ++attempt) {
        (void)device_->WaitFrame(200);
        if (device_->CopyFrame(frame.data(), frame.size(), false, 1) != 1) {
            continue;
        }
        ++copies;
        if (!uniform(frame, frame[0])) {
            ++torn;
        }
    }
    device_->StopAcquisition();
    EXPECT_GT(copies, 0);
    EXPECT_EQ(torn, 0);
}

TEST_F(FrameTransfer, StopWithoutAThreadStillStopsTheTransfer) {
    const size_t before = camera_->controls(0xC0).size();
    EXPECT_EQ(device_->StopAcquisition(), 1);
    EXPECT_EQ(camera_->controls(0xC0).size(), before + 1);  // the stream was restarted
    EXPECT_EQ(device_->WaitFrame(0), 2);
}

TEST_F(FrameTransfer, RunSingleFrameFillsBufferZero) {
    queueFrame(9);
    EXPECT_EQ(device_->RunSingleFrame(), 0);
    std::vector<uint8_t> frame(frameBytes_);
    ASSERT_EQ(device_->GetFirstFrame(frame.data(), frame.size(), 0), 0);
    EXPECT_TRUE(uniform(frame, 9));
    EXPECT_EQ(device_->ring().writeIndex(), 0);
}

} // namespace
} // namespace lumvek::test
