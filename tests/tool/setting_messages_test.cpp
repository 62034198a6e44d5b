// The lines `set` and `snap` print when the SDK refuses or adjusts a value,
// or a capture fails: each says what happened, and what is allowed in
// numbers (the same figures `lumvek info` shows), never a placeholder.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kCamera = "product=0x3090,name=cam0,pattern=chart";

// The figures after `label` on its line of `lumvek info` ("15..1023").
std::string infoRange(const std::string& info, const std::string& label) {
    std::istringstream lines(info);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(label, 0) != 0) continue;
        std::istringstream words(line.substr(label.size()));
        std::string range;
        words >> range;
        return range;
    }
    return {};
}

TEST(ToolSettingMessages, RefusedAndAdjustedValuesSayWhatHappenedWithTheRangeInNumbers) {
    ToolEnv env("messages");
    Daemon daemon(env, {kCamera});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult info = lumvek({"info"}, env);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const std::string gains = infoRange(info.out, "global gain");
    const std::string exposures = infoRange(info.out, "exposure");
    ASSERT_NE(gains.find(".."), std::string::npos) << info.out;
    ASSERT_NE(exposures.find(".."), std::string::npos) << info.out;

    const ProcessResult gain = lumvek({"set", "global-gain", "5000"}, env);
    EXPECT_NE(gain.exitCode, 0);
    EXPECT_NE(gain.err.find("SDK error 9"), std::string::npos) << gain.err;
    EXPECT_NE(gain.err.find("global-gain accepts " + gains + "\n"), std::string::npos) << gain.err;
    const ProcessResult exposure = lumvek({"set", "exposure", "999999"}, env);
    EXPECT_NE(exposure.err.find("exposure accepts " + exposures + " (0.1 ms)\n"), std::string::npos) << exposure.err;
    const ProcessResult channel = lumvek({"set", "channel-gain-1", "70000"}, env);
    EXPECT_NE(channel.err.find("channel-gain-1 accepts 0..65535\n"), std::string::npos) << channel.err;
    for (const ProcessResult* refused : {&gain, &exposure, &channel}) {
        EXPECT_EQ(refused->err.find("(lumvek info)"), std::string::npos) << refused->err;
        const size_t accepts = refused->err.find(" accepts ");
        ASSERT_NE(accepts, std::string::npos) << refused->err;
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(refused->err[accepts + 9]))) << refused->err;
    }

    // Refused without a code: said so, and that the camera has no such mode.
    const ProcessResult mode = lumvek({"set", "gain-mode", "1"}, env);
    EXPECT_NE(mode.exitCode, 0);
    EXPECT_EQ(mode.err,
              "lumvek: set gain-mode 1: the camera refused it (the SDK gave no error code); gain-mode accepts "
              "nothing: this camera has no gain-mode\n");

    // Kept in part: the packed gains keep their low three bytes, not a bound of a range.
    const ProcessResult packed = lumvek({"set", "gain-rgb", "-1"}, env);
    EXPECT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(packed.out,
              "gain-rgb = 16777215 (only the low 24 bits are kept, 0..16777215: red 255, green 255, blue 255; -1 was "
              "asked)\n");
    const ProcessResult fits = lumvek({"set", "gain-rgb", "0x102030"}, env);
    EXPECT_EQ(fits.out, "gain-rgb = 1056816\n");
}

TEST(ToolSettingMessages, AFailedRequestDuringASnapshotIsNotCalledAnInvalidWindow) {
    ToolEnv env("snap-request");
    Daemon daemon(env, {kCamera});
    ASSERT_TRUE(daemon.ready());
    // Every control request fails from here on: opening tolerates it, setting the window does not.
    ASSERT_EQ(daemon.ctl({"fault", "cam0", "fail-control=100000"}).exitCode, 0);
    const ProcessResult snap = lumvek({"snap", "-o", (env.dir() / "s.bmp").string()}, env);
    EXPECT_NE(snap.exitCode, 0);
    EXPECT_NE(snap.err.find("the camera did not take the capture window 2336 x 1752 at (0, 0), which fits the "
                            "2336 x 1752 sensor: a request to the camera failed"),
              std::string::npos)
        << snap.err;
    EXPECT_EQ(snap.err.find("invalid"), std::string::npos) << snap.err;
    ASSERT_EQ(daemon.ctl({"fault", "cam0", "fail-control=0"}).exitCode, 0);
    const ProcessResult again = lumvek({"snap", "-o", (env.dir() / "again.bmp").string()}, env);
    EXPECT_EQ(again.exitCode, 0) << again.err;
}

} // namespace
} // namespace lumvek::test
