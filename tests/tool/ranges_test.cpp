// The ranges the tool tells: beside the nominal exposure range of the
// information record (1..8191), where the R13 really stops (232), found
// without leaving the probe's value in the camera or the settings store.
#include <gtest/gtest.h>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

TEST(ToolRanges, InfoGivesTheAcceptedExposureBesideTheNominalAndKeepsTheSetting) {
    ToolEnv env("ranges-info");
    ASSERT_EQ(lumvek({"set", "exposure", "100", "--simulate"}, env).exitCode, 0);

    const ProcessResult text = lumvek({"info", "--simulate"}, env);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("exposure          1..8191 (0.1 ms), this camera accepts 1..232"), std::string::npos)
        << text.out;
    const ProcessResult json = lumvek({"info", "--simulate", "--json"}, env);
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(jsonField(json.out, "acceptedMax"), "232") << json.out;
    EXPECT_EQ(jsonField(json.out, "max"), "1023") << json.out;  // the first "max": the gain's

    // Asking for the nominal maximum to see where the camera stops must not stay.
    const ProcessResult after = lumvek({"get", "exposure", "--simulate"}, env);
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out, "100\n");
}

TEST(ToolRanges, GetHelpShowsTheCamerasRangesWhenOneOpensAndSaysHowOtherwise) {
    ToolEnv env("ranges-help");
    const ProcessResult withCamera = lumvek({"get", "--help", "--simulate"}, env);
    ASSERT_EQ(withCamera.exitCode, 0) << withCamera.err;
    EXPECT_NE(withCamera.out.find("Ranges of camera 0:"), std::string::npos) << withCamera.out;
    EXPECT_NE(withCamera.out.find("exposure            1..8191 (0.1 ms), this camera accepts 1..232"),
              std::string::npos)
        << withCamera.out;
    EXPECT_NE(withCamera.out.find("global-gain         15..1023"), std::string::npos) << withCamera.out;

    const ProcessResult without = lumvek({"get", "--help"}, env);
    ASSERT_EQ(without.exitCode, 0) << without.err;
    EXPECT_NE(without.out.find("usage: lumvek get"), std::string::npos);
    EXPECT_NE(without.out.find("add -d N or --simulate"), std::string::npos) << without.out;
}

} // namespace
} // namespace lumvek::test
