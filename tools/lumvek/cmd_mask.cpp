// lumvek mask
#include <cstdio>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "command_support.h"
#include "commands.h"
#include "failure.h"
#include "picture_format.h"
#include "sdk_errors.h"

namespace lumvek::tool {

namespace {

constexpr int kDarkReference = 0;
constexpr int kWhiteReference = 1;

constexpr const char* kMaskHelp =
    "usage: lumvek mask ACTION [ACTION ...] [--mode 8|16] [camera options]\n"
    "\n"
    "Reference frames and mask files of the mask filter (flat-field correction)\n"
    "and the dot filter (defect pixels). Actions run in order in one session:\n"
    "  dark          take a picture with the lens covered: the dark reference\n"
    "  white         take a picture of an even bright field: the white reference\n"
    "  save FILE     write both references to a mask file\n"
    "  load FILE     read a mask file (checked by the SDK)\n"
    "The references live in this run only; keep them with save, e.g.\n"
    "  lumvek mask load old.mask dark save new.mask\n"
    "\n"
    "  --mode 8|16   capture the references at this depth only (default: both)\n";

struct Action {
    std::string verb;
    std::string file;
};

std::vector<Action> parseActions(const std::vector<std::string>& operands) {
    std::vector<Action> actions;
    for (size_t i = 0; i < operands.size(); ++i) {
        const std::string& verb = operands[i];
        if (verb == "dark" || verb == "white") {
            actions.push_back({verb, {}});
        } else if (verb == "save" || verb == "load") {
            if (i + 1 >= operands.size()) usageError("mask: " + verb + " needs a FILE");
            actions.push_back({verb, operands[++i]});
        } else {
            usageError("mask: unknown action '" + verb + "' (dark, white, save FILE, load FILE)");
        }
    }
    if (actions.empty()) usageError("mask: no action given (see lumvek mask --help)");
    return actions;
}

void captureReference(CameraSession& session, int kind, const std::vector<int>& depths) {
    const int h = session.handle();
    const char* name = kind == kDarkReference ? "dark" : "white";
    LumvekCameraInfo info{};
    info.size = sizeof info;
    session.require(Lumvek_GetCameraInfo(h, &info), std::string("mask ") + name + ": camera information");
    const int previousMode = Lumvek_GetColorMode(h);
    for (const int bits : depths) {
        session.require(Lumvek_SetColorMode(h, bits), std::string("mask ") + name + ": colour mode");
        session.require(Lumvek_SnapShot(h, nullptr, 0, 1), std::string("mask ") + name + ": taking the picture");
        if (Lumvek_Width(h) != info.fullWidth || Lumvek_Height(h) != info.fullHeight) {
            fail(std::string("mask ") + name + ": the capture window is " + std::to_string(Lumvek_Width(h)) + " x " +
                 std::to_string(Lumvek_Height(h)) + "; references need the full frame " +
                 std::to_string(info.fullWidth) + " x " + std::to_string(info.fullHeight));
        }
        session.require(Lumvek_UpdateMaskData(h, kind), std::string("mask ") + name + ": storing the reference");
    }
    if (isColourModeBits(previousMode)) (void)Lumvek_SetColorMode(h, previousMode);
    std::printf("%s reference taken (%s bits)\n", name, depths.size() == 2 ? "8 and 16" : std::to_string(depths[0]).c_str());
}

} // namespace

int runMask(const Args& words) {
    const auto specs = cameraOptionSpecs({{"mode", 0, true}});
    const ParsedArgs args = parseArgs(words, specs, "mask");
    if (helpRequested(args, (std::string(kMaskHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    const CameraOptions options = cameraOptionsFrom(args, "mask");
    const std::vector<Action> actions = parseActions(args.operands);
    std::vector<int> depths{8, 16};
    if (const auto mode = args.value("mode")) {
        const int bits = requireInteger(*mode, "mask: --mode", 8, 16);
        if (bits != 8 && bits != 16) usageError("mask: --mode must be 8 or 16");
        depths = {bits};
    }
    bool kept = true;
    for (const auto& action : actions) {
        if (action.verb == "save") requireWritableFile(action.file, "mask save");
        if (action.verb == "dark" || action.verb == "white") kept = false;
        if (action.verb == "save") kept = true;
    }

    CameraSession session = CameraSession::withCamera(options);
    const int h = session.handle();
    session.clearErrors();
    for (const auto& action : actions) {
        if (action.verb == "dark") {
            captureReference(session, kDarkReference, depths);
        } else if (action.verb == "white") {
            captureReference(session, kWhiteReference, depths);
        } else if (action.verb == "save") {
            if (Lumvek_SaveMaskFile(h, action.file.c_str()) == 0) {
                const int code = session.lastErrorCode();
                fail("mask save " + action.file + ": " + describeSdkError(code) + " (" + reasonWriteFails(action.file) +
                     ")");
            }
            std::printf("saved mask file %s\n", action.file.c_str());
        } else {
            session.require(Lumvek_LoadMaskFile(h, action.file.c_str()), "mask load " + action.file);
            std::printf("loaded mask file %s\n", action.file.c_str());
        }
    }
    if (!kept) {
        std::fputs("note: the new reference lasts only for this run; add 'save FILE' to keep it\n", stderr);
    }
    return kExitOk;
}

} // namespace lumvek::tool
