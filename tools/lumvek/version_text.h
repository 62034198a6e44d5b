#pragma once
// The library's version word as people read it.
#include <cstdint>
#include <string>

namespace lumvek::tool {

// "SDK library 1.253.5.32 (0x01FD0520)": the word's four bytes, most
// significant first, as dotted fields beside the word in hexadecimal.
[[nodiscard]] std::string libraryVersionText(uint32_t word);

} // namespace lumvek::tool
