#include "camsim_daemon.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace lumvek::bench {

namespace {
constexpr int kStopWaitMs = 5000;
constexpr int kStopPollMs = 10;
constexpr size_t kReadChunk = 256;
} // namespace

CamsimDaemon::CamsimDaemon(const std::string& program, const std::string& deviceDir,
                           const std::vector<std::string>& cameras, int readyTimeoutMs) {
    std::vector<std::string> args{program, "--dir", deviceDir};
    for (const auto& camera : cameras) {
        args.push_back("--camera");
        args.push_back(camera);
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
    if (spawned != 0) {
        pid_ = -1;
        error_ = program + ": " + std::strerror(spawned);
        return;
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(readyTimeoutMs);
    std::string output;
    for (;;) {
        if (output.find("ready\n") != std::string::npos) {
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fd{out_, POLLIN, 0};
        if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) {
            error_ = "lumvek-camsim did not say ready within " + std::to_string(readyTimeoutMs) + " ms";
            return;
        }
        char chunk[kReadChunk];
        const ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            error_ = "lumvek-camsim ended before it was ready";
            return;
        }
        output.append(chunk, static_cast<size_t>(n));
    }
}

CamsimDaemon::~CamsimDaemon() {
    stop();
    if (out_ >= 0) {
        close(out_);
    }
}

void CamsimDaemon::stop() {
    if (pid_ <= 0) {
        return;
    }
    (void)kill(pid_, SIGTERM);
    for (int waited = 0; waited < kStopWaitMs; waited += kStopPollMs) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        usleep(kStopPollMs * 1000);
    }
    (void)kill(pid_, SIGKILL);
    (void)waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

} // namespace lumvek::bench
