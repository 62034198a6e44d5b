#pragma once
// --simulate: a simulated R13 camera created inside this process, so that
// every camera subcommand runs without hardware and without a daemon.
#include <string>

namespace lumvek::tool {

struct SimulationOptions {
    bool enabled = false;
    std::string scenePath;  // --scene FILE.pgm (8- or 16-bit PGM)
    std::string pattern;    // --pattern chart|still|ramp|black|white
};

// The camera description handed to the library; throws a usage error for
// a bad pattern, a scene that cannot be read, or both given.
[[nodiscard]] std::string simulatedCameraDescription(const SimulationOptions& options);

// Must run before the first Lumvek_ call: the library creates the camera
// from LUMVEK_SIM_CAMERAS when it is first used. Fails (exit code 1) when the
// simulator module is not installed beside the library. The run is kept apart from
// other cameras and processes: a private, empty device folder and a private
// open-device table, so the simulated camera is always number 0. Each run
// starts with the camera as it leaves the factory (unity channel gains in
// its serial ROM). Its
// settings go to a store of their own (simulated-registry.sqlite3 beside the
// default one) unless LUMVEK_REGISTRY_FILE names one.
void enterSimulation(const SimulationOptions& options);

// Removes the private device folder; called once the library is done.
void leaveSimulation();

} // namespace lumvek::tool
