// CLumvek: the metadata of delivered frames and the stream statistics
// behind the LumvekStream_ exports. Nothing here waits for a frame: the
// metadata lives under its own leaf lock, the counters are atomics.
#include "instance/lumvek.h"

namespace lumvek {

namespace {
constexpr uint32_t kSizeWordBytes = 8;  // the size word and the word after it
} // namespace

int CLumvek::GetFrameMetadata(LumvekFrameMetadata* metadata) {
    if (metadata == nullptr || metadata->size < kSizeWordBytes) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    DeliveryMetadata latest;
    if (!engine_.deliveredFrames().latest(&latest)) {
        ReportError(LUMVEK_ERR_FRAME);
        return 0;
    }
    fillPublicRecord(latest, metadata);
    return 1;
}

int CLumvek::GetRecordMetadata(const LumvekFrameInfo* record, LumvekFrameMetadata* metadata) {
    if (metadata == nullptr || metadata->size < kSizeWordBytes) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    const int index = engine_.recordIndex(record);
    DeliveryMetadata kept;
    if (index < 0) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    if (!engine_.deliveredFrames().ofRecord(index, &kept)) {
        ReportError(LUMVEK_ERR_FRAME);
        return 0;
    }
    fillPublicRecord(kept, metadata);
    return 1;
}

int CLumvek::GetStreamStatistics(LumvekStreamStatistics* statistics) {
    if (statistics == nullptr || statistics->size < kSizeWordBytes) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    const TransferCountersSnapshot transfer =
        session_.use([](CameraDevice& device) { return device.GetTransferCounters(); });
    engine_.statistics().fill(transfer, statistics);
    return 1;
}

int CLumvek::ResetStreamStatistics() {
    const TransferCountersSnapshot transfer =
        session_.use([](CameraDevice& device) { return device.GetTransferCounters(); });
    engine_.statistics().reset(transfer);
    return 1;
}

} // namespace lumvek
