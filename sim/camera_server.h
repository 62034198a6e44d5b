#pragma once
// Serves one simulated camera on a Unix socket in a device directory (the
// socket protocol of platform/fx3/socket_wire.h): a listening socket named
// <vid>_<pid>_<name>.sock that the driver stand-in's socket backend opens,
// and a control socket .ctl-<name>.sock that takes one text command per
// connection ("unplug", "replug", "fault KEY=VALUE") and answers "ok" or
// "error: ...".
//
//   auto server = sim::CameraServer::start(camera, "/run/user/1000/lumvek-devices", error);
//   server->unplug();   // socket file gone, open connections closed
//   server.reset();     // stops serving, removes both socket files
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

#include "sim/simulated_camera.h"

namespace lumvek::sim {

class CameraServer {
public:
    [[nodiscard]] static std::unique_ptr<CameraServer> start(std::shared_ptr<SimulatedCamera> camera,
                                                             const std::string& directory, std::string& error);
    ~CameraServer();
    CameraServer(const CameraServer&) = delete;
    CameraServer& operator=(const CameraServer&) = delete;

    void unplug();
    void replug();
    [[nodiscard]] const std::string& socketPath() const { return socketPath_; }
    [[nodiscard]] const std::string& controlPath() const { return controlPath_; }
    [[nodiscard]] SimulatedCamera& camera() { return *camera_; }

    // Runs one text command as the control socket would; returns the reply line.
    std::string command(const std::string& line);

private:
    CameraServer(std::shared_ptr<SimulatedCamera> camera, std::string directory);
    bool listenDevice(std::string& error);
    void closeDeviceListener();
    void acceptLoop();
    // Serves one client connection; its first request must be a granted claim.
    void serveConnection(int fd, pid_t peer);
    void serveClaimed(int fd);
    void serveControl(int fd);
    void dropConnections();

    std::shared_ptr<SimulatedCamera> camera_;
    const std::string directory_;
    std::string socketPath_;
    std::string controlPath_;
    int controlFd_ = -1;
    int wakeFd_ = -1;  // eventfd that wakes the accept loop
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;

    struct Connection {
        int fd = -1;
        pid_t peer = 0;  // the connecting process
        std::thread thread;
        std::atomic<bool> done{false};
    };
    // One process uses the camera at a time: the first to claim it holds it
    // while any of its connections lives.
    [[nodiscard]] bool claim(pid_t peer);
    void unclaim();
    [[nodiscard]] pid_t holder();  // the process holding the camera, 0 when free
    std::mutex mutex_;  // guards deviceFd_ and connections_
    std::mutex claimMutex_;  // guards claimedBy_ and claims_
    pid_t claimedBy_ = 0;
    int claims_ = 0;
    int deviceFd_ = -1;
    std::list<Connection> connections_;
};

} // namespace lumvek::sim
