#include "platform/text/text_conversion.h"

#include <cstdint>

namespace lumvek::platform {

namespace {

// Appends the UTF-8 form of one code point; false when it does not fit
// (one byte is always kept back for the terminator).
bool putUtf8(uint32_t cp, char* out, size_t outSize, size_t& pos) {
    char bytes[4];
    size_t n;
    if (cp < 0x80) {
        bytes[0] = static_cast<char>(cp);
        n = 1;
    } else if (cp < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 2;
    } else if (cp < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 3;
    } else {
        bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 4;
    }
    if (pos + n + 1 > outSize) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        out[pos++] = bytes[i];
    }
    return true;
}

// Decodes one code point from UTF-8; false on malformed input (overlong
// forms, surrogates, truncated sequences, values above U+10FFFF).
bool nextUtf8(const unsigned char*& p, uint32_t& cp) {
    const unsigned char lead = *p;
    size_t extra;
    uint32_t min;
    if (lead < 0x80) {
        cp = lead;
        ++p;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        cp = lead & 0x1F;
        extra = 1;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        cp = lead & 0x0F;
        extra = 2;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        cp = lead & 0x07;
        extra = 3;
        min = 0x10000;
    } else {
        return false;
    }
    ++p;
    for (size_t i = 0; i < extra; ++i, ++p) {
        if ((*p & 0xC0) != 0x80) {
            return false;  // also stops at the terminator
        }
        cp = (cp << 6) | (*p & 0x3F);
    }
    return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

} // namespace

bool utf16ToUtf8(const char16_t* in, char* out, size_t outSize) {
    if (in == nullptr || out == nullptr || outSize == 0) {
        return false;
    }
    size_t pos = 0;
    for (const char16_t* p = in; *p != 0; ++p) {
        uint32_t cp = *p;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const uint32_t low = p[1];
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++p;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (!putUtf8(cp, out, outSize, pos)) {
            return false;
        }
    }
    out[pos] = '\0';
    return true;
}

bool utf8ToUtf16(const char* in, char16_t* out, size_t outChars, size_t* written) {
    if (in == nullptr || out == nullptr || outChars == 0) {
        return false;
    }
    size_t pos = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    while (*p != 0) {
        uint32_t cp;
        if (!nextUtf8(p, cp)) {
            return false;
        }
        const size_t units = cp >= 0x10000 ? 2 : 1;
        if (pos + units + 1 > outChars) {
            return false;
        }
        if (units == 2) {
            cp -= 0x10000;
            out[pos++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[pos++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out[pos++] = static_cast<char16_t>(cp);
        }
    }
    out[pos++] = 0;
    if (written != nullptr) {
        *written = pos;
    }
    return true;
}

} // namespace lumvek::platform
