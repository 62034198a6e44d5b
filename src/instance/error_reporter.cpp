#include "instance/error_reporter.h"

#include "instance/notifier.h"

namespace lumvek {

namespace {
constexpr int kMessageCodeMask = 0xFF;
} // namespace

void ErrorReporter::report(int code) {
    history_.push(code);
    if (window_.load() != nullptr) {
        postOnly(code);
    }
}

void ErrorReporter::postOnly(int code) {
    (void)postToWindow(window_.load(), LUMVEK_WM_ERROR, 0, static_cast<intptr_t>(code & kMessageCodeMask));
}

} // namespace lumvek
