// lumvek regs
#include <cstdio>
#include <string>

#include "LumvekSdk.h"
#include "command_support.h"
#include "commands.h"
#include "failure.h"
#include "sdk_errors.h"

namespace lumvek::tool {

namespace {

constexpr const char* kRegsHelp =
    "usage: lumvek regs read ADDRESS [--fpga|--srom] [camera options]\n"
    "       lumvek regs write ADDRESS VALUE [--fpga|--srom] [camera options]\n"
    "\n"
    "Reads or writes one register; numbers are decimal or 0x hexadecimal.\n"
    "  (default)   the image sensor: ADDRESS and VALUE as the sensor takes them\n"
    "  --fpga      the camera's FPGA: ADDRESS 0..0xFF, VALUE 0..0xFFFF\n"
    "  --srom      the serial ROM: ADDRESS 0..0xFFF, VALUE one byte 0..0xFF\n"
    "A sensor register that the camera cannot read back (the R13's CCD registers\n"
    "are read from what was written in the same run) fails with SDK error 6.\n"
    "Writing registers can leave the camera in a state the SDK does not expect;\n"
    "reopening the camera restores its settings.\n";

struct Target {
    const char* name;
    int64_t maxAddress;
    int64_t minValue;
    int64_t maxValue;
    int digits;
};

constexpr Target kSensor{"sensor", 0x7FFFFFFF, -0x80000000LL, 0xFFFFFFFFLL, 8};
constexpr Target kFpga{"fpga", 0xFF, 0, 0xFFFF, 4};
constexpr Target kSrom{"srom", 0xFFF, 0, 0xFF, 2};

// The serial-ROM calls report a failed transfer as code 1; say what it means.
void requireAccess(CameraSession& session, int result, const std::string& what, const Target& target) {
    if (result != 0) return;
    const int code = session.lastErrorCode();
    const std::string words = describeSdkError(code);
    if (&target == &kSrom) fail(what + ": the serial ROM did not answer (" + words + ")");
    fail(what + ": " + words);
}

} // namespace

int runRegs(const Args& words) {
    const auto specs = cameraOptionSpecs({{"fpga", 0, false}, {"srom", 0, false}});
    const ParsedArgs args = parseArgs(words, specs, "regs");
    if (helpRequested(args, (std::string(kRegsHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    const CameraOptions options = cameraOptionsFrom(args, "regs");
    if (args.has("fpga") && args.has("srom")) usageError("regs: --fpga and --srom exclude each other");
    const Target& target = args.has("fpga") ? kFpga : args.has("srom") ? kSrom : kSensor;
    requireOperands(args, 2, 3, "regs");
    const std::string& verb = args.operands[0];
    if (verb != "read" && verb != "write") usageError("regs: '" + verb + "' is neither read nor write");
    if (verb == "read" && args.operands.size() != 2) usageError("regs read: takes ADDRESS only");
    if (verb == "write" && args.operands.size() != 3) usageError("regs write: needs ADDRESS and VALUE");
    const std::string where = std::string("regs ") + verb + " " + target.name;
    const int address = requireInteger(args.operands[1], where + " address", 0, target.maxAddress);
    const int value =
        verb == "write" ? requireInteger(args.operands[2], where + " value", target.minValue, target.maxValue) : 0;

    CameraSession session = CameraSession::withCamera(options);
    const int h = session.handle();
    session.clearErrors();
    char addressText[16];
    std::snprintf(addressText, sizeof addressText, "0x%04X", static_cast<unsigned>(address));
    const std::string what = where + " " + addressText;
    if (verb == "write") {
        int result = 0;
        if (&target == &kFpga) {
            result = Lumvek_Fpga_WriteRegister(h, address, value);
        } else if (&target == &kSrom) {
            result = Lumvek_WriteSromID(h, address, value);
        } else {
            result = Lumvek_WriteRegisterEx(h, address, value);
        }
        requireAccess(session, result, what, target);
        std::printf("%s %s <- 0x%0*X\n", target.name, addressText, target.digits, static_cast<unsigned>(value));
        return kExitOk;
    }
    int ok = 1;  // the FPGA read writes the flag only on failure
    int read = 0;
    if (&target == &kFpga) {
        read = Lumvek_Fpga_ReadRegister(h, address, &ok);
    } else if (&target == &kSrom) {
        ok = 0;
        read = Lumvek_ReadSromID(h, address, &ok);
    } else {
        ok = 0;
        read = Lumvek_ReadRegisterEx(h, address, &ok);
    }
    requireAccess(session, ok, what, target);
    std::printf("%s %s = 0x%0*X (%d)\n", target.name, addressText, target.digits, static_cast<unsigned>(read), read);
    return kExitOk;
}

} // namespace lumvek::tool
