// lumvek-bench-opening kept working: its --json line names every phase with
// a median inside its own spread, against its own daemon and the in-process
// simulator alike; a daemon that cannot start and bad arguments fail clearly.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tool_process.h"

namespace lumvek::test {
namespace {

#ifdef LUMVEK_BENCH_OPENING_PATH

struct Spread {
    double median = -1, min = -1, max = -1;
};

// The {"median": M, "min": A, "max": B} of key, or all -1 when it is missing.
Spread spreadOf(const std::string& json, const std::string& key) {
    const std::regex pattern("\"" + key +
                             "\": \\{\"median\": ([0-9.]+), \"min\": ([0-9.]+), \"max\": ([0-9.]+)\\}");
    std::smatch match;
    Spread s;
    if (std::regex_search(json, match, pattern)) {
        s.median = std::stod(match[1]);
        s.min = std::stod(match[2]);
        s.max = std::stod(match[3]);
    }
    return s;
}

void expectEveryPhase(const std::string& json, const std::string& camera, int rounds) {
    for (const char* key : {"initialize_ms", "first_snap_ms", "open_first_snap_ms", "release_ms", "total_ms"}) {
        const Spread s = spreadOf(json, key);
        EXPECT_GT(s.min, 0.0) << key << ": " << json;
        EXPECT_LE(s.min, s.median) << key;
        EXPECT_LE(s.median, s.max) << key;
    }
    // Every round's whole is at least its opening, and its opening at least its Initialize.
    EXPECT_GE(spreadOf(json, "total_ms").min, spreadOf(json, "open_first_snap_ms").min);
    EXPECT_GE(spreadOf(json, "open_first_snap_ms").min, spreadOf(json, "initialize_ms").min);
    EXPECT_NE(json.find("\"rounds\": " + std::to_string(rounds)), std::string::npos) << json;
    EXPECT_NE(json.find("\"camera\": \"" + camera + "\""), std::string::npos) << json;
}

TEST(OpeningBench, JsonNamesEveryPhaseForTheDaemonAndTheInProcessCamera) {
    ToolEnv env("bench-opening");
    const ProcessResult daemon = run(LUMVEK_BENCH_OPENING_PATH, {"--json", "--rounds", "3"}, env, 120000);
    ASSERT_EQ(daemon.exitCode, 0) << daemon.err;
    expectEveryPhase(daemon.out, "daemon", 3);

    const ProcessResult inProcess = run(LUMVEK_BENCH_OPENING_PATH, {"--json", "--rounds", "1", "--in-process"}, env, 120000);
    ASSERT_EQ(inProcess.exitCode, 0) << inProcess.err;
    expectEveryPhase(inProcess.out, "in-process", 1);
}

TEST(OpeningBench, ADaemonThatCannotStartAndBadArgumentsFailClearly) {
    ToolEnv env("bench-opening-errors");
    const ProcessResult missing = run(LUMVEK_BENCH_OPENING_PATH, {"--json", "--camsim", "/nonexistent/camsim"}, env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("/nonexistent/camsim"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty()) << missing.out;
    const ProcessResult bad = run(LUMVEK_BENCH_OPENING_PATH, {"--json", "--rounds", "0"}, env);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.errLines(), 2) << bad.err;  // the reason and the usage line
}

#endif

} // namespace
} // namespace lumvek::test
