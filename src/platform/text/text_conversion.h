#pragma once
// Text conversion between the exports' UTF-16 strings and the library's 8-bit
// strings. On Linux the "ANSI code page" is UTF-8; on Windows the 8-bit side
// is the system's ANSI code page (src/platform/win32/text_conversion.cpp), and
// a character that page cannot hold fails the conversion rather than turning
// into '?' (a file name would then name another file).
#include <cstddef>
#include <string>

namespace lumvek::platform {

// Converts a NUL-terminated UTF-16 string into out (capacity outSize bytes,
// terminator included). Fails on a null input or output, an unpaired
// surrogate, or a result that does not fit.
[[nodiscard]] bool utf16ToUtf8(const char16_t* in, char* out, size_t outSize);

// Converts a NUL-terminated UTF-8 string into out (capacity outChars UTF-16
// units, terminator included). Fails on malformed UTF-8 or a result that does
// not fit. On success *written (if given) receives the units written,
// terminator included.
[[nodiscard]] bool utf8ToUtf16(const char* in, char16_t* out, size_t outChars, size_t* written = nullptr);

#ifdef _WIN32
// The exports' LUMVEK_WCHAR is wchar_t on Windows: UTF-16 as well.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
[[nodiscard]] inline bool utf16ToUtf8(const wchar_t* in, char* out, size_t outSize) {
    return utf16ToUtf8(reinterpret_cast<const char16_t*>(in), out, outSize);
}
[[nodiscard]] inline bool utf8ToUtf16(const char* in, wchar_t* out, size_t outChars, size_t* written = nullptr) {
    return utf8ToUtf16(in, reinterpret_cast<char16_t*>(out), outChars, written);
}
#endif

// The exports convert file names into buffers of this size.
inline constexpr size_t kAnsiPathBufferBytes = 1024;

} // namespace lumvek::platform
