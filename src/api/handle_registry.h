#pragma once
// The registry of instance handles: a circular doubly linked list with a
// cursor (CTRing) holding {handle, instance} records (CSDKDATA). One
// registry (CSdkChain) lives for the life of the library.
//
// The lock guards every walk and change of the list: Add, Find and
// RemoveCurrent all take it, so one thread's Lumvek_Initialize or
// Lumvek_Release can never corrupt another thread's lookup. It is never held
// while an instance operation runs.
#include <cstdint>
#include <mutex>

namespace lumvek {

class CLumvek;

struct CSDKDATA {
    int32_t handle = 0;
    CLumvek* instance = nullptr;  // owned by the entry; deleted by Lumvek_Release
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

    // Links a copy of record in before the cursor; the new node becomes the cursor.
    virtual void Add(const T& record) {
        std::lock_guard lock(lock_);
        addLocked(record);
    }

    // Removes the cursor node; the next node becomes the cursor. 1, or 0 when empty.
    int RemoveCurrent() {
        std::lock_guard lock(lock_);
        return removeCurrentLocked() ? 1 : 0;
    }

    [[nodiscard]] int32_t Count() const {
        std::lock_guard lock(lock_);
        return count_;
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
    int32_t Register(CLumvek* instance);

    // The instance registered under handle, or null (also when the entry's
    // instance pointer was cleared by a release in progress).
    [[nodiscard]] CLumvek* Lookup(int32_t handle);

    // Detaches handle's instance from the registry and returns it for the
    // caller to delete; null when the handle is not registered. The entry
    // stays, with a null instance, until Remove.
    CLumvek* Detach(int32_t handle);

    // Removes handle's entry; 1 if it was there.
    int Remove(int32_t handle);

    // The registry of this library.
    static CSdkChain& instance();
};

} // namespace lumvek
