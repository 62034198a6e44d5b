#pragma once
// The instance's error history: the last 20 codes, newest first. Pushing
// moves every code down one slot (the oldest is lost); popping returns the
// newest and moves the rest up. An empty history reads 0 (no error).
#include <array>
#include <cstdint>
#include <mutex>

namespace lumvek {

class ErrorHistory {
public:
    static constexpr int kDepth = 20;

    void push(int32_t code);
    [[nodiscard]] int32_t pop();

private:
    mutable std::mutex mutex_;  // guards codes_ (worker and application threads both report)
    std::array<int32_t, kDepth> codes_{};
};

} // namespace lumvek
