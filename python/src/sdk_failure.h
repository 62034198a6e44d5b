#pragma once
// A failed SDK call: its error code (LUMVEK_ERR_*, or 0 when the SDK left
// none) and a message in words. The module turns it into lumvek.Error.
#include <stdexcept>
#include <string>

namespace lumvek::python {

class SdkFailure : public std::runtime_error {
public:
    SdkFailure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    [[nodiscard]] int code() const { return code_; }

private:
    int code_;
};

} // namespace lumvek::python
