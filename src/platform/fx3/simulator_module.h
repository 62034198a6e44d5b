#pragma once
// The camera simulator is not part of the library: it is a module of its own,
// libLumvekSimulator.so, installed (when it is installed at all) in the folder
// of the library that holds this code. Loading it installs its camera factory
// into the in-process bus (InProcessBus::setCameraFactory), which then creates
// the cameras LUMVEK_SIM_CAMERAS names. Nothing loads it unless asked: the bus
// does when that variable is set and no factory is there yet, `lumvek
// --simulate` does before it names its camera.
//
//   std::string error;
//   if (!fx3::loadSimulatorModule(error)) report(error);   // "the simulator is not installed (...)"
#include <string>

namespace lumvek::fx3 {

#ifdef _WIN32
inline constexpr const char* kSimulatorModuleFile = "LumvekSimulator.dll";
#else
inline constexpr const char* kSimulatorModuleFile = "libLumvekSimulator.so";
#endif
// The module's one export: installs the factory; returns 1.
inline constexpr const char* kSimulatorModuleEntry = "lumvek_simulator_install";
using SimulatorModuleEntry = int (*)();

// True once the module is loaded and its factory installed (repeat calls
// are cheap and load nothing more). False with `error` saying why otherwise.
bool loadSimulatorModule(std::string& error);

} // namespace lumvek::fx3
