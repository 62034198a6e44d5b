#pragma once
// Win32-style event: manual-reset or auto-reset, with timed waits. The frame
// transfer thread, the worker and recorder threads and the driver stand-in's
// overlapped transfers all signal through it. On Windows it is the system's
// own (unnamed) event object (win32/event.cpp).
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace lumvek::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class Event {
public:
    enum class Reset { Manual, Auto };

    explicit Event(Reset reset = Reset::Auto, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // Waits until the event is set or timeoutMs elapses (kInfinite waits for
    // ever). An auto-reset event is cleared by the wait that takes it.
    [[nodiscard]] bool wait(uint32_t timeoutMs = kInfinite);
    // Whether a wait would return at once; leaves the event as it is.
    [[nodiscard]] bool isSet() const;
#ifdef _WIN32
    ~Event();
#endif

private:
    const Reset reset_;
#ifdef _WIN32
    void* handle_;  // the event object
#else
    mutable std::mutex mutex_;  // guards signalled_
    std::condition_variable cv_;
    bool signalled_;
#endif
};

} // namespace lumvek::platform
