// The mask-file loader reading a hostile file into the four full-size
// reference planes. The planes are allocated to their exact size, so a read
// past any of them is an ASan report.
//
// Input: one byte choosing the file's length, a 32-bit number for it, then
// the file's first bytes (header and the start of plane 1). The length is
// the bytes as given, or a cut shorter than a whole file (header only, in
// any plane, one byte short), exactly whole, or longer; the file is extended
// without writing (a sparse file), so whole-size files cost no disk.
//
// A file shorter than a whole one must be refused with code 14 without any
// plane written: those loads go into planes whose pages are read-only, so a
// store into them faults and a read(2) into them fails. A load that
// succeeds must have read the file's bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "output/mask/mask_file.h"

using namespace lumvek;

namespace {

enum class Length : uint8_t { AsGiven, Cut, Whole, Longer };
constexpr uint32_t kMaxExtraBytes = 4096;

struct Planes {
    ImageBuffer dark8, white8, dark16, white16;
    Planes() {
        if (!dark8.create(kMaskWidth, kMaskHeight, 8) || !white8.create(kMaskWidth, kMaskHeight, 8) ||
            !dark16.create(kMaskWidth, kMaskHeight, 16) || !white16.create(kMaskWidth, kMaskHeight, 16)) {
            fuzz::fail("cannot make the reference planes");
        }
    }
    ReferencePlanes refs() { return {dark8, white8, dark16, white16}; }
    // Every whole page inside each plane becomes read-only for good.
    void guard() {
        const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        for (ImageBuffer* plane : {&dark8, &white8, &dark16, &white16}) {
            const auto start = reinterpret_cast<uintptr_t>(plane->pixels());
            const uintptr_t first = (start + page - 1) & ~(page - 1);
            const uintptr_t last = (start + plane->sizeBytes()) & ~(page - 1);
            if (last <= first || ::mprotect(reinterpret_cast<void*>(first), last - first, PROT_READ) != 0) {
                fuzz::fail("cannot guard a reference plane");
            }
        }
    }
};

uint64_t fileLength(Length choice, uint32_t number, size_t given) {
    switch (choice) {
    case Length::AsGiven:
        return given;
    case Length::Cut:
        return kMaskFileBytes - 1 - number % kMaskFileBytes;  // 0 .. one byte short
    case Length::Whole:
        return kMaskFileBytes;
    case Length::Longer:
        return kMaskFileBytes + 1 + number % kMaxExtraBytes;
    }
    return given;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Planes writable;
    static Planes* guarded = [] {
        auto* planes = new Planes;
        planes->guard();
        return planes;
    }();
    static const auto path = fuzz::processDir() / "input.msk";

    fuzz::ByteReader input({data, size});
    const auto choice = static_cast<Length>(input.u8() % 4);
    const uint32_t number = input.u32();
    const auto content = input.take(size);
    const uint64_t length = fileLength(choice, number, content.size());
    fuzz::replaceFile(path, content.first(static_cast<size_t>(std::min<uint64_t>(length, content.size()))));
    if (length > content.size()) {
        std::filesystem::resize_file(path, length);
    }

    const bool whole = length >= kMaskFileBytes;
    Planes& planes = whole ? writable : *guarded;
    const MaskFileOutcome outcome = loadMaskFile(path.c_str(), planes.refs());
    if (outcome.result == 1 ? outcome.errorCode != 0 : outcome.errorCode != kErrorMaskFile) {
        fuzz::fail("mask load result and code disagree");
    }
    if (outcome.result == 1 && !whole) {
        fuzz::fail("a file shorter than its header says loaded");
    }
    if (outcome.result == 1) {
        // Plane 1 starts right after the header with the file's own bytes.
        const size_t shown = std::min<size_t>(content.size() > kMaskHeaderBytes ? content.size() - kMaskHeaderBytes : 0,
                                              kMaskPlane8Bytes);
        if (shown > 0 && std::memcmp(planes.dark8.pixels(), content.data() + kMaskHeaderBytes, shown) != 0) {
            fuzz::fail("plane 1 does not hold the bytes after the header");
        }
    }
    return 0;
}
