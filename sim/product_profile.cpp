#include "sim/product_profile.h"

namespace lumvek::sim {

namespace {
// clang-format off
constexpr ProductProfile kProducts[] = {
    {.productId = 0x3020, .fullWidth = 4608, .fullHeight = 3288, .clockKHz = 96000},
    {.productId = 0x3030, .fullWidth = 2592, .fullHeight = 1944, .clockKHz = 96000},
    {.productId = 0x3040, .fullWidth = 3856, .fullHeight = 2764, .clockKHz = 80000},
    {.productId = 0x3042, .fullWidth = 3856, .fullHeight = 2764, .clockKHz = 80000, .wholeFrameEndpoint = true},
    {.productId = 0x3050, .fullWidth = 1600, .fullHeight = 1200, .clockKHz = 60000},
    {.productId = 0x3090, .fullWidth = 2336, .fullHeight = 1752, .clockKHz = 60000},
    {.productId = 0x30B0, .fullWidth = 4896, .fullHeight = 3264, .clockKHz = 40000},
    {.productId = 0x30C0, .fullWidth = 6576, .fullHeight = 4384, .clockKHz = 40000},
    {.productId = 0x30F0, .fullWidth = 3072, .fullHeight = 2048, .clockKHz = 364000},
    {.productId = 0x3100, .fullWidth = 1920, .fullHeight = 1200, .clockKHz = 74250},
    {.productId = 0x3110, .fullWidth = 5520, .fullHeight = 3680, .clockKHz = 72000},
    {.productId = 0x3120, .fullWidth = 4800, .fullHeight = 3520, .clockKHz = 36000},
    {.productId = 0x3130, .fullWidth = 1920, .fullHeight = 1080, .clockKHz = 74250, .samplesPerPixel = 3},
    {.productId = 0x3140, .fullWidth = 1280, .fullHeight = 1024, .clockKHz = 37125},
    {.productId = 0x3150, .fullWidth = 640,  .fullHeight = 512,  .clockKHz = 6250},
    {.productId = 0x3170, .fullWidth = 320,  .fullHeight = 256,  .clockKHz = 6250},
    {.productId = 0x3180, .fullWidth = 1280, .fullHeight = 1024, .clockKHz = 72000},
    {.productId = 0x3190, .fullWidth = 512,  .fullHeight = 512,  .clockKHz = 5000},
    {.productId = 0x31A0, .fullWidth = 256,  .fullHeight = 256,  .clockKHz = 5000},
    {.productId = 0x31B0, .fullWidth = 2448, .fullHeight = 2048, .clockKHz = 54000},
    {.productId = 0x31B4, .fullWidth = 2448, .fullHeight = 2048, .clockKHz = 74250},
    {.productId = 0x31C0, .fullWidth = 2048, .fullHeight = 1536, .clockKHz = 54545},
    {.productId = 0x31C4, .fullWidth = 2048, .fullHeight = 1536, .clockKHz = 54545},
    {.productId = 0x31D0, .fullWidth = 1024, .fullHeight = 1024, .clockKHz = 5000},
    {.productId = 0x31E0, .fullWidth = 2048, .fullHeight = 2048, .clockKHz = 50000, .alternateWindowRegisters = true},
    {.productId = 0x31F0, .fullWidth = 4168, .fullHeight = 3062, .clockKHz = 72000},
    {.productId = 0x3200, .fullWidth = 640,  .fullHeight = 512,  .clockKHz = 9000},
    {.productId = 0x3210, .fullWidth = 2048, .fullHeight = 2048, .clockKHz = 5000},
    {.productId = 0x3220, .fullWidth = 320,  .fullHeight = 256,  .clockKHz = 6250},
    {.productId = 0x3260, .fullWidth = 1280, .fullHeight = 1024, .clockKHz = 54545},
    {.productId = 0x3270, .fullWidth = 1280, .fullHeight = 1024, .clockKHz = 54545},
    {.productId = 0x3280, .fullWidth = 640,  .fullHeight = 512,  .clockKHz = 54545},
    {.productId = 0x3290, .fullWidth = 640,  .fullHeight = 512,  .clockKHz = 54545},
    {.productId = 0x32A0, .fullWidth = 2448, .fullHeight = 2048, .clockKHz = 54000},
    {.productId = 0x32B0, .fullWidth = 1936, .fullHeight = 1096, .clockKHz = 48000},
    {.productId = 0x32C0, .fullWidth = 1280, .fullHeight = 1024, .clockKHz = 37037},
    {.productId = 0x32D0, .fullWidth = 4096, .fullHeight = 4096, .clockKHz = 25000, .alternateWindowRegisters = true},
    {.productId = 0x32E0, .fullWidth = 2848, .fullHeight = 2848, .clockKHz = 54545},
    {.productId = 0x32F0, .fullWidth = 2848, .fullHeight = 2848, .clockKHz = 54545},
    {.productId = 0x3300, .fullWidth = 1440, .fullHeight = 1080, .clockKHz = 54545},
};
// clang-format on
} // namespace

ProductProfile productProfile(uint16_t productId) {
    for (const auto& profile : kProducts) {
        if (profile.productId == productId) {
            return profile;
        }
    }
    return {.productId = productId, .fullWidth = 1280, .fullHeight = 1024, .clockKHz = 48000};
}

} // namespace lumvek::sim
