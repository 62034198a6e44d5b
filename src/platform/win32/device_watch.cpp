// Arrival and removal of cameras on Windows: the in-process simulator bus is
// the one source this build has (the socket cameras of lumvek-camsim are
// Unix sockets). Changes are delivered in order on a watcher thread of their
// own, never on the thread that plugged or unplugged the camera.
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/in_process_bus.h"

namespace lumvek::fx3 {

namespace {

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

    void run() {
        for (;;) {
            std::deque<std::pair<bool, std::string>> events;
            {
                std::unique_lock queueLock(queueMutex_);
                wake_.wait(queueLock, [this] { return stop_ || !queued_.empty(); });
                if (stop_) {
                    return;
                }
                events.swap(queued_);
            }
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
