#pragma once
// The SDK's error codes (LUMVEK_ERR_*) in words, for one-line messages.
#include <string>

namespace lumvek::tool {

// "SDK error 9: value out of range or invalid argument"; code 0 says that
// the SDK reported no code at all.
[[nodiscard]] std::string describeSdkError(int code);

} // namespace lumvek::tool
