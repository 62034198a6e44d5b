// The configuration-file loader (Lumvek_LoadConfigFileA/W) of an SDK
// instance reading a hostile file: every file it accepts must come back as
// exactly its whole 8-byte records, in order.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "instance/lumvek.h"
#include "instance/lumvek_internals.h"

using namespace lumvek;

namespace {
// The loader needs no camera: the instance is made without a device object.
std::unique_ptr<CameraDevice> noDevice() {
    return nullptr;
}

int32_t word(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CLumvek* const instance = new CLumvek(&noDevice);  // lives for the whole run
    static const auto path = fuzz::processDir() / "input.cfg";
    fuzz::replaceFile(path, {data, size});
    if (instance->LoadConfigFile(path.c_str()) != 1) {
        fuzz::fail("a readable configuration file was refused");
    }
    const auto pairs = internals(*instance).configList();
    if (pairs.size() != size / 8) {
        fuzz::fail("configuration list size differs from the whole records in the file");
    }
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].first != word(data + 8 * i) || pairs[i].second != word(data + 8 * i + 4)) {
            fuzz::fail("configuration record read wrongly");
        }
    }
    return 0;
}
