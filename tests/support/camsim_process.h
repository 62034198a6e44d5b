#pragma once
// A lumvek-camsim daemon the test starts in its device folder
// ($LUMVEK_DEVICE_DIR) serving the cameras described; killed (resumed first,
// should the test have stopped it) when destroyed.
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace lumvek::test {

class CamsimProcess {
public:
    CamsimProcess(const char* program, const std::string& description)
        : CamsimProcess(program, std::vector<std::string>{description}) {}
    CamsimProcess(const char* program, const std::vector<std::string>& descriptions) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const char* dir = std::getenv("LUMVEK_DEVICE_DIR");
        std::vector<std::string> args{program, "--dir", dir != nullptr ? dir : "."};
        for (const auto& description : descriptions) {
            args.push_back("--camera");
            args.push_back(description);
        }
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
    }
    ~CamsimProcess() {
        killNow();
        if (out_ >= 0) close(out_);
    }
    CamsimProcess(const CamsimProcess&) = delete;
    CamsimProcess& operator=(const CamsimProcess&) = delete;

    // True once the daemon printed its "ready" line within timeoutMs.
    bool waitReady(int timeoutMs) {
        if (pid_ <= 0 || out_ < 0) return false;
        std::string line;
        pollfd p{out_, POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, timeoutMs) > 0) {
            char buffer[64];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<size_t>(n));
        }
        return line == "ready\n";
    }
    void stop() { kill(pid_, SIGSTOP); }
    void resume() { kill(pid_, SIGCONT); }
    void signal(int number) { kill(pid_, number); }
    // Sends the signal and waits for the daemon: its exit code, or -1 when a
    // signal ended it.
    int terminate(int number) {
        if (pid_ <= 0) return -1;
        kill(pid_, number);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void killNow() {
        if (pid_ <= 0) return;
        kill(pid_, SIGCONT);  // a stopped daemon dies only once it runs
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

} // namespace lumvek::test
