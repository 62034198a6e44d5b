// lumvek-bench: times the image pipeline at 2336 x 1752.
//   lumvek-bench [--scalar] [benchmark flags]  Google Benchmark, optimised
//                                              kernels (--scalar or
//                                              LUMVEK_FORCE_SCALAR=1: the
//                                              scalar reference), 1 and 2 threads
//   lumvek-bench --json                        one JSON line of medians in ms
//   lumvek-bench --compare                     ours, scalar and peers side by side
//   lumvek-bench --rounds N                    the headline figures and their peers
//                                              N times over: median and range
//   (--cpu-time with --json or --compare: process CPU time instead of wall time)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "bench_cases.h"
#include "frame_loop_cost.h"
#include "imaging/pipeline/frame_pipeline.h"

namespace lumvek::bench {
namespace {

constexpr int kWarmups = 3;
constexpr int kRuns = 15;
constexpr int kFrameLoopFrames = 30;
// --cpu-time: processor time of the whole process instead of wall time, for
// a loaded machine (two-thread cases then count both threads' work).
bool g_cpuTime = false;

double nowMs() {
    if (g_cpuTime) {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double medianMs(const Case& c, int runs = kRuns) {
    for (int i = 0; i < kWarmups; ++i) {
        c.run();
    }
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double t0 = nowMs();
        c.run();
        ms.push_back(nowMs() - t0);
    }
    std::nth_element(ms.begin(), ms.begin() + runs / 2, ms.end());
    return ms[static_cast<size_t>(runs / 2)];
}

// The median of the named peer case, or a negative value when it was not built.
double peerMedianMs(const std::vector<Case>& peers, const char* name) {
    for (const Case& c : peers) {
        if (c.name == name) {
            return medianMs(c);
        }
    }
    return -1.0;
}

int printJson(KernelPath path) {
    const double i8 = medianMs(interpolationCase(8, 24, path, 1));
    const double i16 = medianMs(interpolationCase(16, 48, path, 1));
    const double c24 = medianMs(chainCase(kColour24, path, 1));
    const double c48 = medianMs(chainCase(kColour48, path, 1));
    const double c24x2 = medianMs(chainCase(kColour24, path, 2));
    const double c48x2 = medianMs(chainCase(kColour48, path, 2));
    const double d24 = medianMs(defaultChainCase(path, 1));
    std::printf("{\"interp8to24_ms\": %.3f, \"interp16to48_ms\": %.3f, \"chain24_ms\": %.3f, \"chain48_ms\": %.3f, "
                "\"chain24_2t_ms\": %.3f, \"chain48_2t_ms\": %.3f, \"default24_ms\": %.3f",
                i8, i16, c24, c48, c24x2, c48x2, d24);
    // The peers from the same run: the memory floor and, when built with
    // OpenCV, its bilinear demosaic on one thread.
    const std::vector<Case> peers = peerCases(1);
    const std::pair<const char*, const char*> keys[] = {
        {"memcpy24", "memcpy24_ms"}, {"cv_bayer8to24", "cv_demosaic8_ms"}, {"cv_bayer16to48", "cv_demosaic16_ms"}};
    for (auto [name, key] : keys) {
        const double ms = peerMedianMs(peers, name);
        if (ms >= 0.0) {
            std::printf(", \"%s\": %.3f", key, ms);
        }
    }
    // The frame loop's own processor time per 24-bit frame with default
    // settings, the simulator's share taken out.
    const FrameLoopCost loop = measureFrameLoop(24, false, kFrameLoopFrames);
    if (loop.error.empty()) {
        std::printf(", \"frameloop24_cpu_ms\": %.3f", loop.sdkCpuMs);
    }
    std::printf("}\n");
    return 0;
}

int printComparison() {
    const std::vector<Case> fast1 = pipelineCases(KernelPath::Optimised, 1);
    const std::vector<Case> fast2 = pipelineCases(KernelPath::Optimised, 2);
    const std::vector<Case> scalar = pipelineCases(KernelPath::Reference, 1);
    std::printf("%-20s %10s %10s %10s\n", "median ms", "1 thread", "2 threads", "scalar");
    for (size_t i = 0; i < fast1.size(); ++i) {
        std::printf("%-20s %10.2f %10.2f %10.2f\n", fast1[i].name.c_str(), medianMs(fast1[i]), medianMs(fast2[i]),
                    medianMs(scalar[i], 5));
    }
    const std::vector<Case> peers1 = peerCases(1);
    std::vector<double> single;
    for (const Case& c : peers1) {
        single.push_back(medianMs(c));
    }
    const std::vector<Case> peers2 = peerCases(2);
    for (size_t i = 0; i < peers2.size(); ++i) {
        std::printf("%-20s %10.2f %10.2f %10s\n", peers2[i].name.c_str(), single[i], medianMs(peers2[i]), "-");
    }
    return 0;
}

// The headline cases and their peers, one and two threads, measured round
// after round so that the spread between rounds shows beside the median.
int printRounds(KernelPath path, int rounds) {
    struct Row {
        std::string name;
        Case one, two;
        std::vector<double> oneMs, twoMs;
    };
    std::vector<Row> rows;
    auto ours = [&](const std::string& name, auto make) { rows.push_back({name, make(1), make(2), {}, {}}); };
    ours("interp8to24", [&](int t) { return interpolationCase(8, 24, path, t); });
    ours("interp16to48", [&](int t) { return interpolationCase(16, 48, path, t); });
    ours("default24", [&](int t) { return defaultChainCase(path, t); });
    ours("chain24", [&](int t) { return chainCase(kColour24, path, t); });
    ours("chain48", [&](int t) { return chainCase(kColour48, path, t); });
    const std::vector<Case> peers1 = peerCases(1);
    const std::vector<Case> peers2 = peerCases(2);
    for (size_t i = 0; i < peers1.size(); ++i) {
        const std::string& name = peers1[i].name;
        if (name == "memcpy24" || name == "cv_bayer8to24" || name == "cv_bayer16to48" || name == "cv_hsv_hue24") {
            rows.push_back({name, peers1[i], peers2[i], {}, {}});
        }
    }
    for (int round = 0; round < rounds; ++round) {
        for (Row& row : rows) {
            row.oneMs.push_back(medianMs(row.one));
            row.twoMs.push_back(medianMs(row.two));
        }
    }
    auto cell = [](std::vector<double> ms) {
        std::sort(ms.begin(), ms.end());
        char text[64];
        std::snprintf(text, sizeof text, "%.2f (%.2f-%.2f)", ms[ms.size() / 2], ms.front(), ms.back());
        return std::string(text);
    };
    std::printf("| ms, %d rounds: median (min-max) | 1 thread | 2 threads |\n|---|---|---|\n", rounds);
    for (const Row& row : rows) {
        std::printf("| %s | %s | %s |\n", row.name.c_str(), cell(row.oneMs).c_str(), cell(row.twoMs).c_str());
    }
    return 0;
}

void registerBenchmarks(KernelPath path) {
    for (int threads : {1, 2}) {
        for (Case& c : pipelineCases(path, threads)) {
            const std::string name = c.name + "/threads:" + std::to_string(threads);
            benchmark::RegisterBenchmark(name.c_str(), [run = c.run](benchmark::State& state) {
                for (auto _ : state) {
                    run();
                }
            })->Unit(benchmark::kMillisecond)->UseRealTime();
        }
        for (Case& c : peerCases(threads)) {
            const std::string name = "peer_" + c.name + "/threads:" + std::to_string(threads);
            benchmark::RegisterBenchmark(name.c_str(), [run = c.run](benchmark::State& state) {
                for (auto _ : state) {
                    run();
                }
            })->Unit(benchmark::kMillisecond)->UseRealTime();
        }
    }
}

} // namespace
} // namespace lumvek::bench

int main(int argc, char** argv) {
    using namespace lumvek;
    KernelPath path = kernelPathFromEnvironment();
    std::vector<char*> rest;
    bool json = false;
    bool compare = false;
    int rounds = 0;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scalar") == 0) {
            path = KernelPath::Reference;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--cpu-time") == 0) {
            bench::g_cpuTime = true;
        } else if (std::strcmp(argv[i], "--compare") == 0) {
            compare = true;
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (json) {
        return bench::printJson(path);
    }
    if (compare) {
        return bench::printComparison();
    }
    if (rounds > 0) {
        return bench::printRounds(path, rounds);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    bench::registerBenchmarks(path);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
