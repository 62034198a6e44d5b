#include "daemon/usbrun/usbfs_device.h"

#include "daemon/usbrun/setup_packet.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "platform/log/log.h"

namespace lumvek::sim::usbrun {

namespace {
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
// Larger bulk URBs than this are refused as the kernel refuses what exceeds
// its usbfs memory limit.
constexpr int kMaxBulkUrbBytes = static_cast<int>(fx3::kMaxDataTransferBytes);
constexpr unsigned kCameraInterface = 0;

usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// The ioctl argument is the client's pointer; what it points to is fetched
// from the client's memory. nullptr when it cannot be (bad pointer).
UMockdevIoctlData* pointee(UMockdevIoctlData* arg, size_t bytes) {
    if (arg == nullptr || static_cast<size_t>(arg->data_len) < sizeof(void*)) return nullptr;
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, bytes, &error);
    if (error != nullptr) g_error_free(error);
    return data;
}

// The unsigned int the argument points to; false for a bad pointer.
bool readArgU32(UMockdevIoctlData* arg, uint32_t& value) {
    UMockdevIoctlData* data = pointee(arg, sizeof value);
    if (data == nullptr) return false;
    std::memcpy(&value, data->data, sizeof value);
    g_object_unref(data);
    return true;
}

// The argument's own value (DISCARDURB passes the URB pointer itself).
gulong argValue(UMockdevIoctlData* arg) {
    gulong value = 0;
    if (arg != nullptr && static_cast<size_t>(arg->data_len) >= sizeof value) {
        std::memcpy(&value, arg->data, sizeof value);
    }
    return value;
}

bool takeOne(std::atomic<uint32_t>& counter) {
    uint32_t left = counter.load();
    while (left > 0 && !counter.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

// The simulator's failure as a URB status, as the host controller reports it.
int statusOf(uint32_t error) {
    switch (error) {
    case fx3::kErrorSuccess:
        return 0;
    case fx3::kErrorOperationAborted:
        return -ENOENT;
    case fx3::kErrorDeviceNotConnected:
        return -ESHUTDOWN;
    case fx3::kErrorSemTimeout:
        return -ETIMEDOUT;
    default:
        return -EPROTO;
    }
}
} // namespace

struct UsbfsDevice::Urb {
    uint64_t client = 0;
    UMockdevIoctlData* urb = nullptr;       // the client's struct usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr;    // the client's data buffer
    uint8_t type = 0;
    uint8_t endpoint = 0;
    size_t length = 0;
    int status = 0;
    int actual = 0;
    fx3::CancelToken cancel;
    ~Urb() {
        if (buffer != nullptr) g_object_unref(buffer);
        if (urb != nullptr) g_object_unref(urb);
    }
};

UsbfsDevice::UsbfsDevice(std::shared_ptr<SimulatedCamera> camera) : camera_(std::move(camera)) {
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsDevice::onIoctl), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&UsbfsDevice::onVanished), this);
    worker_ = std::thread([this] { serveBulk(); });
}

UsbfsDevice::~UsbfsDevice() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (running_) running_->cancel.cancel();
        work_.notify_all();
    }
    worker_.join();
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

int UsbfsDevice::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto& device = *static_cast<UsbfsDevice*>(self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    int error = 0;
    long result = 0;
    const ClientInfo who = device.identify(client);
    bool dead = false;
    {
        std::lock_guard lock(device.mutex_);
        dead = who.generation < device.generation_;
        if (dead && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        uint32_t caps = kCapabilities;
        UMockdevIoctlData* data = pointee(arg, sizeof caps);
        if (data == nullptr) {
            result = -1;
            error = EFAULT;
            break;
        }
        umockdev_ioctl_data_update(data, 0, reinterpret_cast<guint8*>(&caps), sizeof caps);
        g_object_unref(data);
        break;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:  // its argument starts with the interface number
        result = device.claim(who.id, arg, true, error);
        break;
    case USBDEVFS_RELEASEINTERFACE:
        result = device.claim(who.id, arg, false, error);
        break;
    case USBDEVFS_SUBMITURB:
        result = device.submit(who.id, arg, error);
        break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        result = device.reap(who.id, dead, arg, error);
        break;
    case USBDEVFS_DISCARDURB:
        result = device.discard(who.id, arg, error);
        break;
    case USBDEVFS_CLEAR_HALT: {
        uint32_t endpoint = 0;
        if (!readArgU32(arg, endpoint)) {
            result = -1;
            error = EFAULT;
        } else if (!device.camera_->resetPipe(static_cast<uint8_t>(endpoint))) {
            result = -1;
            error = device.camera_->connected() ? EPIPE : ENODEV;
        }
        break;
    }
    case USBDEVFS_RESET:
        if (!device.camera_->resetPort()) {
            result = -1;
            error = ENODEV;
        }
        break;
    case USBDEVFS_IOCTL:  // kernel driver queries: none is bound
    case USBDEVFS_GETDRIVER:
        result = -1;
        error = ENODATA;
        break;
    default:
        result = -1;
        error = ENOTTY;
        break;
    }
    umockdev_ioctl_client_complete(client, result, error);
    return TRUE;
}

void UsbfsDevice::onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto& device = *static_cast<UsbfsDevice*>(self);
    device.forget(device.identify(client).id);
}

UsbfsDevice::ClientInfo UsbfsDevice::identify(UMockdevIoctlClient* client) {
    constexpr const char* kIdKey = "lumvek-usbfs-client";
    constexpr const char* kGenerationKey = "lumvek-usbfs-generation";
    std::lock_guard lock(mutex_);
    auto id = static_cast<ClientId>(reinterpret_cast<uintptr_t>(g_object_get_data(G_OBJECT(client), kIdKey)));
    if (id == 0) {
        id = nextClient_++;
        g_object_set_data(G_OBJECT(client), kIdKey, reinterpret_cast<gpointer>(static_cast<uintptr_t>(id)));
        g_object_set_data(G_OBJECT(client), kGenerationKey,
                          reinterpret_cast<gpointer>(static_cast<uintptr_t>(generation_)));
        clients_.insert(id);
    }
    const auto generation =
        static_cast<uint64_t>(reinterpret_cast<uintptr_t>(g_object_get_data(G_OBJECT(client), kGenerationKey)));
    return {id, generation};
}

void UsbfsDevice::forget(ClientId client) {
    std::deque<UrbPtr> dropped;
    std::lock_guard lock(mutex_);
    clients_.erase(client);
    if (claimer_ == client) claimer_ = 0;
    for (auto it = bulkQueue_.begin(); it != bulkQueue_.end();) {
        if ((*it)->client == client) {
            dropped.push_back(*it);
            it = bulkQueue_.erase(it);
        } else {
            ++it;
        }
    }
    if (running_ && running_->client == client) running_->cancel.cancel();
    reapable_.erase(client);
}

long UsbfsDevice::claim(ClientId client, UMockdevIoctlData* arg, bool take, int& error) {
    uint32_t interface = 0;
    if (!readArgU32(arg, interface)) {
        error = EFAULT;
        return -1;
    }
    if (interface != kCameraInterface) {
        error = ENOENT;
        return -1;
    }
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        error = ENODEV;
        return -1;
    }
    if (take) {
        if (claimer_ != 0 && claimer_ != client) {
            error = EBUSY;  // another process holds the camera
            return -1;
        }
        claimer_ = client;
        return 0;
    }
    if (claimer_ != client) {
        error = EINVAL;
        return -1;
    }
    claimer_ = 0;
    return 0;
}

long UsbfsDevice::submit(ClientId client, UMockdevIoctlData* arg, int& error) {
    UMockdevIoctlData* urbData = pointee(arg, sizeof(usbdevfs_urb));
    if (urbData == nullptr) {
        error = EFAULT;
        return -1;
    }
    auto urb = std::make_shared<Urb>();
    urb->urb = urbData;  // released with the URB
    const usbdevfs_urb* raw = urbOf(urbData);
    const bool control = raw->type == USBDEVFS_URB_TYPE_CONTROL && raw->endpoint == 0;
    const bool bulk = raw->type == USBDEVFS_URB_TYPE_BULK &&
                      (raw->endpoint == fx3::kEndpointFrames || raw->endpoint == fx3::kEndpointWholeFrames);
    if ((!control && !bulk) || raw->buffer_length < 0 || raw->buffer_length > kMaxBulkUrbBytes ||
        (control && static_cast<size_t>(raw->buffer_length) < kSetupBytes)) {
        error = EINVAL;
        return -1;
    }
    GError* resolveError = nullptr;
    urb->buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                              static_cast<size_t>(raw->buffer_length), &resolveError);
    if (resolveError != nullptr) g_error_free(resolveError);
    if (urb->buffer == nullptr) {
        error = EFAULT;
        return -1;
    }
    urb->client = client;
    urb->type = raw->type;
    urb->endpoint = raw->endpoint;
    urb->length = static_cast<size_t>(raw->buffer_length);

    std::lock_guard lock(mutex_);
    if (!plugged_) {
        error = ENODEV;
        return -1;
    }
    if (control) {
        answerControl(*urb);
        reapable_[client].push_back(urb);
        return 0;
    }
    if (claimer_ == 0) {
        claimer_ = client;  // usbfs claims the interface of an endpoint on first use
    } else if (claimer_ != client) {
        error = EBUSY;
        return -1;
    }
    bulkQueue_.push_back(urb);
    work_.notify_all();
    return 0;
}

// Called with mutex_ held: a control request is short and never blocks.
void UsbfsDevice::answerControl(Urb& urb) {
    uint8_t* bytes = urb.buffer->data;
    const SetupPacket setup = decodeSetupPacket(std::span<const uint8_t, kSetupBytes>(bytes, kSetupBytes));
    if (setup.length > fx3::kControlDataBytes || setup.length > urb.length - kSetupBytes) {
        urb.status = -EPIPE;  // the controller stalls requests it cannot take
        return;
    }
    std::array<uint8_t, fx3::kControlDataBytes> data{};
    if (!setup.in()) std::memcpy(data.data(), bytes + kSetupBytes, setup.length);
    const fx3::ControlResult result = camera_->controlTransfer(requestHeaderFor(setup), data);
    if (!result.ok) {
        urb.status = camera_->connected() ? -EPIPE : -ESHUTDOWN;
        return;
    }
    if (setup.in()) {
        uint32_t given = std::min<uint32_t>(result.dataBytes, setup.length);
        if (takeOne(shortControls_)) given /= 2;
        std::memcpy(bytes + kSetupBytes, data.data(), given);
        urb.actual = static_cast<int>(given);
    } else {
        urb.actual = setup.length;
    }
}

void UsbfsDevice::serveBulk() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return stopping_ || !bulkQueue_.empty(); });
        if (stopping_) return;
        UrbPtr urb = bulkQueue_.front();
        bulkQueue_.pop_front();
        if (takeOne(stalls_)) {
            urb->actual = 0;
            completeLocked(urb, -EPIPE);
            continue;
        }
        running_ = urb;
        lock.unlock();
        const fx3::BulkResult result = camera_->bulkRead(
            urb->endpoint, std::span<uint8_t>(urb->buffer->data, urb->length), 0, urb->cancel);
        lock.lock();
        running_.reset();
        urb->actual = result.error == fx3::kErrorSuccess ? static_cast<int>(std::min<size_t>(result.bytes, urb->length)) : 0;
        int status = statusOf(result.error);
        if (status != 0 && !plugged_) status = -ESHUTDOWN;
        if (status == 0 && takeOne(babbles_)) {
            status = -EOVERFLOW;  // the device sent more than the URB could take
            urb->actual = static_cast<int>(urb->length);
        }
        completeLocked(urb, status);
    }
}

void UsbfsDevice::completeLocked(const UrbPtr& urb, int status) {
    urb->status = status;
    if (clients_.count(urb->client) != 0) {
        reapable_[urb->client].push_back(urb);
    }
}

long UsbfsDevice::reap(ClientId client, bool dead, UMockdevIoctlData* arg, int& error) {
    UrbPtr urb;
    {
        std::lock_guard lock(mutex_);
        auto found = reapable_.find(client);
        if (found == reapable_.end() || found->second.empty()) {
            const bool gone = !plugged_ || dead;
            error = gone ? ENODEV : EAGAIN;
            return -1;
        }
        urb = found->second.front();
        found->second.pop_front();
    }
    usbdevfs_urb* raw = urbOf(urb->urb);
    raw->status = urb->status;
    raw->actual_length = urb->actual;
    raw->error_count = 0;
    // The client gets its own URB pointer back, and with it the URB and the
    // data buffer written into its memory.
    UMockdevIoctlData* slot = pointee(arg, sizeof(void*));
    const bool handed = slot != nullptr && umockdev_ioctl_data_set_ptr(slot, 0, urb->urb);
    if (slot != nullptr) g_object_unref(slot);
    if (!handed) {
        error = EFAULT;
        return -1;
    }
    return 0;
}

long UsbfsDevice::discard(ClientId client, UMockdevIoctlData* arg, int& error) {
    const gulong address = argValue(arg);
    std::lock_guard lock(mutex_);
    for (auto it = bulkQueue_.begin(); it != bulkQueue_.end(); ++it) {
        if ((*it)->client == client && (*it)->urb->client_addr == address) {
            UrbPtr urb = *it;
            bulkQueue_.erase(it);
            urb->actual = 0;
            completeLocked(urb, -ENOENT);
            return 0;
        }
    }
    if (running_ && running_->client == client && running_->urb->client_addr == address) {
        running_->cancel.cancel();
        return 0;
    }
    error = EINVAL;  // already completed
    return -1;
}

void UsbfsDevice::unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    camera_->unplug();  // ends the read in flight
    while (!bulkQueue_.empty()) {
        UrbPtr urb = bulkQueue_.front();
        bulkQueue_.pop_front();
        completeLocked(urb, -ESHUTDOWN);
    }
    ++generation_;
    claimer_ = 0;
}

bool UsbfsDevice::isLinkFault(const std::string& key) {
    return key == "usb-stall" || key == "usb-babble" || key == "usb-short-control";
}

bool UsbfsDevice::setLinkFault(const std::string& key, const std::string& value, std::string& error) {
    uint64_t count = 0;
    if (!isLinkFault(key) || !parseUnsigned(value, count) || count > UINT32_MAX) {
        error = isLinkFault(key) ? key + " needs a count, not '" + value + "'" : "unknown link fault '" + key + "'";
        return false;
    }
    std::atomic<uint32_t>& counter = key == "usb-stall" ? stalls_ : key == "usb-babble" ? babbles_ : shortControls_;
    counter = static_cast<uint32_t>(count);
    return true;
}

void UsbfsDevice::replug() {
    std::lock_guard lock(mutex_);
    camera_->replug();
    plugged_ = true;
}

} // namespace lumvek::sim::usbrun
