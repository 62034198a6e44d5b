#pragma once
// The defect-mask file: a 40-byte header ("QUELRO MASK1000" and a zero
// byte, the width and height of the 8-bit dark reference, the four plane
// sizes) followed by the four reference planes, each the buffer's memory
// image (rows in stored order, stride bytes each):
//   8-bit dark, 8-bit white, 16-bit dark, 16-bit white (little-endian words).
// Only the reference frames are stored; the masks are rebuilt from them.
#include <cstdint>

#include "imaging/image_buffer.h"

namespace lumvek {

inline constexpr char kMaskMagic[16] = "QUELRO MASK1000";  // with its zero byte
inline constexpr uint32_t kMaskHeaderBytes = 40;
inline constexpr int kMaskWidth = 2336;
inline constexpr int kMaskHeight = 1752;
inline constexpr uint32_t kMaskPlane8Bytes = 2336u * 1752u;       // 4092672
inline constexpr uint32_t kMaskPlane16Bytes = 2u * 2336u * 1752u;  // 8185344
inline constexpr uint64_t kMaskFileBytes =
    kMaskHeaderBytes + 2ull * kMaskPlane8Bytes + 2ull * kMaskPlane16Bytes;  // 24556072
inline constexpr int kErrorMaskFile = 14;

// The four reference frames, borrowed from the instance (which holds the
// mask lock around the calls).
struct ReferencePlanes {
    ImageBuffer& dark8;
    ImageBuffer& white8;
    ImageBuffer& dark16;
    ImageBuffer& white16;
};

// Result of a mask-file operation: 1, or 0 with the code to report (14).
struct MaskFileOutcome {
    int result = 0;
    int errorCode = 0;
};

// Writes the header (from the planes' own sizes) and the four planes.
// {0, 14} when the path cannot be created or a write fails (a full disk):
// the file is then incomplete and must not be trusted.
[[nodiscard]] MaskFileOutcome saveMaskFile(const char* path, const ReferencePlanes& planes);

// Reads a mask file into the planes. The header must carry the magic with
// its zero byte, width 2336, height 1752 and exactly the four plane sizes
// above, and the planes must be full-size buffers of 8, 8, 16 and 16 bits;
// otherwise (or when the file cannot be opened) {0, 14} and no plane is
// touched. A file shorter than the header and the four planes is {0, 14}
// too: checked before reading, so no plane is touched, unless the file
// shrinks while it is read (then the planes may be partly overwritten: read
// into a copy and keep it only on success). Bytes after the planes are
// ignored. On {1, 0} the caller rebuilds the four defect masks.
[[nodiscard]] MaskFileOutcome loadMaskFile(const char* path, const ReferencePlanes& planes);

} // namespace lumvek
