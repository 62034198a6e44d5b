#include "sim/control_socket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/fx3/socket_io.h"

namespace lumvek::sim {

namespace {
constexpr size_t kMaxCommandBytes = 256;
constexpr uint32_t kCommandTimeoutMs = 2000;
constexpr int kListenBacklog = 64;
} // namespace

int listenUnix(const std::string& path, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = "socket path too long: " + path;
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (const int probe = fx3::sockio::connectUnix(path); probe >= 0) {
        ::close(probe);
        error = "another simulator already serves " + path;
        return -1;
    }
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, kListenBacklog) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string readControlLine(int fd) {
    std::string line;
    char c = 0;
    while (line.size() < kMaxCommandBytes &&
           fx3::sockio::recvAll(fd, &c, 1, kCommandTimeoutMs) == fx3::sockio::IoStatus::Ok && c != '\n') {
        line.push_back(c);
    }
    return line;
}

void sendControlReply(int fd, const std::string& reply) {
    const std::string line = reply + "\n";
    (void)fx3::sockio::sendAll(fd, line.data(), line.size());
}

std::string runControlCommand(const std::string& line, Faults& faults, const std::function<void()>& unplug,
                              const std::function<void()>& replug) {
    if (line == "unplug") {
        unplug();
        return "ok";
    }
    if (line == "replug") {
        replug();
        return "ok";
    }
    if (line.rfind("fault ", 0) == 0) {
        const std::string setting = line.substr(6);
        const size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            return "error: fault needs KEY=VALUE";
        }
        std::string error;
        if (!faults.set(setting.substr(0, equals), setting.substr(equals + 1), error)) {
            return "error: " + error;
        }
        return "ok";
    }
    return "error: unknown command '" + line + "'";
}

} // namespace lumvek::sim
