#pragma once
// One row of the spike filter's optimised body. The row's candidates (pixels
// whose distance from their same-colour mean reaches the limit, computed
// from the row as it stands before its scan) are marked one bit per pixel a
// vector at a time; the exact test then runs on the marked pixels and on the
// two pixels after each replacement only. A replacement lowers a pixel, which
// changes the tests of the two pixels after it in the row (one is its
// immediate neighbour, the next has it in its mean; the colour check reads
// columns x-2..x+1); every other unmarked pixel would fail the first test of
// the reference as well, its inputs being unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/correction/spike_filter.h"

namespace lumvek::spike {

// Rows y-2 .. y+2 around the row being filtered (in place). They need not
// be rows of one frame: a band filters its first rows against copies of the
// rows above it as they came from the camera.
template <typename Sample>
struct RowWindow {
    const Sample* up2;
    const Sample* up;
    Sample* row;
    const Sample* down;
    const Sample* down2;
};

// The 8-bit filter's colour check at (y, x): the colour the interpolation
// would give there (quad rows y-1, y, columns x-1, x), each component's low
// 8 bits, has at least two of its three differences above 30. Shared with
// the reference, whose rows are the frame's own.
[[nodiscard]] bool looksColoured(const RowWindow<uint8_t>& rows, const SpikeFilterParams& params, int y, int x);

// Bytes of a row's candidate marks for a frame width (whole 64-bit words).
[[nodiscard]] size_t markBytesFor(int width);

// Filters columns 2 .. width-3 of row y (frame width >= 5). marks holds
// markBytesFor(width) bytes. Each replacement is appended to replaced when
// it is given (its capacity should be reserved: the filter runs per frame).
void filterRow8(const RowWindow<uint8_t>& rows, int y, int width, const SpikeFilterParams& params, uint8_t* marks,
                std::vector<SpikeReplacement>* replaced);
void filterRow16(const RowWindow<uint16_t>& rows, int y, int width, uint8_t* marks,
                 std::vector<SpikeReplacement>* replaced);

} // namespace lumvek::spike
