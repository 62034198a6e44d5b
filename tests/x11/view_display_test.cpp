// A window command with no X server to show it on says so and ends at once,
// instead of running unseen until killed; the off-screen picture still works.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_env.h"
#include "xvfb_server.h"

#ifdef LUMVEK_TOOL_PATH
namespace {

// Generous: the command must end by itself, not be killed by `timeout`.
constexpr int kBoundSeconds = 20;
constexpr int kKilledByTimeout = 124;

struct Outcome {
    int exitCode = -1;
    std::string err;
};

// `lumvek ARGS` with DISPLAY set to `display` ("" unsets it).
Outcome runTool(const std::string& display, const std::string& args, const std::filesystem::path& dir) {
    const std::string env = display.empty() ? "env -u DISPLAY" : "env DISPLAY=" + display;
    const std::string command = "cd '" + dir.string() + "' && " + env + " timeout " + std::to_string(kBoundSeconds) +
                                " '" LUMVEK_TOOL_PATH "' " + args + " > out.log 2> err.log";
    const int status = std::system(command.c_str());
    Outcome outcome;
    if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    std::ifstream in(dir / "err.log");
    std::stringstream text;
    text << in.rdbuf();
    outcome.err = text.str();
    return outcome;
}

// A display number whose socket does not exist: nothing listens there.
std::string absentDisplay() {
    for (int n = 990; n > 100; --n) {
        if (!std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) &&
            !std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            return ":" + std::to_string(n);
    }
    return ":999";
}

TEST(ViewWithoutDisplay, EndsWithAReasonWhenNoServerIsThere) {
    const auto dir = lumvek::test::makeTempDir("nodisplay");
    const Outcome absent = runTool(absentDisplay(), "view --simulate", dir);
    EXPECT_NE(absent.exitCode, kKilledByTimeout) << "lumvek view kept running without an X server";
    EXPECT_EQ(absent.exitCode, 1) << absent.err;
    EXPECT_NE(absent.err.find("cannot be reached"), std::string::npos) << absent.err;

    const Outcome unset = runTool("", "view --simulate", dir);
    EXPECT_EQ(unset.exitCode, 1) << unset.err;
    EXPECT_NE(unset.err.find("DISPLAY is not set"), std::string::npos) << unset.err;
}

TEST(ViewWithoutDisplay, EndsWhenTheServerDoesNotAnswer) {
    lumvek::test::XvfbServer server(640, 480);
    ASSERT_TRUE(server.ok());
    server.stop();  // accepts connections, answers nothing
    const auto dir = lumvek::test::makeTempDir("frozendisplay");
    const Outcome frozen = runTool(server.display(), "view --simulate", dir);
    server.resume();
    EXPECT_EQ(frozen.exitCode, 1) << frozen.err;
    EXPECT_NE(frozen.err.find("does not answer"), std::string::npos) << frozen.err;
}

TEST(ViewWithoutDisplay, TheOffScreenPictureNeedsNoServer) {
    const auto dir = lumvek::test::makeTempDir("offscreen");
    const std::string png = (dir / "shot.png").string();
    const Outcome shot = runTool(absentDisplay(), "view --simulate --screenshot '" + png + "' --after 0", dir);
    EXPECT_EQ(shot.exitCode, 0) << shot.err;
    EXPECT_GT(std::filesystem::file_size(png), 0u);
}

} // namespace
#endif
