#pragma once
// Text conversion between the exports' UTF-16 strings and the library's 8-bit
// strings. On Linux the "ANSI code page" is UTF-8.
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

// The exports convert file names into buffers of this size.
inline constexpr size_t kAnsiPathBufferBytes = 1024;

} // namespace lumvek::platform
