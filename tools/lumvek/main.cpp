// lumvek: the command-line face of the Lumvek SDK, built only on its public
// C API (LumvekSdk.h, LumvekWindow.h).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "commands.h"
#include "failure.h"
#include "version_text.h"

namespace {

using lumvek::tool::Args;

struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* summary;
};

constexpr Command kCommands[] = {
    {"list", lumvek::tool::runList, "cameras: number, name, device path"},
    {"info", lumvek::tool::runInfo, "camera information, ranges, current settings, settings store"},
    {"snap", lumvek::tool::runSnap, "take pictures into files (BMP, raw, JPEG, PNG, TIFF)"},
    {"record", lumvek::tool::runRecord, "record an AVI file for a given time"},
    {"stream", lumvek::tool::runStream, "stream and print frame rate, lost frames and delivery latency"},
    {"get", lumvek::tool::runGet, "read a setting by name (brightness, exposure, mirror-v, ...)"},
    {"set", lumvek::tool::runSet, "change a setting by name"},
    {"mask", lumvek::tool::runMask, "capture dark/white references, save and load mask files"},
    {"regs", lumvek::tool::runRegs, "read and write sensor, FPGA and serial-ROM registers"},
    {"reg", lumvek::tool::runReg, "export the settings store as .reg text"},
    {"view", lumvek::tool::runView, "show the live picture in a window (keys: s r + - g G q)"},
    {"dialog", lumvek::tool::runDialog, "open the SDK's camera, image or analog settings dialog"},
    {"doctor", lumvek::tool::runDoctor, "check what a camera needs and say how to fix it"},
};

void printUsage(std::FILE* out) {
    std::fputs("usage: lumvek COMMAND [OPTIONS]   (lumvek COMMAND --help for each)\n"
               "       lumvek --version\n\ncommands:\n",
               out);
    for (const auto& command : kCommands) {
        std::fprintf(out, "  %-8s %s\n", command.name, command.summary);
    }
    std::fputs("\nEvery camera command takes --simulate to run against a simulated camera\n"
               "inside this process, and -d N to choose a camera.\n",
               out);
}

const Command* findCommand(const std::string& name) {
    for (const auto& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    // Options written before the command ("lumvek --simulate snap ...") are
    // handed to the command with the rest.
    std::vector<std::string> leading;
    size_t at = 0;
    while (at < words.size() && words[at].size() > 1 && words[at][0] == '-') {
        if (words[at] == "-h" || words[at] == "--help") {
            printUsage(stdout);
            return lumvek::tool::kExitOk;
        }
        if (words[at] == "--version") {
            std::printf("lumvek %s\n%s\n", LUMVEK_VERSION,
                        lumvek::tool::libraryVersionText(static_cast<uint32_t>(Lumvek_GetDllVersion())).c_str());
            return lumvek::tool::kExitOk;
        }
        leading.push_back(words[at]);
        // Leading options with a value keep it.
        if ((words[at] == "-d" || words[at] == "--device" || words[at] == "--scene" || words[at] == "--pattern") &&
            at + 1 < words.size()) {
            leading.push_back(words[++at]);
        }
        ++at;
    }
    if (at >= words.size()) {
        printUsage(stderr);
        return lumvek::tool::kExitUsage;
    }
    std::string name = words[at];
    std::vector<std::string> rest(words.begin() + static_cast<long>(at) + 1, words.end());
    if (name == "help") {
        if (rest.empty()) {
            printUsage(stdout);
            return lumvek::tool::kExitOk;
        }
        name = rest.front();
        rest = {"--help"};
    }
    const Command* command = findCommand(name);
    if (command == nullptr) {
        std::fprintf(stderr, "lumvek: unknown command '%s' (lumvek --help lists them)\n", name.c_str());
        return lumvek::tool::kExitUsage;
    }
    rest.insert(rest.begin(), leading.begin(), leading.end());
    try {
        return command->run(rest);
    } catch (const lumvek::tool::Failure& failure) {
        std::fprintf(stderr, "lumvek: %s\n", failure.what());
        return failure.exitCode();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumvek: %s: %s\n", name.c_str(), error.what());
        return lumvek::tool::kExitFailure;
    }
}
