#pragma once
// --product ID: info, snap, get and set for a camera of any product of the
// family, through the C++ camera interface (lumvek/camera.hpp); the C API
// opens only R13 cameras. `lumvek list` adds the cameras of other products.
#include <vector>

#include "commands.h"

namespace lumvek::tool {

// True when the words carry --product (then the command takes this path).
[[nodiscard]] bool wantsProduct(const Args& words);

int runProductInfo(const Args& words);
int runProductSnap(const Args& words);
int runProductGet(const Args& words);
int runProductSet(const Args& words);

class JsonWriter;

// Lists the cameras the SDK's own list leaves out: those of products other
// than the R13, and R13s another program holds (in use): as objects into an
// open JSON array, or as text lines when json is null. `listedR13s` are the
// device numbers the SDK's list showed: the tool's own instance holds those,
// so they do not open here either, and are not shown again. Returns how many.
int addOtherProducts(JsonWriter* json, const std::vector<int>& listedR13s);

} // namespace lumvek::tool
