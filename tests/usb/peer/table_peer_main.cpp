// usb_table_peer: a second process for the open-device table tests. Reads
// one command per line on standard input, answers one line on standard
// output. Controllers it creates attach to the block named by
// $LUMVEK_SHM_NAME, inherited from the test.
//
//   attach            construct one more controller      -> ok <process attach count>
//   detach            destroy the newest controller      -> ok <process attach count>
//   hold-lock         take the table's named lock and keep it -> ok
//   quit              exit normally (controllers detach)
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/shm/named_lock.h"
#include "usb/device_table.h"
#include "usb/shared_device_table.h"

namespace {

using lumvek::usb::SharedDeviceTable;

struct Peer {
    std::vector<std::unique_ptr<lumvek::platform::SharedMemoryBlock>> views;
    std::unique_ptr<lumvek::platform::NamedLockGuard> heldLock;

    std::string run(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "attach") {
            auto view = SharedDeviceTable::attach();
            if (!view) {
                return "error attach";
            }
            views.push_back(std::move(view));
            return "ok " + std::to_string(SharedDeviceTable::processAttachCount());
        }
        if (command == "detach") {
            if (views.empty()) {
                return "error none";
            }
            SharedDeviceTable::detach(std::move(views.back()));
            views.pop_back();
            return "ok " + std::to_string(SharedDeviceTable::processAttachCount());
        }
        if (command == "hold-lock") {
            heldLock = std::make_unique<lumvek::platform::NamedLockGuard>(lumvek::usb::sharedBlockName() + ".lock");
            return heldLock->held() ? "ok" : "error lock";
        }
        return "error unknown " + command;
    }
};

} // namespace

int main() {
    Peer peer;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "quit") {
            std::cout << "ok" << std::endl;
            break;
        }
        std::cout << peer.run(line) << std::endl;
    }
    while (!peer.views.empty()) {
        SharedDeviceTable::detach(std::move(peer.views.back()));
        peer.views.pop_back();
    }
    return 0;
}
