#pragma once
// The registry of instance handles: a circular doubly linked list with a
// cursor (CTRing) holding {handle, instance} records (CSDKDATA). One
// registry (CSdkChain) lives for the life of the library.
//
// The lock guards every walk and change of the list: Add, Find and
// RemoveCurrent all take it, so one thread's Lumvek_Initialize or
// Lumvek_Release can never corrupt another thread's lookup. It is never held
// while an instance operation runs.
//
// Lifetime: an entry shares its InstanceSlot with every call running inside
// the instance (a CallLease). Lumvek_Release closes the slot to new calls at
// once, waits a bounded time for the calls inside to leave and frees the
// instance; when a call is still inside after that, the last call out frees
// it. The entry keeps the handle reserved until the instance is gone.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace lumvek {

class CLumvek;

// One registered instance and the count of calls inside it.
class InstanceSlot {
public:
    InstanceSlot(int32_t handle, std::unique_ptr<CLumvek> instance);
    ~InstanceSlot();
    InstanceSlot(const InstanceSlot&) = delete;
    InstanceSlot& operator=(const InstanceSlot&) = delete;

    // Counts a call in; false once the slot is released.
    [[nodiscard]] bool enter();
    // Counts a call out; the last call out of a released slot frees the instance.
    void leave();
    // Closes the slot to new calls, waits up to waitMs for the calls inside
    // to leave and frees the instance when they have. False when the slot
    // was released already.
    bool release(uint32_t waitMs);

    [[nodiscard]] CLumvek& instance() { return *instance_; }

private:
    void freeInstance(std::unique_lock<std::mutex>& lock);

    const int32_t handle_;
    std::mutex lock_;                // guards calls_, released_ and instance_
    std::condition_variable idle_;  // signalled when calls_ drops to 0
    int calls_ = 0;
    bool released_ = false;
    std::unique_ptr<CLumvek> instance_;
};

// A call inside an instance: the slot is entered for the lease's lifetime.
class CallLease {
public:
    CallLease() = default;
    explicit CallLease(std::shared_ptr<InstanceSlot> slot) : slot_(std::move(slot)) {}
    ~CallLease() {
        if (slot_) {
            slot_->leave();
        }
    }
    CallLease(CallLease&& other) noexcept = default;
    CallLease& operator=(CallLease&&) = delete;
    CallLease(const CallLease&) = delete;
    CallLease& operator=(const CallLease&) = delete;

    explicit operator bool() const { return slot_ != nullptr; }
    [[nodiscard]] CLumvek& instance() const { return slot_->instance(); }

private:
    std::shared_ptr<InstanceSlot> slot_;
};

struct CSDKDATA {
    int32_t handle = 0;
    std::shared_ptr<InstanceSlot> slot;  // shared with the calls inside the instance
};

template <typename T>
class CTRing {
public:
    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    // Frees every node, not what the records point to.
    virtual ~CTRing() {
        std::lock_guard lock(lock_);
        while (removeCurrentLocked()) {
        }
    }

protected:
    struct Node {
        T data;
        Node* prev = nullptr;
        Node* next = nullptr;
    };

    void addLocked(const T& record) {
        auto* node = new Node{record};
        if (cursor_ == nullptr) {
            node->prev = node;
            node->next = node;
            count_ = 1;
        } else {
            node->next = cursor_;
            node->prev = cursor_->prev;
            cursor_->prev->next = node;
            cursor_->prev = node;
            ++count_;
        }
        cursor_ = node;
    }

    bool removeCurrentLocked() {
        if (cursor_ == nullptr) {
            return false;
        }
        Node* node = cursor_;
        if (node->next == node) {
            cursor_ = nullptr;
            count_ = 0;
        } else {
            node->prev->next = node->next;
            node->next->prev = node->prev;
            cursor_ = node->next;
            --count_;
        }
        delete node;
        return true;
    }

    // Walks from the cursor along next pointers for one full turn and leaves
    // the cursor on the first node that matches (or on the last one visited).
    template <typename Match>
    bool findLocked(Match match) {
        if (cursor_ == nullptr) {
            return false;
        }
        Node* const start = cursor_;
        Node* node = start;
        do {
            cursor_ = node;
            if (match(node->data)) {
                return true;
            }
            node = node->next;
        } while (node != start);
        return false;
    }

    mutable std::mutex lock_;  // guards cursor_, count_ and every node's links
    Node* cursor_ = nullptr;
    int32_t count_ = 0;
};

class CSdkChain : public CTRing<CSDKDATA> {
public:
    // Registers a new instance under a fresh handle: GetTickCount() + rand() +
    // count, moved on past 0 and past any handle still registered, so every
    // live handle is unique and non-zero. Returns the handle.
    int32_t Register(std::unique_ptr<CLumvek> instance);

    // Enters a call into the instance registered under handle; an empty
    // lease when the handle is unknown or its release has begun.
    [[nodiscard]] CallLease Enter(int32_t handle);

    // Begins the release of handle's instance (see the lifetime rule above).
    // 1, or 0 when the handle is unknown or released already.
    int Release(int32_t handle, uint32_t waitMs);

    // Removes handle's entry; 1 if it was there. Called once the instance is freed.
    int Remove(int32_t handle);

    // The registry of this library.
    static CSdkChain& instance();
};

} // namespace lumvek
