#pragma once
// Running the real programs (lumvek, lumvek-camsim, the examples) as child
// processes with an environment of the test's own: its device folder,
// settings store and shared-memory name, so no test sees another's cameras.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lumvek::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed or not started
    std::string out;
    std::string err;
    [[nodiscard]] int errLines() const;
};

// An isolated environment: a fresh folder with devices/, registry file and a
// unique shared-memory name; the parent's PATH and nothing of its LUMVEK_*.
class ToolEnv {
public:
    explicit ToolEnv(const std::string& stem);
    [[nodiscard]] const std::filesystem::path& dir() const { return dir_; }
    [[nodiscard]] std::filesystem::path deviceDir() const { return dir_ / "devices"; }
    [[nodiscard]] std::filesystem::path registryFile() const { return dir_ / "registry.sqlite3"; }
    void set(const std::string& name, const std::string& value) { vars_[name] = value; }
    void unset(const std::string& name) { vars_.erase(name); }
    [[nodiscard]] std::vector<std::string> entries() const;

private:
    std::filesystem::path dir_;
    std::map<std::string, std::string> vars_;
};

// Runs program to the end (killed after timeoutMs) and collects its output.
ProcessResult run(const std::string& program, const std::vector<std::string>& args, const ToolEnv& env,
                  int timeoutMs = 60000);

// `lumvek ARGS...` in env.
ProcessResult lumvek(const std::vector<std::string>& args, const ToolEnv& env, int timeoutMs = 60000);

// A program started in the background; killed on destruction if still running.
class Background {
public:
    Background(const std::string& program, const std::vector<std::string>& args, const ToolEnv& env);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // Waits up to timeoutMs for a whole line on standard output.
    [[nodiscard]] std::string readLine(int timeoutMs);
    // Waits up to timeoutMs for the end; collects the rest of the output.
    [[nodiscard]] ProcessResult wait(int timeoutMs);
    void kill(int signal);
    [[nodiscard]] pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outBuffer_;
};

// lumvek-camsim serving `cameras` (camera descriptions) in env's device folder; ready when
// constructed (the test fails otherwise).
class Daemon {
public:
    Daemon(const ToolEnv& env, const std::vector<std::string>& cameras);
    [[nodiscard]] bool ready() const { return ready_; }
    ProcessResult ctl(const std::vector<std::string>& args);
    void killHard() { process_.kill(9); }
    // Sends the daemon a signal (SIGSTOP / SIGCONT: a daemon that stops answering).
    void signal(int number) { process_.kill(number); }

private:
    const ToolEnv& env_;
    Background process_;
    bool ready_ = false;
};

// Bytes of a file ("" when it cannot be read).
std::string readFile(const std::filesystem::path& path);

// Polls `condition` every few milliseconds until it holds or timeoutMs pass.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

} // namespace lumvek::test
