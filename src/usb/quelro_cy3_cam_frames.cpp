// Frame reads of CQuelroCy3Cam, called on the frame transfer thread.
#include <algorithm>

#include "platform/fx3/driver_request.h"
#include "platform/log/log.h"
#include "platform/sync/clock.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek {

namespace {

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

uint32_t FrameRecord::pixelDataBytes() const {
    return get32(header.data() + kFrameHeaderPixelCountOffset);
}

bool CQuelroCy3Cam::openStreamForCall(bool& openedHere) {
    openedHere = false;
    if (streamHandle_ != nullptr) {
        return true;
    }
    if (!OpenStream()) {
        return false;
    }
    openedHere = true;
    return true;
}

int CQuelroCy3Cam::ReadFrameHeader(FrameRecord* record) {
    if (record == nullptr) {
        return 0;
    }
    bool openedHere = false;
    if (!openStreamForCall(openedHere)) {
        return 0;
    }
    scratch_.fill(0);
    std::array<uint8_t, kFrameHeaderBytes> received{};
    bool armed = ArmTransfer(streamHandle_) != 0;
    for (int attempt = 0; armed && attempt < kFrameHeaderAttempts; ++attempt) {
        uint32_t count = 0;
        // A header shorter than 64 bytes is no header: its count and tag words are missing.
        if (TransferDirectTimed(streamHandle_, received.data(), kFrameHeaderBytes, fx3::kEndpointFrames, &count,
                                kFrameHeaderTimeoutMs) &&
            count == kFrameHeaderBytes) {
            record->header = received;
            record->headerWord = get32(received.data() + kFrameHeaderTagOffset);
            return 1;
        }
        if (streamStopRequested_.load()) {
            break;  // the acquisition is stopping: no recovery, no new arm
        }
        // A lost header: pulse the FPGA's recovery register and re-arm.
        (void)WriteFpgaRegister(kFpgaHeaderRecoveryRegister, 1);
        (void)WriteFpgaRegister(kFpgaHeaderRecoveryRegister, 0);
        platform::sleepMs(kHeaderRecoveryPauseMs);
        received.fill(0);
        armed = ArmTransfer(streamHandle_) != 0;
    }
    if (openedHere) {
        CloseStream();
    }
    return 0;
}

int CQuelroCy3Cam::ReadFrameData(FrameRecord* record, uint32_t timeoutMs) {
    if (record == nullptr) {
        return 0;
    }
    const uint32_t total = record->pixelDataBytes();
    // The count comes from the device: it must fit where the data goes, and
    // a frame announcing less than the window and depth give would leave the
    // rest of the buffer holding an older frame. (More is allowed: some heads
    // send rows beyond the window, which the frame's copy leaves out.)
    if (total > record->capacity || (total > 0 && record->destination == nullptr) ||
        (record->expectedSize != 0 && total < record->expectedSize)) {
        platform::logf(platform::LogCategory::Usb, "frame header announces %u bytes: the frame needs %u, room for %u",
                       total, record->expectedSize, record->capacity);
        return 0;
    }
    bool openedHere = false;
    if (!openStreamForCall(openedHere)) {
        return 0;
    }
    // The time-out bounds the whole frame, not each piece: a camera that
    // trickles its data, each piece just inside a per-piece limit, would
    // otherwise hold a frame for ever without a failure.
    int result = 1;
    const uint32_t started = platform::tickMs();
    for (uint32_t done = 0; done < total;) {
        const uint32_t elapsed = platform::tickMs() - started;
        if (elapsed >= timeoutMs) {
            result = 0;
            break;
        }
        const uint32_t piece = std::min(kFramePieceBytes, total - done);
        uint32_t count = 0;
        // A piece that arrives short leaves the rest of the frame stale: failed.
        if (!TransferDirectTimed(streamHandle_, record->destination + done, piece, fx3::kEndpointFrames, &count,
                                 timeoutMs - elapsed) ||
            count != piece) {
            result = 0;
            break;
        }
        done += piece;
    }
    if (openedHere) {
        CloseStream();
    }
    return result;
}

int CQuelroCy3Cam::ReadFrameDirect(FrameRecord* record) {
    if (record == nullptr) {
        return 0;
    }
    if (record->expectedSize > record->capacity || (record->expectedSize > 0 && record->destination == nullptr)) {
        return 0;
    }
    bool openedHere = false;
    if (!openStreamForCall(openedHere)) {
        return 0;
    }
    scratch_.fill(0);
    uint32_t count = 0;
    const int ok = TransferDirect(streamHandle_, record->destination, record->expectedSize,
                                  fx3::kEndpointWholeFrames, &count) &&
                   count == record->expectedSize;
    if (!ok && openedHere) {
        CloseStream();
    }
    return ok ? 1 : 0;
}

} // namespace lumvek
