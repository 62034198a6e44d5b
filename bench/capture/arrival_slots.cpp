#include "arrival_slots.h"

#include <algorithm>
#include <cmath>

namespace lumvek::bench {

ArrivalSlots countArrivalSlots(const std::vector<double>& arrivalsMs, double periodMs) {
    ArrivalSlots result;
    if (arrivalsMs.size() < 2 || !(periodMs > 0.0)) {
        return result;
    }
    const double origin = arrivalsMs.front();
    std::vector<double> phases;
    phases.reserve(arrivalsMs.size());
    for (const double t : arrivalsMs) {
        phases.push_back(std::fmod(t - origin, periodMs));
    }
    std::vector<double> sorted = phases;
    std::sort(sorted.begin(), sorted.end());
    // The widest empty stretch of the circle lies between the latest and the
    // least latency; the least-latency phase follows it.
    double widestGap = sorted.front() + periodMs - sorted.back();
    double leastPhase = sorted.front();
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i] - sorted[i - 1] > widestGap) {
            widestGap = sorted[i] - sorted[i - 1];
            leastPhase = sorted[i];
        }
    }
    result.spreadMs = periodMs - widestGap;

    // Each arrival's frame number if its latency were under a period above
    // the least: the newest frame that had left the camera by then.
    std::vector<int64_t> slots;
    slots.reserve(arrivalsMs.size());
    for (size_t i = 0; i < arrivalsMs.size(); ++i) {
        const double above = std::fmod(phases[i] - leastPhase + periodMs, periodMs);
        slots.push_back(std::llround((arrivalsMs[i] - origin - leastPhase - above) / periodMs));
    }
    // Frames arrive in order and never before they leave: a frame numbered
    // no lower than the one after it came more than a period late, and is
    // the one before. Walking back from the last arrival puts each frame at
    // the latest number that order allows.
    for (size_t i = slots.size() - 1; i-- > 0;) {
        if (slots[i] >= slots[i + 1]) {
            slots[i] = slots[i + 1] - 1;
            ++result.late;
        }
    }
    const auto spanned = static_cast<uint64_t>(slots.back() - slots.front() + 1);
    result.dropped = spanned - arrivalsMs.size();
    return result;
}

} // namespace lumvek::bench
