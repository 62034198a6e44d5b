// The doctor's USB helpers that need no camera: finding the processes that
// hold a device node open.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <vector>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_env.h"
#include "tool_process.h"
#include "usb_checks.h"

namespace lumvek::tool {
namespace {

TEST(DoctorUsbChecks, FindsTheOtherProcessHoldingANodeButNotItself) {
    const std::string node = (test::makeTempDir("holder") / "node").string();
    std::ofstream(node) << "x";
    const int own = ::open(node.c_str(), O_RDONLY);
    ASSERT_GE(own, 0);
    EXPECT_TRUE(processesHolding(node).empty()) << "this process is not another one";
    // A child that keeps the node open while it sleeps.
    const std::string script = "exec 3<" + node + "; echo held; exec sleep 30";
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), const_cast<char*>(script.c_str()), nullptr};
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, "/bin/sh", &actions, nullptr, argv, nullptr), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char line[8] = {};
    EXPECT_GT(::read(out[0], line, sizeof line), 0);  // the node is open from here on
    // The shell may still be turning into sleep, when its command line reads
    // empty for a moment: look again until it shows, for at most 5 s.
    std::vector<NodeHolder> holders;
    for (int attempt = 0; attempt < 500; ++attempt) {
        holders = processesHolding(node);
        if (holders.size() != 1 || holders[0].command.find("sleep 30") != std::string::npos) {
            break;
        }
        ::usleep(10 * 1000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(out[0]);
    ::close(own);
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, child);
    EXPECT_NE(holders[0].command.find("sleep 30"), std::string::npos) << holders[0].command;
}

TEST(DoctorUsbChecks, AccessFixNamesTheUdevRule) {
    EXPECT_NE(accessFix("/nonexistent/node").find("60-lumvek.rules"), std::string::npos);
}

} // namespace
} // namespace lumvek::tool
