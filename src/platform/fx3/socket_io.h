#pragma once
// Stream-socket helpers shared by the socket backend and the simulator
// daemon: connect to a Unix socket path, whole-buffer send and receive, each
// with a bound, so that a peer that stops answering (a stopped daemon, whose
// listen queue fills and whose buffers stay full) never holds a caller.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/uio.h>

namespace lumvek::fx3::sockio {

enum class IoStatus { Ok, Closed, TimedOut, Stopped };

inline constexpr uint32_t kNoLimit = 0xFFFFFFFFu;
// How long a connect waits for room in the listener's queue: a listener that
// accepts nothing for this long does not answer.
inline constexpr uint32_t kConnectTimeoutMs = 1000;
// How long a send waits while the peer takes no byte.
inline constexpr uint32_t kSendStallMs = 5000;

// Connects a non-blocking stream socket to `path`; -1 when nothing listens
// there or the listener's queue stays full for timeoutMs.
[[nodiscard]] int connectUnix(const std::string& path, uint32_t timeoutMs = kConnectTimeoutMs);
// Enlarges the socket buffers for bulk data.
void setBulkBuffers(int fd);

// Sends every byte of the vectors (MSG_NOSIGNAL). false when the peer is
// gone or takes nothing for stallMs (errno ETIMEDOUT then).
[[nodiscard]] bool sendAll(int fd, iovec* vectors, int count, uint32_t stallMs = kSendStallMs);
[[nodiscard]] bool sendAll(int fd, const void* data, size_t bytes, uint32_t stallMs = kSendStallMs);

// Receives exactly `bytes` bytes. timeoutMs kNoLimit waits without limit
// (only the daemon waiting for a client's next request does).
// `stop` is polled about every 10 ms while nothing arrives.
[[nodiscard]] IoStatus recvAll(int fd, void* data, size_t bytes, uint32_t timeoutMs,
                               const std::function<bool()>& stop = {});

// Sends `bytes` bytes with a file descriptor attached (SCM_RIGHTS), bounded as sendAll.
[[nodiscard]] bool sendWithFd(int fd, const void* data, size_t bytes, int passedFd);
// Receives exactly `bytes` bytes and the descriptor sent with them (-1 if none).
[[nodiscard]] IoStatus recvWithFd(int fd, void* data, size_t bytes, uint32_t timeoutMs, int& receivedFd);

// True when the peer has sent something or closed the connection.
[[nodiscard]] bool peerHasSpoken(int fd);

} // namespace lumvek::fx3::sockio
