#include "process_usage.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace lumvek::bench {

namespace {
constexpr int kUtimeField = 14;  // fields of /proc/<pid>/stat, counted from 1
constexpr double kKiBPerMiB = 1024.0;
} // namespace

double processCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return -1.0;
    }
    // The command name (field 2) is in parentheses and may hold spaces: count
    // the fields after its closing parenthesis.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return -1.0;
    }
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    for (int index = 3; rest >> field; ++index) {
        if (index == kUtimeField) {
            utime = std::stoull(field);
        } else if (index == kUtimeField + 1) {
            stime = std::stoull(field);
            const long ticks = sysconf(_SC_CLK_TCK);
            return ticks > 0 ? static_cast<double>(utime + stime) / static_cast<double>(ticks) : -1.0;
        }
    }
    return -1.0;
}

double residentMiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            std::istringstream value(line.substr(6));
            double kib = 0.0;
            return value >> kib ? kib / kKiBPerMiB : -1.0;
        }
    }
    return -1.0;
}

} // namespace lumvek::bench
