#pragma once
// One simulated camera behind a umockdev usbfs node: answers the usbfs
// ioctls a user-space USB library issues (capabilities, claim/release of
// interface 0 with one claimer at a time, URB submit/reap/discard for control
// and bulk-in transfers, clear halt, reset) from the simulator. Bulk URBs are
// served in order on a worker thread of their own; control URBs are answered
// at once. The URB and its data buffer live in the client process: they are
// resolved through umockdev and handed back (with the URB pointer) on reap.
//
//   UsbfsDevice device(camera);
//   umockdev_testbed_attach_ioctl(testbed, "/dev/bus/usb/002/002", device.handler(), &error);
//   device.unplug();   // pending URBs end with -ESHUTDOWN, later ioctls fail with ENODEV
//
// Faults of the USB link itself, beside the camera's own (`lumvek-camsim ctl
// --dir DIR fault NAME usb-KEY=N`):
//   usb-stall=N          the next N bulk URBs end in a stall (-EPIPE), no data taken
//   usb-babble=N         the next N bulk URBs end in babble (-EOVERFLOW) after their data
//   usb-short-control=N  the next N control-in URBs return half the data asked for
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <cstdint>

#include "sim/simulated_camera.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace lumvek::sim::usbrun {

class UsbfsDevice {
public:
    explicit UsbfsDevice(std::shared_ptr<SimulatedCamera> camera);
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    [[nodiscard]] UMockdevIoctlBase* handler() const { return handler_; }
    [[nodiscard]] SimulatedCamera& camera() { return *camera_; }

    // Unplugged: the connections open now stay dead even after a replug, as
    // a file descriptor of a removed device does.
    void unplug();
    void replug();

    // false with `error` set for a key that is not a link fault or a bad count.
    [[nodiscard]] static bool isLinkFault(const std::string& key);
    [[nodiscard]] bool setLinkFault(const std::string& key, const std::string& value, std::string& error);

private:
    // Clients (open file descriptions of the node) are told apart by a serial
    // number kept on the client object, and are dead when they were opened
    // before the latest unplug.
    using ClientId = uint64_t;
    struct ClientInfo {
        ClientId id = 0;
        uint64_t generation = 0;
    };
    struct Urb;
    using UrbPtr = std::shared_ptr<Urb>;

    static int onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    static void onVanished(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);

    // Each returns the ioctl result, with `error` the errno for -1.
    long submit(ClientId client, UMockdevIoctlData* arg, int& error);
    long reap(ClientId client, bool dead, UMockdevIoctlData* arg, int& error);
    long discard(ClientId client, UMockdevIoctlData* arg, int& error);
    long claim(ClientId client, UMockdevIoctlData* arg, bool take, int& error);
    void answerControl(Urb& urb);
    void completeLocked(const UrbPtr& urb, int status);
    void forget(ClientId client);
    void serveBulk();

    std::shared_ptr<SimulatedCamera> camera_;
    UMockdevIoctlBase* handler_ = nullptr;
    std::atomic<uint32_t> stalls_{0};
    std::atomic<uint32_t> babbles_{0};
    std::atomic<uint32_t> shortControls_{0};

    std::mutex mutex_;  // guards everything below
    std::condition_variable work_;
    std::deque<UrbPtr> bulkQueue_;
    UrbPtr running_;  // the bulk URB inside the simulator now
    ClientInfo identify(UMockdevIoctlClient* client);
    std::map<ClientId, std::deque<UrbPtr>> reapable_;
    std::set<ClientId> clients_;
    ClientId claimer_ = 0;
    ClientId nextClient_ = 1;
    uint64_t generation_ = 0;  // unplugs so far
    bool plugged_ = true;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace lumvek::sim::usbrun
