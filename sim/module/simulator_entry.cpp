// libLumvekSimulator.so: the simulator as a module the library loads when an
// application asks for simulated cameras (LUMVEK_SIM_CAMERAS, `lumvek
// --simulate`). Its one export hands the camera factory to the library's
// in-process bus.
#include "platform/fx3/simulator_module.h"
#include "sim/in_process_camera.h"

extern "C" __attribute__((visibility("default"))) int lumvek_simulator_install() {
    lumvek::sim::installInProcessFactory();
    return 1;
}
