// Arrival and removal of cameras on Windows: the in-process simulator bus
// tells of its cameras as they come and go; the kernel driver's interfaces
// are enumerated again every second and compared with the last list (the
// socket cameras of lumvek-camsim are Unix sockets, absent here). Changes
// are delivered in order on a watcher thread of their own, never on the
// thread that plugged or unplugged the camera.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/in_process_bus.h"
#include "platform/win32/kernel_driver_source.h"

namespace lumvek::fx3 {

namespace {

constexpr auto kKernelRescanInterval = std::chrono::seconds(1);

class DeviceWatcher {
public:
    static DeviceWatcher& instance() {
        // Never destroyed: its thread may still run while the process exits,
        // and joining it from a static destructor would wait under the
        // loader lock.
        static auto* watcher = new DeviceWatcher();
        return *watcher;
    }

    int subscribe(DeviceChangeCallback callback) {
        std::lock_guard lock(mutex_);
        const int id = nextId_++;
        callbacks_[id] = std::move(callback);
        if (!running_) {
            running_ = true;
            {
                std::lock_guard queueLock(queueMutex_);
                stop_ = false;
            }
            InProcessBus::instance().setObserver([this](bool arrived, const std::string& path) { queue(arrived, path); });
            thread_ = std::thread([this] { run(); });
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
            InProcessBus::instance().setObserver({});
            finished = std::move(thread_);
        }
        {
            std::lock_guard queueLock(queueMutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (finished.joinable() && finished.get_id() != std::this_thread::get_id()) {
            finished.join();
        } else if (finished.joinable()) {
            finished.detach();
        }
    }

private:
    void queue(bool arrived, const std::string& path) {
        {
            std::lock_guard queueLock(queueMutex_);
            queued_.emplace_back(arrived, path);
        }
        wake_.notify_all();
    }

    // The kernel driver's cameras that came or went since `known` was taken.
    static void rescanKernelDriver(std::vector<std::string>& known, std::deque<std::pair<bool, std::string>>& events) {
        std::vector<std::string> present = KernelDriverSource().presentPaths();
        std::sort(present.begin(), present.end());
        for (const auto& path : known) {
            if (!std::binary_search(present.begin(), present.end(), path)) {
                events.emplace_back(false, path);
            }
        }
        for (const auto& path : present) {
            if (!std::binary_search(known.begin(), known.end(), path)) {
                events.emplace_back(true, path);
            }
        }
        known = std::move(present);
    }

    void run() {
        std::vector<std::string> kernelCameras;
        std::deque<std::pair<bool, std::string>> present;
        rescanKernelDriver(kernelCameras, present);  // those already there are no change
        for (;;) {
            std::deque<std::pair<bool, std::string>> events;
            {
                std::unique_lock queueLock(queueMutex_);
                wake_.wait_for(queueLock, kKernelRescanInterval, [this] { return stop_ || !queued_.empty(); });
                if (stop_) {
                    return;
                }
                events.swap(queued_);
            }
            // Enumerating takes the system's device lists: never under the queue lock.
            rescanKernelDriver(kernelCameras, events);
            for (const auto& [arrived, path] : events) {
                std::map<int, DeviceChangeCallback> callbacks;
                {
                    std::lock_guard lock(mutex_);
                    callbacks = callbacks_;
                }
                for (auto& [id, callback] : callbacks) {
                    callback(arrived ? DeviceChange::Arrival : DeviceChange::Removal, path);
                }
            }
        }
    }

    std::mutex mutex_;  // guards callbacks_, nextId_, running_, thread_; taken before queueMutex_
    std::map<int, DeviceChangeCallback> callbacks_;
    int nextId_ = 1;
    bool running_ = false;
    std::thread thread_;
    std::mutex queueMutex_;  // guards queued_, stop_
    std::condition_variable wake_;
    std::deque<std::pair<bool, std::string>> queued_;
    bool stop_ = false;
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
