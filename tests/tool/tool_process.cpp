#include "tool_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/test_env.h"

namespace lumvek::test {

namespace {
constexpr int kPollSliceMs = 20;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<int64_t>(0, left));
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args, const ToolEnv& env, int& out,
            int& err) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argvStrings) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = env.entries();
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    out = outPipe[0];
    err = errPipe[0];
    return pid;
}

// Reads what is ready on fd into text; false at end of file.
bool drain(int fd, std::string& text) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    text.append(buffer, static_cast<size_t>(n));
    return true;
}

std::atomic<int> envCounter{0};
} // namespace

int ProcessResult::errLines() const {
    return static_cast<int>(std::count(err.begin(), err.end(), '\n'));
}

ToolEnv::ToolEnv(const std::string& stem) : dir_(makeTempDir(stem)) {
    std::filesystem::create_directories(deviceDir());
    std::filesystem::create_directories(dir_ / "home");
    const char* path = std::getenv("PATH");
    vars_["PATH"] = path != nullptr ? path : "/usr/bin:/bin";
    vars_["HOME"] = (dir_ / "home").string();
    vars_["XDG_RUNTIME_DIR"] = dir_.string();
    vars_["LUMVEK_DEVICE_DIR"] = deviceDir().string();
    vars_["LUMVEK_REGISTRY_FILE"] = registryFile().string();
    vars_["LUMVEK_SHM_NAME"] =
        "/lumvek-tool-" + std::to_string(getpid()) + "-" + std::to_string(envCounter.fetch_add(1));
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LD_LIBRARY_PATH"}) {
        if (const char* value = std::getenv(name)) vars_[name] = value;
    }
}

std::vector<std::string> ToolEnv::entries() const {
    std::vector<std::string> list;
    for (const auto& [name, value] : vars_) list.push_back(name + "=" + value);
    return list;
}

Background::Background(const std::string& program, const std::vector<std::string>& args, const ToolEnv& env) {
    pid_ = spawn(program, args, env, out_, err_);
    EXPECT_GT(pid_, 0) << "cannot start " << program;
}

Background::~Background() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
}

std::string Background::readLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (outBuffer_.find('\n') == std::string::npos) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, remainingMs(deadline)) <= 0 || !drain(out_, outBuffer_)) break;
    }
    const size_t end = outBuffer_.find('\n');
    if (end == std::string::npos) return {};
    std::string line = outBuffer_.substr(0, end);
    outBuffer_.erase(0, end + 1);
    return line;
}

ProcessResult Background::wait(int timeoutMs) {
    ProcessResult result;
    result.out = outBuffer_;
    outBuffer_.clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = out_ >= 0;
    bool errOpen = err_ >= 0;
    while ((outOpen || errOpen) && remainingMs(deadline) > 0) {
        pollfd fds[2] = {{outOpen ? out_ : -1, POLLIN, 0}, {errOpen ? err_ : -1, POLLIN, 0}};
        if (poll(fds, 2, std::min(remainingMs(deadline), 1000)) < 0) break;
        if (fds[0].revents != 0) outOpen = drain(out_, result.out);
        if (fds[1].revents != 0) errOpen = drain(err_, result.err);
    }
    if (outOpen || errOpen) {
        ::kill(pid_, SIGKILL);  // out of time
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.exitCode = WIFEXITED(status) && !(outOpen || errOpen) ? WEXITSTATUS(status) : -1;
    return result;
}

void Background::kill(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

ProcessResult run(const std::string& program, const std::vector<std::string>& args, const ToolEnv& env,
                  int timeoutMs) {
    Background process(program, args, env);
    return process.wait(timeoutMs);
}

ProcessResult lumvek(const std::vector<std::string>& args, const ToolEnv& env, int timeoutMs) {
    return run(LUMVEK_TOOL_PATH, args, env, timeoutMs);
}

Daemon::Daemon(const ToolEnv& env, const std::vector<std::string>& cameras)
    : env_(env), process_(LUMVEK_CAMSIM_PATH, [&] {
          std::vector<std::string> args{"--dir", env.deviceDir().string()};
          for (const auto& camera : cameras) {
              args.push_back("--camera");
              args.push_back(camera);
          }
          return args;
      }(), env) {
    constexpr int kReadyTimeoutMs = 10000;
    ready_ = process_.readLine(kReadyTimeoutMs) == "ready";
    EXPECT_TRUE(ready_) << "lumvek-camsim did not say ready";
}

ProcessResult Daemon::ctl(const std::vector<std::string>& args) {
    std::vector<std::string> all{"ctl", "--dir", env_.deviceDir().string()};
    all.insert(all.end(), args.begin(), args.end());
    return run(LUMVEK_CAMSIM_PATH, all, env_);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
    }
    return true;
}

} // namespace lumvek::test
