#pragma once
// Spreading tightly packed rows to the buffer's stride after delivery.
// The camera device writes a frame into the raw buffer as rows of
// width x bytesPerPixel bytes back to back; the buffer wants every row to
// start on its stride. Only the 8- and 16-bit raw buffers ever need it.
#include "imaging/convert/conversion_kernels.h"
#include "imaging/image_buffer.h"

namespace lumvek {

// True when the buffer's rows are longer than its packed pixel data.
[[nodiscard]] bool needsRestride(const ImageBuffer& raw);

// Moves packed row r (offset r x width x bpp) to r x stride, in place,
// working from the last pixel of the last row backwards so that no packed
// byte is overwritten before it is read. Does nothing when the stride is
// the packed row length or the buffer is empty.
void restridePackedRows(ImageBuffer& raw, KernelPath path);
void restridePackedRows(ImageBuffer& raw);

} // namespace lumvek
