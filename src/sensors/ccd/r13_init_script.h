#pragma once
// The R13 camera's power-up programming of its two register banks and FPGA
// control flags, before the driver applies its default settings.
#include "sensors/ccd/sensor_init_step.h"

namespace lumvek {

// The steps in order; 514 of them are register writes.
[[nodiscard]] const SensorInitScript& r13InitScript();

} // namespace lumvek
