#pragma once
// Clang's thread-safety attributes, so that the compiler checks which lock
// guards which member and which locks a function needs. Under other
// compilers the macros are empty. The CI's clang stage builds with
// -Werror=thread-safety.
//
//   platform::Mutex lock_;
//   int value_ GUARDED_BY(lock_);
//   void step() REQUIRES(lock_);      // the caller holds lock_
//   void start() EXCLUDES(lock_);     // the caller must not hold lock_
//   { platform::MutexLock hold(lock_); ... }
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define LUMVEK_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define LUMVEK_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) LUMVEK_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY LUMVEK_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) LUMVEK_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) LUMVEK_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) LUMVEK_THREAD_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) LUMVEK_THREAD_ATTRIBUTE(acquired_after(__VA_ARGS__))
#define REQUIRES(...) LUMVEK_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) LUMVEK_THREAD_ATTRIBUTE(requires_shared_capability(__VA_ARGS__))
#define ACQUIRE(...) LUMVEK_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) LUMVEK_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) LUMVEK_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) LUMVEK_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) LUMVEK_THREAD_ATTRIBUTE(assert_capability(x))
#define RETURN_CAPABILITY(x) LUMVEK_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS LUMVEK_THREAD_ATTRIBUTE(no_thread_safety_analysis)

namespace lumvek::platform {

// std::mutex with the capability attribute the analysis needs (libstdc++'s
// own mutex carries none). Not recursive: a thread that takes it twice
// deadlocks, and the analysis reports the second acquisition.
class CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }
    [[nodiscard]] bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

    // For condition variables (std::condition_variable_any waits on *this).
    std::mutex& native() { return mutex_; }

private:
    std::mutex mutex_;
};

// Holds a Mutex for its scope; unlock()/lock() let a scope give the lock up
// around a wait and take it back.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() {
        if (held_) {
            mutex_.unlock();
        }
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void unlock() RELEASE() {
        mutex_.unlock();
        held_ = false;
    }
    void lock() ACQUIRE() {
        mutex_.lock();
        held_ = true;
    }

private:
    Mutex& mutex_;
    bool held_ = true;
};

// A condition variable over a Mutex: wait() is called with the lock held
// (the analysis sees it held before and after, as it is).
class ConditionVariable {
public:
    template <typename Predicate>
    void wait(Mutex& mutex, Predicate done) REQUIRES(mutex) {
        std::unique_lock<std::mutex> lock(mutex.native(), std::adopt_lock);
        cv_.wait(lock, done);
        lock.release();
    }
    // Returns done()'s result after at most the time-out.
    template <typename Duration, typename Predicate>
    bool waitFor(Mutex& mutex, Duration timeout, Predicate done) REQUIRES(mutex) {
        std::unique_lock<std::mutex> lock(mutex.native(), std::adopt_lock);
        const bool result = cv_.wait_for(lock, timeout, done);
        lock.release();
        return result;
    }
    void notifyOne() { cv_.notify_one(); }
    void notifyAll() { cv_.notify_all(); }

private:
    std::condition_variable cv_;
};

} // namespace lumvek::platform
