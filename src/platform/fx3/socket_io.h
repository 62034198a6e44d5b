#pragma once
// Blocking stream-socket helpers shared by the socket backend and the
// simulator daemon: whole-buffer send and receive with a deadline and an
// optional stop condition, connect to a Unix socket path.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/uio.h>

namespace lumvek::fx3::sockio {

enum class IoStatus { Ok, Closed, TimedOut, Stopped };

// Connects a stream socket to `path`; -1 when nothing listens there.
[[nodiscard]] int connectUnix(const std::string& path);
// Enlarges the socket buffers for bulk data.
void setBulkBuffers(int fd);

// Sends every byte of the vectors (MSG_NOSIGNAL). false when the peer is gone.
[[nodiscard]] bool sendAll(int fd, iovec* vectors, int count);
[[nodiscard]] bool sendAll(int fd, const void* data, size_t bytes);

// Receives exactly `bytes` bytes. timeoutMs kNoLimit waits without limit.
// `stop` is polled about every 10 ms while nothing arrives.
inline constexpr uint32_t kNoLimit = 0xFFFFFFFFu;
[[nodiscard]] IoStatus recvAll(int fd, void* data, size_t bytes, uint32_t timeoutMs,
                               const std::function<bool()>& stop = {});

// Sends `bytes` bytes with a file descriptor attached (SCM_RIGHTS).
[[nodiscard]] bool sendWithFd(int fd, const void* data, size_t bytes, int passedFd);
// Receives exactly `bytes` bytes and the descriptor sent with them (-1 if none).
[[nodiscard]] IoStatus recvWithFd(int fd, void* data, size_t bytes, uint32_t timeoutMs, int& receivedFd);

// True when the peer has sent something or closed the connection.
[[nodiscard]] bool peerHasSpoken(int fd);

} // namespace lumvek::fx3::sockio
