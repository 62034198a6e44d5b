#ifdef LUMVEK_HAVE_LIBUSB
// The libusb backend. Bulk reads are split into sub-transfers with several
// in flight, so the device always has a request to fill; completions arrive
// on the context's event thread and wake the reading thread.
#include "platform/fx3/libusb_backend.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/libusb_context.h"
#include "platform/fx3/usb_id_filter.h"
#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {
constexpr int kCameraInterface = 0;
// Sub-transfer size (a multiple of the 1024-byte SuperSpeed bulk packet) and
// how many are in flight: 8 x 256 KiB keeps 2 MiB queued, about 5 ms of a
// 0.4 GB/s camera.
constexpr uint32_t kSubTransferBytes = 256 * 1024;
constexpr int kTransfersInFlight = 8;
// How often a waiting read looks at its cancel token (abort within 20 ms).
constexpr auto kCancelPoll = std::chrono::milliseconds(5);

// One open camera of this process: the libusb handle and the claim of interface 0.
struct SharedHandle {
    libusb_device* device = nullptr;  // referenced while open
    libusb_device_handle* handle = nullptr;
    std::atomic<bool> gone{false};
    ~SharedHandle() {
        (void)libusb_release_interface(handle, kCameraInterface);
        libusb_close(handle);
        libusb_unref_device(device);
    }
};

class OpenCameras {
public:
    static OpenCameras& instance() {
        static OpenCameras cameras;
        return cameras;
    }
    std::shared_ptr<SharedHandle> find(const std::string& path) {
        std::lock_guard lock(mutex_);
        auto found = open_.find(path);
        return found == open_.end() ? nullptr : found->second.lock();
    }
    void add(const std::string& path, const std::shared_ptr<SharedHandle>& handle) {
        std::lock_guard lock(mutex_);
        open_[path] = handle;
    }
    void markGone(libusb_device* device) {
        std::lock_guard lock(mutex_);
        for (auto& [path, weak] : open_) {
            if (auto handle = weak.lock(); handle && handle->device == device) {
                handle->gone = true;
            }
        }
    }
    std::mutex& openMutex() { return openMutex_; }

private:
    std::mutex mutex_;      // guards open_
    std::mutex openMutex_;  // serialises opening, so two threads never claim twice
    std::map<std::string, std::weak_ptr<SharedHandle>> open_;
};

uint32_t bulkError(libusb_transfer_status status, bool gone) {
    if (gone) return kErrorDeviceNotConnected;
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return kErrorSuccess;
    case LIBUSB_TRANSFER_CANCELLED:
        return kErrorOperationAborted;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return kErrorSemTimeout;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return kErrorDeviceNotConnected;
    default:  // stall, babble/overflow, host errors
        return kErrorGenFailure;
    }
}

class LibusbDevice final : public UsbDevice {
public:
    explicit LibusbDevice(std::shared_ptr<SharedHandle> shared) : shared_(std::move(shared)) {
        for (auto& slot : slots_) {
            slot.transfer = libusb_alloc_transfer(0);
            slot.owner = this;
        }
    }
    ~LibusbDevice() override {
        for (auto& slot : slots_) {
            libusb_free_transfer(slot.transfer);
        }
    }

    ControlResult controlTransfer(const RequestHeader& header, std::span<uint8_t, kControlDataBytes> data) override {
        if (shared_->gone) return {};
        const int result =
            libusb_control_transfer(shared_->handle, header.requestType, header.requestCode, header.value,
                                    header.index, data.data(), static_cast<uint16_t>(kControlDataBytes),
                                    header.timeoutMs == 0 ? kControlTimeoutMs : header.timeoutMs);
        if (result < 0) {
            noteFailure(result);
            return {};
        }
        const bool in = (header.requestType & LIBUSB_ENDPOINT_IN) != 0;
        return {true, in ? static_cast<uint32_t>(std::min<int>(result, kControlDataBytes))
                         : static_cast<uint32_t>(kControlDataBytes)};
    }

    BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                        const CancelToken& cancel) override;

    bool resetPipe(uint8_t endpoint) override {
        if (shared_->gone) return false;
        const int result = libusb_clear_halt(shared_->handle, endpoint);
        noteFailure(result);
        return result == LIBUSB_SUCCESS;
    }
    bool resetPort() override {
        if (shared_->gone) return false;
        const int result = libusb_reset_device(shared_->handle);
        noteFailure(result == LIBUSB_ERROR_NOT_FOUND ? LIBUSB_ERROR_NO_DEVICE : result);
        return result == LIBUSB_SUCCESS;
    }
    uint32_t linkSpeed() override {
        if (shared_->gone) return 0;
        return linkSpeedOf(libusb_get_device_speed(shared_->device));
    }
    bool connected() const override { return !shared_->gone; }

private:
    struct Slot {
        libusb_transfer* transfer = nullptr;
        LibusbDevice* owner = nullptr;
        bool busy = false;
        size_t offset = 0;  // where in the read this sub-transfer lands
    };

    void noteFailure(int result) {
        if (result == LIBUSB_ERROR_NO_DEVICE) {
            shared_->gone = true;
        }
    }

    static void LIBUSB_CALL onComplete(libusb_transfer* transfer) {
        auto* slot = static_cast<Slot*>(transfer->user_data);
        LibusbDevice& self = *slot->owner;
        std::lock_guard lock(self.mutex_);
        slot->busy = false;
        self.completed_.push_back(slot);
        self.changed_.notify_all();
    }

    std::shared_ptr<SharedHandle> shared_;
    std::mutex readMutex_;  // one bulk read at a time: the slots belong to it
    std::array<Slot, kTransfersInFlight> slots_{};
    std::mutex mutex_;  // guards the slots' busy flags and completed_
    std::condition_variable changed_;
    std::vector<Slot*> completed_;
};

// Called on the stand-in's transfer thread (or a caller's thread for a
// synchronous read); reads on one device object wait for each other.
BulkResult LibusbDevice::bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                                  const CancelToken& cancel) {
    using Clock = std::chrono::steady_clock;
    std::lock_guard reading(readMutex_);
    if (shared_->gone) return {kErrorDeviceNotConnected, 0};
    const bool limited = timeoutMs != 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const size_t total = buffer.size();
    size_t submitted = 0;  // bytes handed to sub-transfers so far
    size_t received = 0;   // bytes of the contiguous prefix that arrived
    size_t ended = total;  // the offset a short sub-transfer ended the data at
    bool stopping = false;
    bool discontiguous = false;
    uint32_t error = kErrorSuccess;
    int inFlight = 0;
    std::vector<std::pair<size_t, size_t>> arrived;  // (offset, bytes) of completed sub-transfers

    std::unique_lock lock(mutex_);
    completed_.clear();
    auto submitMore = [&] {
        for (auto& slot : slots_) {
            if (stopping || submitted >= total || submitted >= ended) break;
            if (slot.busy) continue;
            const auto length = static_cast<int>(std::min<size_t>(kSubTransferBytes, total - submitted));
            libusb_fill_bulk_transfer(slot.transfer, shared_->handle, endpoint, buffer.data() + submitted, length,
                                      &LibusbDevice::onComplete, &slot, 0);
            slot.offset = submitted;
            const int result = libusb_submit_transfer(slot.transfer);
            if (result != LIBUSB_SUCCESS) {
                noteFailure(result);
                error = shared_->gone ? kErrorDeviceNotConnected : kErrorGenFailure;
                stopping = true;
                break;
            }
            slot.busy = true;
            ++inFlight;
            submitted += static_cast<size_t>(length);
        }
    };
    auto cancelAll = [&] {
        stopping = true;
        for (auto& slot : slots_) {
            if (slot.busy) (void)libusb_cancel_transfer(slot.transfer);
        }
    };
    if (total == 0) {
        return {kErrorSuccess, 0};
    }
    submitMore();
    while (inFlight > 0) {
        changed_.wait_for(lock, kCancelPoll, [&] { return !completed_.empty(); });
        for (Slot* slot : completed_) {
            --inFlight;
            const libusb_transfer& done = *slot->transfer;
            const uint32_t status = bulkError(done.status, shared_->gone);
            const auto bytes = static_cast<size_t>(std::max(done.actual_length, 0));
            if (status == kErrorSuccess) {
                if (bytes > 0) arrived.emplace_back(slot->offset, bytes);
                if (bytes < static_cast<size_t>(done.length) && slot->offset + bytes < ended) {
                    ended = slot->offset + bytes;  // a short packet ends the data
                    cancelAll();
                }
            } else if (!(status == kErrorOperationAborted && stopping && error == kErrorSuccess &&
                         slot->offset >= ended)) {
                if (bytes > 0) arrived.emplace_back(slot->offset, bytes);
                if (error == kErrorSuccess) error = status;
                cancelAll();
            }
        }
        completed_.clear();
        if (!stopping) {
            if (cancel.cancelled()) {
                error = kErrorOperationAborted;
                cancelAll();
            } else if (limited && Clock::now() >= deadline) {
                error = kErrorSemTimeout;
                cancelAll();
            } else if (shared_->gone) {
                error = kErrorDeviceNotConnected;
                cancelAll();
            } else {
                submitMore();
            }
        }
    }
    // The data is the contiguous run from offset 0 up to where it ended;
    // anything that landed past a gap cannot be handed on as a stream.
    std::sort(arrived.begin(), arrived.end());
    for (const auto& [offset, bytes] : arrived) {
        if (offset != received) {
            discontiguous = true;
            break;
        }
        received += bytes;
    }
    if (error == kErrorSuccess && (discontiguous || received > ended)) {
        error = kErrorGenFailure;
    }
    return {error, error == kErrorSuccess ? static_cast<uint32_t>(received) : 0};
}

} // namespace

uint32_t linkSpeedOf(int libusbSpeed) {
    switch (libusbSpeed) {
    case LIBUSB_SPEED_LOW:
        return 1;
    case LIBUSB_SPEED_FULL:
        return 2;
    case LIBUSB_SPEED_HIGH:
        return 3;
    case LIBUSB_SPEED_SUPER:
    case LIBUSB_SPEED_SUPER_PLUS:
        return kLinkSpeedSuper;
    default:
        return 0;
    }
}

std::vector<std::string> LibusbDeviceSource::presentPaths() {
    LibusbContext* context = LibusbContext::instance();
    if (context == nullptr || usbVendorIds().empty()) {
        return {};
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context->context(), &list);
    std::vector<std::string> paths;
    for (ssize_t i = 0; i < count; ++i) {
        std::string path = libusbDevicePath(list[i]);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    if (list != nullptr) libusb_free_device_list(list, 1);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::unique_ptr<UsbDevice> LibusbDeviceSource::open(const std::string& path) {
    // Any path of the device-path form may be ours: a camera with a serial
    // number has it as the instance, not its bus and port. The device list
    // decides.
    DevicePathParts parts;
    if (!parseDevicePath(path, parts) || !isCameraUsbId(usbVendorIds(), parts.vendorId, parts.productId)) {
        return nullptr;
    }
    LibusbContext* context = LibusbContext::instance();
    if (context == nullptr) {
        return nullptr;
    }
    OpenCameras& cameras = OpenCameras::instance();
    std::lock_guard opening(cameras.openMutex());
    if (auto shared = cameras.find(path); shared && !shared->gone) {
        return std::make_unique<LibusbDevice>(std::move(shared));
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context->context(), &list);
    libusb_device* device = nullptr;
    for (ssize_t i = 0; i < count && device == nullptr; ++i) {
        if (libusbDevicePath(list[i]) == path) device = libusb_ref_device(list[i]);
    }
    if (list != nullptr) libusb_free_device_list(list, 1);
    if (device == nullptr) {
        return nullptr;
    }
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(device, &handle);
    if (result == LIBUSB_SUCCESS) {
        result = libusb_claim_interface(handle, kCameraInterface);
        if (result != LIBUSB_SUCCESS) {
            libusb_close(handle);
        }
    }
    if (result != LIBUSB_SUCCESS) {
        // LIBUSB_ERROR_ACCESS: the node's permissions; LIBUSB_ERROR_BUSY: another process holds it.
        platform::logf(platform::LogCategory::Usb, "cannot open %s: %s", path.c_str(), libusb_error_name(result));
        libusb_unref_device(device);
        return nullptr;
    }
    auto shared = std::make_shared<SharedHandle>();
    shared->device = device;
    shared->handle = handle;
    cameras.add(path, shared);
    return std::make_unique<LibusbDevice>(std::move(shared));
}

void LibusbDeviceSource::deviceLeft(libusb_device* device) {
    OpenCameras::instance().markGone(device);
}

} // namespace lumvek::fx3

#endif // LUMVEK_HAVE_LIBUSB
