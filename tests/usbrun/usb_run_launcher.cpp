#include "usb_run_launcher.h"

#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumvek::test {

namespace {
constexpr const char* kControlDirVariable = "LUMVEK_TEST_USBRUN_DIR";

int spawnAndWait(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    std::vector<std::string> argStrings = args;
    std::vector<char*> argv;
    for (auto& arg : argStrings) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = environment;
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) entries.emplace_back(*entry);
    return entries;
}
} // namespace

std::string selfPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

bool underUsbRun() {
    return std::getenv("UMOCKDEV_DIR") != nullptr && std::getenv(kControlDirVariable) != nullptr;
}

int runUnderUsbRun(const std::vector<std::string>& cameras, const std::string& filter, const std::string& controlDir) {
    std::vector<std::string> args{LUMVEK_CAMSIM_PATH, "usb-run", "--dir", controlDir};
    for (const auto& camera : cameras) {
        args.push_back("--camera");
        args.push_back(camera);
    }
    args.insert(args.end(), {"--", selfPath(), "--gtest_filter=" + filter});
    std::vector<std::string> environment;
    for (auto& entry : currentEnvironment()) {
        // The inner process makes its own isolated store, block name and
        // (empty) socket folder; it must find no in-process cameras.
        if (entry.rfind("LUMVEK_SIM_CAMERAS=", 0) != 0) environment.push_back(entry);
    }
    environment.push_back(std::string(kControlDirVariable) + "=" + controlDir);
    return spawnAndWait(args, environment);
}

std::string usbRunControlDir() {
    const char* dir = std::getenv(kControlDirVariable);
    return dir != nullptr ? dir : "";
}

int runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment) {
    std::vector<std::string> environment = currentEnvironment();
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    return spawnAndWait(argv, environment);
}

} // namespace lumvek::test
