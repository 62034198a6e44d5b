#include "tool_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
#ifdef LUMVEK_TOOL_PATH
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int out = open("out.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open("err.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
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
#else
    (void)display;
    (void)args;
    (void)env;
#endif
}

ToolChild::~ToolChild() {
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

std::string ToolChild::err() const {
    return slurp(dir_ / "err.log");
}

} // namespace lumvek::test
