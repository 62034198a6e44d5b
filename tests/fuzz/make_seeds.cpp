// Writes the seeds of the structured fuzz inputs into CORPUS/<target>/:
//   request_header:     control requests and pipe commands as the controller builds them
//   controller_replies: a camera answering every request of the harness well, and
//                       one that loses a frame header once
//   settings_store:     a registry file made by the settings store itself, and a
//                       copy edited behind its back (values of the wrong size
//                       or type, a selected preset far out of range, a key
//                       that is its own parent, more presets than the store reads),
//                       and a copy holding values the setters would refuse
// Usage: fuzz_make_seeds CORPUS
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "platform/fx3/driver_request.h"
#include "platform/registry/registry.h"
#include "settings/settings_store.h"
#include "usb/quelro_cy3_cam.h"

using namespace lumvek;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

void writeFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void put32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

// ---- request_header: choice byte, output size, request buffer ----
void requestSeeds(const fs::path& dir) {
    struct Control {
        const char* name;
        uint8_t type, code;
        uint16_t value, index;
        Bytes data;
        bool inPlace;
    };
    const Control controls[] = {
        {"device-info", fx3::kRequestTypeVendorIn, vendor::kReadDeviceInfo, 0, 0, {}, true},
        {"fpga-write", fx3::kRequestTypeVendorOut, vendor::kI2cWrite, 3, i2c::kFpgaWrite, {0x10, 0, 0x22}, false},
        {"fpga-read", fx3::kRequestTypeVendorIn, vendor::kI2cRead, 2, i2c::kFpgaRead, {}, true},
        {"srom-read", fx3::kRequestTypeVendorIn, vendor::kI2cRead, 1, i2c::kSromRead, {}, false},
        {"sensor-write", fx3::kRequestTypeVendorOut, vendor::kWriteSensorRegister32, 1, 0x0012, {1, 2, 3, 4}, true},
        {"arm", fx3::kRequestTypeVendorOutEndpoint, vendor::kArmTransfer, 0, 0, {}, true},
    };
    for (const Control& c : controls) {
        const auto request = fx3::makeControlRequest(c.type, c.code, c.value, c.index, c.data);
        Bytes seed{static_cast<uint8_t>(c.inPlace ? 0x80 : 0x00), static_cast<uint8_t>(fx3::kControlRequestBytes)};
        seed.insert(seed.end(), request.begin(), request.end());
        writeFile(dir / c.name, seed);
    }
    writeFile(dir / "reset-pipe", Bytes{1, 0, fx3::kEndpointFrames});
    writeFile(dir / "link-speed", Bytes{2, 4, 0, 0, 0, 0});
}

// ---- controller_replies: capacity, then one reply per request ----
constexpr uint16_t kSeedCapacity = 255;  // a 256-byte frame
constexpr int kControlRepliesBeforeBulk = 15;  // the harness's register and status reads

void controlReply(Bytes& out, uint8_t fill) {
    out.push_back(0);  // success
    out.push_back(static_cast<uint8_t>(fx3::kControlDataBytes));
    out.insert(out.end(), fx3::kControlDataBytes, fill);
}

void bulkReply(Bytes& out, const Bytes& data) {
    out.push_back(0);  // success
    put32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

Bytes frameHeader(uint32_t pixelBytes, uint32_t tag) {
    Bytes header(kFrameHeaderBytes, 0);
    for (int i = 0; i < 4; ++i) {
        header[kFrameHeaderPixelCountOffset + i] = static_cast<uint8_t>(pixelBytes >> (8 * i));
        header[kFrameHeaderTagOffset + i] = static_cast<uint8_t>(tag >> (8 * i));
    }
    return header;
}

Bytes controllerSeed(bool loseHeader) {
    const uint32_t frameBytes = uint32_t{kSeedCapacity} + 1;
    Bytes seed{static_cast<uint8_t>(kSeedCapacity), 0};
    for (int i = 0; i < kControlRepliesBeforeBulk; ++i) {
        controlReply(seed, static_cast<uint8_t>(i));
    }
    bulkReply(seed, Bytes(16, 0x5A));  // buffered transfer
    controlReply(seed, 0);              // arm
    if (loseHeader) {
        seed.push_back(1);  // time-out
        put32(seed, 0);
        controlReply(seed, 0);  // recovery register 1
        controlReply(seed, 0);  // recovery register 0
        controlReply(seed, 0);  // arm again
    }
    bulkReply(seed, frameHeader(frameBytes, 7));
    bulkReply(seed, Bytes(frameBytes, 0x33));  // pixel data
    controlReply(seed, 0);                     // arm for the whole frame
    bulkReply(seed, Bytes(frameBytes, 0x44));
    return seed;
}

// ---- settings_store: a registry file written by the store ----
bool saveSettings(const SettingsStore& store) {
    GainSettings gain;
    gain.global = 32;
    gain.exposure = 500;
    gain.exposureEx = 0.05;
    FilterSettings filter;
    filter.gamma = 100;
    filter.sharpness = 3;
    GraySettings gray;
    gray.mode = 1;
    gray.gainR = 128;
    SettingsStore::DialogPresets dialog;
    dialog.presets.push_back(CaptureWindowRecord{});
    dialog.presets.push_back(CaptureWindowRecord{2336, 1752, 640, 480, 848, 636, 2});
    dialog.values.size = 1;
    return store.saveGain(0, gain) && store.saveFilter(0, filter) && store.saveGray(0, gray) &&
           store.saveDialogPresets(0, dialog);
}

bool registrySeed(const fs::path& output) {
    std::error_code ignored;
    fs::create_directories(output.parent_path());
    fs::remove(output, ignored);
    setenv("LUMVEK_REGISTRY_FILE", output.c_str(), 1);
    const SettingsStore store;
    CaptureWindowRecord window;
    (void)store.loadSelectedPreset(0, window);  // creates the root as the library does on first use
    if (!saveSettings(store)) {
        return false;
    }
    // Opening another file closes the connection to this one, which folds
    // its write-ahead log into the file itself.
    const fs::path other = output.string() + ".other";
    setenv("LUMVEK_REGISTRY_FILE", other.c_str(), 1);
    (void)store.loadSelectedPreset(0, window);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        fs::remove(other.string() + suffix, ignored);
    }
    return !fs::exists(output.string() + "-wal");
}

// Edits a copy of the store's own file as a hostile program could.
constexpr const char* kOddValuesSql =
    "UPDATE vals SET data = x'0102' WHERE name = 'Global';"
    "UPDATE vals SET data = 'text' WHERE name = 'Exposure';"
    "UPDATE vals SET type = 3 WHERE name = 'Gamma';"
    "UPDATE vals SET data = x'000000000000F07F00' WHERE name = 'ExposureEx';"
    "UPDATE vals SET data = x'FFFFFF7F' WHERE name = 'Size';"
    "UPDATE vals SET data = x'FFFFFFFF' WHERE name = 'EH';"
    "INSERT INTO keys(id, parent, name) VALUES (60, 60, 'Loop');"
    "INSERT INTO keys(id, parent, name) SELECT 61, id, 'camera_01' FROM keys WHERE name = 'LumvekR13K7Sdk';"
    "INSERT INTO keys(id, parent, name) VALUES (62, 61, 'Size_00');"
    "INSERT INTO vals(key, name, type, data) VALUES (61, 'Size', 4, x'00000080');"
    "INSERT INTO vals(key, name, type, data) VALUES (62, 'EV', 4, zeroblob(4096));"
    "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 105)"
    "  INSERT INTO keys(parent, name) SELECT (SELECT id FROM keys WHERE name = 'Camera_00'),"
    "  printf('Size_%02d', i) FROM n;"
    "PRAGMA wal_checkpoint(TRUNCATE);";

bool oddValuesSeed(const fs::path& from, const fs::path& output) {
    std::error_code ignored;
    fs::copy_file(from, output, fs::copy_options::overwrite_existing, ignored);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(output.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, kOddValuesSql, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    return ok && !fs::exists(output.string() + "-wal");
}

// Values of the right shape that the setters would refuse.
constexpr const char* kOutOfRangeSql =
    "UPDATE vals SET data = x'FFFFFF7F' WHERE name IN ('Gamma', 'Hue', 'WaitTime', 'Brightness');"
    "UPDATE vals SET data = x'07000000' WHERE name = 'BayerMode';"
    "UPDATE vals SET data = x'00000080' WHERE name IN ('GainR1', 'GainG2');"
    "UPDATE vals SET data = x'00000000' WHERE name IN ('EV', 'Exposure');"
    "UPDATE vals SET data = x'09000000' WHERE name = 'Color';"
    "UPDATE vals SET data = x'A0050000' WHERE name = 'EHS';"
    "PRAGMA wal_checkpoint(TRUNCATE);";

bool outOfRangeSeed(const fs::path& from, const fs::path& output) {
    std::error_code ignored;
    fs::copy_file(from, output, fs::copy_options::overwrite_existing, ignored);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(output.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, kOutOfRangeSql, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    return ok && !fs::exists(output.string() + "-wal");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS\n", argv[0]);
        return 2;
    }
    const fs::path corpus = fs::absolute(argv[1]);
    requestSeeds(corpus / "request_header");
    writeFile(corpus / "controller_replies" / "whole-frame", controllerSeed(false));
    writeFile(corpus / "controller_replies" / "lost-header", controllerSeed(true));
    if (!registrySeed(corpus / "settings_store" / "registry.sqlite3") ||
        !oddValuesSeed(corpus / "settings_store" / "registry.sqlite3", corpus / "settings_store" / "odd-values.sqlite3") ||
        !outOfRangeSeed(corpus / "settings_store" / "registry.sqlite3",
                        corpus / "settings_store" / "out-of-range.sqlite3")) {
        std::fprintf(stderr, "cannot write the registry seed\n");
        return 1;
    }
    return 0;
}
