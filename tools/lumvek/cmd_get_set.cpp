// lumvek get, lumvek set
#include <cstdio>
#include <string>

#include "camera_ranges.h"
#include "command_support.h"
#include "commands.h"
#include "product_commands.h"
#include "failure.h"
#include "json_writer.h"
#include "sdk_errors.h"
#include "settings_store_check.h"
#include "settings_store_path.h"
#include "settings_table.h"

namespace lumvek::tool {

namespace {

std::string settingsHelp() {
    std::string text = "Settings (name: what set accepts; meaning):\n";
    for (const auto& setting : allSettings()) {
        char line[200];
        std::snprintf(line, sizeof line, "  %-19s %-38s %s%s\n", setting.name, rangeText(setting).c_str(), setting.meaning,
                      setting.kept ? "" : " (this run only)");
        text += line;
    }
    text += "The SDK keeps values in the settings store per camera number, channel gains\n"
            "and offsets in the camera's serial ROM; those marked (this run only) are not\n"
            "kept: use them with snap and record options instead (snap --mask FILE).\n";
    return text;
}

std::string getHelp() {
    return std::string("usage: lumvek get [NAME|all] [--json] [camera options]\n"
                       "\n"
                       "Reads one setting, or all of them. With --json: {\"name\": value, ...};\n"
                       "a setting the camera does not have reads as null.\n\n") +
           settingsHelp() + "\n" + kCameraOptionsHelp;
}

std::string setHelp() {
    return std::string("usage: lumvek set NAME VALUE [camera options]\n"
                       "\n"
                       "Changes one setting. VALUE is a number (decimal or 0x hexadecimal), or\n"
                       "on/off for 0..1 settings. The SDK checks the range; a refused value is\n"
                       "reported with the SDK's error code in words and changes nothing.\n\n") +
           settingsHelp() + "\n" + kCameraOptionsHelp;
}

const SettingInfo& requireSetting(const std::string& name, const std::string& command) {
    const SettingInfo* setting = findSetting(name);
    if (setting == nullptr) usageError(command + ": unknown setting '" + name + "' (lumvek " + command + " --help lists them)");
    return *setting;
}

int parseValue(const std::string& text, const SettingInfo& setting) {
    if (text == "on" || text == "true") return 1;
    if (text == "off" || text == "false") return 0;
    const auto value = parseInteger(text);
    if (!value) usageError("set " + std::string(setting.name) + ": '" + text + "' is not a number");
    return static_cast<int>(*value);
}

} // namespace

int runGet(const Args& words) {
    if (wantsProduct(words)) return runProductGet(words);
    const auto specs = cameraOptionSpecs({{"json", 0, false}});
    const ParsedArgs args = parseArgs(words, specs, "get");
    if (args.has("help") && helpRequested(args, (getHelp() + cameraRangesHelp(args, "get")).c_str())) return kExitOk;
    requireOperands(args, 0, 1, "get");
    const CameraOptions options = cameraOptionsFrom(args, "get");
    const bool everything = args.operands.empty() || args.operands[0] == "all";
    const SettingInfo* only = everything ? nullptr : &requireSetting(args.operands[0], "get");
    if (only != nullptr && only->access == SettingAccess::WriteOnly) {
        usageError("get: " + std::string(only->name) + " can only be set");
    }

    CameraSession session = CameraSession::withCamera(options);
    if (options.deviceId) {
        std::fprintf(stderr, "note: camera '%s' is number %d now; stored settings follow the number, not the id\n",
                     options.deviceId->c_str(), session.deviceNumber());
    }
    JsonWriter json;
    json.beginObject();
    for (const auto& setting : allSettings()) {
        if (only != nullptr ? &setting != only : setting.access == SettingAccess::WriteOnly) continue;
        session.clearErrors();
        int value = 0;
        if (!readSetting(session.handle(), setting, value)) {
            const int code = session.lastErrorCode();
            if (only != nullptr) fail("get " + std::string(setting.name) + ": " + describeSdkError(code));
            if (args.has("json")) {
                json.null(setting.name);
            } else {
                std::printf("%-20s (%s)\n", setting.name, describeSdkError(code).c_str());
            }
            continue;
        }
        if (args.has("json")) {
            json.value(setting.name, value);
        } else if (only != nullptr) {
            std::printf("%d\n", value);
        } else {
            std::printf("%-20s %d\n", setting.name, value);
        }
    }
    json.endObject();
    if (args.has("json")) std::fputs(json.text().c_str(), stdout);
    return kExitOk;
}

int runSet(const Args& words) {
    if (wantsProduct(words)) return runProductSet(words);
    const auto specs = cameraOptionSpecs({});
    const ParsedArgs args = parseArgs(words, specs, "set");
    if (helpRequested(args, setHelp().c_str())) return kExitOk;
    requireOperands(args, 2, 2, "set");
    const CameraOptions options = cameraOptionsFrom(args, "set");
    const SettingInfo& setting = requireSetting(args.operands[0], "set");
    if (setting.access == SettingAccess::ReadOnly) usageError("set: " + std::string(setting.name) + " is read only");
    const int value = parseValue(args.operands[1], setting);
    // The mirror calls take any value as on; say so rather than guess.
    if ((setting.kind == SettingKind::MirrorH || setting.kind == SettingKind::MirrorV) &&
        (value < setting.range.low || value > setting.range.high)) {
        usageError("set " + std::string(setting.name) + ": " + args.operands[1] + " is outside " + rangeText(setting));
    }

    // A value the settings store cannot keep would be lost at the end of the
    // run: refuse before anything changes.
    const std::string store = settingsStorePathFor(options.simulation.enabled);
    const bool kept = storeKeeps(setting);
    if (kept) {
        if (const std::string problem = settingsStoreWriteProblem(store); !problem.empty()) {
            fail("set " + std::string(setting.name) + ": " + unwritableStoreMessage(store, problem) +
                 "; nothing was changed");
        }
    }

    int now = value;
    bool readBack = false;
    int camera = 0;
    {
        CameraSession session = CameraSession::withCamera(options);
        session.clearErrors();
        if (!writeSetting(session.handle(), setting, value)) {
            const int code = session.lastErrorCode();
            fail("set " + std::string(setting.name) + " " + args.operands[1] + ": " +
                 (code == 0 ? "the camera refused it (the SDK gave no error code)" : describeSdkError(code)) + "; " +
                 setting.name + " accepts " + acceptedRange(session.handle(), setting));
        }
        readBack = setting.access == SettingAccess::ReadWrite && readSetting(session.handle(), setting, now);
        camera = session.deviceNumber();
        if (options.deviceId && kept) {
            std::fprintf(stderr, "note: camera '%s' is number %d now; the value is stored for number %d, not for the id\n",
                         options.deviceId->c_str(), camera, camera);
        }
    }  // the SDK saves the settings as the session ends

    // The SDK has no error code for a save that failed: look at what the
    // store holds now (the value asked for, or the one the camera kept where
    // it adjusted it).
    if (kept) {
        const std::optional<int> stored = storedSettingValue(setting, camera);
        if (stored != value && !(readBack && stored == now)) {
            std::string problem = settingsStoreWriteProblem(store);
            if (problem.empty()) {
                problem = "it holds " + (stored ? std::to_string(*stored) : std::string("no value")) + " for " +
                          setting.name + " after the SDK saved " + std::to_string(value) +
                          " (LUMVEK_LOG=settings shows why)";
            }
            fail("set " + std::string(setting.name) + ": " + unwritableStoreMessage(store, problem) +
                 "; the camera had the value for this run only");
        }
    }
    if (!setting.kept) {
        std::fprintf(stderr, "note: the SDK does not keep %s after this run\n", setting.name);
    }
    if (readBack) {
        if (now == value || setting.kind != SettingKind::Selector) {
            std::printf("%s = %d\n", setting.name, now);
        } else {
            std::printf("%s\n", adjustedValueLine(setting, value, now).c_str());
        }
    } else {
        std::printf("%s set to %d\n", setting.name, value);
    }
    return kExitOk;
}

} // namespace lumvek::tool
