// Sensor register, FPGA register, serial ROM, I/O port and sampling-rate exports.
#include "LumvekSdk.h"
#include "api/forward.h"

using lumvek::CLumvek;
using lumvek::api::forward;

extern "C" {

LUMVEK_API int Lumvek_ReadRegister(int32_t handle, int address, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.ReadRegister(address & 0xFF, ok); });
}

LUMVEK_API int Lumvek_ReadRegisterEx(int32_t handle, int address, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.ReadRegister(address, ok); });
}

LUMVEK_API int Lumvek_WriteRegister(int32_t handle, int address, int value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.WriteRegister(address & 0xFF, value & 0xFFFF); });
}

LUMVEK_API int Lumvek_WriteRegisterEx(int32_t handle, int address, int value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.WriteRegister(address, value); });
}

LUMVEK_API int Lumvek_Fpga_ReadRegister(int32_t handle, int address, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.FpgaReadRegister(address & 0xFF, ok); });
}

LUMVEK_API int Lumvek_Fpga_WriteRegister(int32_t handle, int address, int value) {
    return forward(handle, 0,
                   [=](CLumvek& self) { return self.FpgaWriteRegister(address & 0xFF, value & 0xFFFF); });
}

LUMVEK_API int Lumvek_GetIOPort(int32_t handle, unsigned char* value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetIOPort(value); });
}

LUMVEK_API int Lumvek_SetIOPort(int32_t handle, unsigned char value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetIOPort(value); });
}

LUMVEK_API int Lumvek_ReadSromID(int32_t handle, int address, int* ok) {
    return forward(handle, 0, [=](CLumvek& self) { return self.ReadSromID(address, ok); });
}

LUMVEK_API int Lumvek_WriteSromID(int32_t handle, int address, int value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.WriteSromID(address, value); });
}

LUMVEK_API int Lumvek_SetSamplingRate(int32_t handle, int rate) {
    return forward(handle, 0, [=](CLumvek& self) { return self.SetSamplingRate(rate); });
}

// One entry point under two names.
LUMVEK_API int Lumvek_GetSamplingRate(int32_t handle, int* value) {
    return forward(handle, 0, [=](CLumvek& self) { return self.GetSamplingRate(value); });
}
LUMVEK_API int Lumvek_GetVideoFormat(int32_t handle, int* value) __attribute__((alias("Lumvek_GetSamplingRate")));

} // extern "C"
