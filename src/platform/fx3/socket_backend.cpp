#include "platform/fx3/socket_backend.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/socket_io.h"
#include "platform/fx3/socket_wire.h"
#include "platform/log/log.h"

namespace lumvek::fx3 {

namespace {
using Clock = std::chrono::steady_clock;
// How long an aborted read waits for the daemon to confirm the abort.
constexpr uint32_t kAbortGraceMs = 1000;
// How long the data of one reply may take to arrive once its frame came.
constexpr uint32_t kPayloadMs = 10000;
// The longest request time-out honoured as given; longer ones are cut to it.
constexpr uint32_t kLongestRequestMs = 60000;

// Daemons that let a wait run out, by socket path, with the time of the
// last attempt: until kSilentRetryMs have passed the camera is taken as
// unplugged without asking again, so that a stopped daemon costs one
// time-out, not one per request (each control request opens its own
// connection). Never destroyed: sessions on other threads may mark at exit.
class SilentDaemons {
public:
    static SilentDaemons& instance() {
        static auto* silent = new SilentDaemons();
        return *silent;
    }
    // True while a silent daemon is left alone.
    bool leftAlone(const std::string& socketPath) {
        std::lock_guard lock(mutex_);
        const auto found = lastTry_.find(socketPath);
        return found != lastTry_.end() && Clock::now() - found->second < std::chrono::milliseconds(kSilentRetryMs);
    }
    void markSilent(const std::string& socketPath) {
        if (socketPath.empty()) return;
        std::lock_guard lock(mutex_);
        if (lastTry_.count(socketPath) == 0) {
            platform::logf(platform::LogCategory::Usb, "the daemon at %s does not answer: camera taken as unplugged",
                           socketPath.c_str());
        }
        lastTry_[socketPath] = Clock::now();
    }
    void markAnswered(const std::string& socketPath) {
        std::lock_guard lock(mutex_);
        lastTry_.erase(socketPath);
    }

private:
    std::mutex mutex_;  // guards lastTry_
    std::map<std::string, Clock::time_point> lastTry_;
};

// The server's shared bulk buffer, mapped read-only. Accepted only when the
// server has sealed its size, so it cannot shrink under a copy (SIGBUS).
struct SharedBuffer {
    const uint8_t* data = nullptr;
    size_t bytes = 0;
};

// nullopt when the server does not answer the attach request properly (the
// connection is then unusable); an empty buffer when it offers none usable.
std::optional<SharedBuffer> attachSharedBuffer(int fd) {
    uint8_t request[wire::kFrameBytes];
    wire::encodeFrame({static_cast<uint32_t>(wire::Op::Attach), 0, 0, 0}, request);
    if (!sockio::sendAll(fd, request, sizeof request)) {
        return std::nullopt;
    }
    uint8_t reply[wire::kFrameBytes];
    int memfd = -1;
    if (sockio::recvWithFd(fd, reply, sizeof reply, kReplyGraceMs, memfd) != sockio::IoStatus::Ok) {
        return std::nullopt;
    }
    const wire::Frame frame = wire::decodeFrame(reply);
    if (frame.op != static_cast<uint32_t>(wire::Op::Attach)) {
        if (memfd >= 0) {
            ::close(memfd);
        }
        return std::nullopt;
    }
    SharedBuffer shared;
    struct stat info{};
    const int seals = memfd >= 0 ? ::fcntl(memfd, F_GET_SEALS) : -1;
    if (memfd >= 0 && frame.a > 0 &&
        frame.a <= wire::kSharedBufferBytes && seals >= 0 && (seals & F_SEAL_SHRINK) != 0 &&
        ::fstat(memfd, &info) == 0 && static_cast<uint64_t>(info.st_size) >= frame.a) {
        void* mapped = ::mmap(nullptr, frame.a, PROT_READ, MAP_SHARED, memfd, 0);
        if (mapped != MAP_FAILED) {
            shared.data = static_cast<const uint8_t*>(mapped);
            shared.bytes = frame.a;
        }
    }
    if (memfd >= 0) {
        ::close(memfd);
    }
    return shared;
}

// Sends the first request of a fresh connection (Claim or Query) and reads
// its reply. nullopt when the daemon does not answer in time or garbles it.
std::optional<wire::Frame> firstExchange(int fd, wire::Op op) {
    uint8_t request[wire::kFrameBytes];
    wire::encodeFrame({static_cast<uint32_t>(op), 0, 0, 0}, request);
    if (!sockio::sendAll(fd, request, sizeof request, kReplyGraceMs)) {
        return std::nullopt;
    }
    uint8_t reply[wire::kFrameBytes];
    if (sockio::recvAll(fd, reply, sizeof reply, kReplyGraceMs) != sockio::IoStatus::Ok) {
        return std::nullopt;
    }
    const wire::Frame frame = wire::decodeFrame(reply);
    if (frame.op != static_cast<uint32_t>(op)) {
        return std::nullopt;
    }
    return frame;
}

class SocketDeviceSession final : public UsbDevice {
public:
    SocketDeviceSession(int fd, std::string socketPath) : fd_(fd), socketPath_(std::move(socketPath)) {}
    ~SocketDeviceSession() override {
        if (shared_.data != nullptr) {
            ::munmap(const_cast<uint8_t*>(shared_.data), shared_.bytes);
        }
        ::close(fd_);
    }

    ControlResult controlTransfer(const RequestHeader& header, std::span<uint8_t, kControlDataBytes> data) override {
        std::lock_guard request(requestMutex_);
        if (broken_) {
            return {};
        }
        uint8_t message[wire::kFrameBytes + kControlRequestBytes] = {};
        wire::encodeFrame({static_cast<uint32_t>(wire::Op::Control), 0, 0, 0}, message);
        (void)encodeHeader(header, std::span<uint8_t>(message + wire::kFrameBytes, kRequestHeaderBytes));
        std::memcpy(message + wire::kFrameBytes + kRequestHeaderBytes, data.data(), kControlDataBytes);
        if (!send(message, sizeof message)) {
            return {};
        }
        const uint32_t limit = std::min<uint32_t>(header.timeoutMs, kLongestRequestMs) + kReplyGraceMs;
        uint8_t reply[wire::kFrameBytes + kControlDataBytes];
        if (const sockio::IoStatus status = sockio::recvAll(fd_, reply, sizeof reply, limit);
            status != sockio::IoStatus::Ok) {
            breakConnection(status);
            return {};
        }
        const wire::Frame frame = wire::decodeFrame(reply);
        if (frame.op != static_cast<uint32_t>(wire::Op::Control) || frame.b > kControlDataBytes) {
            breakConnection();
            return {};
        }
        std::memcpy(data.data(), reply + wire::kFrameBytes, kControlDataBytes);
        return {frame.a != 0, frame.b};
    }

    BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                        const CancelToken& cancel) override {
        std::lock_guard request(requestMutex_);
        if (broken_ || !ensureShared()) {
            return {kErrorDeviceNotConnected, 0};
        }
        const auto length = static_cast<uint32_t>(std::min<size_t>(buffer.size(), kMaxDataTransferBytes));
        uint8_t message[wire::kFrameBytes];
        wire::encodeFrame({static_cast<uint32_t>(wire::Op::Bulk), endpoint, length, timeoutMs}, message);
        if (!send(message, sizeof message)) {
            return {kErrorDeviceNotConnected, 0};
        }
        bool abortSent = false;
        auto stop = [&] {
            if (!abortSent && cancel.cancelled()) {
                uint8_t abort[wire::kFrameBytes];
                wire::encodeFrame({static_cast<uint32_t>(wire::Op::Abort), endpoint, 0, 0}, abort);
                abortSent = true;
                (void)send(abort, sizeof abort);
            }
            return abortSent;
        };
        const uint32_t limit = timeoutMs == 0 ? sockio::kNoLimit : timeoutMs + kReplyGraceMs;
        uint8_t reply[wire::kFrameBytes];
        sockio::IoStatus status = sockio::recvAll(fd_, reply, sizeof reply, limit, stop);
        if (status == sockio::IoStatus::Stopped) {
            // Aborted: the daemon answers the pending read promptly unless it hangs.
            status = sockio::recvAll(fd_, reply, sizeof reply, kAbortGraceMs);
        }
        if (status != sockio::IoStatus::Ok) {
            // A late abort confirmation (kAbortGraceMs) ends this connection
            // only: a busy daemon can miss that short bound, and the next
            // request's own bound tells whether it still answers.
            breakConnection(abortSent ? sockio::IoStatus::Closed : status);
            return {abortSent ? kErrorOperationAborted : kErrorDeviceNotConnected, 0};
        }
        const wire::Frame frame = wire::decodeFrame(reply);
        if (frame.op != static_cast<uint32_t>(wire::Op::Bulk) || frame.b > length) {
            breakConnection();
            return {kErrorGenFailure, 0};
        }
        if (frame.c == wire::kDataInSharedBuffer) {
            if (shared_.data == nullptr || frame.b > shared_.bytes) {
                breakConnection();
                return {kErrorGenFailure, 0};
            }
            std::memcpy(buffer.data(), shared_.data, frame.b);
            return {frame.a, frame.b};
        }
        if (frame.b > 0) {
            if (const sockio::IoStatus payload = sockio::recvAll(fd_, buffer.data(), frame.b, kPayloadMs);
                payload != sockio::IoStatus::Ok) {
                breakConnection(payload);
                return {kErrorDeviceNotConnected, 0};
            }
        }
        return {frame.a, frame.b};
    }

    bool resetPipe(uint8_t endpoint) override { return simple(wire::Op::ResetPipe, endpoint) != 0; }
    bool resetPort() override { return simple(wire::Op::ResetPort, 0) != 0; }
    uint32_t linkSpeed() override { return simple(wire::Op::Speed, 0); }
    bool connected() const override { return !broken_; }
    // Idle, the daemon sends nothing: anything to read, or the far end gone
    // (an unplugged camera drops its connections), ends the connection's use.
    // A daemon taken as silent is not asked again on an old connection either.
    bool reusable() const override {
        return !broken_ && !sockio::peerHasSpoken(fd_) && !SilentDaemons::instance().leftAlone(socketPath_);
    }

private:
    uint32_t simple(wire::Op op, uint32_t argument) {
        std::lock_guard request(requestMutex_);
        if (broken_) {
            return 0;
        }
        uint8_t message[wire::kFrameBytes];
        wire::encodeFrame({static_cast<uint32_t>(op), argument, 0, 0}, message);
        if (!send(message, sizeof message)) {
            return 0;
        }
        uint8_t reply[wire::kFrameBytes];
        if (const sockio::IoStatus status = sockio::recvAll(fd_, reply, sizeof reply, kControlTimeoutMs + kReplyGraceMs);
            status != sockio::IoStatus::Ok) {
            breakConnection(status);
            return 0;
        }
        const wire::Frame frame = wire::decodeFrame(reply);
        if (frame.op != static_cast<uint32_t>(op)) {
            breakConnection();
            return 0;
        }
        return frame.a;
    }

    bool send(const void* data, size_t bytes) {
        std::lock_guard lock(sendMutex_);
        if (broken_) {
            return false;
        }
        if (!sockio::sendAll(fd_, data, bytes)) {
            broken_ = true;
            if (errno == ETIMEDOUT) {
                // Full buffers for kSendStallMs: the daemon stopped taking requests.
                SilentDaemons::instance().markSilent(socketPath_);
            }
            return false;
        }
        return true;
    }

    // Ends the connection after a failed exchange; a wait that ran out means
    // the daemon stopped answering, and the camera counts as unplugged.
    void breakConnection(sockio::IoStatus why = sockio::IoStatus::Closed) {
        broken_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        if (why == sockio::IoStatus::TimedOut) {
            SilentDaemons::instance().markSilent(socketPath_);
        }
    }

    // Attaches the server's shared buffer before the first bulk read (handles
    // that only send control requests never need it). false: connection unusable.
    bool ensureShared() {
        if (attachTried_) {
            return true;
        }
        attachTried_ = true;
        const auto shared = attachSharedBuffer(fd_);
        if (!shared) {
            breakConnection();
            return false;
        }
        shared_ = *shared;
        return true;
    }

    const int fd_;
    const std::string socketPath_;
    bool attachTried_ = false;  // guarded by requestMutex_, like shared_
    SharedBuffer shared_;
    std::mutex requestMutex_;  // one request at a time on the connection (Abort excepted)
    std::mutex sendMutex_;     // guards writes to fd_
    std::atomic<bool> broken_{false};
};

} // namespace

std::string socketPathOf(const std::string& devicePath) {
    DevicePathParts parts;
    if (!parseDevicePath(devicePath, parts) || !wire::isValidInstanceName(parts.instance)) {
        return {};
    }
    return wire::deviceDirectory() + "/" + wire::socketFileName(parts.vendorId, parts.productId, parts.instance);
}

std::unique_ptr<UsbDevice> makeSocketDeviceSession(int connectedFd, const std::string& socketPath) {
    return std::make_unique<SocketDeviceSession>(connectedFd, socketPath);
}

SocketCameraAnswer querySocketCamera(const std::string& socketPath) {
    SilentDaemons& silent = SilentDaemons::instance();
    if (silent.leftAlone(socketPath)) {
        return {};
    }
    const int fd = sockio::connectUnix(socketPath);
    if (fd < 0) {
        return {};  // nothing listens (a refused connect is no silent daemon), or the queue stayed full
    }
    const auto reply = firstExchange(fd, wire::Op::Query);
    ::close(fd);
    if (!reply) {
        silent.markSilent(socketPath);
        return {};
    }
    silent.markAnswered(socketPath);
    return {true, reply->a};
}

std::vector<std::string> SocketDeviceSource::presentPaths() {
    const std::string dir = wire::deviceDirectory();
    std::vector<std::pair<std::string, std::string>> found;  // (file name, device path)
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) {
        return {};
    }
    while (const dirent* entry = ::readdir(listing)) {
        const auto name = wire::parseSocketFileName(entry->d_name);
        if (!name) {
            continue;
        }
        struct stat info{};
        if (::stat((dir + "/" + entry->d_name).c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
            continue;
        }
        if (SilentDaemons::instance().leftAlone(dir + "/" + entry->d_name)) {
            continue;  // taken as unplugged until it answers again
        }
        found.emplace_back(entry->d_name, formatDevicePath(name->vendorId, name->productId, name->instance));
    }
    ::closedir(listing);
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& item : found) {
        paths.push_back(std::move(item.second));
    }
    return paths;
}

std::unique_ptr<UsbDevice> SocketDeviceSource::open(const std::string& path) {
    const std::string socketPath = socketPathOf(path);
    if (socketPath.empty()) {
        return nullptr;
    }
    SilentDaemons& silent = SilentDaemons::instance();
    if (silent.leftAlone(socketPath)) {
        return nullptr;
    }
    const int fd = sockio::connectUnix(socketPath);
    if (fd < 0) {
        platform::logf(platform::LogCategory::Usb, "no camera answers at %s", socketPath.c_str());
        return nullptr;
    }
    const auto claim = firstExchange(fd, wire::Op::Claim);
    if (!claim) {
        silent.markSilent(socketPath);
        ::close(fd);
        return nullptr;
    }
    silent.markAnswered(socketPath);
    if (claim->a != 1) {
        platform::logf(platform::LogCategory::Usb, "camera at %s is in use by process %u", socketPath.c_str(),
                       claim->b);
        ::close(fd);
        return nullptr;
    }
    return makeSocketDeviceSession(fd, socketPath);  // takes fd over
}

} // namespace lumvek::fx3
