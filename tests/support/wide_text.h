#pragma once
// The strings of the W exports in tests: LUMVEK_WCHAR is char16_t on Linux
// and wchar_t on Windows, so literals and strings follow it.
#include <string>

#include "LumvekSdk.h"

#ifdef _WIN32
#define LUMVEK_TEST_WIDE(text) L##text
#else
#define LUMVEK_TEST_WIDE(text) u##text
#endif

namespace lumvek::test {
using WideString = std::basic_string<LUMVEK_WCHAR>;
} // namespace lumvek::test
