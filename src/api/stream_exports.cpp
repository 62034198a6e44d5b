// The LumvekStream_ exports: look up, forward, convert the result.
#include "LumvekStream.h"

#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

namespace {
constexpr int kUnknownHandle = -1;
} // namespace

extern "C" {

LUMVEK_API int LumvekStream_GetFrameMetadata(int32_t handle, LumvekFrameMetadata* metadata) {
    return forward(handle, kUnknownHandle, [&](CLumvek& self) { return self.GetFrameMetadata(metadata); });
}

LUMVEK_API int LumvekStream_GetRecordMetadata(int32_t handle, const LumvekFrameInfo* record,
                                              LumvekFrameMetadata* metadata) {
    return forward(handle, kUnknownHandle, [&](CLumvek& self) { return self.GetRecordMetadata(record, metadata); });
}

LUMVEK_API int LumvekStream_GetImage(int32_t handle, void* buffer, int size, int topDown,
                                     LumvekFrameMetadata* metadata) {
    return forward(handle, 0, [&](CLumvek& self) { return self.GetImageWithMetadata(buffer, size, topDown, metadata); });
}

LUMVEK_API int LumvekStream_GetStatistics(int32_t handle, LumvekStreamStatistics* statistics) {
    return forward(handle, kUnknownHandle, [&](CLumvek& self) { return self.GetStreamStatistics(statistics); });
}

LUMVEK_API int LumvekStream_ResetStatistics(int32_t handle) {
    return forward(handle, kUnknownHandle, [&](CLumvek& self) { return self.ResetStreamStatistics(); });
}

} // extern "C"
