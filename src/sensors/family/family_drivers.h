#pragma once
// Every driver class of the sensor family, for the product table.
#include "sensors/ccd/sensor_icx274.h"
#include "sensors/ccd/sensor_r13.h"
#include "sensors/family/head_sensors.h"
#include "sensors/family/imx_sensors.h"
#include "sensors/family/mt9_sensors.h"
#include "sensors/family/sensor_g1467x.h"
#include "sensors/family/sensor_glux9701.h"
#include "sensors/family/sensor_r03.h"
#include "sensors/family/sensor_r05.h"
#include "sensors/family/sensor_r08_r12.h"
