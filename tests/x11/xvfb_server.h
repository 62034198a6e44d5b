#pragma once
// An Xvfb server of the test's own on a display number the server picks
// itself (-displayfd), so tests of several engineers never meet; stopped
// and reaped by the destructor or by kill().
#include <sys/types.h>

#include <string>

namespace lumvek::test {

class XvfbServer {
public:
    // Starts "Xvfb -screen 0 WxHx24"; ok() false when it did not come up in time.
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    [[nodiscard]] bool ok() const { return !display_.empty(); }
    [[nodiscard]] const std::string& display() const { return display_; }  // ":N"
    // Ends the server at once (SIGKILL) and reaps it.
    void kill();
    // Freezes the server (SIGSTOP): it keeps its connections but answers nothing.
    void stop();
    void resume();

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace lumvek::test
