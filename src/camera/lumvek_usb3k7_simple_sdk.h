#pragma once
// The camera device object an SDK instance owns: everything is its base's.
#include "camera/lumvek_u3k7_base.h"

namespace lumvek {

class CLumvekUSB3K7SimpleSdk final : public CLumvekU3K7Base {
public:
    CLumvekUSB3K7SimpleSdk() = default;
    ~CLumvekUSB3K7SimpleSdk() override = default;
};

} // namespace lumvek
