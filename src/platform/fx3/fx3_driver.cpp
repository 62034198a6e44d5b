// The driver stand-in's handles and I/O-control dispatch. Each handle owns one
// backend connection; overlapped bulk reads run on the handle's own transfer
// thread, one after another, and complete through the caller's event.
#include "platform/fx3/fx3_driver.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "platform/fx3/device_registry.h"
#include "platform/fx3/driver_request.h"
#include "platform/fx3/usb_device.h"
#include "platform/sync/event.h"

namespace lumvek::fx3 {

namespace {
// Completion-status word the stand-in writes when a transfer fails (an
// NTSTATUS-like "unsuccessful").
constexpr uint32_t kStatusUnsuccessful = 0xC0000001u;

thread_local uint32_t tLastError = kErrorSuccess;

// One bulk read, queued or running on a handle's transfer thread.
struct BulkRequest {
    uint8_t endpoint = 0;
    std::span<uint8_t> data;
    uint8_t* statusHeader = nullptr;  // header whose status words the completion fills
    uint32_t timeoutMs = 0;
    uint32_t headerBytes = 0;         // added to the byte count (buffered transfers report 38 + n)
    Overlapped* overlapped = nullptr;  // null for a synchronous request
    CancelToken cancel;
    // Completion, for synchronous requests.
    bool done = false;
    uint32_t error = kErrorSuccess;
    uint32_t transferred = 0;
};

void writeStatus(uint8_t* header, uint32_t error) {
    if (header != nullptr) {
        const uint32_t word = error == kErrorSuccess ? 0 : kStatusUnsuccessful;
        (void)writeCompletionStatus(std::span<uint8_t>(header, kRequestHeaderBytes), word,
                                    error == kErrorSuccess ? 0 : error);
    }
}

void completeOverlapped(Overlapped* overlapped, uint32_t error, uint32_t transferred) {
    overlapped->transferred.store(transferred);
    overlapped->error.store(error);
    overlapped->completed.store(true);
    if (overlapped->event != nullptr) {
        overlapped->event->set();
    }
}
} // namespace

struct DeviceObject {
    DeviceObject(std::unique_ptr<UsbDevice> d, bool ov, std::string p, DeviceHolder h)
        : device(std::move(d)), overlapped(ov), path(std::move(p)), holder(h) {}

    std::unique_ptr<UsbDevice> device;
    const bool overlapped;
    const std::string path;     // the claim this handle counts in
    const DeviceHolder holder;

    std::mutex mutex;  // guards queue, active, closing, worker
    std::condition_variable changed;  // queue grew, a request completed, closing
    std::deque<std::shared_ptr<BulkRequest>> queue;
    // Reads inside the device now: the transfer thread's and synchronous ones.
    std::vector<std::shared_ptr<BulkRequest>> active;
    bool closing = false;
    std::thread worker;

    void finish(BulkRequest& request, uint32_t error, uint32_t bytes) {
        if (error != kErrorSuccess && error != kErrorOperationAborted && request.cancel.cancelled()) {
            error = kErrorOperationAborted;
        }
        const uint32_t transferred = bytes + (error == kErrorSuccess ? request.headerBytes : 0);
        writeStatus(request.statusHeader, error);
        if (request.overlapped != nullptr) {
            completeOverlapped(request.overlapped, error, transferred);
        }
        std::lock_guard lock(mutex);
        request.done = true;
        request.error = error;
        request.transferred = transferred;
        changed.notify_all();
    }

    void execute(BulkRequest& request) {
        const BulkResult result = device->bulkRead(request.endpoint, request.data, request.timeoutMs, request.cancel);
        finish(request, result.error, std::min<uint32_t>(result.bytes, static_cast<uint32_t>(request.data.size())));
    }

    void run() {
        for (;;) {
            std::shared_ptr<BulkRequest> request;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return closing || !queue.empty(); });
                if (queue.empty()) {
                    return;
                }
                request = queue.front();
                queue.pop_front();
                active.push_back(request);  // in the same step, so no abort falls between
            }
            finishActive(request);
        }
    }

    // Runs a read while it is listed as active, so that abort and close reach it.
    void executeActive(const std::shared_ptr<BulkRequest>& request) {
        {
            std::lock_guard lock(mutex);
            active.push_back(request);
        }
        finishActive(request);
    }

    void finishActive(const std::shared_ptr<BulkRequest>& request) {
        execute(*request);
        std::lock_guard lock(mutex);
        active.erase(std::find(active.begin(), active.end(), request));
        changed.notify_all();
    }

    // Cancels the queued and running reads of `endpoint` (0: all endpoints).
    void cancel(uint8_t endpoint) {
        std::deque<std::shared_ptr<BulkRequest>> dropped;
        {
            std::lock_guard lock(mutex);
            for (auto it = queue.begin(); it != queue.end();) {
                if (endpoint == 0 || (*it)->endpoint == endpoint) {
                    dropped.push_back(*it);
                    it = queue.erase(it);
                } else {
                    ++it;
                }
            }
            for (auto& request : active) {
                if (endpoint == 0 || request->endpoint == endpoint) {
                    request->cancel.cancel();
                }
            }
        }
        for (auto& request : dropped) {
            finish(*request, kErrorOperationAborted, 0);
        }
    }

    void startWorker() {
        // Called with mutex held.
        if (!worker.joinable()) {
            worker = std::thread([this] { run(); });
        }
    }
};

namespace {
class HandleTable {
public:
    // Never destroyed: a process that exits without releasing its cameras
    // still has transfer threads using handles while static objects go.
    static HandleTable& instance() {
        static auto* table = new HandleTable();
        return *table;
    }
    void add(DeviceObject* handle) {
        std::lock_guard lock(mutex_);
        live_.insert(handle);
    }
    bool remove(DeviceObject* handle) {
        std::lock_guard lock(mutex_);
        return live_.erase(handle) != 0;
    }
    bool contains(DeviceObject* handle) {
        std::lock_guard lock(mutex_);
        return live_.count(handle) != 0;
    }

private:
    std::mutex mutex_;  // guards live_
    std::unordered_set<DeviceObject*> live_;
};

bool fail(uint32_t error) {
    tLastError = error;
    return false;
}

bool succeed(uint32_t bytes, uint32_t* returned, Overlapped* overlapped) {
    if (returned != nullptr) {
        *returned = bytes;
    }
    if (overlapped != nullptr) {
        completeOverlapped(overlapped, kErrorSuccess, bytes);
    }
    tLastError = kErrorSuccess;
    return true;
}

bool failRequest(uint32_t error, uint32_t* returned, Overlapped* overlapped) {
    if (returned != nullptr) {
        *returned = 0;
    }
    if (overlapped != nullptr) {
        completeOverlapped(overlapped, error, 0);
    }
    return fail(error);
}

bool controlTransfer(DeviceObject& object, const uint8_t* in, uint32_t inBytes, uint8_t* out, uint32_t outBytes,
                     uint32_t* returned, Overlapped* overlapped) {
    RequestHeader header;
    if (in == nullptr || out == nullptr || outBytes < kRequestHeaderBytes ||
        !decodeHeader(std::span<const uint8_t>(in, inBytes), header)) {
        return failRequest(kErrorInvalidParameter, returned, overlapped);
    }
    std::array<uint8_t, kControlDataBytes> data{};
    const size_t given = std::min<size_t>(inBytes - kRequestHeaderBytes, kControlDataBytes);
    std::memcpy(data.data(), in + kRequestHeaderBytes, given);
    if (out != in) {
        std::memcpy(out, in, kRequestHeaderBytes);
    }
    if (!object.device->connected()) {
        writeStatus(out, kErrorDeviceNotConnected);
        return failRequest(kErrorDeviceNotConnected, returned, overlapped);
    }
    const ControlResult result = object.device->controlTransfer(header, data);
    if (!result.ok) {
        const uint32_t error = object.device->connected() ? kErrorGenFailure : kErrorDeviceNotConnected;
        writeStatus(out, error);
        return failRequest(error, returned, overlapped);
    }
    const uint32_t room = outBytes - static_cast<uint32_t>(kRequestHeaderBytes);
    const uint32_t bytes = std::min({result.dataBytes, room, static_cast<uint32_t>(kControlDataBytes)});
    std::memcpy(out + kRequestHeaderBytes, data.data(), bytes);
    writeStatus(out, kErrorSuccess);
    return succeed(static_cast<uint32_t>(kRequestHeaderBytes) + bytes, returned, overlapped);
}

bool bulkTransfer(DeviceObject& object, std::shared_ptr<BulkRequest> request, uint32_t* returned,
                  Overlapped* overlapped) {
    if (overlapped != nullptr && object.overlapped) {
        overlapped->completed.store(false);
        overlapped->error.store(kErrorIoPending);
        overlapped->transferred.store(0);
        request->overlapped = overlapped;
        {
            std::lock_guard lock(object.mutex);
            object.queue.push_back(request);
            object.startWorker();
            object.changed.notify_all();
        }
        if (returned != nullptr) {
            *returned = 0;
        }
        return fail(kErrorIoPending);
    }
    // Synchronous: run on the caller's thread, still cancellable by closeHandle
    // or an abort from another thread. An OVERLAPPED given with a handle opened
    // without overlapped I/O is filled in as the request completes.
    request->overlapped = overlapped;
    object.executeActive(request);
    if (returned != nullptr) {
        *returned = request->transferred;
    }
    if (request->error != kErrorSuccess) {
        return fail(request->error);
    }
    tLastError = kErrorSuccess;
    return true;
}
} // namespace

std::vector<std::string> enumerateDeviceInterfaces(const Guid& interfaceClass) {
    if (!(interfaceClass == kCameraInterfaceGuid)) {
        return {};
    }
    return DeviceRegistry::instance().presentPaths();
}

DeviceHandle openDevice(const std::string& path, bool overlapped, DeviceHolder holder) {
    DeviceRegistry& registry = DeviceRegistry::instance();
    // Claimed before the backend is asked, so that another holder's open
    // never reaches the camera.
    if (!registry.claim(path, holder)) {
        tLastError = kErrorSharingViolation;
        return nullptr;
    }
    auto device = registry.takeIdle(path, holder);
    if (!device) {
        device = registry.open(path);
    }
    if (!device) {
        (void)registry.unclaim(path, holder);
        tLastError = kErrorFileNotFound;
        return nullptr;
    }
    auto* object = new DeviceObject(std::move(device), overlapped, path, holder);
    HandleTable::instance().add(object);
    tLastError = kErrorSuccess;
    return object;
}

void closeHandle(DeviceHandle handle) {
    if (handle == nullptr || !HandleTable::instance().remove(handle)) {
        tLastError = kErrorInvalidHandle;
        return;
    }
    handle->cancel(0);
    {
        std::lock_guard lock(handle->mutex);
        handle->closing = true;
        handle->changed.notify_all();
    }
    if (handle->worker.joinable()) {
        handle->worker.join();
    }
    // A synchronous read on another thread: wait until it has left the device.
    {
        std::unique_lock lock(handle->mutex);
        handle->changed.wait(lock, [&] { return handle->active.empty(); });
    }
    const std::string path = handle->path;
    const DeviceHolder holder = handle->holder;
    // A handle without overlapped I/O has no transfer thread and nothing in
    // flight now: its connection may serve the holder's next open.
    std::unique_ptr<UsbDevice> device = std::move(handle->device);
    const bool plain = !handle->overlapped;
    delete handle;
    DeviceRegistry& registry = DeviceRegistry::instance();
    if (!plain || !registry.keepIdle(path, holder, device)) {
        device.reset();  // the backend connection ends before the claim is given up
    }
    std::vector<std::unique_ptr<UsbDevice>> idle = registry.unclaim(path, holder);
    idle.clear();
}

bool deviceIoControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inBytes, void* out,
                     uint32_t outBytes, uint32_t* returned, Overlapped* overlapped) {
    if (handle == nullptr || !HandleTable::instance().contains(handle)) {
        return fail(kErrorInvalidHandle);
    }
    DeviceObject& object = *handle;
    const auto* input = static_cast<const uint8_t*>(in);
    auto* output = static_cast<uint8_t*>(out);
    if (input == nullptr) {
        inBytes = 0;
    }
    if (output == nullptr) {
        outBytes = 0;
    }
    switch (code) {
    case kIoctlControlTransfer:
        return controlTransfer(object, input, inBytes, output, outBytes, returned, overlapped);
    case kIoctlBufferedTransfer: {
        RequestHeader header;
        if (!decodeHeader(std::span<const uint8_t>(input, inBytes), header) || outBytes < kRequestHeaderBytes ||
            header.dataLength > kMaxDataTransferBytes) {
            return failRequest(kErrorInvalidParameter, returned, overlapped);
        }
        if (output != input) {
            std::memcpy(output, input, kRequestHeaderBytes);
        }
        auto request = std::make_shared<BulkRequest>();
        request->endpoint = header.endpoint;
        request->data = std::span<uint8_t>(output + kRequestHeaderBytes,
                                           std::min<uint32_t>(header.dataLength, outBytes - kRequestHeaderBytes));
        request->statusHeader = output;
        request->timeoutMs = header.timeoutMs;
        request->headerBytes = static_cast<uint32_t>(kRequestHeaderBytes);
        return bulkTransfer(object, std::move(request), returned, overlapped);
    }
    case kIoctlDirectTransfer: {
        RequestHeader header;
        if (!decodeHeader(std::span<const uint8_t>(input, inBytes), header) || outBytes > kMaxDataTransferBytes) {
            return failRequest(kErrorInvalidParameter, returned, overlapped);
        }
        auto request = std::make_shared<BulkRequest>();
        request->endpoint = header.endpoint;
        request->data = std::span<uint8_t>(output, outBytes);
        // The driver writes the completion status into the caller's header.
        request->statusHeader = const_cast<uint8_t*>(input);
        request->timeoutMs = header.timeoutMs;
        return bulkTransfer(object, std::move(request), returned, overlapped);
    }
    case kIoctlAbortPipe:
        if (inBytes < 1) {
            return failRequest(kErrorInvalidParameter, returned, overlapped);
        }
        object.cancel(input[0]);
        return succeed(0, returned, overlapped);
    case kIoctlResetPipe:
        if (inBytes < 1) {
            return failRequest(kErrorInvalidParameter, returned, overlapped);
        }
        if (!object.device->resetPipe(input[0])) {
            return failRequest(object.device->connected() ? kErrorGenFailure : kErrorDeviceNotConnected, returned,
                               overlapped);
        }
        return succeed(0, returned, overlapped);
    case kIoctlResetPort:
        object.cancel(0);
        if (!object.device->resetPort()) {
            return failRequest(object.device->connected() ? kErrorGenFailure : kErrorDeviceNotConnected, returned,
                               overlapped);
        }
        return succeed(0, returned, overlapped);
    case kIoctlLinkSpeed: {
        if (outBytes < 4) {
            return failRequest(kErrorInvalidParameter, returned, overlapped);
        }
        const uint32_t speed = object.device->linkSpeed();
        if (speed == 0) {
            return failRequest(kErrorDeviceNotConnected, returned, overlapped);
        }
        for (int i = 0; i < 4; ++i) {
            output[i] = static_cast<uint8_t>(speed >> (8 * i));
        }
        return succeed(4, returned, overlapped);
    }
    default:
        return failRequest(kErrorInvalidFunction, returned, overlapped);
    }
}

bool getOverlappedResult(DeviceHandle handle, Overlapped* overlapped, uint32_t* transferred, bool wait) {
    if (overlapped == nullptr) {
        return fail(kErrorInvalidParameter);
    }
    if (!overlapped->completed.load()) {
        if (!wait) {
            return fail(kErrorIoIncomplete);
        }
        if (handle == nullptr || !HandleTable::instance().contains(handle)) {
            return fail(kErrorInvalidHandle);
        }
        std::unique_lock lock(handle->mutex);
        handle->changed.wait(lock, [&] { return overlapped->completed.load(); });
    }
    if (transferred != nullptr) {
        *transferred = overlapped->transferred.load();
    }
    const uint32_t error = overlapped->error.load();
    if (error != kErrorSuccess) {
        return fail(error);
    }
    tLastError = kErrorSuccess;
    return true;
}

uint32_t getLastError() {
    return tLastError;
}

void setLastError(uint32_t error) {
    tLastError = error;
}

} // namespace lumvek::fx3
