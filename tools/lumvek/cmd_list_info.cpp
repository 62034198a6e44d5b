// lumvek list, lumvek info
#include <cstdio>
#include <string>
#include <vector>

#include "LumvekDevice.h"
#include "LumvekSdk.h"
#include "accepted_range.h"
#include "camera_ranges.h"
#include "command_support.h"
#include "commands.h"
#include "device_table_view.h"
#include "failure.h"
#include "json_writer.h"
#include "product_commands.h"
#include "settings_store_path.h"
#include "settings_table.h"

namespace lumvek::tool {

namespace {

constexpr uint16_t kProductId = 0x3090;

constexpr const char* kListHelp =
    "usage: lumvek list [--json] [camera options]\n"
    "\n"
    "Lists the cameras of this model that can be opened now: the number to give\n"
    "to -d, the SDK's name, the device path from the open-device table and the\n"
    "camera's id (its USB serial number, else its bus and port; a simulated\n"
    "camera's name), which -d takes as well. Numbers follow the order in which\n"
    "the cameras were found, ids stay with the camera; the settings store keeps\n"
    "its values per number.\n"
    "\n"
    "  --json             one JSON object: {\"cameras\": [{\"number\", \"name\", \"path\", \"id\"}]}\n";

constexpr const char* kInfoHelp =
    "usage: lumvek info [-d N] [--json] [camera options]\n"
    "\n"
    "Shows the camera information record (sensor size, gain and exposure ranges;\n"
    "beside the nominal exposure range, where the camera really stops),\n"
    "the capture window and colour mode, every readable setting, and where the\n"
    "settings store lives.\n"
    "\n"
    "  --json             the same as one JSON object\n";

std::string devicePath(int number) {
    std::string error;
    const auto table = readDeviceTable(error);
    return table ? devicePathOf(*table, kProductId, number) : std::string();
}

std::string cameraId(int number) {
    char id[LUMVEK_DEVICE_ID_BYTES] = {};
    return LumvekDevice_GetId(number, id, sizeof id) ? std::string(id) : std::string();
}

} // namespace

int runList(const Args& words) {
    const auto specs = cameraOptionSpecs({{"json", 0, false}});
    const ParsedArgs args = parseArgs(words, specs, "list");
    if (helpRequested(args, (std::string(kListHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 0, 0, "list");
    const CameraOptions options = cameraOptionsFrom(args, "list");
    if (options.deviceNumber || options.deviceId) usageError("list: -d does not apply; list shows every camera");

    CameraSession session = CameraSession::withoutCamera(options.simulation);
    const auto cameras = session.presentCameras();
    std::vector<int> listed;
    for (const auto& camera : cameras) listed.push_back(camera.number);
    if (args.has("json")) {
        JsonWriter json;
        json.beginObject().beginArray("cameras");
        for (const auto& camera : cameras) {
            json.beginObject().value("number", camera.number).value("name", camera.name);
            json.value("path", devicePath(camera.number)).value("id", cameraId(camera.number)).endObject();
        }
        json.endArray().beginArray("products");
        (void)addOtherProducts(&json, listed);
        json.endArray().endObject();
        std::fputs(json.text().c_str(), stdout);
        return kExitOk;
    }
    for (const auto& camera : cameras) {
        std::printf("%-3d %-24s %s  id %s\n", camera.number, camera.name.c_str(), devicePath(camera.number).c_str(),
                    cameraId(camera.number).c_str());
    }
    if (cameras.size() > 1) {
        std::puts("(-d takes the number or the id; stored settings follow the number, which goes by the order "
                  "the cameras were found)");
    }
    // Cameras of the other products of the family (lumvek info --product ID).
    const int others = addOtherProducts(nullptr, listed);
    if (cameras.empty() && others == 0) {
        std::puts("no camera found (lumvek doctor tells why; --simulate uses a simulated one)");
    }
    return kExitOk;
}

int runInfo(const Args& words) {
    if (wantsProduct(words)) return runProductInfo(words);
    const auto specs = cameraOptionSpecs({{"json", 0, false}});
    const ParsedArgs args = parseArgs(words, specs, "info");
    if (helpRequested(args, (std::string(kInfoHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 0, 0, "info");
    const CameraOptions options = cameraOptionsFrom(args, "info");

    CameraSession session = CameraSession::withCamera(options);
    const int h = session.handle();
    session.clearErrors();

    std::string name;
    for (const auto& camera : session.presentCameras()) {
        if (camera.number == session.deviceNumber()) name = camera.name;
    }
    LumvekCameraInfo info{};
    info.size = sizeof info;
    session.require(Lumvek_GetCameraInfo(h, &info), "info: camera information");
    int th = 0, ehs = 0, eh = 0, tv = 0, evs = 0, ev = 0;
    (void)Lumvek_GetCaptureWindowEx(h, &th, &ehs, &eh, &tv, &evs, &ev);
    const int colourBits = Lumvek_GetColorMode(h);
    int ok = 0;
    const double exposureSeconds = Lumvek_GetExposureTimeEx(h, &ok);
    // What the camera keeps of the nominal exposure range (the R13 stops at 232).
    AcceptedRange exposureRange;
    const bool haveAccepted = acceptedExposureRange(h, exposureRange);
    const bool haveSeconds = ok == 1;
    const int waitTime = Lumvek_GetWaitTime(h);
    session.clearErrors();

    struct Reading {
        const SettingInfo* setting;
        bool ok;
        int value;
        std::string problem;
    };
    std::vector<Reading> readings;
    for (const auto& setting : allSettings()) {
        if (setting.access == SettingAccess::WriteOnly) continue;
        Reading reading{&setting, false, 0, {}};
        session.clearErrors();
        reading.ok = readSetting(h, setting, reading.value);
        if (!reading.ok) {
            const int code = session.lastErrorCode();
            reading.problem = code == LUMVEK_ERR_UNSUPPORTED ? "not supported" : "unreadable (code " + std::to_string(code) + ")";
        }
        readings.push_back(reading);
    }
    session.clearErrors();
    const std::string path = devicePath(session.deviceNumber());
    const std::string store = settingsStorePath();

    if (args.has("json")) {
        JsonWriter json;
        json.beginObject();
        json.value("number", session.deviceNumber()).value("name", name).value("path", path);
        json.value("id", cameraId(session.deviceNumber()));
        json.value("sdkVersion", Lumvek_GetDllVersion());
        json.beginObject("sensor").value("width", info.fullWidth).value("height", info.fullHeight).endObject();
        json.beginObject("ranges");
        json.beginObject("globalGain").value("min", info.globalGainMin).value("max", info.globalGainMax).endObject();
        json.beginObject("colorGain").value("min", info.colorGainMin).value("max", info.colorGainMax).endObject();
        json.beginObject("exposure").value("min", info.exposureMin).value("max", info.exposureMax);
        if (haveAccepted) json.value("acceptedMax", exposureRange.acceptedMax);
        json.value("minSeconds", info.exposureMinSeconds).value("maxSeconds", info.exposureMaxSeconds).endObject();
        json.endObject();
        json.beginObject("captureWindow").value("totalWidth", th).value("totalHeight", tv).value("width", eh);
        json.value("height", ev).value("x", ehs).value("y", evs).endObject();
        json.value("colorModeBits", colourBits).value("waitTimeMs", waitTime);
        if (haveSeconds) json.value("exposureSeconds", exposureSeconds);
        json.beginObject("settings");
        for (const auto& reading : readings) {
            if (reading.ok) {
                json.value(reading.setting->name, reading.value);
            } else {
                json.null(reading.setting->name);
            }
        }
        json.endObject();
        json.value("settingsStore", store);
        json.endObject();
        std::fputs(json.text().c_str(), stdout);
        return kExitOk;
    }
    std::printf("camera            %d  %s\n", session.deviceNumber(), name.c_str());
    std::printf("device path       %s\n", path.empty() ? "(not in the open-device table)" : path.c_str());
    std::printf("id                %s (stored settings follow the number %d, not the id)\n",
                cameraId(session.deviceNumber()).c_str(), session.deviceNumber());
    std::printf("SDK version       0x%08X\n", static_cast<unsigned>(Lumvek_GetDllVersion()));
    std::printf("sensor            %d x %d\n", info.fullWidth, info.fullHeight);
    std::printf("global gain       %d..%d\n", info.globalGainMin, info.globalGainMax);
    std::printf("colour gain       %d..%d\n", info.colorGainMin, info.colorGainMax);
    std::printf("exposure          %d..%d (0.1 ms)", info.exposureMin, info.exposureMax);
    if (haveAccepted && exposureRange.narrower()) {
        std::printf(", this camera accepts %d..%d", exposureRange.nominalMin, exposureRange.acceptedMax);
    }
    if (info.exposureMaxSeconds > 0) {
        std::printf("  %.6g..%.6g s", info.exposureMinSeconds, info.exposureMaxSeconds);
    }
    std::printf("\n");
    std::printf("capture window    %d x %d at (%d, %d) of %d x %d\n", eh, ev, ehs, evs, th, tv);
    std::printf("colour mode       %d bits per pixel\n", colourBits);
    if (haveSeconds) std::printf("exposure now      %.6g s\n", exposureSeconds);
    std::printf("wait time         %d ms\n", waitTime);
    std::printf("settings:\n");
    for (const auto& reading : readings) {
        if (reading.ok) {
            std::printf("  %-20s %d\n", reading.setting->name, reading.value);
        } else {
            std::printf("  %-20s %s\n", reading.setting->name, reading.problem.c_str());
        }
    }
    std::printf("settings store    %s\n", store.empty() ? "(no home folder: none)" : store.c_str());
    return kExitOk;
}

} // namespace lumvek::tool
