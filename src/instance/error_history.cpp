#include "instance/error_history.h"

#include <algorithm>

namespace lumvek {

void ErrorHistory::push(int32_t code) {
    platform::MutexLock hold(lock_);
    std::move_backward(codes_.begin(), codes_.end() - 1, codes_.end());
    codes_[0] = code;
}

int32_t ErrorHistory::pop() {
    platform::MutexLock hold(lock_);
    const int32_t code = codes_[0];
    std::move(codes_.begin() + 1, codes_.end(), codes_.begin());
    codes_[kDepth - 1] = 0;
    return code;
}

} // namespace lumvek
