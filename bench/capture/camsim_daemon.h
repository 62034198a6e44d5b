#pragma once
// The lumvek-camsim daemon as a child process serving simulated cameras in a
// device folder of the caller's; stopped (SIGTERM, then SIGKILL after a
// bounded wait) when the object goes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace lumvek::bench {

class CamsimDaemon {
public:
    // Starts `program --dir deviceDir --camera D ...` and waits up to
    // readyTimeoutMs for its "ready" line; error() says why it did not come.
    CamsimDaemon(const std::string& program, const std::string& deviceDir, const std::vector<std::string>& cameras,
                 int readyTimeoutMs);
    ~CamsimDaemon();
    CamsimDaemon(const CamsimDaemon&) = delete;
    CamsimDaemon& operator=(const CamsimDaemon&) = delete;

    [[nodiscard]] bool ready() const { return error_.empty(); }
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] pid_t pid() const { return pid_; }

private:
    void stop();

    pid_t pid_ = -1;
    int out_ = -1;
    std::string error_;
};

} // namespace lumvek::bench
