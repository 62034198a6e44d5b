#pragma once
// A second real process for the tests of the shared open-device table: the
// test starts `usb_table_peer`, sends it one command per line and reads one
// answer line back ("ok ..." or "error ..."). Waits are bounded so that a
// wedged peer fails the test instead of hanging it.
#include <string>
#include <sys/types.h>

namespace lumvek::test {

class PeerProcess {
public:
    PeerProcess();  // starts the peer with this process's environment
    ~PeerProcess();  // asks it to quit, kills it if it does not
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    [[nodiscard]] bool started() const { return pid_ > 0; }
    // Sends a command and returns the answer line ("" when the peer died or
    // did not answer within the bound).
    std::string call(const std::string& command);
    // Asks the peer to quit and waits until it has exited (its controllers
    // detached). False if it had to be killed.
    bool quit();
    // SIGKILL and reap: the peer gets no chance to detach.
    void killHard();
    [[nodiscard]] pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int toPeer_ = -1;
    int fromPeer_ = -1;
    std::string pending_;
};

} // namespace lumvek::test
