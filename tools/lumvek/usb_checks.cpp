#include "usb_checks.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumvek::tool {

namespace {
constexpr const char* kUsbfsMemoryFile = "/sys/module/usbcore/parameters/usbfs_memory_mb";
constexpr const char* kRuleName = "60-lumvek.rules";

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}
} // namespace

std::optional<int> usbfsMemoryLimitMb() {
    std::ifstream in(kUsbfsMemoryFile);
    int megabytes = -1;
    if (!(in >> megabytes) || megabytes < 0) return std::nullopt;
    return megabytes;
}

std::string usbfsMemoryFix() {
    const std::string wanted = std::to_string(kWantedUsbfsMemoryMb);
    return "echo " + wanted + " | sudo tee " + kUsbfsMemoryFile + " (0 removes the limit); to keep it, add usbcore.usbfs_memory_mb=" +
           wanted + " to the kernel command line";
}

std::vector<NodeHolder> processesHolding(const std::string& node) {
    std::vector<NodeHolder> holders;
    std::error_code error;
    const std::string self = std::to_string(::getpid());
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename().string();
        if (!isNumber(pid) || pid == self) continue;
        std::error_code unreadable;  // other users' processes: not ours to see
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code broken;
            if (std::filesystem::read_symlink(fd.path(), broken).string() != node) continue;
            std::ifstream in(process.path() / "cmdline", std::ios::binary);
            std::string command((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (char& c : command) c = c == '\0' ? ' ' : c;
            while (!command.empty() && command.back() == ' ') command.pop_back();
            holders.push_back({std::atoi(pid.c_str()), command});
            break;
        }
    }
    return holders;
}

std::string accessFix(const std::string& node) {
    std::string fix = std::string("install ") + kRuleName + " (sudo cp " + kRuleName +
                      " /etc/udev/rules.d/ && sudo udevadm control --reload && replug the camera; it grants the "
                      "logged-in user access)";
    struct stat info{};
    if (::stat(node.c_str(), &info) == 0 && info.st_gid != 0) {
        if (const group* owner = ::getgrgid(info.st_gid); owner != nullptr &&
                                                          (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
            fix += ", or join the node's group: sudo usermod -aG " + std::string(owner->gr_name) + " $USER";
        }
    }
    return fix;
}

} // namespace lumvek::tool
