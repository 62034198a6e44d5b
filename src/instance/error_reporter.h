#pragma once
// How an SDK instance reports a failure: the code goes on its error history
// first, then the error message 0x8003 (lParam = code) is posted to the
// notification window, so an application that reads the history when the
// message arrives always finds the code. Safe from any thread; its only lock
// is the history's, a leaf.
#include <atomic>
#include <cstdint>

#include "LumvekSdk.h"
#include "instance/error_history.h"

namespace lumvek {

class ErrorReporter {
public:
    // The notification window given to Initialize (null: nothing is posted).
    void setWindow(HWND window) { window_.store(window); }

    // Pushes code, then posts the error message when a window is set.
    void report(int code);
    // Posts the error message without pushing (the calls that only post).
    void postOnly(int code);
    [[nodiscard]] int32_t pop() { return history_.pop(); }

private:
    ErrorHistory history_;
    std::atomic<HWND> window_{nullptr};
};

} // namespace lumvek
