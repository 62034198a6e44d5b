#pragma once
// The forwarding frame every handle-taking export uses: look the handle up,
// call the instance, return its result. An unknown handle returns the
// export's unknown-handle result with no other effect. No exception crosses
// the C boundary: an allocation failure inside an operation is reported as
// code 5 and the unknown-handle result returned.
#include <cstdint>
#include <new>

#include "api/handle_registry.h"
#include "instance/lumvek.h"
#include "platform/diag/race_widen.h"
#include "platform/text/text_conversion.h"

namespace lumvek::api {

template <typename Result, typename Op>
Result forward(int32_t handle, Result unknown, Op&& op) noexcept {
    // The lease keeps the instance alive until the call has left it, even
    // when another thread releases the handle meanwhile.
    const CallLease lease = CSdkChain::instance().Enter(handle);
    if (!lease) {
        return unknown;
    }
    platform::widenRaceWindow();
    CLumvek& instance = lease.instance();
    try {
        return op(instance);
    } catch (const std::bad_alloc&) {
        instance.ReportError(LUMVEK_ERR_MEMORY);
    } catch (...) {
        instance.ReportError(LUMVEK_ERR_STATE);
    }
    return unknown;
}

// The UTF-16 path of a W export converted into the 1024-byte buffer of the
// 8-bit path; a failed conversion is code 12.
template <typename Op>
int forwardWidePath(int32_t handle, const LUMVEK_WCHAR* path, Op&& op) noexcept {
    return forward(handle, 0, [&](CLumvek& self) {
        char narrow[platform::kAnsiPathBufferBytes];
        if (!platform::utf16ToUtf8(path, narrow, sizeof narrow)) {
            self.ReportError(LUMVEK_ERR_CONVERSION);
            return 0;
        }
        return op(self, narrow);
    });
}

} // namespace lumvek::api
