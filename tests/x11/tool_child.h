#pragma once
// The lumvek tool as a child process on the test's X server, its output in
// files of the test's folder.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lumvek::test {

class ToolChild {
public:
    // Runs LUMVEK_TOOL_PATH with `args` in `dir`, DISPLAY set to `display`
    // and the extra NAME=VALUE entries in `env`.
    ToolChild(const std::filesystem::path& dir, const std::string& display, const std::vector<std::string>& args,
              const std::vector<std::string>& env = {});
    // As above, with standard input and output as pipes of the test's own
    // (for `view --automate`); standard error goes to err.log.
    struct Piped {};
    ToolChild(Piped, const std::filesystem::path& dir, const std::string& display,
              const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~ToolChild();  // killed when still running
    ToolChild(const ToolChild&) = delete;
    ToolChild& operator=(const ToolChild&) = delete;

    [[nodiscard]] bool started() const { return pid_ > 0; }
    // Waits up to boundMs for the end; the exit code, or -1 when it did not end.
    [[nodiscard]] int waitExit(int boundMs);
    [[nodiscard]] std::string out() const;
    // Piped: writes one line to the child's standard input.
    void send(const std::string& line);
    // Piped: the next line of its standard output within boundMs ("" when none).
    [[nodiscard]] std::string readLine(int boundMs);
    [[nodiscard]] std::string err() const;

private:
    void start(const std::string& display, const std::vector<std::string>& args, const std::vector<std::string>& env,
               bool piped);

    pid_t pid_ = -1;
    std::filesystem::path dir_;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string pending_;
};

} // namespace lumvek::test
