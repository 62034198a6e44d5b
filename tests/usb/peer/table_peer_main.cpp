// usb_table_peer: a second process for the open-device table tests. Reads
// one command per line on standard input, answers one line on standard
// output. Controllers it creates attach to the block named by
// $LUMVEK_SHM_NAME, inherited from the test.
//
//   attach            construct one more controller      -> ok <process attach count>
//   detach            destroy the newest controller      -> ok <process attach count>
//   hold-lock         take the table's named lock and keep it -> ok
//   controller        construct one more CFx3Api          -> ok <process attach count>
//   plug VID PID NAME make a camera present (hex ids)     -> ok
//   unplug NAME       remove it                           -> ok
//   enumerate         EnumerateDevices of the first CFx3Api -> ok <entry count>
//   entry I           -> ok <vid> <pid> <device number> (hex ids)
//   countof PID       cameras of one product present now  -> ok <count>
//   quit              exit normally (controllers detach)
//   exit-leaking      exit at once, controllers still attached
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "../scripted_camera.h"
#include "platform/fx3/in_process_bus.h"
#include "platform/shm/named_lock.h"
#include "usb/fx3_api.h"
#include "usb/device_table.h"
#include "usb/shared_device_table.h"

namespace {

using lumvek::usb::SharedDeviceTable;

struct Peer {
    std::vector<std::unique_ptr<lumvek::platform::SharedMemoryBlock>> views;
    std::unique_ptr<lumvek::platform::NamedLockGuard> heldLock;
    std::vector<std::unique_ptr<lumvek::CFx3Api>> controllers;
    std::map<std::string, std::string> paths;  // camera name -> device path

    static std::string hex(unsigned value) {
        char text[16];
        std::snprintf(text, sizeof text, "%04x", value);
        return text;
    }

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
        if (command == "controller") {
            controllers.push_back(std::make_unique<lumvek::CFx3Api>());
            return controllers.back()->HasTable()
                       ? "ok " + std::to_string(SharedDeviceTable::processAttachCount())
                       : "error table";
        }
        if (command == "plug") {
            std::string vid;
            std::string pid;
            std::string name;
            in >> vid >> pid >> name;
            const std::string path = lumvek::fx3::InProcessBus::instance().attach(
                std::make_shared<lumvek::test::ScriptedCamera>(), static_cast<uint16_t>(std::stoul(vid, nullptr, 16)),
                static_cast<uint16_t>(std::stoul(pid, nullptr, 16)), name);
            if (path.empty()) {
                return "error plug";
            }
            paths[name] = path;
            return "ok";
        }
        if (command == "unplug") {
            std::string name;
            in >> name;
            lumvek::fx3::InProcessBus::instance().detach(paths[name]);
            return "ok";
        }
        if (controllers.empty()) {
            return "error no controller";
        }
        lumvek::CFx3Api& api = *controllers.front();
        if (command == "enumerate") {
            return "ok " + std::to_string(api.EnumerateDevices());
        }
        if (command == "entry") {
            int index = 0;
            in >> index;
            return "ok " + hex(api.GetEntryVendorId(index)) + " " + hex(api.GetEntryProductId(index)) + " " +
                   std::to_string(api.GetEntryDeviceNumber(index));
        }
        if (command == "countof") {
            std::string pid;
            in >> pid;
            return "ok " + std::to_string(api.CountDevicesOfProduct(static_cast<int32_t>(std::stoul(pid, nullptr, 16))));
        }
        return "error unknown " + command;
    }
};

} // namespace

int main() {
    Peer peer;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "exit-leaking") {
            std::cout << "ok" << std::endl;
            std::exit(0);
        }
        if (line == "quit") {
            std::cout << "ok" << std::endl;
            break;
        }
        std::cout << peer.run(line) << std::endl;
    }
    peer.controllers.clear();
    while (!peer.views.empty()) {
        SharedDeviceTable::detach(std::move(peer.views.back()));
        peer.views.pop_back();
    }
    return 0;
}
