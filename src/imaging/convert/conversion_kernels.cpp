#include "imaging/convert/conversion_kernels.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace lumvek {

namespace {

inline uint16_t load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void store16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// ---- Pixel rules: one struct per member. supports() names the pixel sizes
// the member handles; pixel() converts one pixel. Both paths use pixel(), so
// the optimised path differs only in how the loops are laid out.

struct TenBitTo8 {
    static bool supports(int db, int sb) { return db == 1 && sb == 2; }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) {
        d[0] = static_cast<uint8_t>((s[1] << 6) | (s[0] >> 2));
    }
};

struct HighByte16To8 {
    static bool supports(int db, int sb) { return db == 1 && sb == 2; }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) { d[0] = s[1]; }
};

struct HighBytesTo24 {
    static bool supports(int db, int sb) { return db == 3 && (sb == 6 || sb == 8); }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) {
        d[0] = s[1];
        d[1] = s[3];
        d[2] = s[5];
    }
};

struct Copy24 {
    static bool supports(int db, int sb) { return db == 3 && (sb == 3 || sb == 4); }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
};

struct SwapRedBlue {
    static bool supports(int db, int sb) { return (db == 3 || db == 4) && (sb == 3 || sb == 4); }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) {
        const uint8_t b = s[0];
        const uint8_t g = s[1];
        const uint8_t r = s[2];
        d[0] = r;
        d[1] = g;
        d[2] = b;
    }
};

struct InvertFourthByte32 {
    static bool supports(int db, int sb) { return db == 4 && sb == 4; }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = static_cast<uint8_t>(~s[3]);
    }
};

struct Grey8To24 {
    static bool supports(int db, int sb) { return db == 3 && sb == 1; }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void* table) {
        if (table == nullptr) {
            d[0] = d[1] = d[2] = s[0];
            return;
        }
        const RgbQuad& q = static_cast<const RgbQuad*>(table)[s[0]];
        d[0] = q.blue;
        d[1] = q.green;
        d[2] = q.red;
    }
};

struct SwapRedBlue16 {
    static bool supports(int db, int sb) { return (db == 6 || db == 8) && (sb == 6 || sb == 8); }
    static void pixel(uint8_t* d, const uint8_t* s, int db, int, const void*) {
        const uint16_t b = load16(s);
        const uint16_t g = load16(s + 2);
        const uint16_t r = load16(s + 4);
        store16(d, r);
        store16(d + 2, g);
        store16(d + 4, b);
        if (db == 8) {
            store16(d + 6, 0xFFFF);
        }
    }
};

struct OpaqueFourthSample64 {
    static bool supports(int db, int sb) { return db == 8 && sb == 8; }
    static void pixel(uint8_t* d, const uint8_t* s, int, int, const void*) {
        std::memcpy(d, s, 6);
        store16(d + 6, 0xFFFF);
    }
};

// ---- Loops.

struct RowGeometry {
    const uint8_t* src;
    uint8_t* dst;
    Rect r;
    int x;
    int y;
    int db;
    int sb;
    int ds;
    int ss;

    [[nodiscard]] int width() const { return r.right - r.left; }
    [[nodiscard]] int height() const { return r.bottom - r.top; }
    [[nodiscard]] const uint8_t* srcRow(int i, bool flipped) const {
        const int sy = flipped ? r.bottom - 1 - i : r.top + i;
        return src + static_cast<ptrdiff_t>(sy) * ss + static_cast<ptrdiff_t>(r.left) * sb;
    }
    [[nodiscard]] uint8_t* dstRow(int i) const {
        return dst + static_cast<ptrdiff_t>(y + i) * ds + static_cast<ptrdiff_t>(x) * db;
    }
};

template <class Op, bool Flipped>
int scalarKernel(uint8_t* dst, const uint8_t* src, const Rect& rect, int x, int y, uint16_t db, uint16_t sb, int ds,
                 int ss, const void* p1, const void*) {
    if (!Op::supports(db, sb)) {
        return 0;
    }
    const RowGeometry g{src, dst, rect, x, y, db, sb, ds, ss};
    for (int i = 0; i < g.height(); ++i) {
        const uint8_t* s = g.srcRow(i, Flipped);
        uint8_t* d = g.dstRow(i);
        for (int c = 0; c < g.width(); ++c) {
            Op::pixel(d + static_cast<ptrdiff_t>(c) * db, s + static_cast<ptrdiff_t>(c) * sb, db, sb, p1);
        }
    }
    return 1;
}

// One row with the pixel sizes known at compile time, so that the compiler
// unrolls and vectorises the rule; the rows never overlap (checked by the
// caller), hence __restrict.
template <class Op, int DB, int SB>
inline void fixedRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width, const void* p1) {
    if constexpr (std::is_same_v<Op, Copy24> && SB == 3) {
        std::memcpy(d, s, static_cast<size_t>(width) * 3);
    } else if constexpr (std::is_same_v<Op, HighByte16To8> || std::is_same_v<Op, TenBitTo8>) {
        for (int c = 0; c < width; ++c) {
            uint16_t v;
            std::memcpy(&v, s + 2 * c, 2);  // little-endian host, as the buffers
            if constexpr (std::is_same_v<Op, HighByte16To8>) {
                d[c] = static_cast<uint8_t>(v >> 8);
            } else {
                d[c] = static_cast<uint8_t>(v >> 2);
            }
        }
    } else if constexpr (std::is_same_v<Op, Copy24> && SB == 4) {
        // Four-byte moves; each writes one byte of the next pixel, which the
        // next move overwrites. The last pixel is moved byte by byte.
        int c = 0;
        for (; c + 1 < width; ++c) {
            uint32_t v;
            std::memcpy(&v, s + 4 * c, 4);
            std::memcpy(d + 3 * c, &v, 4);
        }
        if (c < width) {
            Op::pixel(d + 3 * c, s + 4 * c, DB, SB, p1);
        }
    } else if constexpr (std::is_same_v<Op, InvertFourthByte32>) {
        for (int c = 0; c < width; ++c) {
            uint32_t v;
            std::memcpy(&v, s + 4 * c, 4);
            v ^= 0xFF000000u;
            std::memcpy(d + 4 * c, &v, 4);
        }
    } else {
        for (int c = 0; c < width; ++c) {
            Op::pixel(d + c * DB, s + c * SB, DB, SB, p1);
        }
    }
}

// The grey-to-colour member through a table of whole pixels, made once per
// call; stores overlap like the four-byte copy above.
void grey8To24Rows(const RowGeometry& g, bool flipped, const void* table) {
    uint32_t pixelOf[256];
    for (int v = 0; v < 256; ++v) {
        uint8_t px[3];
        const auto grey = static_cast<uint8_t>(v);
        Grey8To24::pixel(px, &grey, 3, 1, table);
        pixelOf[v] = static_cast<uint32_t>(px[0]) | (static_cast<uint32_t>(px[1]) << 8) |
                     (static_cast<uint32_t>(px[2]) << 16);
    }
    for (int i = 0; i < g.height(); ++i) {
        const uint8_t* __restrict s = g.srcRow(i, flipped);
        uint8_t* __restrict d = g.dstRow(i);
        int c = 0;
        for (; c + 1 < g.width(); ++c) {
            std::memcpy(d + 3 * c, &pixelOf[s[c]], 4);
        }
        if (c < g.width()) {
            std::memcpy(d + 3 * c, &pixelOf[s[c]], 3);  // little-endian host
        }
    }
}

template <class Op, bool Flipped, int DB, int SB>
bool runFixed(const RowGeometry& g, const void* p1) {
    if (g.db != DB || g.sb != SB) {
        return false;
    }
    if constexpr (std::is_same_v<Op, Grey8To24>) {
        grey8To24Rows(g, Flipped, p1);
        return true;
    }
    for (int i = 0; i < g.height(); ++i) {
        fixedRow<Op, DB, SB>(g.dstRow(i), g.srcRow(i, Flipped), g.width(), p1);
    }
    return true;
}

template <class Op, bool Flipped>
int optimisedKernel(uint8_t* dst, const uint8_t* src, const Rect& rect, int x, int y, uint16_t db, uint16_t sb, int ds,
                    int ss, const void* p1, const void* p2) {
    if (!Op::supports(db, sb)) {
        return 0;
    }
    if (dst == src) {  // in place: the rows may overlap, keep to the reference
        return scalarKernel<Op, Flipped>(dst, src, rect, x, y, db, sb, ds, ss, p1, p2);
    }
    const RowGeometry g{src, dst, rect, x, y, db, sb, ds, ss};
    const bool done = runFixed<Op, Flipped, 1, 2>(g, p1) || runFixed<Op, Flipped, 3, 6>(g, p1) ||
                      runFixed<Op, Flipped, 3, 8>(g, p1) || runFixed<Op, Flipped, 3, 3>(g, p1) ||
                      runFixed<Op, Flipped, 3, 4>(g, p1) || runFixed<Op, Flipped, 4, 3>(g, p1) ||
                      runFixed<Op, Flipped, 4, 4>(g, p1) || runFixed<Op, Flipped, 3, 1>(g, p1) ||
                      runFixed<Op, Flipped, 6, 6>(g, p1) || runFixed<Op, Flipped, 6, 8>(g, p1) ||
                      runFixed<Op, Flipped, 8, 6>(g, p1) || runFixed<Op, Flipped, 8, 8>(g, p1);
    if (!done) {
        return scalarKernel<Op, Flipped>(dst, src, rect, x, y, db, sb, ds, ss, p1, p2);
    }
    return 1;
}

// Whole rows, flipped: the BMP writer's and the 8-bit JPEG path's copy.
int copyRowsFlippedScalar(uint8_t* dst, const uint8_t* src, const Rect& rect, int x, int y, uint16_t db, uint16_t sb,
                          int ds, int ss, const void*, const void*) {
    if (db != sb || db == 0) {
        return 0;
    }
    const RowGeometry g{src, dst, rect, x, y, db, sb, ds, ss};
    const ptrdiff_t bytes = std::min<ptrdiff_t>(ds - static_cast<ptrdiff_t>(x) * db,
                                                ss - static_cast<ptrdiff_t>(rect.left) * sb);
    for (int i = 0; i < g.height(); ++i) {
        const uint8_t* s = g.srcRow(i, true);
        uint8_t* d = g.dstRow(i);
        for (ptrdiff_t b = 0; b < bytes; ++b) {
            d[b] = s[b];
        }
    }
    return 1;
}

int copyRowsFlippedOptimised(uint8_t* dst, const uint8_t* src, const Rect& rect, int x, int y, uint16_t db,
                             uint16_t sb, int ds, int ss, const void* p1, const void* p2) {
    if (dst == src) {
        return copyRowsFlippedScalar(dst, src, rect, x, y, db, sb, ds, ss, p1, p2);
    }
    if (db != sb || db == 0) {
        return 0;
    }
    const RowGeometry g{src, dst, rect, x, y, db, sb, ds, ss};
    const ptrdiff_t bytes = std::min<ptrdiff_t>(ds - static_cast<ptrdiff_t>(x) * db,
                                                ss - static_cast<ptrdiff_t>(rect.left) * sb);
    for (int i = 0; i < g.height(); ++i) {
        std::memcpy(g.dstRow(i), g.srcRow(i, true), static_cast<size_t>(bytes));
    }
    return 1;
}

struct KernelPair {
    PixelKernel scalar;
    PixelKernel optimised;
};

template <class Op, bool Flipped>
constexpr KernelPair pairOf() {
    return {&scalarKernel<Op, Flipped>, &optimisedKernel<Op, Flipped>};
}

KernelPair kernelsOf(Conversion member) {
    switch (member) {
    case Conversion::TenBitTo8Flipped:
        return pairOf<TenBitTo8, true>();
    case Conversion::HighByte16To8Flipped:
        return pairOf<HighByte16To8, true>();
    case Conversion::HighByte16To8:
        return pairOf<HighByte16To8, false>();
    case Conversion::HighBytesTo24Flipped:
        return pairOf<HighBytesTo24, true>();
    case Conversion::HighBytesTo24:
        return pairOf<HighBytesTo24, false>();
    case Conversion::Copy24Flipped:
        return pairOf<Copy24, true>();
    case Conversion::Copy24:
        return pairOf<Copy24, false>();
    case Conversion::SwapRedBlue:
        return pairOf<SwapRedBlue, false>();
    case Conversion::InvertFourthByte32:
        return pairOf<InvertFourthByte32, false>();
    case Conversion::CopyRowsFlipped:
        return {&copyRowsFlippedScalar, &copyRowsFlippedOptimised};
    case Conversion::Grey8To24:
        return pairOf<Grey8To24, false>();
    case Conversion::SwapRedBlue16:
        return pairOf<SwapRedBlue16, false>();
    case Conversion::OpaqueFourthSample64:
        return pairOf<OpaqueFourthSample64, false>();
    }
    return pairOf<Copy24, false>();
}

} // namespace

PixelKernel conversionKernel(Conversion member, KernelPath path) {
    const KernelPair pair = kernelsOf(member);
    return path == KernelPath::Reference ? pair.scalar : pair.optimised;
}

int convertImage(ImageBuffer& dst, Conversion member, const ImageBuffer& src, const RgbQuad* colourTable) {
    return convertImage(dst, member, src, kernelPathFromEnvironment(), colourTable);
}

int convertImage(ImageBuffer& dst, Conversion member, const ImageBuffer& src, KernelPath path,
                 const RgbQuad* colourTable) {
    return apply(dst, conversionKernel(member, path), src, nullptr, 0, 0, colourTable, nullptr);
}

} // namespace lumvek
