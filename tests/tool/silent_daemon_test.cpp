// A simulator daemon that stops answering (SIGSTOP) is an unplugged camera:
// every wait on it is bounded, so a program using it ends its work and fresh
// programs neither hang nor see the camera; once it runs again the camera is
// back. The bounds below are hang detectors, far above the waits involved.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kCamera = "product=0x3090,name=cam0,pattern=chart";
constexpr int kHangBoundMs = 15000;
// More connections than any listen queue holds.
constexpr int kMaxQueueFill = 4096;

// Resumes the daemon however the test ends, so that its teardown never waits
// on a stopped process.
class Stopped {
public:
    explicit Stopped(Daemon& daemon) : daemon_(daemon) { daemon_.signal(SIGSTOP); }
    ~Stopped() { resume(); }
    void resume() {
        if (!resumed_) daemon_.signal(SIGCONT);
        resumed_ = true;
    }

private:
    Daemon& daemon_;
    bool resumed_ = false;
};

// Connects to the stopped daemon's camera socket until its listen queue is
// full (what a minute of probes by running programs leads to): from then on a
// blocking connect would wait until the daemon accepts again.
std::vector<int> fillListenQueue(const std::filesystem::path& socket) {
    std::vector<int> fds;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    for (int i = 0; i < kMaxQueueFill; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            const int error = errno;
            ::close(fd);
            EXPECT_EQ(error, EAGAIN) << std::strerror(error);
            break;
        }
        fds.push_back(fd);
    }
    return fds;
}

std::filesystem::path cameraSocket(const ToolEnv& env) {
    for (const auto& entry : std::filesystem::directory_iterator(env.deviceDir())) {
        if (entry.path().extension() == ".sock" && entry.path().filename().string()[0] != '.') return entry.path();
    }
    return {};
}

TEST(ToolSilentDaemon, ARecordingEndsWithItsFramesKeptAndFreshCommandsExitWhileTheDaemonIsStopped) {
    ToolEnv env("silent");
    Daemon daemon(env, {kCamera});
    ASSERT_TRUE(daemon.ready());
    const std::filesystem::path avi = env.dir() / "cut.avi";
    Background record(LUMVEK_TOOL_PATH, {"record", "-o", avi.string(), "--ms", "60000", "--mode", "8"}, env);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) > uint64_t{2} * 2336 * 1752 * 3 && !ignored;
        },
        20000));

    Stopped stopped(daemon);
    // The recording stops (the camera is gone), finalised with what it has;
    // stopping the preview and releasing the instance do not wait on the daemon.
    const ProcessResult recorded = record.wait(kHangBoundMs);
    EXPECT_NE(recorded.exitCode, -1) << "record still running with the daemon stopped";
    EXPECT_NE(recorded.exitCode, 0) << recorded.out;
    EXPECT_GE(finalisedAviFrames(avi), 2u);

    const std::vector<int> queued = fillListenQueue(cameraSocket(env));
    EXPECT_FALSE(queued.empty());
    const ProcessResult list = lumvek({"list"}, env, kHangBoundMs);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("no camera found"), std::string::npos) << list.out;
    const ProcessResult snap = lumvek({"snap", "-o", (env.dir() / "s.bmp").string()}, env, kHangBoundMs);
    EXPECT_NE(snap.exitCode, -1) << "snap hung on the stopped daemon";
    EXPECT_NE(snap.exitCode, 0);
    const ProcessResult doctor = lumvek({"doctor"}, env, kHangBoundMs);
    EXPECT_NE(doctor.exitCode, -1) << "doctor hung on the stopped daemon";
    for (const int fd : queued) ::close(fd);

    // Running again, the daemon serves the camera as before.
    stopped.resume();
    const ProcessResult again = lumvek({"snap", "-o", (env.dir() / "again.bmp").string()}, env);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(signatureOf(readFile(env.dir() / "again.bmp")), "bmp");
}

} // namespace
} // namespace lumvek::test
