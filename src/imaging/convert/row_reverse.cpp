#include "imaging/convert/row_reverse.h"

#include <immintrin.h>

#include <cstring>

#include "imaging/pipeline/kernel_path.h"

namespace lumvek {

namespace {

template <size_t kBytes>
void reverseScalar(uint8_t* to, const uint8_t* from, size_t first, size_t width) {
    for (size_t x = first; x < width; ++x) {
        std::memcpy(to + x * kBytes, from + (width - 1 - x) * kBytes, kBytes);
    }
}

void reverseScalar(uint8_t* to, const uint8_t* from, size_t first, size_t width, size_t bytesPerPixel) {
    if (bytesPerPixel == 2) {
        reverseScalar<2>(to, from, first, width);
    } else {
        reverseScalar<1>(to, from, first, width);
    }
}

#if defined(__x86_64__)
// Output bytes [x, x + 32) come from source bytes [end - x - 32, end - x),
// reversed in units of the pixel size: within each 128-bit half by a byte
// shuffle, then the halves exchanged. Returns the pixels done.
__attribute__((target("avx2"))) size_t reverseAvx2(uint8_t* to, const uint8_t* from, size_t width,
                                                    size_t bytesPerPixel) {
    const size_t rowBytes = width * bytesPerPixel;
    const __m256i order =
        bytesPerPixel == 2
            ? _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,  //
                               14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1)
            : _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,  //
                               15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    size_t x = 0;
    for (; x + 32 <= rowBytes; x += 32) {
        const __m256i source = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + rowBytes - x - 32));
        const __m256i reversed = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(source, order), 0x4E);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + x), reversed);
    }
    return x / bytesPerPixel;
}

// The same 16 bytes at a time with SSSE3's byte shuffle, for processors
// without AVX2.
__attribute__((target("ssse3"))) size_t reverseSsse3(uint8_t* to, const uint8_t* from, size_t width,
                                                     size_t bytesPerPixel) {
    const size_t rowBytes = width * bytesPerPixel;
    const __m128i order = bytesPerPixel == 2 ? _mm_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1)
                                             : _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    size_t x = 0;
    for (; x + 16 <= rowBytes; x += 16) {
        const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + rowBytes - x - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), _mm_shuffle_epi8(source, order));
    }
    return x / bytesPerPixel;
}
#endif

} // namespace

void reverseRowReference(uint8_t* to, const uint8_t* from, size_t width, size_t bytesPerPixel) {
    reverseScalar(to, from, 0, width, bytesPerPixel);
}

void reverseRow(uint8_t* to, const uint8_t* from, size_t width, size_t bytesPerPixel) {
    size_t done = 0;
#if defined(__x86_64__)
    if (cpuFeatures().avx2 && (bytesPerPixel == 1 || bytesPerPixel == 2)) {
        done = reverseAvx2(to, from, width, bytesPerPixel);
    } else if (cpuFeatures().sse41 && (bytesPerPixel == 1 || bytesPerPixel == 2)) {
        done = reverseSsse3(to, from, width, bytesPerPixel);
    }
#endif
    reverseScalar(to, from, done, width, bytesPerPixel);
}

} // namespace lumvek
