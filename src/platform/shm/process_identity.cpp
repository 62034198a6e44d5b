#include "platform/shm/process_identity.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace lumvek::platform {

namespace {

struct ProcStat {
    char state = '?';
    uint64_t startTicks = 0;
};

// Parses /proc/<pid>/stat. The command name (field 2) may hold spaces and
// parentheses, so fields are counted from the last ')'.
bool readProcStat(int32_t pid, ProcStat& out) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!file || !std::getline(file, line)) {
        return false;
    }
    const size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return false;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    // Field 3 is the state; field 22 the start time.
    for (int index = 3; index <= 22 && fields >> field; ++index) {
        if (index == 3) {
            out.state = field.empty() ? '?' : field[0];
        } else if (index == 22) {
            out.startTicks = std::strtoull(field.c_str(), nullptr, 10);
            return true;
        }
    }
    return false;
}

} // namespace

ProcessIdentity currentProcessIdentity() {
    ProcessIdentity identity;
    identity.pid = static_cast<int32_t>(getpid());
    ProcStat stat;
    if (readProcStat(identity.pid, stat)) {
        identity.startTicks = stat.startTicks;
    }
    return identity;
}

bool isProcessAlive(const ProcessIdentity& identity) {
    if (identity.pid <= 0) {
        return false;
    }
    if (kill(identity.pid, 0) != 0 && errno == ESRCH) {
        return false;
    }
    ProcStat stat;
    if (!readProcStat(identity.pid, stat)) {
        // No /proc (or the process just went away): trust kill().
        return kill(identity.pid, 0) == 0 || errno == EPERM;
    }
    if (stat.state == 'Z' || stat.state == 'X') {
        return false;
    }
    return identity.startTicks == 0 || stat.startTicks == identity.startTicks;
}

} // namespace lumvek::platform
