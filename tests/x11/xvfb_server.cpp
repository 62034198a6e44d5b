#include "xvfb_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace lumvek::test {
namespace {
constexpr int kStartTimeoutMs = 15000;
}

XvfbServer::XvfbServer(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll(&readable, 1, kStartTimeoutMs) == 1) {
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty())
        display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

void XvfbServer::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

} // namespace lumvek::test

namespace lumvek::test {

void XvfbServer::stop() {
    if (pid_ > 0)
        ::kill(pid_, SIGSTOP);
}

void XvfbServer::resume() {
    if (pid_ > 0)
        ::kill(pid_, SIGCONT);
}

} // namespace lumvek::test
