#pragma once
// The conversion family: pixel kernels that change sample width, channel
// order and row order between image buffers, with no arithmetic but shifts.
// The preview, the still-image writers and the AVI recorder build their
// temporaries with them.
//
// Every member runs through apply() (imaging/apply.h). Destination row i
// (counted from the rectangle's top) starts at destination row y + i, column
// x; a flipped member reads it from source row rect.bottom - 1 - i, the
// others from rect.top + i. A member given pixel sizes it does not handle
// returns 0 and writes nothing.
//
// Each member has a plain scalar reference and an optimised body that must be
// bit-identical to it; the optimised one is used unless LUMVEK_FORCE_SCALAR
// asks for the reference (imaging/pipeline/kernel_path.h).
#include <cstdint>

#include "imaging/apply.h"
#include "imaging/image_buffer.h"
#include "imaging/pipeline/kernel_path.h"

namespace lumvek {

enum class Conversion {
    // 16 -> 8, bits 2..9 of the sample (10 significant bits), flipped.
    // Bits above 9 are dropped: 0x0400 and more wrap.
    TenBitTo8Flipped,
    // 16 -> 8, high byte of the sample.
    HighByte16To8Flipped,
    HighByte16To8,
    // 48 or 64 -> 24, high byte of each of the first three samples.
    HighBytesTo24Flipped,
    HighBytesTo24,
    // 24 or 32 -> 24, first three bytes copied.
    Copy24Flipped,
    Copy24,
    // 24 or 32 -> 24 or 32, first and third byte exchanged (blue-green-red
    // becomes red-green-blue); a destination fourth byte is not written.
    SwapRedBlue,
    // 32 -> 32, three bytes copied, fourth byte = NOT source fourth byte
    // (the 0 the pipeline leaves becomes opaque alpha 255).
    InvertFourthByte32,
    // Any depth -> the same depth, whole rows of min(destination stride,
    // source stride) bytes (from the rectangle's left edge), flipped.
    CopyRowsFlipped,
    // 8 -> 24 through a colour table (p1: const RgbQuad[256]; null means the
    // grey ramp): what a block transfer of an 8-bit picture does.
    Grey8To24,
    // 48 or 64 -> the same, first and third 16-bit samples exchanged; a
    // 64-bit destination gets 0xFFFF as its fourth sample.
    SwapRedBlue16,
    // 64 -> 64, first three samples copied, fourth sample 0xFFFF.
    OpaqueFourthSample64,
};

// The member's kernel on the given path (never null).
[[nodiscard]] PixelKernel conversionKernel(Conversion member, KernelPath path);

// Runs the member over the whole of src into dst at (0, 0) on the default
// path of the environment; colourTable is p1 for Grey8To24. Returns the kernel's result (1), or
// 0 when nothing ran (empty buffers, unsupported pixel sizes).
int convertImage(ImageBuffer& dst, Conversion member, const ImageBuffer& src, const RgbQuad* colourTable = nullptr);
int convertImage(ImageBuffer& dst, Conversion member, const ImageBuffer& src, KernelPath path,
                 const RgbQuad* colourTable = nullptr);

} // namespace lumvek
