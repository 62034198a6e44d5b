// lumvek-bench-cameras kept working: a short run with two cameras of its own
// daemon must deliver frames on every camera and print every figure in its
// documented form; a daemon that cannot start and bad arguments fail clearly.
// Its count of dropped frames is checked on arrival times made up here.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

#include "tool_process.h"
#ifdef LUMVEK_BENCH_CAMERAS_PATH
#include "arrival_slots.h"
#endif

namespace lumvek::test {
namespace {

#ifdef LUMVEK_BENCH_CAMERAS_PATH

using bench::countArrivalSlots;

// Frame k leaves at start + k x period and arrives after a latency drawn
// from [least, least + spread); frames in `lost` never arrive.
std::vector<double> arrivalsOf(int frames, double startMs, double periodMs, double leastMs, double spreadMs,
                               const std::set<int>& lost, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> latency(leastMs, leastMs + spreadMs);
    std::vector<double> arrivals;
    for (int k = 0; k < frames; ++k) {
        if (lost.count(k) == 0) {
            arrivals.push_back(std::max(arrivals.empty() ? 0.0 : arrivals.back(),
                                        startMs + k * periodMs + latency(random)));
        }
    }
    return arrivals;
}

TEST(ArrivalSlots, LateFramesAreNotDropsAndEveryMissingFrameIsCountedWhereverThePhaseFalls) {
    constexpr double kPeriod = 92.3;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        // Start times put the latency arc across the period's wrap-around too.
        const double start = 1000.0 + seed * 17.9;
        const double spread = 5.0 + (seed % 8) * 10.0;  // up to 75 ms: gaps of 1.8 periods
        const auto onTime = arrivalsOf(650, start, kPeriod, 6.0, spread, {}, seed);
        const auto slots = countArrivalSlots(onTime, kPeriod);
        EXPECT_EQ(slots.dropped, 0u) << "seed " << seed;
        EXPECT_LE(slots.spreadMs, spread) << "seed " << seed;
        EXPECT_GT(slots.spreadMs, spread * 0.8) << "seed " << seed;

        const auto withLosses = arrivalsOf(650, start, kPeriod, 6.0, spread, {3, 100, 101, 102, 400, 648}, seed);
        EXPECT_EQ(countArrivalSlots(withLosses, kPeriod).dropped, 6u) << "seed " << seed;
    }
    // A stall of the whole host: frame 300 arrives 1.3 periods late, the
    // next on time right after it. Late, not dropped; and a drop right
    // after a late frame still counts.
    for (const double start : {0.0, 50.0, 80.0}) {
        auto stalled = arrivalsOf(650, start, kPeriod, 6.0, 30.0, {}, 3);
        stalled[300] = stalled[301] - 1.0;
        const auto slots = countArrivalSlots(stalled, kPeriod);
        EXPECT_EQ(slots.dropped, 0u) << start;
        EXPECT_EQ(slots.late, 1u) << start;
        auto lateThenLost = arrivalsOf(650, start, kPeriod, 6.0, 30.0, {302}, 3);
        lateThenLost[300] = lateThenLost[301] - 1.0;
        EXPECT_EQ(countArrivalSlots(lateThenLost, kPeriod).dropped, 1u) << start;
    }
    // Frames lost at the ends of the run are outside it: nothing to count.
    EXPECT_EQ(countArrivalSlots(arrivalsOf(20, 0.0, kPeriod, 6.0, 30.0, {0, 19}, 7), kPeriod).dropped, 0u);
    EXPECT_EQ(countArrivalSlots({}, kPeriod).dropped, 0u);
    EXPECT_EQ(countArrivalSlots({5.0}, kPeriod).dropped, 0u);
    // Two arrivals at once cannot be two frames of one number.
    EXPECT_EQ(countArrivalSlots({0.0, 0.0, 92.3}, kPeriod).dropped, 0u);
}

struct CameraLine {
    unsigned long long frames = 0;
    double fps = -1.0;
    long long missed = -1;
    unsigned long long dropped = 1;
    unsigned long long late = 1;
    double spreadMs = -1.0;
    double longestGapMs = -1.0;
    unsigned long long errors = 1;
    double latencyMedianMs = -1.0;
    double latencyP99Ms = -1.0;
};

// "camera I frames N fps F missed M dropped D late L spread_ms S longest_gap_ms G errors E
// latency_median_ms A latency_p99_ms B" lines and "key value" lines.
bool parseOutput(const std::string& out, std::map<int, CameraLine>& cameras, std::map<std::string, double>& values) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "camera") {
            int index = -1;
            CameraLine c;
            std::string framesKey, fpsKey, missedKey, droppedKey, lateKey, spreadKey, gapKey, errorsKey, medianKey,
                p99Key;
            if (!(words >> index >> framesKey >> c.frames >> fpsKey >> c.fps >> missedKey >> c.missed >> droppedKey >>
                  c.dropped >> lateKey >> c.late >> spreadKey >> c.spreadMs >> gapKey >> c.longestGapMs >> errorsKey >>
                  c.errors >> medianKey >> c.latencyMedianMs >> p99Key >> c.latencyP99Ms) ||
                framesKey != "frames" || fpsKey != "fps" || missedKey != "missed" || droppedKey != "dropped" ||
                lateKey != "late" || spreadKey != "spread_ms" || gapKey != "longest_gap_ms" || errorsKey != "errors" ||
                medianKey != "latency_median_ms" || p99Key != "latency_p99_ms") {
                ADD_FAILURE() << "camera line: " << line;
                return false;
            }
            cameras[index] = c;
        } else {
            double value = 0.0;
            if (!(words >> value)) {
                ADD_FAILURE() << "value line: " << line;
                return false;
            }
            values[key] = value;
        }
    }
    return true;
}

TEST(CamerasBench, TwoCamerasWithToneControlsDeliverAndReportEveryFigure) {
    ToolEnv env("bench-cameras");
    const ProcessResult result =
        run(LUMVEK_BENCH_CAMERAS_PATH, {"--cameras", "2", "--seconds", "2", "--tone", "--bits", "24"}, env, 120000);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<int, CameraLine> cameras;
    std::map<std::string, double> values;
    ASSERT_TRUE(parseOutput(result.out, cameras, values)) << result.out;
    ASSERT_EQ(cameras.size(), 2u) << result.out;
    for (const auto& [index, camera] : cameras) {
        EXPECT_GT(camera.frames, 0u) << "camera " << index << "\n" << result.out;
        EXPECT_GT(camera.fps, 0.0) << "camera " << index;
        EXPECT_GE(camera.missed, 0) << "camera " << index;
        // Two frames at least arrived in the run, so one gap was measured:
        // no shorter than half a period of the 10.8 frames/s camera.
        EXPECT_GT(camera.longestGapMs, 46.0) << "camera " << index;
        EXPECT_LT(camera.dropped + camera.late, camera.frames) << "camera " << index;
        EXPECT_GE(camera.spreadMs, 0.0) << "camera " << index;
        EXPECT_EQ(camera.errors, 0u) << "camera " << index << ": " << result.err;
        // Delivered frames were measured: a latency that is there and ordered.
        EXPECT_GT(camera.latencyMedianMs, 0.0) << "camera " << index;
        EXPECT_GE(camera.latencyP99Ms, camera.latencyMedianMs) << "camera " << index;
        EXPECT_GE(values["latency_p99_ms_max"], camera.latencyP99Ms);
    }
    EXPECT_EQ(values["cameras"], 2);
    EXPECT_EQ(values["bits"], 24);
    EXPECT_EQ(values["tone"], 1);
    EXPECT_GE(values["seconds"], 2.0);
    for (const char* key : {"sdk_cpu_percent", "sim_cpu_percent", "sdk_cpu_ms_per_frame", "sim_cpu_ms_per_frame",
                            "sdk_vmrss_mib", "camera_fps", "latency_median_ms_max", "latency_p99_ms_max"}) {
        ASSERT_EQ(values.count(key), 1u) << key << " missing:\n" << result.out;
        EXPECT_GT(values[key], 0.0) << key;
    }
}

TEST(CamerasBench, ADaemonThatCannotStartAndBadArgumentsFailClearly) {
    ToolEnv env("bench-cameras-fail");
    const ProcessResult missing =
        run(LUMVEK_BENCH_CAMERAS_PATH, {"--cameras", "1", "--seconds", "1", "--camsim", "/nonexistent/camsim"}, env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("/nonexistent/camsim"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty()) << missing.out;

    for (const std::vector<std::string>& args : {std::vector<std::string>{"--cameras", "0"},
                                                 {"--cameras", "11"}, {"--bits", "12"}, {"--seconds"}, {"--what"}}) {
        const ProcessResult bad = run(LUMVEK_BENCH_CAMERAS_PATH, args, env);
        EXPECT_EQ(bad.exitCode, 2) << args.front();
        EXPECT_NE(bad.err.find("usage:"), std::string::npos) << bad.err;
    }
}

#else

TEST(CamerasBench, NotBuilt) { GTEST_SKIP() << "lumvek-bench-cameras is built with Google Benchmark present"; }

#endif

} // namespace
} // namespace lumvek::test
