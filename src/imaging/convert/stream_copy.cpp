#include "imaging/convert/stream_copy.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace lumvek {

void streamCopy(uint8_t* dst, const uint8_t* src, size_t bytes) {
    if (bytes == 0) {
        return;
    }
#if defined(__x86_64__)
    constexpr size_t kLine = 64;
    // Up to the first whole cache line of the destination the ordinary way,
    // then whole lines with non-temporal stores (SSE2 is part of x86-64).
    const size_t head = std::min(bytes, (kLine - reinterpret_cast<uintptr_t>(dst) % kLine) % kLine);
    std::memcpy(dst, src, head);
    size_t i = head;
    for (; i + kLine <= bytes; i += kLine) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
    }
    std::memcpy(dst + i, src + i, bytes - i);
    // Non-temporal stores are not ordered with later ones: fence before the
    // caller tells another thread that the rows are there.
    _mm_sfence();
#else
    std::memcpy(dst, src, bytes);
#endif
}

} // namespace lumvek
