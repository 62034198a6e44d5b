#pragma once
// The SDK's error codes (LUMVEK_ERR_*) in words, for one-line messages.
#include <string>
#include <vector>

namespace lumvek::tool {

// "SDK error 9: value out of range or invalid argument"; code 0 says that
// the SDK reported no code at all.
[[nodiscard]] std::string describeSdkError(int code);

// The codes of one failure, newest first (the error history as popped): the
// newest in words, then the distinct earlier ones as its causes,
// "SDK error 7: ... (after SDK error 6: ...)".
[[nodiscard]] std::string describeSdkErrors(const std::vector<int>& newestFirst);

} // namespace lumvek::tool
