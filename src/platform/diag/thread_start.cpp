#include "platform/diag/thread_start.h"

#include <atomic>
#include <cerrno>
#include <system_error>

namespace lumvek::platform {

namespace {
// Starts to let through, then starts to refuse (diagnostics only).
std::atomic<int> gStartsToPass{0};
std::atomic<int> gStartsToRefuse{0};

// Counts one start off counter when it is above zero.
bool takeOne(std::atomic<int>& counter) {
    int left = counter.load();
    while (left > 0) {
        if (counter.compare_exchange_weak(left, left - 1)) {
            return true;
        }
    }
    return false;
}
} // namespace

std::thread startThread(std::function<void()> body) {
    if (!takeOne(gStartsToPass) && takeOne(gStartsToRefuse)) {
        throw std::system_error(EAGAIN, std::generic_category(), "thread start refused");
    }
    return std::thread(std::move(body));
}

void failNextThreadStarts(int count, int after) {
    gStartsToRefuse.store(count);
    gStartsToPass.store(after);
}

} // namespace lumvek::platform
