// Exports that need no instance.
#include "LumvekSdk.h"

extern "C" {

LUMVEK_API int Lumvek_GetDllVersion(void) {
    return LUMVEK_DLL_VERSION;
}

} // extern "C"
