#include "version_text.h"

#include <cstdio>

namespace lumvek::tool {

std::string libraryVersionText(uint32_t word) {
    char text[64];
    std::snprintf(text, sizeof text, "SDK library %u.%u.%u.%u (0x%08X)", word >> 24, (word >> 16) & 0xFFu,
                  (word >> 8) & 0xFFu, word & 0xFFu, word);
    return text;
}

} // namespace lumvek::tool
