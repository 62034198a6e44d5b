// UTF-16 to and from the ANSI code page, as the W exports convert.
#include "platform/text/text_conversion.h"

#include <climits>
#include <windows.h>

namespace lumvek::platform {

namespace {

// The system converts a lone surrogate without complaint; the exports treat
// it as a broken string.
bool hasUnpairedSurrogate(const char16_t* in) {
    for (const char16_t* p = in; *p != 0; ++p) {
        if (*p >= 0xD800 && *p <= 0xDBFF) {
            if (p[1] < 0xDC00 || p[1] > 0xDFFF) {
                return true;
            }
            ++p;
        } else if (*p >= 0xDC00 && *p <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

} // namespace

bool utf16ToUtf8(const char16_t* in, char* out, size_t outSize) {
    if (in == nullptr || out == nullptr || outSize == 0 || hasUnpairedSurrogate(in)) {
        return false;
    }
    const int capacity = outSize > INT_MAX ? INT_MAX : static_cast<int>(outSize);
    BOOL usedDefault = FALSE;
    // UTF-8 and a few other code pages refuse the default-character report.
    const UINT page = GetACP();
    BOOL* report = page == CP_UTF8 || page == 54936 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(page, report != nullptr ? WC_NO_BEST_FIT_CHARS : 0,
                                      reinterpret_cast<const wchar_t*>(in), -1, out, capacity, nullptr, report);
    return n > 0 && !usedDefault;
}

bool utf8ToUtf16(const char* in, char16_t* out, size_t outChars, size_t* written) {
    if (in == nullptr || out == nullptr || outChars == 0) {
        return false;
    }
    const int capacity = outChars > INT_MAX ? INT_MAX : static_cast<int>(outChars);
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, in, -1, reinterpret_cast<wchar_t*>(out), capacity);
    if (n <= 0) {
        return false;
    }
    if (written != nullptr) {
        *written = static_cast<size_t>(n);
    }
    return true;
}

} // namespace lumvek::platform
