#include "platform/fx3/socket_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace lumvek::fx3::sockio {

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kBulkSocketBufferBytes = 4 * 1024 * 1024;
constexpr int kPollSliceMs = 10;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// Waits until fd takes more data; false when it took none for stallMs.
bool waitWritable(int fd, uint32_t stallMs) {
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, static_cast<int>(stallMs));
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & (POLLERR | POLLHUP)) == 0;
}
} // namespace

int connectUnix(const std::string& path, uint32_t timeoutMs) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            if (::poll(&p, 1, remainingMs(deadline)) <= 0 ||
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
                ::close(fd);
                return -1;
            }
            break;
        }
        // A Unix listener whose queue is full refuses with EAGAIN until it
        // accepts again; one that accepts nothing before the deadline is taken
        // as not answering.
        if (errno != EAGAIN || Clock::now() >= deadline) {
            ::close(fd);
            return -1;
        }
        (void)::poll(nullptr, 0, std::min(kPollSliceMs, remainingMs(deadline)));
    }
    setBulkBuffers(fd);
    return fd;
}

void setBulkBuffers(int fd) {
    const int size = kBulkSocketBufferBytes;
    (void)::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool sendAll(int fd, iovec* vectors, int count, uint32_t stallMs) {
    while (count > 0) {
        msghdr message{};
        message.msg_iov = vectors;
        message.msg_iovlen = static_cast<size_t>(count);
        const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (waitWritable(fd, stallMs)) {
                    continue;
                }
                errno = ETIMEDOUT;  // tells a peer that stopped taking data from one that is gone
            }
            return false;
        }
        size_t left = static_cast<size_t>(sent);
        while (count > 0 && left >= vectors->iov_len) {
            left -= vectors->iov_len;
            ++vectors;
            --count;
        }
        if (count > 0) {
            vectors->iov_base = static_cast<uint8_t*>(vectors->iov_base) + left;
            vectors->iov_len -= left;
        }
    }
    return true;
}

bool sendAll(int fd, const void* data, size_t bytes, uint32_t stallMs) {
    iovec vector{const_cast<void*>(data), bytes};
    return sendAll(fd, &vector, 1, stallMs);
}

IoStatus recvAll(int fd, void* data, size_t bytes, uint32_t timeoutMs, const std::function<bool()>& stop) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs == kNoLimit ? 0 : timeoutMs);
    auto* out = static_cast<uint8_t*>(data);
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::recv(fd, out + got, bytes - got, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {
            return IoStatus::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return IoStatus::Closed;
        }
        if (stop && stop()) {
            return IoStatus::Stopped;
        }
        if (timeoutMs != kNoLimit && Clock::now() >= deadline) {
            return IoStatus::TimedOut;
        }
        pollfd p{fd, POLLIN, 0};
        (void)::poll(&p, 1, kPollSliceMs);
    }
    return IoStatus::Ok;
}

bool sendWithFd(int fd, const void* data, size_t bytes, int passedFd) {
    iovec vector{const_cast<void*>(data), bytes};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &passedFd, sizeof(int));
    ssize_t sent;
    for (;;) {
        sent = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0 || (errno != EINTR && !((errno == EAGAIN || errno == EWOULDBLOCK) &&
                                               waitWritable(fd, kSendStallMs)))) {
            break;
        }
    }
    if (sent < 0) {
        return false;
    }
    // The descriptor went with the first byte; the rest is plain data.
    return static_cast<size_t>(sent) == bytes ||
           sendAll(fd, static_cast<const uint8_t*>(data) + sent, bytes - static_cast<size_t>(sent));
}

IoStatus recvWithFd(int fd, void* data, size_t bytes, uint32_t timeoutMs, int& receivedFd) {
    receivedFd = -1;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs == kNoLimit ? -1 : static_cast<int>(timeoutMs));
    if (ready <= 0) {
        return IoStatus::TimedOut;
    }
    iovec vector{data, bytes};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
    msghdr message{};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return IoStatus::Closed;
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
            const size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int passed = -1;
                std::memcpy(&passed, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
                if (receivedFd < 0) {
                    receivedFd = passed;
                } else {
                    ::close(passed);  // only one is expected
                }
            }
        }
    }
    if (static_cast<size_t>(got) < bytes) {
        const IoStatus rest =
            recvAll(fd, static_cast<uint8_t*>(data) + got, bytes - static_cast<size_t>(got), timeoutMs);
        if (rest != IoStatus::Ok) {
            if (receivedFd >= 0) {
                ::close(receivedFd);
                receivedFd = -1;
            }
            return rest;
        }
    }
    return IoStatus::Ok;
}

bool peerHasSpoken(int fd) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

} // namespace lumvek::fx3::sockio
