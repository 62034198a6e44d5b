// lumvek reg export
#include <cstdio>
#include <string>

#include "command_support.h"
#include "commands.h"
#include "failure.h"
#include "settings_store_path.h"
#include "settings_store_reader.h"

namespace lumvek::tool {

namespace {

constexpr const char* kRegHelp =
    "usage: lumvek reg export [-o FILE] [--store PATH]\n"
    "\n"
    "Writes the settings store (the per-camera settings the SDK keeps) as .reg\n"
    "text: one [key] section per key, \"Name\"=dword:xxxxxxxx for numbers and\n"
    "hex:.. for binary values. The store is read directly and never changed;\n"
    "no camera is needed.\n"
    "\n"
    "  -o, --output FILE  write to FILE instead of standard output\n"
    "  --store PATH       read this store instead of the SDK's\n"
    "                     ($LUMVEK_REGISTRY_FILE or ~/.config/lumvek/registry.sqlite3)\n"
    "  -h, --help         this text\n";

constexpr OptionSpec kSpecs[] = {{"output", 'o', true}, {"store", 0, true}, {"help", 'h', false}};

} // namespace

int runReg(const Args& words) {
    const ParsedArgs args = parseArgs(words, kSpecs, "reg");
    if (helpRequested(args, kRegHelp)) return kExitOk;
    requireOperands(args, 1, 1, "reg");
    if (args.operands[0] != "export") usageError("reg: unknown action '" + args.operands[0] + "' (only export)");
    const std::string store = args.value("store").value_or(settingsStorePath());
    StoreContents contents;
    std::string error;
    if (!readSettingsStore(store, contents, error)) fail("reg export: " + error);
    const std::string text = formatRegText(contents);
    const auto output = args.value("output");
    if (!output) {
        std::fputs(text.c_str(), stdout);
        return kExitOk;
    }
    requireWritableFile(*output, "reg export");
    std::FILE* file = std::fopen(output->c_str(), "wb");
    if (file == nullptr) fail("reg export: cannot write " + *output);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) fail("reg export: writing " + *output + " failed");
    std::printf("exported %zu keys from %s to %s\n", contents.keys.size(), store.c_str(), output->c_str());
    return kExitOk;
}

} // namespace lumvek::tool
