// Frame-header and pixel-data reads: piece sizes, announced counts that do
// not fit, lost headers, short and over-long bulk data, and aborts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controller_fixture.h"
#include "platform/fx3/driver_request.h"

namespace lumvek::test {
namespace {

using Answer = ScriptedCamera::BulkAnswer;
constexpr uint32_t kPiece = 0x80000;
constexpr uint8_t kGuardByte = 0xA5;

std::vector<uint8_t> frameHeader(uint32_t pixelBytes, uint32_t tag) {
    std::vector<uint8_t> header(64, 0);
    for (int i = 0; i < 4; ++i) {
        header[16 + i] = static_cast<uint8_t>(pixelBytes >> (8 * i));
        header[32 + i] = static_cast<uint8_t>(tag >> (8 * i));
    }
    return header;
}

Answer data(std::vector<uint8_t> bytes) {
    return Answer{Answer::Kind::Data, std::move(bytes)};
}

Answer pattern(uint32_t bytes, uint8_t seed) {
    std::vector<uint8_t> out(bytes);
    for (uint32_t i = 0; i < bytes; ++i) {
        out[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return data(std::move(out));
}

// A destination followed by guard bytes that must never change.
struct GuardedBuffer {
    explicit GuardedBuffer(uint32_t capacity) : capacity(capacity), bytes(capacity + 4096, kGuardByte) {}
    [[nodiscard]] bool guardIntact() const {
        return std::all_of(bytes.begin() + capacity, bytes.end(), [](uint8_t b) { return b == kGuardByte; });
    }
    uint32_t capacity;
    std::vector<uint8_t> bytes;
};

class ControllerFrames : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        ASSERT_EQ(controller_->OpenStream(), 1);
    }
    // Reads the header queued on 0x81, then the pixel data into `buffer`.
    int readFrame(GuardedBuffer& buffer, FrameRecord& record) {
        record.destination = buffer.bytes.data();
        record.capacity = buffer.capacity;
        if (!controller_->ReadFrameHeader(&record)) {
            return -1;
        }
        return controller_->ReadFrameData(&record, 1000);
    }
    std::vector<uint32_t> pixelReads() const {
        std::vector<uint32_t> sizes;
        for (const auto& read : camera_->bulkReads()) {
            if (read.endpoint == 0x81 && read.asked != 64) {
                sizes.push_back(read.asked);
            }
        }
        return sizes;
    }
};

TEST_F(ControllerFrames, HeaderGivesCountAndTagAfterArming) {
    camera_->queueBulk(0x81, data(frameHeader(1234, 0xCAFE0001)));
    FrameRecord record;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.pixelDataBytes(), 1234u);
    EXPECT_EQ(record.headerWord, 0xCAFE0001u);
    const auto arms = camera_->controls(0xC2);
    ASSERT_EQ(arms.size(), 1u);
    EXPECT_EQ(arms[0].header.requestType, 0x42);
    ASSERT_EQ(camera_->bulkReads().size(), 1u);
    EXPECT_EQ(camera_->bulkReads()[0].asked, 64u);
}

TEST_F(ControllerFrames, ExactMultipleOfAPieceIsReadInWholePieces) {
    camera_->queueBulk(0x81, data(frameHeader(2 * kPiece, 1)));
    camera_->queueBulk(0x81, pattern(kPiece, 1));
    camera_->queueBulk(0x81, pattern(kPiece, 2));
    GuardedBuffer buffer(2 * kPiece);
    FrameRecord record;
    ASSERT_EQ(readFrame(buffer, record), 1);
    EXPECT_EQ(pixelReads(), (std::vector<uint32_t>{kPiece, kPiece}));
    EXPECT_EQ(buffer.bytes[kPiece], 2);  // the second piece landed at its offset
    EXPECT_TRUE(buffer.guardIntact());
}

TEST_F(ControllerFrames, RemainderFollowsTheWholePieces) {
    camera_->queueBulk(0x81, data(frameHeader(kPiece + 100, 1)));
    camera_->queueBulk(0x81, pattern(kPiece, 1));
    camera_->queueBulk(0x81, pattern(100, 9));
    GuardedBuffer buffer(kPiece + 100);
    FrameRecord record;
    ASSERT_EQ(readFrame(buffer, record), 1);
    EXPECT_EQ(pixelReads(), (std::vector<uint32_t>{kPiece, 100}));
    EXPECT_EQ(buffer.bytes[kPiece], 9);
}

TEST_F(ControllerFrames, ZeroCountReadsNothingAndSucceeds) {
    camera_->queueBulk(0x81, data(frameHeader(0, 1)));
    GuardedBuffer buffer(1000);
    FrameRecord record;
    EXPECT_EQ(readFrame(buffer, record), 1);
    EXPECT_TRUE(pixelReads().empty());
}

TEST_F(ControllerFrames, CountAboveCapacityFailsBeforeAnyTransfer) {
    camera_->queueBulk(0x81, data(frameHeader(0xFFFFFFF0, 1)));  // the device's claim, not ours
    GuardedBuffer buffer(4096);
    FrameRecord record;
    EXPECT_EQ(readFrame(buffer, record), 0);
    EXPECT_TRUE(pixelReads().empty());
    EXPECT_TRUE(buffer.guardIntact());

    camera_->queueBulk(0x81, data(frameHeader(4097, 2)));
    EXPECT_EQ(readFrame(buffer, record), 0);
    EXPECT_TRUE(pixelReads().empty());
}

TEST_F(ControllerFrames, ShortOrOverclaimedPiecesFailWithoutOverrun) {
    camera_->queueBulk(0x81, data(frameHeader(3000, 1)));
    camera_->queueBulk(0x81, pattern(2000, 1));  // 1000 bytes never come
    GuardedBuffer buffer(3000);
    FrameRecord record;
    EXPECT_EQ(readFrame(buffer, record), 0);

    camera_->queueBulk(0x81, data(frameHeader(3000, 2)));
    // A device that claims more than was asked: the count never reaches
    // beyond the piece and nothing lands past the destination.
    camera_->queueBulk(0x81, Answer{Answer::Kind::Overclaim, std::vector<uint8_t>(8000, 0x11)});
    (void)readFrame(buffer, record);
    EXPECT_TRUE(buffer.guardIntact());
    EXPECT_EQ(buffer.bytes[2999], 0x11);
}

TEST_F(ControllerFrames, LostHeadersAreRecoveredByPulsingTheFpga) {
    camera_->queueBulk(0x81, Answer{Answer::Kind::Stall, {}});
    camera_->queueBulk(0x81, Answer{Answer::Kind::Stall, {}});
    camera_->queueBulk(0x81, data(frameHeader(10, 77)));
    FrameRecord record;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.headerWord, 77u);
    using Write = std::pair<uint8_t, uint8_t>;
    EXPECT_EQ(camera_->fpgaWrites(), (std::vector<Write>{{0x6C, 1}, {0x6C, 0}, {0x6C, 1}, {0x6C, 0}}));
    EXPECT_EQ(camera_->controls(0xC2).size(), 3u);  // armed once per attempt
    EXPECT_EQ(camera_->aborts(), 2);                // each lost header was aborted
}

TEST_F(ControllerFrames, HeaderGivesUpAfterThirtyAttempts) {
    FrameRecord record;
    record.headerWord = 5;
    EXPECT_EQ(controller_->ReadFrameHeader(&record), 0);
    EXPECT_EQ(record.headerWord, 5u);
    EXPECT_EQ(camera_->bulkReads().size(), 30u);
    EXPECT_EQ(camera_->fpgaWrites().size(), 60u);
}

TEST_F(ControllerFrames, TimedOutDirectTransferIsAborted) {
    std::vector<uint8_t> buffer(4096);
    uint32_t transferred = 99;
    EXPECT_EQ(controller_->TransferDirectTimed(controller_->StreamHandle(), buffer.data(), 4096, 0x81, &transferred,
                                               50),
              0);
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(controller_->DirectTransferStatus(), 997u);  // it had been pending
    // A read that reached the camera was cancelled there before the call
    // returned; on a loaded machine the driver may still have had it queued,
    // and then the abort dropped it before it reached the camera.
    EXPECT_LE(camera_->bulkReads().size(), 1u);
    EXPECT_EQ(static_cast<size_t>(camera_->aborts()), camera_->bulkReads().size());
    // The pipe works again for the next transfer.
    camera_->queueBulk(0x81, pattern(4096, 3));
    EXPECT_EQ(controller_->TransferDirectTimed(controller_->StreamHandle(), buffer.data(), 4096, 0x81, &transferred,
                                               1000),
              1);
    EXPECT_EQ(transferred, 4096u);
}

TEST_F(ControllerFrames, DirectTransfersNeedBufferHandleAndSaneLength) {
    std::vector<uint8_t> buffer(64);
    uint32_t transferred = 0;
    EXPECT_EQ(controller_->TransferDirectTimed(nullptr, buffer.data(), 64, 0x81, &transferred, 100), 0);
    EXPECT_EQ(controller_->TransferDirectTimed(controller_->StreamHandle(), buffer.data(), 0x4000001, 0x81,
                                               &transferred, 100),
              0);
    ASSERT_EQ(controller_->CloseTransfer(), 1);  // frees the transfer buffer
    EXPECT_EQ(controller_->OpenStream(), 1);
    EXPECT_EQ(controller_->TransferDirectTimed(controller_->StreamHandle(), buffer.data(), 64, 0x81, &transferred, 100),
              0);
    EXPECT_TRUE(camera_->bulkReads().empty());
}

TEST_F(ControllerFrames, WholeFramesComeFromEndpoint0x83) {
    camera_->queueBulk(0x83, pattern(5000, 4));
    GuardedBuffer buffer(5000);
    FrameRecord record;
    record.destination = buffer.bytes.data();
    record.capacity = buffer.capacity;
    record.expectedSize = 5000;
    ASSERT_EQ(controller_->ReadFrameDirect(&record), 1);
    EXPECT_EQ(camera_->controls(0xC2).size(), 1u);
    ASSERT_EQ(camera_->bulkReads().size(), 1u);
    EXPECT_EQ(camera_->bulkReads()[0].endpoint, 0x83);
    EXPECT_EQ(camera_->bulkReads()[0].asked, 5000u);

    camera_->queueBulk(0x83, pattern(4000, 4));  // short frame
    EXPECT_EQ(controller_->ReadFrameDirect(&record), 0);

    record.expectedSize = 5001;  // larger than the destination
    EXPECT_EQ(controller_->ReadFrameDirect(&record), 0);
    EXPECT_EQ(camera_->bulkReads().size(), 2u);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST_F(ControllerFrames, BufferedTransferCopiesWhatArrived) {
    camera_->queueBulk(0x81, pattern(300, 8));
    std::vector<uint8_t> out(512, 0);
    uint32_t returned = 0;
    ASSERT_EQ(controller_->TransferBuffered(controller_->StreamHandle(), out.data(), 512, 0x81, &returned), 1);
    EXPECT_EQ(returned, 300u);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(out[300], 0);
}

} // namespace
} // namespace lumvek::test

namespace lumvek::test {
namespace {

// A frame is whole only when its header arrived whole and announced exactly
// the frame the window and depth give.
TEST_F(ControllerFrames, ShortHeadersAndWrongFrameSizesAreFailedFrames) {
    // A 40-byte header is no header: the read goes on to the next attempt.
    std::vector<uint8_t> shortHeader = frameHeader(5000, 7);
    shortHeader.resize(40);
    camera_->queueBulk(0x81, data(shortHeader));
    camera_->queueBulk(0x81, data(frameHeader(5000, 8)));
    FrameRecord record;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.headerWord, 8u);

    // Fewer bytes announced (and sent) than the frame holds: refused before
    // any data is read, so no older frame shows through the rest.
    GuardedBuffer buffer(8000);
    record.destination = buffer.bytes.data();
    record.capacity = buffer.capacity;
    record.expectedSize = 6000;
    const size_t readsBefore = camera_->bulkReads().size();
    EXPECT_EQ(controller_->ReadFrameData(&record, 1000), 0);
    EXPECT_EQ(camera_->bulkReads().size(), readsBefore);

    camera_->queueBulk(0x81, data(frameHeader(6000, 9)));
    camera_->queueBulk(0x81, pattern(6000, 3));
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(controller_->ReadFrameData(&record, 1000), 1);
    EXPECT_TRUE(buffer.guardIntact());
}

} // namespace
} // namespace lumvek::test
