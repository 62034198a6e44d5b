#include "sim/camera_server.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/socket_io.h"
#include "platform/fx3/socket_wire.h"
#include "platform/log/log.h"
#include "platform/sync/thread_priority.h"
#include "sim/control_socket.h"

namespace lumvek::sim {

namespace {
namespace wire = fx3::wire;
namespace sockio = fx3::sockio;

constexpr uint32_t kCommandTimeoutMs = 2000;

bool recvFrame(int fd, wire::Frame& frame, const std::atomic<bool>& stopping) {
    uint8_t raw[wire::kFrameBytes];
    if (sockio::recvAll(fd, raw, sizeof raw, sockio::kNoLimit, [&] { return stopping.load(); }) !=
        sockio::IoStatus::Ok) {
        return false;
    }
    frame = wire::decodeFrame(raw);
    return true;
}

// The connection's shared bulk buffer: a memfd sealed against resizing, so
// the client can map it safely.
struct SharedBuffer {
    int memfd = -1;
    uint8_t* data = nullptr;
    ~SharedBuffer() { release(); }
    void release() {
        if (data != nullptr) ::munmap(data, wire::kSharedBufferBytes);
        if (memfd >= 0) ::close(memfd);
        data = nullptr;
        memfd = -1;
    }
    bool create() {
        memfd = ::memfd_create("lumvek-bulk", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (memfd < 0 || ::ftruncate(memfd, wire::kSharedBufferBytes) != 0 ||
            ::fcntl(memfd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
            return false;
        }
        void* mapped = ::mmap(nullptr, wire::kSharedBufferBytes, PROT_READ | PROT_WRITE, MAP_SHARED, memfd, 0);
        if (mapped == MAP_FAILED) {
            return false;
        }
        data = static_cast<uint8_t*>(mapped);
        return true;
    }
};

bool sendFrame(int fd, const wire::Frame& frame) {
    uint8_t raw[wire::kFrameBytes];
    wire::encodeFrame(frame, raw);
    return sockio::sendAll(fd, raw, sizeof raw);
}
} // namespace

std::unique_ptr<CameraServer> CameraServer::start(std::shared_ptr<SimulatedCamera> camera,
                                                  const std::string& directory, std::string& error) {
    std::unique_ptr<CameraServer> server(new CameraServer(std::move(camera), directory));
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    server->controlFd_ = listenUnix(server->controlPath_, error);
    if (server->controlFd_ < 0) {
        return nullptr;
    }
    if (server->camera_->connected() && !server->listenDevice(error)) {
        return nullptr;
    }
    server->wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    server->acceptThread_ = std::thread([s = server.get()] { s->acceptLoop(); });
    return server;
}

CameraServer::CameraServer(std::shared_ptr<SimulatedCamera> camera, std::string directory)
    : camera_(std::move(camera)), directory_(std::move(directory)) {
    const CameraDescription& description = camera_->description();
    socketPath_ = directory_ + "/" + wire::socketFileName(description.vendorId, description.productId, description.name);
    controlPath_ = directory_ + "/.ctl-" + description.name + ".sock";
}

CameraServer::~CameraServer() {
    stopping_ = true;
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        (void)::write(wakeFd_, &one, sizeof one);
    }
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    closeDeviceListener();
    camera_->unplug();  // ends reads in flight
    dropConnections();
    if (controlFd_ >= 0) {
        ::close(controlFd_);
        ::unlink(controlPath_.c_str());
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

bool CameraServer::listenDevice(std::string& error) {
    std::lock_guard lock(mutex_);
    if (deviceFd_ >= 0) {
        return true;
    }
    deviceFd_ = listenUnix(socketPath_, error);
    return deviceFd_ >= 0;
}

void CameraServer::closeDeviceListener() {
    std::lock_guard lock(mutex_);
    if (deviceFd_ >= 0) {
        ::unlink(socketPath_.c_str());
        ::close(deviceFd_);
        deviceFd_ = -1;
    }
}

void CameraServer::dropConnections() {
    std::list<Connection> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto& connection : connections_) {
            ::shutdown(connection.fd, SHUT_RDWR);
        }
        finished.splice(finished.end(), connections_);
    }
    for (auto& connection : finished) {
        if (connection.thread.joinable()) {
            connection.thread.join();
        }
        ::close(connection.fd);
    }
}

void CameraServer::unplug() {
    camera_->unplug();
    closeDeviceListener();
    dropConnections();
}

void CameraServer::replug() {
    camera_->replug();
    std::string error;
    if (!listenDevice(error)) {
        platform::logf(platform::LogCategory::Sim, "replug: %s", error.c_str());
    }
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        (void)::write(wakeFd_, &one, sizeof one);  // the accept loop picks up the new listener
    }
}

std::string CameraServer::command(const std::string& line) {
    return runControlCommand(line, camera_->faults(), [this] { unplug(); }, [this] { replug(); });
}

void CameraServer::acceptLoop() {
    while (!stopping_) {
        int deviceFd = -1;
        {
            std::lock_guard lock(mutex_);
            deviceFd = deviceFd_;
            // Reap connections whose clients have gone.
            for (auto it = connections_.begin(); it != connections_.end();) {
                if (it->done) {
                    it->thread.join();
                    ::close(it->fd);
                    it = connections_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {controlFd_, POLLIN, 0}, {deviceFd, POLLIN, 0}};
        const int count = deviceFd >= 0 ? 3 : 2;
        if (::poll(fds, static_cast<nfds_t>(count), 200) <= 0) {
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            uint64_t value = 0;
            (void)::read(wakeFd_, &value, sizeof value);
        }
        if ((fds[1].revents & POLLIN) != 0) {
            const int fd = ::accept4(controlFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                serveControl(fd);  // short: one line in, one line out
                ::close(fd);
            }
        }
        if (count == 3 && (fds[2].revents & POLLIN) != 0) {
            std::lock_guard lock(mutex_);
            if (deviceFd_ != deviceFd) {
                continue;  // unplugged meanwhile
            }
            const int fd = ::accept4(deviceFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            sockio::setBulkBuffers(fd);
            ucred credentials{};
            socklen_t length = sizeof credentials;
            if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
                ::close(fd);
                continue;
            }
            auto& connection = connections_.emplace_back();
            connection.fd = fd;
            connection.peer = credentials.pid;
            connection.thread = std::thread([this, &connection] {
                serveConnection(connection.fd, connection.peer);
                connection.done = true;
            });
        }
    }
}

void CameraServer::serveControl(int fd) {
    serveControlLine(fd, [this](const std::string& line) { return command(line); });
}

bool CameraServer::claim(pid_t peer) {
    std::lock_guard lock(claimMutex_);
    if (claims_ > 0 && claimedBy_ != peer) {
        return false;
    }
    claimedBy_ = peer;
    ++claims_;
    return true;
}

pid_t CameraServer::holder() {
    std::lock_guard lock(claimMutex_);
    return claims_ > 0 ? claimedBy_ : 0;
}

void CameraServer::unclaim() {
    std::lock_guard lock(claimMutex_);
    if (--claims_ == 0) {
        claimedBy_ = 0;
    }
}

void CameraServer::serveConnection(int fd, pid_t peer) {
    // A camera's frame boundaries come from its own clock, whatever the host
    // is doing: the thread that releases headers and data at those boundaries
    // runs ahead of ordinary work where the system allows it. Left at normal
    // priority, a host busy processing frames on every core wakes it tens of
    // milliseconds late, and the client's 100 ms header read gives up on a
    // frame the camera would have sent in time.
    platform::raiseCurrentThreadToTimeCritical();
    wire::Frame frame;
    if (stopping_ || !recvFrame(fd, frame, stopping_)) {
        return;
    }
    if (frame.op == static_cast<uint32_t>(wire::Op::Query)) {
        (void)sendFrame(fd, {frame.op, static_cast<uint32_t>(holder()), 0, 0});
        return;
    }
    if (frame.op != static_cast<uint32_t>(wire::Op::Claim)) {
        return;  // every other connection begins with its claim
    }
    const bool granted = claim(peer);
    if (!sendFrame(fd, {frame.op, granted ? 1u : 0u, granted ? 0u : static_cast<uint32_t>(holder()), 0}) ||
        !granted) {
        if (granted) {
            unclaim();
        }
        return;
    }
    serveClaimed(fd);
    unclaim();
}

void CameraServer::serveClaimed(int fd) {
    std::vector<uint8_t> buffer;
    SharedBuffer shared;
    wire::Frame frame;
    while (!stopping_ && recvFrame(fd, frame, stopping_)) {
        switch (static_cast<wire::Op>(frame.op)) {
        case wire::Op::Control: {
            uint8_t request[fx3::kControlRequestBytes];
            if (sockio::recvAll(fd, request, sizeof request, kCommandTimeoutMs) != sockio::IoStatus::Ok) {
                return;
            }
            fx3::RequestHeader header;
            (void)fx3::decodeHeader(request, header);
            std::span<uint8_t, fx3::kControlDataBytes> data(request + fx3::kRequestHeaderBytes,
                                                            fx3::kControlDataBytes);
            const fx3::ControlResult result = camera_->controlTransfer(header, data);
            uint8_t reply[wire::kFrameBytes + fx3::kControlDataBytes];
            wire::encodeFrame({frame.op, result.ok ? 1u : 0u, std::min<uint32_t>(result.dataBytes, 64), 0}, reply);
            std::memcpy(reply + wire::kFrameBytes, data.data(), fx3::kControlDataBytes);
            if (!sockio::sendAll(fd, reply, sizeof reply)) {
                return;
            }
            break;
        }
        case wire::Op::Bulk: {
            if (frame.b > fx3::kMaxDataTransferBytes) {
                if (!sendFrame(fd, {frame.op, fx3::kErrorInvalidParameter, 0, 0})) return;
                break;
            }
            const bool inShared = shared.data != nullptr;
            if (!inShared && buffer.size() < frame.b) {
                buffer.resize(frame.b);
            }
            uint8_t* target = inShared ? shared.data : buffer.data();
            fx3::CancelToken cancel;
            // Anything arriving from the client while the read waits is an
            // abort (or the client is gone): end the read.
            cancel.setProbe([this, fd] { return stopping_.load() || sockio::peerHasSpoken(fd); });
            const fx3::BulkResult result =
                camera_->bulkRead(static_cast<uint8_t>(frame.a), std::span<uint8_t>(target, frame.b), frame.c, cancel);
            const uint32_t bytes = result.error == fx3::kErrorSuccess ? std::min(result.bytes, frame.b) : 0;
            uint8_t raw[wire::kFrameBytes];
            wire::encodeFrame({frame.op, result.error, bytes, inShared ? wire::kDataInSharedBuffer : 0}, raw);
            iovec vectors[2] = {{raw, sizeof raw}, {target, bytes}};
            if (!sockio::sendAll(fd, vectors, bytes > 0 && !inShared ? 2 : 1)) {
                return;
            }
            break;
        }
        case wire::Op::Attach: {
            if (shared.data == nullptr && !shared.create()) {
                shared.release();
                if (!sendFrame(fd, {frame.op, 0, 0, 0})) return;  // no buffer: data goes through the stream
                break;
            }
            uint8_t raw[wire::kFrameBytes];
            wire::encodeFrame({frame.op, wire::kSharedBufferBytes, 0, 0}, raw);
            if (!sockio::sendWithFd(fd, raw, sizeof raw, shared.memfd)) return;
            break;
        }
        case wire::Op::ResetPipe:
            if (!sendFrame(fd, {frame.op, camera_->resetPipe(static_cast<uint8_t>(frame.a)) ? 1u : 0u, 0, 0})) return;
            break;
        case wire::Op::ResetPort:
            if (!sendFrame(fd, {frame.op, camera_->resetPort() ? 1u : 0u, 0, 0})) return;
            break;
        case wire::Op::Speed:
            if (!sendFrame(fd, {frame.op, camera_->linkSpeed(), 0, 0})) return;
            break;
        case wire::Op::Abort:
            break;  // the read it meant has already ended
        default:
            return;  // garbage: drop the connection
        }
    }
}

} // namespace lumvek::sim
