// lumvek dialog camera|image|analog
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "command_support.h"
#include "commands.h"
#include "dialog_kinds.h"
#include "display_check.h"
#include "failure.h"
#include "settings_table.h"

namespace lumvek::tool {

namespace {

constexpr const char* kDialogHelp =
    "usage: lumvek dialog camera|image|analog [camera options]\n"
    "\n"
    "Opens one of the SDK's settings dialogs for the camera and waits until it is\n"
    "closed, as an application's Lumvek_SetCameraDlg, Lumvek_SetImageDlg or\n"
    "Lumvek_SetAnalogDlg does:\n"
    "  camera    capture window presets, colour mode, wait time\n"
    "  image     brightness, contrast, hue, saturation, sharpness, white balance,\n"
    "            gamma, Bayer mode (and the gray-level filter in the mono modes)\n"
    "  analog    gains, exposure, mirrors, black level, cooling, channel gains\n"
    "Whatever button closes it, the command ends with 0 and lists the settings that\n"
    "changed (Cancel puts the analog and image values back). Needs an X server.\n";

// Everything a dialog may change that the tool can read back.
struct Snapshot {
    std::vector<std::pair<const SettingInfo*, int>> settings;
    int colourBits = 0;
    int window[6] = {};  // TH, EHS, EH, TV, EVS, EV
};

Snapshot takeSnapshot(CameraSession& session) {
    Snapshot snapshot;
    const int h = session.handle();
    for (const auto& setting : allSettings()) {
        int value = 0;
        if (setting.access != SettingAccess::WriteOnly && readSetting(h, setting, value))
            snapshot.settings.emplace_back(&setting, value);
    }
    snapshot.colourBits = Lumvek_GetColorMode(h);
    int* w = snapshot.window;
    (void)Lumvek_GetCaptureWindowEx(h, &w[0], &w[1], &w[2], &w[3], &w[4], &w[5]);
    session.clearErrors();
    return snapshot;
}

// One line per change; the number of lines.
int printChanges(const Snapshot& before, const Snapshot& after) {
    int changes = 0;
    for (const auto& [setting, old] : before.settings) {
        for (const auto& [same, now] : after.settings) {
            if (same == setting && now != old) {
                std::printf("  %-20s %d -> %d\n", setting->name, old, now);
                ++changes;
            }
        }
    }
    if (after.colourBits != before.colourBits) {
        std::printf("  %-20s %d -> %d bits\n", "colour mode", before.colourBits, after.colourBits);
        ++changes;
    }
    const int* b = before.window;
    const int* a = after.window;
    if (!std::equal(b, b + 6, a)) {
        std::printf("  %-20s %d x %d at (%d, %d) -> %d x %d at (%d, %d)\n", "capture window", b[2], b[5], b[1], b[4],
                    a[2], a[5], a[1], a[4]);
        ++changes;
    }
    return changes;
}

} // namespace

int runDialog(const Args& words) {
    const auto specs = cameraOptionSpecs({});
    const ParsedArgs args = parseArgs(words, specs, "dialog");
    if (helpRequested(args, (std::string(kDialogHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 1, 1, "dialog");
    const DialogKind* kind = findDialog(args.operands.front());
    if (kind == nullptr)
        usageError("dialog: '" + args.operands.front() + "' is not a dialog; say " + dialogNames());
    const CameraOptions options = cameraOptionsFrom(args, "dialog");
    requireDisplay("dialog");

    CameraSession session = CameraSession::withCamera(options);
    session.clearErrors();
    const Snapshot before = takeSnapshot(session);
    // No owner window: the dialog stands on its own, centred on the screen.
    if (kind->open(session.handle(), nullptr) != 1)
        session.failWithLastError(std::string("dialog: the ") + kind->name + " dialog could not be opened");
    std::printf("%s dialog closed\n", kind->name);
    const Snapshot after = takeSnapshot(session);
    if (printChanges(before, after) == 0) std::printf("  no setting changed\n");
    return kExitOk;
}

} // namespace lumvek::tool
