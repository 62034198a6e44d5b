// Arrival and removal of camera interfaces: the in-process bus reports its
// attach/detach calls (queued here), the socket directory is watched with
// inotify; one watcher thread delivers both while anyone is subscribed.
#include <atomic>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <poll.h>
#include <deque>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/in_process_bus.h"
#include "platform/fx3/socket_wire.h"

namespace lumvek::fx3 {

namespace {
constexpr int kWatchPollMs = 50;

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
            InProcessBus::instance().setObserver([this](bool arrived, const std::string& path) {
                // Delivered on the watcher thread, never the caller's.
                std::lock_guard queueLock(queueMutex_);
                queued_.emplace_back(arrived, path);
                const uint64_t one = 1;
                (void)::write(wakeFd_, &one, sizeof one);
            });
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

    void watchDirectory() {
        const std::string dir = wire::deviceDirectory();
        ::mkdir(dir.c_str(), 0700);
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) {
            return;
        }
        const int wd = ::inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
        alignas(inotify_event) char buffer[sizeof(inotify_event) + NAME_MAX + 1];
        while (!stop_) {
            pollfd p[2] = {{wakeFd_, POLLIN, 0}, {wd >= 0 ? fd : -1, POLLIN, 0}};
            if (::poll(p, 2, kWatchPollMs) <= 0) {
                continue;
            }
            if ((p[0].revents & POLLIN) != 0) {
                uint64_t value = 0;
                (void)::read(wakeFd_, &value, sizeof value);
                deliverQueued();
            }
            if ((p[1].revents & POLLIN) == 0) {
                continue;
            }
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            for (ssize_t at = 0; n > 0 && at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len == 0) {
                    continue;
                }
                const auto name = wire::parseSocketFileName(event->name);
                if (!name) {
                    continue;
                }
                const bool arrived = (event->mask & (IN_CREATE | IN_MOVED_TO)) != 0;
                deliver(arrived, formatDevicePath(name->vendorId, name->productId, name->instance));
            }
        }
        ::close(fd);
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
