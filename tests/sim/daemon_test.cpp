// lumvek-camsim end to end: the real daemon binary, reached through the
// driver stand-in's socket backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/socket_backend.h"
#include "support/camsim_process.h"
#include "support/test_env.h"
#include "camera_link.h"

extern char** environ;

namespace lumvek::sim {
namespace {

using test::CameraLink;

constexpr int kReadyTimeoutMs = 10000;

struct RunResult {
    int exitCode = -1;
    std::string standardError;
};

// Runs the daemon binary with `args`; collects its exit code and stderr.
RunResult runToEnd(const std::vector<std::string>& args) {
    int errPipe[2];
    EXPECT_EQ(pipe(errPipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> argv{const_cast<char*>(LUMVEK_CAMSIM_PATH)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, LUMVEK_CAMSIM_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    RunResult result;
    char buffer[256];
    ssize_t n;
    while ((n = read(errPipe[0], buffer, sizeof buffer)) > 0) result.standardError.append(buffer, n);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A running daemon serving in the test's device directory.
class Daemon {
public:
    explicit Daemon(const std::vector<std::string>& cameras)
        : dir_(std::getenv("LUMVEK_DEVICE_DIR")), process_(LUMVEK_CAMSIM_PATH, cameras) {}
    bool waitReady() { return process_.waitReady(kReadyTimeoutMs); }
    int terminate(int signal) { return process_.terminate(signal); }
    void signal(int number) { process_.signal(number); }
    void killNow() { process_.killNow(); }
    int ctl(const std::vector<std::string>& args) {
        std::vector<std::string> all{"ctl", "--dir", dir_};
        all.insert(all.end(), args.begin(), args.end());
        return runToEnd(all).exitCode;
    }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
    lumvek::test::CamsimProcess process_;
};

std::vector<std::string> present() {
    return fx3::enumerateDeviceInterfaces(fx3::kCameraInterfaceGuid);
}

bool isPresent(const std::string& path) {
    const auto paths = present();
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

TEST(CamsimDaemon, ArgumentErrorsExitTwoWithOneLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--camera"}, {"--camera", "product=zz"}, {"--camera", "name=a", "--camera", "name=a"},
          {"--bogus"}, {"--camera", "name=a,pattern=plaid"}, {"ctl", "--dir", "/tmp", "explode", "x"}}) {
        const RunResult result = runToEnd(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1)
            << result.standardError;
    }
}

TEST(CamsimDaemon, ServesCamerasUntilSigtermThenRemovesSockets) {
    Daemon daemon({"product=0x3090,name=r13a,pattern=ramp,fps=200", "product=0x3090,name=r13b,fps=200",
                   "product=0x3050,name=other,pattern=ramp,fps=200"});
    ASSERT_TRUE(daemon.waitReady());
    const std::string a = fx3::formatDevicePath(0x04b4, 0x3090, "r13a");
    const std::string other = fx3::formatDevicePath(0x04b4, 0x3050, "other");
    EXPECT_TRUE(isPresent(a));
    EXPECT_TRUE(isPresent(other));
    CameraLink link(a);
    link.setWindow(320, 10, 2);
    EXPECT_EQ(link.readFpga(0x44), 320 & 0xFF);
    ASSERT_TRUE(link.readFrame());
    EXPECT_EQ(link.readFrame()->size(), 320u * 10u * 2u);
    // The generic sensor sends the ramp as it is.
    CameraLink otherLink(other);
    otherLink.setWindow(320, 10, 2);
    const auto frame = otherLink.readFrame();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->size(), 320u * 10u * 2u);
    EXPECT_EQ((*frame)[0] | ((*frame)[1] << 8), 0);
    EXPECT_EQ((*frame)[638] | ((*frame)[639] << 8), 65535);
    otherLink.closeStream();
    uint8_t speed[4] = {};
    fx3::DeviceHandle handle = fx3::openDevice(other, false);
    ASSERT_NE(handle, nullptr);
    uint32_t returned = 0;
    EXPECT_TRUE(fx3::deviceIoControl(handle, fx3::kIoctlLinkSpeed, speed, 4, speed, 4, &returned, nullptr));
    EXPECT_EQ(speed[0], 4);
    fx3::closeHandle(handle);
    link.closeStream();
    EXPECT_EQ(daemon.terminate(SIGTERM), 0);
    EXPECT_TRUE(present().empty());
    EXPECT_EQ(fx3::openDevice(a, false), nullptr);
}

TEST(CamsimDaemon, TwoProcessesReadFramesAtOnce) {
    Daemon daemon({"product=0x3090,name=shared1,pattern=black,fps=100", "product=0x3090,name=shared2,fps=100"});
    ASSERT_TRUE(daemon.waitReady());
    const std::string first = fx3::formatDevicePath(0x04b4, 0x3090, "shared1");
    const std::string second = fx3::formatDevicePath(0x04b4, 0x3090, "shared2");
    const pid_t child = fork();
    if (child == 0) {
        CameraLink link(second);
        int ok = 0;
        for (int i = 0; i < 3; ++i) ok += link.readFrame().has_value() ? 1 : 0;
        _exit(ok == 3 ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    CameraLink link(first);
    int frames = 0;
    for (int i = 0; i < 3; ++i) frames += link.readFrame().has_value() ? 1 : 0;
    EXPECT_EQ(frames, 3);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CamsimDaemon, CtlUnplugReplugAndFaultsAtRunTime) {
    Daemon daemon({"product=0x3090,name=plug,pattern=black,fps=200"});
    ASSERT_TRUE(daemon.waitReady());
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "plug");
    CameraLink link(path);
    link.setWindow(16, 2, 1);
    ASSERT_TRUE(link.openStream());
    EXPECT_EQ(daemon.ctl({"unplug", "plug"}), 0);
    EXPECT_FALSE(isPresent(path));
    EXPECT_FALSE(link.arm());  // the open stream connection is gone too
    link.closeStream();
    EXPECT_EQ(daemon.ctl({"replug", "plug"}), 0);
    EXPECT_TRUE(isPresent(path));
    EXPECT_TRUE(link.readFrame());
    EXPECT_EQ(daemon.ctl({"fault", "plug", "fail-control=1"}), 0);
    EXPECT_FALSE(link.writeFpga(1, 1));
    EXPECT_TRUE(link.writeFpga(1, 1));
    EXPECT_EQ(daemon.ctl({"fault", "plug", "drop-headers=1"}), 0);
    EXPECT_FALSE(link.readHeader(80));
    EXPECT_TRUE(link.readHeader(1000));
    EXPECT_EQ(daemon.ctl({"fault", "plug", "nonsense=1"}), 1);
    EXPECT_EQ(daemon.ctl({"unplug", "nobody"}), 1);
}

TEST(CamsimDaemon, AbortEndsAPendingSocketRead) {
    Daemon daemon({"product=0x3090,name=abortme,pattern=black,fps=200"});
    ASSERT_TRUE(daemon.waitReady());
    CameraLink link(fx3::formatDevicePath(0x04b4, 0x3090, "abortme"));
    uint8_t buffer[64];
    // Nothing armed: the read waits, the timed wait aborts it.
    const auto read = link.readDirect(0x81, buffer, 64, 50);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.error, fx3::kErrorOperationAborted);
    // The connection is still good afterwards.
    EXPECT_TRUE(link.readHeader(1000));
}

TEST(CamsimDaemon, KillingTheDaemonMidTransferFailsRequestsWithoutHanging) {
    Daemon daemon({"product=0x3090,name=victim,pattern=black,fps=200,rate=20"});
    ASSERT_TRUE(daemon.waitReady());
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "victim");
    CameraLink link(path);
    link.setWindow(2336, 1752, 2);
    ASSERT_TRUE(link.readHeader(1000));
    ASSERT_TRUE(link.openStream());
    // A big read that the 20 MB/s cap keeps in flight for ~400 ms.
    std::vector<uint8_t> pixels(0x800000);
    uint8_t header[fx3::kRequestHeaderBytes];
    (void)fx3::encodeHeader(fx3::makeDirectTransferHeader(0x81), header);
    platform::Event event(platform::Event::Reset::Manual);
    fx3::Overlapped overlapped;
    overlapped.event = &event;
    const bool done = fx3::deviceIoControl(link.stream(), fx3::kIoctlDirectTransfer, header, sizeof header,
                                           pixels.data(), static_cast<uint32_t>(pixels.size()), nullptr, &overlapped);
    ASSERT_FALSE(done);
    ASSERT_EQ(fx3::getLastError(), fx3::kErrorIoPending);
    daemon.killNow();
    ASSERT_TRUE(event.wait(5000));
    uint32_t transferred = 0;
    EXPECT_FALSE(fx3::getOverlappedResult(link.stream(), &overlapped, &transferred, false));
    EXPECT_EQ(transferred, 0u);
    // Later requests fail at once; the stale socket no longer opens.
    EXPECT_FALSE(link.arm());
    link.closeStream();
    EXPECT_EQ(fx3::openDevice(path, false), nullptr);
    EXPECT_FALSE(link.writeFpga(1, 1));
}

TEST(CamsimDaemon, AKilledDaemonIsReportedAsRemoval) {
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "mortal");
    platform::Event arrived(platform::Event::Reset::Manual), removed(platform::Event::Reset::Manual);
    const int id = fx3::subscribeDeviceChanges([&](fx3::DeviceChange change, const std::string& p) {
        if (p == path) (change == fx3::DeviceChange::Arrival ? arrived : removed).set();
    });
    Daemon daemon({"product=0x3090,name=mortal"});
    ASSERT_TRUE(daemon.waitReady());
    EXPECT_TRUE(arrived.wait(5000));
    daemon.killNow();  // its socket file stays behind
    EXPECT_TRUE(removed.wait(5000));
    fx3::unsubscribeDeviceChanges(id);
}

// A daemon that stops answering (SIGSTOP) is an unplugged camera: the watch
// reports its removal, its path is no longer listed and does not open, and
// each of those returns although the daemon never will; running again, it
// is reported as arrived and opens.
TEST(CamsimDaemon, AStoppedDaemonIsReportedAsRemovalAndBackAsArrival) {
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "sleeper");
    platform::Event arrived(platform::Event::Reset::Manual), removed(platform::Event::Reset::Manual);
    const int id = fx3::subscribeDeviceChanges([&](fx3::DeviceChange change, const std::string& p) {
        if (p == path) (change == fx3::DeviceChange::Arrival ? arrived : removed).set();
    });
    Daemon daemon({"product=0x3090,name=sleeper"});
    ASSERT_TRUE(daemon.waitReady());
    ASSERT_TRUE(arrived.wait(5000));
    arrived.reset();
    daemon.signal(SIGSTOP);
    EXPECT_TRUE(removed.wait(10000));
    // Hang detectors: the calls below would wait for ever on a blocking socket.
    platform::Event answered(platform::Event::Reset::Manual);
    bool listed = true;
    bool opened = true;
    std::thread caller([&] {
        listed = isPresent(path);
        fx3::DeviceHandle handle = fx3::openDevice(path, false);
        opened = handle != nullptr;
        if (handle != nullptr) fx3::closeHandle(handle);
        answered.set();
    });
    const bool returned = answered.wait(10000);
    daemon.signal(SIGCONT);
    caller.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(listed);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(arrived.wait(10000));
    fx3::DeviceHandle handle = fx3::openDevice(path, false);
    EXPECT_NE(handle, nullptr);
    if (handle != nullptr) fx3::closeHandle(handle);
    fx3::unsubscribeDeviceChanges(id);
}

// Unix sockets this process has open (its connections to the daemon).
int openSockets() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().rfind("socket:", 0) == 0) ++count;
    }
    return count;
}

// Polls the daemon until it names no holder of the camera (its connection
// threads notice a closed connection on their own time); false after boundMs.
bool daemonLetsGo(const std::string& devicePath, int boundMs) {
    const std::string socket = fx3::socketPathOf(devicePath);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const fx3::SocketCameraAnswer answer = fx3::querySocketCamera(socket);
        if (answer.answered && answer.holderPid == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool writeFpgaOnOwnHandle(const std::string& path, const void* holder, uint8_t reg, uint8_t value) {
    fx3::DeviceHandle handle = fx3::openDevice(path, false, holder);
    if (handle == nullptr) return false;
    const uint8_t data[3] = {reg, 0, value};
    fx3::ControlRequestBuffer buffer = fx3::makeControlRequest(fx3::kRequestTypeVendorOut, 0x30, 3, 0x40, data);
    uint32_t returned = 0;
    const bool ok = fx3::deviceIoControl(handle, fx3::kIoctlControlTransfer, buffer.data(),
                                         static_cast<uint32_t>(buffer.size()), buffer.data(),
                                         static_cast<uint32_t>(buffer.size()), &returned, nullptr);
    fx3::closeHandle(handle);
    return ok;
}

// Request handles of a holder that keeps the camera open (the controller's
// claim handle) share a few connections instead of making one each; the
// last handle's close ends them all, so the camera is free for others.
TEST(CamsimDaemonConnections, RequestHandlesOfAClaimedCameraShareConnections) {
    Daemon daemon({"product=0x3090,name=reuse,pattern=black,fps=200"});
    ASSERT_TRUE(daemon.waitReady());
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "reuse");
    const int holder = 0;
    const int before = openSockets();
    fx3::DeviceHandle claim = fx3::openDevice(path, false, &holder);
    ASSERT_NE(claim, nullptr);
    ASSERT_TRUE(writeFpgaOnOwnHandle(path, &holder, 1, 1));
    const int kept = openSockets();
    EXPECT_EQ(kept, before + 2);  // the claim handle's and one kept for the next request
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(writeFpgaOnOwnHandle(path, &holder, 1, static_cast<uint8_t>(i)));
    }
    EXPECT_EQ(openSockets(), kept);
    // Another holder of this process is still refused while the camera is held.
    const int other = 0;
    EXPECT_EQ(fx3::openDevice(path, false, &other), nullptr);
    fx3::closeHandle(claim);
    EXPECT_EQ(openSockets(), before);
    EXPECT_TRUE(daemonLetsGo(path, 5000));
    EXPECT_TRUE(writeFpgaOnOwnHandle(path, &other, 1, 1));
}

// A kept connection of an unplugged camera is never handed out again: after
// the replug the next request reaches the camera on a new connection.
TEST(CamsimDaemonConnections, AKeptConnectionOfAnUnpluggedCameraIsNotReused) {
    Daemon daemon({"product=0x3090,name=replugged,pattern=black,fps=200"});
    ASSERT_TRUE(daemon.waitReady());
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "replugged");
    const int holder = 0;
    fx3::DeviceHandle claim = fx3::openDevice(path, false, &holder);
    ASSERT_NE(claim, nullptr);
    ASSERT_TRUE(writeFpgaOnOwnHandle(path, &holder, 1, 1));  // leaves one connection kept
    ASSERT_EQ(daemon.ctl({"unplug", "replugged"}), 0);
    ASSERT_EQ(daemon.ctl({"replug", "replugged"}), 0);
    EXPECT_TRUE(writeFpgaOnOwnHandle(path, &holder, 1, 3));
    CameraLink link(path);
    fx3::closeHandle(claim);
    EXPECT_EQ(link.readFpga(1), 3);
}

} // namespace
} // namespace lumvek::sim
