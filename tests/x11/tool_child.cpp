#include "tool_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "x_driver.h"

namespace lumvek::test {

namespace {
std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

ToolChild::ToolChild(const std::filesystem::path& dir, const std::string& display,
                     const std::vector<std::string>& args, const std::vector<std::string>& env)
    : dir_(dir) {
    start(display, args, env, false);
}

ToolChild::ToolChild(Piped, const std::filesystem::path& dir, const std::string& display,
                     const std::vector<std::string>& args, const std::vector<std::string>& env)
    : dir_(dir) {
    start(display, args, env, true);
}

void ToolChild::start(const std::string& display, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, bool piped) {
#ifdef LUMVEK_TOOL_PATH
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (piped && (pipe(in) != 0 || pipe(out) != 0)) return;
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(126);
        const int err = open("err.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (piped) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
        } else {
            dup2(open("out.log", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        }
        dup2(err, 2);
        setenv("DISPLAY", display.c_str(), 1);
        for (const auto& entry : env) {
            const auto eq = entry.find('=');
            setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(LUMVEK_TOOL_PATH)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(LUMVEK_TOOL_PATH, argv.data());
        _exit(127);
    }
    if (piped) {
        close(in[0]);
        close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
#else
    (void)display;
    (void)args;
    (void)env;
#endif
}

ToolChild::~ToolChild() {
    if (toChild_ >= 0) close(toChild_);
    if (fromChild_ >= 0) close(fromChild_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int ToolChild::waitExit(int boundMs) {
    int status = 0;
    if (pid_ <= 0) return -1;
    if (!holdsWithin(boundMs, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ToolChild::out() const {
    return slurp(dir_ / "out.log");
}

void ToolChild::send(const std::string& line) {
    const std::string text = line + "\n";
    if (toChild_ >= 0) (void)!write(toChild_, text.data(), text.size());
}

std::string ToolChild::readLine(int boundMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (fromChild_ >= 0) {
        if (const auto newline = pending_.find('\n'); newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd wait{fromChild_, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[4096];
        const ssize_t got = read(fromChild_, buffer, sizeof buffer);
        if (got <= 0) break;
        pending_.append(buffer, static_cast<size_t>(got));
    }
    return "";
}

std::string ToolChild::err() const {
    return slurp(dir_ / "err.log");
}

} // namespace lumvek::test
