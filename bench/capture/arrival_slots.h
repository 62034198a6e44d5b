#pragma once
// Which of a free-running camera's frames arrived, from the arrival times
// alone. Frame k leaves the camera at start + k x period and arrives some
// latency later; the latency varies from frame to frame but never goes below
// the pipeline's least. While the spread of latencies stays under one period,
// every arrival's phase (its time modulo the period) falls on one arc of the
// circle, the arc begins with the least-latency arrivals, and each arrival's
// frame number follows exactly: the frames between the first and the last
// arrival that never came are the dropped ones. A drop shows as a number
// missing, a frame that is merely late does not, however long the gap before
// it. The spread is reported with the count: the count is exact while the
// spread is under the period. A frame later than that (a stall of the whole
// host) takes the number of the frame after it; since frames arrive in
// order, it is given back the number before and counted as late instead.
#include <cstdint>
#include <vector>

namespace lumvek::bench {

struct ArrivalSlots {
    uint64_t dropped = 0;   // frame numbers between the first and last arrival with no arrival
    uint64_t late = 0;      // arrivals more than a period later than the least latency
    double spreadMs = 0.0;  // latest minus least latency over the arrivals not late
};

// `arrivalsMs` in arrival order (non-decreasing); `periodMs` > 0.
ArrivalSlots countArrivalSlots(const std::vector<double>& arrivalsMs, double periodMs);

} // namespace lumvek::bench
