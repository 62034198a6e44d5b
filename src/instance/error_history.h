#pragma once
// The instance's error history: the last 20 codes, newest first. Pushing
// moves every code down one slot (the oldest is lost); popping returns the
// newest and moves the rest up. An empty history reads 0 (no error).
#include <array>
#include <cstdint>

#include "platform/sync/thread_annotations.h"

namespace lumvek {

class ErrorHistory {
public:
    static constexpr int kDepth = 20;

    void push(int32_t code) EXCLUDES(lock_);
    [[nodiscard]] int32_t pop() EXCLUDES(lock_);

private:
    // A leaf: the worker, the recorder and application threads all report.
    mutable platform::Mutex lock_;
    std::array<int32_t, kDepth> codes_ GUARDED_BY(lock_){};
};

} // namespace lumvek
