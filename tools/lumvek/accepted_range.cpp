#include "accepted_range.h"

#include "LumvekSdk.h"

namespace lumvek::tool {

bool acceptedExposureRange(int32_t handle, AcceptedRange& range) {
    LumvekCameraInfo info{};
    info.size = sizeof info;
    if (Lumvek_GetCameraInfo(handle, &info) != 1 || info.exposureMax <= 0) return false;
    range = {info.exposureMin, info.exposureMax, info.exposureMax};
    int ok = 0;
    const int now = Lumvek_GetExposureTime(handle, &ok);
    if (ok != 1 || Lumvek_SetExposureTime(handle, info.exposureMax) != 1) return true;
    const int kept = Lumvek_GetExposureTime(handle, &ok);
    if (ok == 1 && kept >= info.exposureMin && kept < info.exposureMax) range.acceptedMax = kept;
    (void)Lumvek_SetExposureTime(handle, now);
    return true;
}

} // namespace lumvek::tool
