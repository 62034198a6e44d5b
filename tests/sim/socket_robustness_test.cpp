// The socket backend and the camera server facing garbage from each other,
// the LUMVEK_SIM_CAMERAS hook, and arrival/removal of socket cameras.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/socket_io.h"
#include "platform/fx3/socket_wire.h"
#include "platform/sync/event.h"
#include "sim/camera_server.h"
#include "sim/in_process_camera.h"
#include "support/test_env.h"
#include "camera_link.h"

namespace lumvek::sim {
namespace {

using test::CameraLink;
namespace wire = fx3::wire;

std::unique_ptr<CameraServer> serve(const std::string& specText) {
    CameraDescription description;
    std::string error;
    EXPECT_TRUE(parseCameraDescription(specText, description, error)) << error;
    std::shared_ptr<SimulatedCamera> camera = SimulatedCamera::create(description, error);
    EXPECT_NE(camera, nullptr) << error;
    auto server = CameraServer::start(camera, wire::deviceDirectory(), error);
    EXPECT_NE(server, nullptr) << error;
    return server;
}

void sendFrame(int fd, wire::Frame frame) {
    uint8_t raw[wire::kFrameBytes];
    wire::encodeFrame(frame, raw);
    ASSERT_TRUE(fx3::sockio::sendAll(fd, raw, sizeof raw));
}

TEST(SocketRobustness, ServerDropsGarbageConnectionsAndKeepsServing) {
    auto server = serve("product=0x3050,name=garbage,pattern=black,fps=500");
    const std::vector<std::vector<wire::Frame>> attacks = {
        {{99, 0, 0, 0}},                                   // unknown operation
        {{2, 0x81, 0xFFFFFFFF, 0}},                        // bulk larger than any transfer
        {{1, 0, 0, 0}},                                    // control without its 102 bytes, then hang up
        {{7, 0, 0, 0}, {7, 0, 0, 0}, {2, 0x81, 64, 10}},   // attach twice, read with nothing armed
    };
    for (const auto& frames : attacks) {
        const int fd = fx3::sockio::connectUnix(server->socketPath());
        ASSERT_GE(fd, 0);
        for (const auto& frame : frames) sendFrame(fd, frame);
        ::shutdown(fd, SHUT_WR);
        char sink[256];
        while (::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        ::close(fd);
    }
    CameraLink link(fx3::formatDevicePath(0x04b4, 0x3050, "garbage"));
    link.setWindow(16, 2, 1);
    EXPECT_TRUE(link.readFrame());
}

// A fake daemon on a socket file that answers attach without a buffer, then
// replies to every request with what `reply` makes of it.
class FakeDaemon {
public:
    using Reply = std::function<void(int fd, const wire::Frame& request)>;
    FakeDaemon(const std::string& name, Reply reply) : reply_(std::move(reply)) {
        path_ = wire::deviceDirectory() + "/" + wire::socketFileName(0x04b4, 0x3090, name);
        devicePath_ = fx3::formatDevicePath(0x04b4, 0x3090, name);
        listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listen_, 8), 0);
        thread_ = std::thread([this] { run(); });
    }
    ~FakeDaemon() {
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        thread_.join();
        ::unlink(path_.c_str());
    }
    const std::string& devicePath() const { return devicePath_; }

private:
    void run() {
        for (;;) {
            const int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0) return;
            uint8_t raw[wire::kFrameBytes + fx3::kControlRequestBytes];
            // A client left waiting on a short reply gives up when this side hangs up.
            while (fx3::sockio::recvAll(fd, raw, wire::kFrameBytes, 200) == fx3::sockio::IoStatus::Ok) {
                const wire::Frame request = wire::decodeFrame(raw);
                if (request.op == 1 &&
                    fx3::sockio::recvAll(fd, raw, fx3::kControlRequestBytes, 2000) != fx3::sockio::IoStatus::Ok) {
                    break;
                }
                if (request.op == 7) {
                    uint8_t ok[wire::kFrameBytes];
                    wire::encodeFrame({7, 0, 0, 0}, ok);
                    (void)fx3::sockio::sendAll(fd, ok, sizeof ok);
                    continue;
                }
                reply_(fd, request);
            }
            ::close(fd);
        }
    }
    Reply reply_;
    std::string path_, devicePath_;
    int listen_ = -1;
    std::thread thread_;
};

TEST(SocketRobustness, ClientRefusesLyingReplies) {
    const std::vector<std::pair<std::string, FakeDaemon::Reply>> liars = {
        {"wrongop", [](int fd, const wire::Frame&) { sendFrame(fd, {5, 1, 0, 0}); }},
        {"toomany", [](int fd, const wire::Frame& r) { sendFrame(fd, {r.op, 0, r.b + 1000, 0}); }},
        {"noshared", [](int fd, const wire::Frame& r) { sendFrame(fd, {r.op, 0, 16, wire::kDataInSharedBuffer}); }},
        {"ctl65", [](int fd, const wire::Frame& r) { sendFrame(fd, {r.op, 1, 65, 0}); }},
        {"hangup", [](int fd, const wire::Frame&) { ::shutdown(fd, SHUT_RDWR); }},
        {"halfreply", [](int fd, const wire::Frame& r) {
             uint8_t raw[8];
             wire::Frame f{r.op, 0, 0, 0};
             uint8_t full[wire::kFrameBytes];
             wire::encodeFrame(f, full);
             std::memcpy(raw, full, sizeof raw);
             (void)fx3::sockio::sendAll(fd, raw, sizeof raw);
             ::shutdown(fd, SHUT_RDWR);
         }},
    };
    for (const auto& [name, reply] : liars) {
        FakeDaemon daemon(name, reply);
        CameraLink link(daemon.devicePath());
        EXPECT_FALSE(link.writeFpga(1, 1)) << name;
        uint8_t buffer[64];
        const auto read = link.readDirect(0x81, buffer, sizeof buffer, 3000);
        EXPECT_FALSE(read.ok && read.bytes > sizeof buffer) << name;
        EXPECT_FALSE(read.ok) << name;
    }
}

TEST(SocketDeviceChanges, SocketCamerasArriveAndLeave) {
    std::mutex mutex;
    std::vector<std::pair<fx3::DeviceChange, std::string>> seen;
    platform::Event arrived(platform::Event::Reset::Manual), removed(platform::Event::Reset::Manual);
    const std::string path = fx3::formatDevicePath(0x04b4, 0x3090, "hotplug");
    const int id = fx3::subscribeDeviceChanges([&](fx3::DeviceChange change, const std::string& p) {
        if (p != path) return;
        std::lock_guard lock(mutex);
        seen.emplace_back(change, p);
        (change == fx3::DeviceChange::Arrival ? arrived : removed).set();
    });
    ASSERT_NE(id, 0);
    // The watcher may start after the first event; replug until it has seen one.
    auto server = serve("product=0x3090,name=hotplug,pattern=black");
    for (int i = 0; i < 100 && !arrived.wait(50); ++i) {
        server->unplug();
        server->replug();
    }
    ASSERT_TRUE(arrived.isSet());
    server->unplug();
    ASSERT_TRUE(removed.wait(5000));
    fx3::unsubscribeDeviceChanges(id);
}

TEST(SimEnvironmentCameras, SpecListCreatesInProcessCamerasAtFirstUse) {
    // The factory runs once per process, so this runs in a child of its own.
    const pid_t child = fork();
    if (child == 0) {
        setenv("LUMVEK_SIM_CAMERAS", "product=0x3090,name=env1;product=0x3050,name=env2,pattern=ramp;bad=1", 1);
        installInProcessFactory();
        const auto paths = fx3::enumerateDeviceInterfaces(fx3::kCameraInterfaceGuid);
        const bool one = std::count(paths.begin(), paths.end(), fx3::formatDevicePath(0x04b4, 0x3090, "env1")) == 1;
        const bool two = std::count(paths.begin(), paths.end(), fx3::formatDevicePath(0x04b4, 0x3050, "env2")) == 1;
        CameraLink link(fx3::formatDevicePath(0x04b4, 0x3050, "env2"));
        link.setWindow(8, 1, 1);
        const bool frame = link.readFrame().has_value();
        link.closeStream();
        _exit(one && two && frame ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace
} // namespace lumvek::sim
