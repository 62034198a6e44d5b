#pragma once
// The simulator's listening Unix sockets (camera sockets of the daemon and
// the control sockets .ctl-NAME.sock of the daemon and of usb-run): bind and
// listen, and the one-line text exchange of a control connection.
#include <functional>
#include <string>

#include "sim/faults.h"

namespace lumvek::sim {

// Binds and listens on `path`. A socket file nobody answers on is stale and
// replaced; one that answers belongs to another server. -1 with `error` set.
[[nodiscard]] int listenUnix(const std::string& path, std::string& error);

// Reads one command line from a control connection (bounded in size and
// time), hands it to `answer` and sends the reply line back.
template <typename Answer>
void serveControlLine(int fd, Answer&& answer);

// The line-level parts of serveControlLine, for callers that prefer them.
[[nodiscard]] std::string readControlLine(int fd);
void sendControlReply(int fd, const std::string& reply);

// Runs one control command: "unplug", "replug" or "fault KEY=VALUE".
// Returns "ok" or "error: ..." (the reply line).
[[nodiscard]] std::string runControlCommand(const std::string& line, Faults& faults, const std::function<void()>& unplug,
                                            const std::function<void()>& replug);

template <typename Answer>
void serveControlLine(int fd, Answer&& answer) {
    sendControlReply(fd, answer(readControlLine(fd)));
}

} // namespace lumvek::sim
