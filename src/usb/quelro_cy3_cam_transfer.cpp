// Bulk-in transfers of CQuelroCy3Cam: direct transfers into the caller's
// buffer, buffered transfers through the transfer buffer, and aborts.
//
// A transfer that the driver still holds keeps pointers to our header, event,
// OVERLAPPED and the caller's buffer. Every path therefore waits until the
// driver has completed or cancelled the request before those go away.
#include <algorithm>
#include <cstring>

#include "platform/fx3/driver_request.h"
#include "platform/log/log.h"
#include "platform/sync/clock.h"
#include "platform/sync/event.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek {

namespace {

using platform::Event;
using platform::kInfinite;

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void CQuelroCy3Cam::abortPipe(fx3::DeviceHandle handle, uint8_t endpoint) {
    if (handle == nullptr) {
        return;
    }
    Event done(Event::Reset::Auto);
    fx3::Overlapped overlapped;
    overlapped.event = &done;
    const uint8_t input[1] = {endpoint};
    uint32_t returned = 0;
    if (!fx3::deviceIoControl(handle, fx3::kIoctlAbortPipe, input, 1, nullptr, 0, &returned, &overlapped) &&
        fx3::getLastError() == fx3::kErrorIoPending) {
        (void)done.wait(kInfinite);
    }
}

void CQuelroCy3Cam::settleAfterAbort(fx3::DeviceHandle handle, uint8_t endpoint, Event& done) {
    // Each abort makes the driver complete what it holds on the pipe; one that
    // raced with a request still being queued is repeated. The bound lives in
    // the driver: every backend completes an aborted request within its own
    // limit (in-process at once, the socket backend within its 1 s abort
    // grace, after which it drops the connection and fails the request;
    // libusb once its cancelled transfers have called back). The request's
    // header, event and buffer must outlive it, so a driver that broke that
    // promise is logged and waited for rather than left writing into freed
    // memory.
    for (uint32_t waited = 0;; waited += kAbortSettleMs) {
        abortPipe(handle, endpoint);
        if (done.wait(kAbortSettleMs)) {
            return;
        }
        if (waited == kAbortGiveUpMs) {
            platform::logf(platform::LogCategory::Usb, "transfer on pipe 0x%02X not released %u ms after abort",
                           endpoint, static_cast<unsigned>(kAbortGiveUpMs));
        }
    }
}

int CQuelroCy3Cam::AbortBulkIn() {
    abortPipe(streamHandle_, fx3::kEndpointFrames);
    return 1;
}

bool CQuelroCy3Cam::waitTransfer(Event& done, uint32_t timeoutMs) const {
    const uint32_t start = platform::tickMs();
    for (;;) {
        if (streamStopRequested_.load()) {
            return false;
        }
        const uint32_t waited = platform::tickMs() - start;
        if (waited >= timeoutMs) {
            return false;
        }
        if (done.wait(std::min(timeoutMs - waited, kStreamStopPollMs))) {
            return true;
        }
    }
}

int CQuelroCy3Cam::directTransfer(fx3::DeviceHandle handle, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                                  uint32_t* transferred, uint32_t timeoutMs) {
    uint32_t count = 0;
    if (length > fx3::kMaxDataTransferBytes || handle == nullptr || !transferBuffer_ ||
        (buffer == nullptr && length > 0)) {
        if (transferred != nullptr) {
            *transferred = 0;
        }
        return 0;
    }
    Event done(Event::Reset::Auto);
    fx3::Overlapped overlapped;
    overlapped.event = &done;
    std::array<uint8_t, fx3::kRequestHeaderBytes> header{};
    (void)fx3::encodeHeader(fx3::makeDirectTransferHeader(endpoint), header);

    uint32_t returned = 0;
    const bool started = fx3::deviceIoControl(handle, fx3::kIoctlDirectTransfer, header.data(),
                                              static_cast<uint32_t>(header.size()), buffer, length, &returned,
                                              &overlapped);
    directTransferStatus_ = started ? fx3::kErrorSuccess : fx3::getLastError();
    fx3::setLastError(fx3::kErrorSuccess);

    bool finished = directTransferStatus_ == fx3::kErrorSuccess ||
                    (directTransferStatus_ == fx3::kErrorIoPending && waitTransfer(done, timeoutMs));
    int result = 0;
    if (finished) {
        if (fx3::getOverlappedResult(handle, &overlapped, &count, false)) {
            // A count beyond what was asked is a device fault, not data.
            if (count > length) {
                count = 0;
            } else {
                result = get32(header.data() + fx3::offset::kStatusA) == 0 &&
                                 get32(header.data() + fx3::offset::kStatusB) == 0
                             ? 1
                             : 0;
            }
        } else {
            count = 0;
        }
    } else if (directTransferStatus_ == fx3::kErrorIoPending) {
        // Missed its time-out: cancel, and do not leave before the driver has
        // let go of the header and the caller's buffer.
        settleAfterAbort(handle, endpoint, done);
    }
    if (transferred != nullptr) {
        *transferred = count;
    }
    return result;
}

int CQuelroCy3Cam::TransferDirectTimed(fx3::DeviceHandle handle, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                                       uint32_t* transferred, uint32_t timeoutMs) {
    return directTransfer(handle, buffer, length, endpoint, transferred, timeoutMs);
}

int CQuelroCy3Cam::TransferDirect(fx3::DeviceHandle handle, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                                  uint32_t* transferred) {
    if (!ArmTransfer(handle)) {
        if (transferred != nullptr) {
            *transferred = 0;
        }
        return 0;
    }
    return directTransfer(handle, buffer, length, endpoint, transferred, kDirectTransferTimeoutMs);
}

int CQuelroCy3Cam::TransferBuffered(fx3::DeviceHandle handle, uint8_t* data, uint32_t length, uint8_t endpoint,
                                    uint32_t* returned) {
    if (length > fx3::kMaxDataTransferBytes || handle == nullptr || !transferBuffer_ ||
        (data == nullptr && length > 0)) {
        return 0;
    }
    const uint32_t total = static_cast<uint32_t>(fx3::kRequestHeaderBytes) + length;
    uint8_t* staging = transferBuffer_.get();
    std::memset(staging, 0, total);
    (void)fx3::encodeHeader(fx3::makeBufferedTransferHeader(endpoint, length), {staging, fx3::kRequestHeaderBytes});

    Event done(Event::Reset::Auto);
    fx3::Overlapped overlapped;
    overlapped.event = &done;
    uint32_t count = 0;
    const bool started =
        fx3::deviceIoControl(handle, fx3::kIoctlBufferedTransfer, staging, total, staging, total, &count, &overlapped);
    bool ok = false;
    if (started || fx3::getLastError() == fx3::kErrorSuccess) {
        ok = true;
    } else if (fx3::getLastError() == fx3::kErrorIoPending) {
        if (done.wait(kBufferedTransferTimeoutMs)) {
            ok = fx3::getOverlappedResult(handle, &overlapped, &count, false);
        } else {
            // The driver still holds the staging buffer and our event.
            settleAfterAbort(handle, fx3::kEndpointFrames, done);
        }
    }
    if (!ok) {
        return 0;
    }
    if (count >= fx3::kRequestHeaderBytes && count - fx3::kRequestHeaderBytes <= length) {
        const uint32_t dataBytes = count - static_cast<uint32_t>(fx3::kRequestHeaderBytes);
        std::memcpy(data, staging + fx3::kRequestHeaderBytes, dataBytes);
        if (returned != nullptr) {
            *returned = dataBytes;
        }
    }
    return 1;
}

} // namespace lumvek
