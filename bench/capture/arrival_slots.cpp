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

    int64_t first = 0;
    int64_t previous = 0;
    for (size_t i = 0; i < arrivalsMs.size(); ++i) {
        // Latency above the least, then the frame number of the arrival.
        const double above = std::fmod(phases[i] - leastPhase + periodMs, periodMs);
        int64_t slot = std::llround((arrivalsMs[i] - origin - leastPhase - above) / periodMs);
        if (i == 0) {
            first = slot;
        } else {
            slot = std::max(slot, previous + 1);  // arrivals come in frame order
        }
        previous = slot;
    }
    const auto spanned = static_cast<uint64_t>(previous - first + 1);
    result.dropped = spanned - arrivalsMs.size();
    return result;
}

} // namespace lumvek::bench
