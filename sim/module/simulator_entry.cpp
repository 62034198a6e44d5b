// libLumvekSimulator.so: the simulator as a module the library loads when an
// application asks for simulated cameras (LUMVEK_SIM_CAMERAS, `lumvek
// --simulate`). Its one export hands the camera factory to the library's
// in-process bus.
#include "platform/fx3/simulator_module.h"
#include "sim/in_process_camera.h"

#ifdef _WIN32
#define LUMVEK_SIMULATOR_EXPORT __declspec(dllexport)
#else
#define LUMVEK_SIMULATOR_EXPORT __attribute__((visibility("default")))
#endif

extern "C" LUMVEK_SIMULATOR_EXPORT int lumvek_simulator_install() {
    lumvek::sim::installInProcessFactory();
    return 1;
}
