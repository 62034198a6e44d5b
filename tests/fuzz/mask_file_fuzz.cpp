// The mask-file loader reading a hostile file into the four full-size
// reference planes. The planes are allocated to their exact size, so a read
// past any of them is an ASan report.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "output/mask/mask_file.h"

using namespace lumvek;

namespace {
struct Planes {
    ImageBuffer dark8, white8, dark16, white16;
    Planes() {
        if (!dark8.create(kMaskWidth, kMaskHeight, 8) || !white8.create(kMaskWidth, kMaskHeight, 8) ||
            !dark16.create(kMaskWidth, kMaskHeight, 16) || !white16.create(kMaskWidth, kMaskHeight, 16)) {
            fuzz::fail("cannot make the reference planes");
        }
    }
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Planes planes;
    static const auto path = fuzz::processDir() / "input.msk";
    fuzz::replaceFile(path, {data, size});
    const MaskFileOutcome outcome =
        loadMaskFile(path.c_str(), ReferencePlanes{planes.dark8, planes.white8, planes.dark16, planes.white16});
    if (outcome.result == 1 ? outcome.errorCode != 0 : outcome.errorCode != kErrorMaskFile) {
        fuzz::fail("mask load result and code disagree");
    }
    if (outcome.result == 1 && size < kMaskHeaderBytes) {
        fuzz::fail("a file shorter than the header loaded");
    }
    return 0;
}
