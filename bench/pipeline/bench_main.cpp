// lumvek-bench: times the image pipeline at 2336 x 1752.
//   lumvek-bench [--scalar] [benchmark flags]  Google Benchmark, optimised
//                                              kernels (--scalar or
//                                              LUMVEK_FORCE_SCALAR=1: the
//                                              scalar reference), 1 and 2 threads
//   lumvek-bench --json                        one JSON line of medians in ms, their
//                                              spreads and ratios to memcpy and OpenCV
//   lumvek-bench --json-figures                the same without the frame loop
//   lumvek-bench --json-paths                  --json-figures once per vector path
//                                              (widest, AVX2, baseline), keyed by path
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
constexpr int kLatencyFrames = 40;
constexpr int kCameraFps = 20;
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

// The median of runs after warm-ups, with the fastest and slowest run.
struct Timing {
    double median = -1.0;
    double min = -1.0;
    double max = -1.0;
};

Timing timingOf(const Case& c, int runs = kRuns) {
    for (int i = 0; i < kWarmups; ++i) {
        c.run();
    }
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double t0 = nowMs();
        c.run();
        ms.push_back(nowMs() - t0);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[static_cast<size_t>(runs / 2)], ms.front(), ms.back()};
}

double medianMs(const Case& c, int runs = kRuns) { return timingOf(c, runs).median; }

// The timing of the named peer case; negative when it was not built.
Timing peerTiming(const std::vector<Case>& peers, const char* name) {
    for (const Case& c : peers) {
        if (c.name == name) {
            return timingOf(c);
        }
    }
    return {};
}

// The vector bodies this process runs: the scalar reference, or the widest
// the processor has as LUMVEK_CPU_BASELINE leaves it.
const char* cpuPathName(KernelPath path) {
    if (path == KernelPath::Reference) {
        return "scalar";
    }
    const CpuFeatures& f = cpuFeatures();
    return f.avx512vbmi ? "avx512" : f.avx2 ? "avx2" : f.sse41 ? "sse4.1" : "baseline";
}

// One JSON object of figures in ms (medians of kRuns runs) under stable
// keys, each with its spread (fastest and slowest run) and the ratios the
// goals are stated in: to the same run's memcpy of a 24-bit frame, and to
// OpenCV's demosaic of the same frame size when it is built in.
std::string jsonFigures(KernelPath path) {
    struct Figure {
        const char* key;
        Timing t;
    };
    std::vector<Figure> figures = {
        {"interp8to24", timingOf(interpolationCase(8, 24, path, 1))},
        {"interp16to48", timingOf(interpolationCase(16, 48, path, 1))},
        {"chain24", timingOf(chainCase(kColour24, path, 1))},
        {"chain48", timingOf(chainCase(kColour48, path, 1))},
        {"chain24_2t", timingOf(chainCase(kColour24, path, 2))},
        {"chain48_2t", timingOf(chainCase(kColour48, path, 2))},
        {"default24", timingOf(defaultChainCase(path, 1))},
        {"default24_2t", timingOf(defaultChainCase(path, 2))},
    };
    // The peers from the same run: the memory floor and, when built with
    // OpenCV, its bilinear demosaic on one thread.
    const std::vector<Case> peers = peerCases(1);
    const std::pair<const char*, const char*> peerKeys[] = {
        {"memcpy24", "memcpy24"}, {"cv_bayer8to24", "cv_demosaic8"}, {"cv_bayer16to48", "cv_demosaic16"}};
    for (auto [name, key] : peerKeys) {
        const Timing t = peerTiming(peers, name);
        if (t.median >= 0.0) {
            figures.push_back({key, t});
        }
    }
    auto medianOf = [&figures](const char* key) {
        for (const Figure& f : figures) {
            if (std::strcmp(f.key, key) == 0) {
                return f.t.median;
            }
        }
        return -1.0;
    };
    std::string out = std::string("{\"cpu_path\": \"") + cpuPathName(path) + "\", \"runs\": " + std::to_string(kRuns);
    char text[160];
    for (const Figure& f : figures) {
        std::snprintf(text, sizeof text, ", \"%s_ms\": %.3f, \"%s_spread_ms\": [%.3f, %.3f]", f.key, f.t.median, f.key,
                      f.t.min, f.t.max);
        out += text;
    }
    const double memcpyMs = medianOf("memcpy24");
    for (const char* key : {"chain24", "chain24_2t", "chain48", "chain48_2t", "default24", "interp8to24", "interp16to48"}) {
        if (memcpyMs > 0.0) {
            std::snprintf(text, sizeof text, ", \"%s_x_memcpy24\": %.2f", key, medianOf(key) / memcpyMs);
            out += text;
        }
    }
    const std::pair<const char*, const char*> versus[] = {
        {"default24", "cv_demosaic8"}, {"interp8to24", "cv_demosaic8"}, {"interp16to48", "cv_demosaic16"}};
    for (auto [ours, peer] : versus) {
        const double peerMs = medianOf(peer);
        if (peerMs > 0.0) {
            std::snprintf(text, sizeof text, ", \"%s_vs_%s\": %.2f", ours, peer, medianOf(ours) / peerMs);
            out += text;
        }
    }
    return out;
}

int printJson(KernelPath path) {
    std::string out = jsonFigures(path);
    // The frame loop's own processor time per 24-bit frame with default
    // settings, the simulator's share taken out.
    const FrameLoopCost loop = measureFrameLoop(24, false, kFrameLoopFrames);
    if (loop.error.empty()) {
        char text[64];
        std::snprintf(text, sizeof text, ", \"frameloop24_cpu_ms\": %.3f", loop.sdkCpuMs);
        out += text;
    }
    // The delivery latency of 24-bit frames at a camera's own rate.
    const FrameLoopCost paced = measureFrameLoop(24, false, kLatencyFrames, kCameraFps);
    if (paced.error.empty() && paced.latencyMedianMs > 0.0) {
        char text[96];
        std::snprintf(text, sizeof text, ", \"latency24_median_ms\": %.3f, \"latency24_p99_ms\": %.3f",
                      paced.latencyMedianMs, paced.latencyP99Ms);
        out += text;
    }
    std::printf("%s}\n", out.c_str());
    return 0;
}

// --json-paths: the figures of every vector path this processor has, each
// from a run of this program with LUMVEK_CPU_BASELINE set for it, as one
// object keyed by path. A path the processor lacks (or that gives the same
// bodies as the one before) is left out.
int printJsonPaths(const char* self) {
    std::vector<std::pair<std::string, std::string>> paths;
    for (const char* baseline : {"", "avx2", "sse4.1", "1"}) {
        const std::string command = std::string("LUMVEK_CPU_BASELINE=") + baseline + " '" + self + "' --json-figures";
        FILE* child = popen(command.c_str(), "r");
        if (child == nullptr) {
            continue;
        }
        std::string line;
        char chunk[512];
        while (std::fgets(chunk, sizeof chunk, child) != nullptr) {
            line += chunk;
        }
        if (pclose(child) != 0 || line.empty()) {
            continue;
        }
        while (!line.empty() && (line.back() == '\n' || line.back() == '}')) {
            line.pop_back();
        }
        const size_t nameStart = line.find(':') + 3;  // after "cpu_path": "
        const std::string name = line.substr(nameStart, line.find('"', nameStart) - nameStart);
        if (std::none_of(paths.begin(), paths.end(), [&name](const auto& p) { return p.first == name; })) {
            paths.emplace_back(name, line + "}");
        }
    }
    std::printf("{");
    for (size_t i = 0; i < paths.size(); ++i) {
        std::printf("%s\"%s\": %s", i == 0 ? "" : ", ", paths[i].first.c_str(), paths[i].second.c_str());
    }
    std::printf("}\n");
    return paths.empty() ? 1 : 0;
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
    bool jsonFiguresOnly = false;
    bool jsonPaths = false;
    bool compare = false;
    int rounds = 0;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scalar") == 0) {
            path = KernelPath::Reference;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--json-figures") == 0) {
            jsonFiguresOnly = true;
        } else if (std::strcmp(argv[i], "--json-paths") == 0) {
            jsonPaths = true;
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
    if (jsonPaths) {
        return bench::printJsonPaths(argv[0]);
    }
    if (jsonFiguresOnly) {
        std::printf("%s}\n", bench::jsonFigures(path).c_str());
        return 0;
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
