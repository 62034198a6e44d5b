#include "daemon/ctl_client.h"

#include <cstdio>
#include <unistd.h>

#include "platform/fx3/socket_io.h"
#include "platform/fx3/socket_wire.h"

namespace lumvek::sim {

namespace {
constexpr uint32_t kReplyTimeoutMs = 5000;
constexpr size_t kMaxReplyBytes = 512;

int usage(const std::string& message) {
    std::fprintf(stderr, "lumvek-camsim ctl: %s (usage: lumvek-camsim ctl [--dir DIR] unplug|replug NAME | "
                         "fault NAME KEY=VALUE)\n",
                 message.c_str());
    return 2;
}
} // namespace

int runCtl(const std::vector<std::string>& args) {
    std::string directory = fx3::wire::deviceDirectory();
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dir") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return usage("--dir needs a directory");
            directory = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.empty()) return usage("no command");
    std::string line;
    if ((rest[0] == "unplug" || rest[0] == "replug") && rest.size() == 2) {
        line = rest[0];
    } else if (rest[0] == "fault" && rest.size() == 3 && rest[2].find('=') != std::string::npos) {
        line = "fault " + rest[2];
    } else {
        return usage("bad command");
    }
    const std::string& name = rest[1];
    if (!fx3::wire::isValidInstanceName(name)) return usage("bad camera name '" + name + "'");

    const int fd = fx3::sockio::connectUnix(directory + "/.ctl-" + name + ".sock");
    if (fd < 0) {
        std::fprintf(stderr, "lumvek-camsim ctl: no camera '%s' served in %s\n", name.c_str(), directory.c_str());
        return 1;
    }
    line += "\n";
    std::string reply;
    if (fx3::sockio::sendAll(fd, line.data(), line.size())) {
        char c = 0;
        while (reply.size() < kMaxReplyBytes &&
               fx3::sockio::recvAll(fd, &c, 1, kReplyTimeoutMs) == fx3::sockio::IoStatus::Ok && c != '\n') {
            reply.push_back(c);
        }
    }
    ::close(fd);
    if (reply == "ok") {
        return 0;
    }
    std::fprintf(stderr, "lumvek-camsim ctl: %s\n", reply.empty() ? "no answer" : reply.c_str());
    return 1;
}

} // namespace lumvek::sim
