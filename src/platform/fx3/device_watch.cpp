// Arrival and removal of camera interfaces: the in-process bus reports its
// attach/detach calls (queued here), the socket directory is watched with
// inotify, libusb hot-plug events are queued like the in-process ones; one
// watcher thread delivers all of them while anyone is subscribed.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <poll.h>
#include <chrono>
#include <deque>
#include <dirent.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/in_process_bus.h"
#ifdef LUMVEK_HAVE_LIBUSB
#include "platform/fx3/libusb_context.h"
#endif
#include "platform/fx3/socket_backend.h"
#include "platform/fx3/socket_wire.h"

namespace lumvek::fx3 {

namespace {
constexpr int kRescanMs = 500;

class DeviceWatcher {
public:
    static DeviceWatcher& instance() {
        // Never destroyed: a subscriber that never unsubscribes keeps the
        // watcher thread running until the process ends, and a std::thread
        // destroyed while running would end the process at exit.
        static auto* watcher = new DeviceWatcher();
        return *watcher;
    }

    int subscribe(DeviceChangeCallback callback) {
        std::lock_guard lock(mutex_);
        const int id = nextId_++;
        callbacks_[id] = std::move(callback);
        if (!running_) {
            running_ = true;
            stop_ = false;
            InProcessBus::instance().setObserver([this](bool arrived, const std::string& path) { queue(arrived, path); });
#ifdef LUMVEK_HAVE_LIBUSB
            if (LibusbContext* usb = LibusbContext::instance()) {
                usb->setObserver([this](bool arrived, const std::string& path, libusb_device*) { queue(arrived, path); });
            }
#endif
            thread_ = std::thread([this] { watchDirectory(); });
        }
        return id;
    }

    void unsubscribe(int id) {
        std::thread finished;
        {
            std::lock_guard lock(mutex_);
            callbacks_.erase(id);
            if (!callbacks_.empty() || !running_) {
                return;
            }
            running_ = false;
            stop_ = true;
            InProcessBus::instance().setObserver({});
#ifdef LUMVEK_HAVE_LIBUSB
            if (LibusbContext* usb = LibusbContext::instance()) {
                usb->setObserver({});
            }
#endif
            finished = std::move(thread_);
            const uint64_t one = 1;
            (void)::write(wakeFd_, &one, sizeof one);
        }
        if (finished.joinable() && finished.get_id() != std::this_thread::get_id()) {
            finished.join();
        } else if (finished.joinable()) {
            finished.detach();
        }
    }

private:
    // Delivered later on the watcher thread, never the caller's.
    void queue(bool arrived, const std::string& path) {
        std::lock_guard queueLock(queueMutex_);
        queued_.emplace_back(arrived, path);
        const uint64_t one = 1;
        (void)::write(wakeFd_, &one, sizeof one);
    }

    void deliver(bool arrived, const std::string& path) {
        std::map<int, DeviceChangeCallback> callbacks;
        {
            std::lock_guard lock(mutex_);
            callbacks = callbacks_;
        }
        for (auto& [id, callback] : callbacks) {
            callback(arrived ? DeviceChange::Arrival : DeviceChange::Removal, path);
        }
    }

    void deliverQueued() {
        std::deque<std::pair<bool, std::string>> events;
        {
            std::lock_guard lock(queueMutex_);
            events.swap(queued_);
        }
        for (const auto& [arrived, path] : events) {
            deliver(arrived, path);
        }
    }

    // The socket cameras that answer now: a socket file whose daemon has died
    // (it stays behind after SIGKILL) is a removed camera, and so is one whose
    // daemon does not answer a query within its bound (a stopped process).
    static std::set<std::string> liveSocketCameras(const std::string& dir) {
        std::set<std::string> live;
        DIR* listing = ::opendir(dir.c_str());
        if (listing == nullptr) {
            return live;
        }
        while (const dirent* entry = ::readdir(listing)) {
            const auto name = wire::parseSocketFileName(entry->d_name);
            if (!name) {
                continue;
            }
            if (querySocketCamera(dir + "/" + entry->d_name).answered) {
                live.insert(formatDevicePath(name->vendorId, name->productId, name->instance));
            }
        }
        ::closedir(listing);
        return live;
    }

    // inotify says when to look at once; a slow rescan notices daemons that vanished.
    void watchDirectory() {
        const std::string dir = wire::deviceDirectory();
        ::mkdir(dir.c_str(), 0700);
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        const int wd =
            fd < 0 ? -1 : ::inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
        std::set<std::string> live = liveSocketCameras(dir);
        auto lastScan = std::chrono::steady_clock::now();
        alignas(inotify_event) char buffer[4096];
        while (!stop_) {
            // Sleeps until the next rescan is due: queued events, inotify and
            // the stop request wake the poll themselves.
            const auto sinceScan = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - lastScan)
                                       .count();
            const int untilRescanMs = static_cast<int>(std::clamp<int64_t>(kRescanMs - sinceScan, 0, kRescanMs));
            pollfd p[2] = {{wakeFd_, POLLIN, 0}, {wd >= 0 ? fd : -1, POLLIN, 0}};
            const int ready = ::poll(p, 2, untilRescanMs);
            if (ready > 0 && (p[0].revents & POLLIN) != 0) {
                uint64_t value = 0;
                (void)::read(wakeFd_, &value, sizeof value);
                deliverQueued();
            }
            bool rescan = std::chrono::steady_clock::now() - lastScan >= std::chrono::milliseconds(kRescanMs);
            if (ready > 0 && (p[1].revents & POLLIN) != 0) {
                while (::read(fd, buffer, sizeof buffer) > 0) {
                }
                rescan = true;
            }
            if (!rescan) {
                continue;
            }
            lastScan = std::chrono::steady_clock::now();
            std::set<std::string> now = liveSocketCameras(dir);
            for (const auto& path : live) {
                if (now.count(path) == 0) deliver(false, path);
            }
            for (const auto& path : now) {
                if (live.count(path) == 0) deliver(true, path);
            }
            live = std::move(now);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

    DeviceWatcher() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    std::mutex mutex_;  // guards callbacks_, nextId_, running_, thread_
    std::map<int, DeviceChangeCallback> callbacks_;
    std::mutex queueMutex_;  // guards queued_
    std::deque<std::pair<bool, std::string>> queued_;  // in-process arrivals (true) and removals
    const int wakeFd_;
    int nextId_ = 1;
    bool running_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
} // namespace

int subscribeDeviceChanges(DeviceChangeCallback callback) {
    if (!callback) {
        return 0;
    }
    return DeviceWatcher::instance().subscribe(std::move(callback));
}

void unsubscribeDeviceChanges(int id) {
    DeviceWatcher::instance().unsubscribe(id);
}

} // namespace lumvek::fx3
