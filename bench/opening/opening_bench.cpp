// lumvek-bench-opening: how long a short-lived program waits to open a camera,
// take one picture and let go, through the public C API, against one
// simulated R13 camera of the lumvek-camsim daemon (default) or of the
// in-process simulator (--in-process). Each round is what one run of a tool
// does: Lumvek_Initialize with a message window (which opens the only
// camera), Lumvek_Capture and one Lumvek_SnapShot, then Lumvek_Release.
// Every round starts with a shared-memory block of its own, as a new process
// would; the settings store is kept across rounds, as on a user's machine.
//
//   lumvek-bench-opening [--rounds N] [--in-process] [--camsim PATH]   Google Benchmark tables
//   lumvek-bench-opening --json [--rounds N] [--in-process]            one JSON line
//
// --json keys (milliseconds of wall time; median of N rounds, default 5, with
// the smallest and largest value as the spread):
//   initialize_ms, first_snap_ms, open_first_snap_ms, release_ms, total_ms,
//   each as {"median": M, "min": A, "max": B}; "rounds" and "camera"
//   ("daemon" or "in-process") say what was measured.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "camsim_daemon.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDefaultRounds = 5;
constexpr int kReadyTimeoutMs = 20000;
constexpr const char* kCamera = "product=0x3090,name=cam0,pattern=chart";

struct Options {
    int rounds = kDefaultRounds;
    bool json = false;
    bool inProcess = false;
    std::string camsim = LUMVEK_CAMSIM_PATH;
};

struct RoundTimes {
    double initializeMs = 0;
    double firstSnapMs = 0;
    double releaseMs = 0;
    bool ok = false;
};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A private folder for the device sockets and the settings store.
class Workspace {
public:
    Workspace() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumvek-bench-opening-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~Workspace() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    std::string path_;
};

RoundTimes runRound(int round) {
    RoundTimes times;
    const std::string block = "/lumvek-bench-opening-" + std::to_string(getpid()) + "-" + std::to_string(round);
    setenv("LUMVEK_SHM_NAME", block.c_str(), 1);
    HWND window = LumvekWnd_CreateMessageWindow();

    auto start = Clock::now();
    const int32_t handle = Lumvek_Initialize(window);
    times.initializeMs = msSince(start);

    start = Clock::now();
    const bool snapped = handle != 0 && Lumvek_Capture(handle) == 1 && Lumvek_SnapShot(handle, nullptr, 0, 1) == 1;
    times.firstSnapMs = msSince(start);

    start = Clock::now();
    if (handle != 0) (void)Lumvek_Release(handle);
    times.releaseMs = msSince(start);
    (void)LumvekWnd_DestroyWindow(window);
    times.ok = snapped;
    return times;
}

struct Spread {
    double median = 0, min = 0, max = 0;
};

Spread spreadOf(std::vector<double> values) {
    Spread s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

bool collect(int rounds, std::vector<RoundTimes>& out) {
    (void)runRound(-1);  // warm-up: creates the settings key, loads the libraries' pages
    for (int i = 0; i < rounds; ++i) {
        const RoundTimes t = runRound(i);
        if (!t.ok) {
            std::fprintf(stderr, "lumvek-bench-opening: round %d: no picture (is the camera there?)\n", i + 1);
            return false;
        }
        out.push_back(t);
    }
    return true;
}

int printJson(const Options& o) {
    std::vector<RoundTimes> rounds;
    if (!collect(o.rounds, rounds)) return 1;
    std::vector<double> init, snap, open, release, total;
    for (const auto& r : rounds) {
        init.push_back(r.initializeMs);
        snap.push_back(r.firstSnapMs);
        open.push_back(r.initializeMs + r.firstSnapMs);
        release.push_back(r.releaseMs);
        total.push_back(r.initializeMs + r.firstSnapMs + r.releaseMs);
    }
    auto field = [](const char* key, const std::vector<double>& values) {
        const Spread s = spreadOf(values);
        std::printf("\"%s\": {\"median\": %.1f, \"min\": %.1f, \"max\": %.1f}, ", key, s.median, s.min, s.max);
    };
    std::printf("{");
    field("initialize_ms", init);
    field("first_snap_ms", snap);
    field("open_first_snap_ms", open);
    field("release_ms", release);
    field("total_ms", total);
    std::printf("\"rounds\": %d, \"camera\": \"%s\"}\n", o.rounds, o.inProcess ? "in-process" : "daemon");
    return 0;
}

// Google Benchmark: one benchmark per phase, each iteration a whole round,
// timed by hand so that only its own phase counts.
void registerBenchmarks(int rounds) {
    struct Phase {
        const char* name;
        double (*pick)(const RoundTimes&);
    };
    static const Phase phases[] = {
        {"Initialize", [](const RoundTimes& r) { return r.initializeMs; }},
        {"OpenAndFirstSnap", [](const RoundTimes& r) { return r.initializeMs + r.firstSnapMs; }},
        {"Release", [](const RoundTimes& r) { return r.releaseMs; }},
    };
    for (const Phase& phase : phases) {
        benchmark::RegisterBenchmark(phase.name,
                                     [&phase](benchmark::State& state) {
                                         int round = 0;
                                         for (auto _ : state) {
                                             const RoundTimes t = runRound(round++);
                                             if (!t.ok) {
                                                 state.SkipWithError("no picture");
                                                 break;
                                             }
                                             state.SetIterationTime(phase.pick(t) / 1000.0);
                                         }
                                     })
            ->UseManualTime()
            ->Iterations(rounds)
            ->Unit(benchmark::kMillisecond);
    }
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "lumvek-bench-opening: %s\n"
                 "usage: lumvek-bench-opening [--json] [--rounds N] [--in-process] [--camsim PATH]\n",
                 why);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            o.json = true;
        } else if (arg == "--in-process") {
            o.inProcess = true;
        } else if (arg == "--rounds" && i + 1 < argc) {
            o.rounds = std::atoi(argv[++i]);
            if (o.rounds < 1) return usage("--rounds takes a count of 1 or more");
        } else if (arg == "--camsim" && i + 1 < argc) {
            o.camsim = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }
    Workspace workspace;
    if (workspace.path().empty()) return usage("cannot create a private folder");
    const std::string devices = workspace.path() + "/devices";
    std::filesystem::create_directories(devices);
    setenv("LUMVEK_DEVICE_DIR", devices.c_str(), 1);
    setenv("LUMVEK_REGISTRY_FILE", (workspace.path() + "/registry.sqlite3").c_str(), 1);

    std::unique_ptr<lumvek::bench::CamsimDaemon> daemon;
    if (o.inProcess) {
        setenv("LUMVEK_SIM_CAMERAS", kCamera, 1);
    } else {
        unsetenv("LUMVEK_SIM_CAMERAS");
        daemon = std::make_unique<lumvek::bench::CamsimDaemon>(o.camsim, devices, std::vector<std::string>{kCamera},
                                                               kReadyTimeoutMs);
        if (!daemon->ready()) {
            std::fprintf(stderr, "lumvek-bench-opening: %s\n", daemon->error().c_str());
            return 1;
        }
    }

    if (o.json) return printJson(o);
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    registerBenchmarks(o.rounds);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
