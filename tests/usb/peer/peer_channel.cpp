#include "peer/peer_channel.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumvek::test {

namespace {
constexpr int kAnswerBoundMs = 30000;  // generous: only a wedged peer reaches it
}

PeerProcess::PeerProcess() {
    signal(SIGPIPE, SIG_IGN);  // a dead peer must fail a call, not kill the test
    int in[2];
    int out[2];
    if (pipe(in) != 0) {
        return;
    }
    if (pipe(out) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char path[] = LUMVEK_USB_TABLE_PEER;
    char* argv[] = {path, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path, &actions, nullptr, argv, environ) == 0) {
        pid_ = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toPeer_ = in[1];
    fromPeer_ = out[0];
}

PeerProcess::~PeerProcess() {
    (void)quit();
    if (fromPeer_ >= 0) {
        close(fromPeer_);
    }
}

bool PeerProcess::quit() {
    if (pid_ <= 0) {
        return true;
    }
    (void)call("quit");
    close(toPeer_);
    toPeer_ = -1;
    // Its standard output closes when it exits.
    for (;;) {
        pollfd fd{fromPeer_, POLLIN, 0};
        if (poll(&fd, 1, kAnswerBoundMs) <= 0) {
            killHard();
            return false;
        }
        char buffer[256];
        if (read(fromPeer_, buffer, sizeof buffer) <= 0) {
            break;
        }
    }
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return true;
}

std::string PeerProcess::call(const std::string& command) {
    if (pid_ <= 0) {
        return "";
    }
    const std::string line = command + "\n";
    if (write(toPeer_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return "";
    }
    for (;;) {
        const size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string answer = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return answer;
        }
        pollfd fd{fromPeer_, POLLIN, 0};
        if (poll(&fd, 1, kAnswerBoundMs) <= 0) {
            return "";
        }
        char buffer[256];
        const ssize_t got = read(fromPeer_, buffer, sizeof buffer);
        if (got <= 0) {
            return "";
        }
        pending_.append(buffer, static_cast<size_t>(got));
    }
}

void PeerProcess::killHard() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (toPeer_ >= 0) {
        close(toPeer_);
        toPeer_ = -1;
    }
    pid_ = -1;
}

} // namespace lumvek::test
