#pragma once
// Simulated cameras living in the calling process, visible to the driver
// stand-in (fx3::enumerateDeviceInterfaces / openDevice) like plugged-in ones.
//
//   std::string error;
//   auto camera = sim::InProcessCamera::create("product=0x3090,name=cam0,pattern=ramp", error);
//   camera->path();                // \\?\usb#vid_04b4&pid_3090#cam0#{...}
//   camera->device().log();        // register traffic (sim::RegisterLog)
//   camera->unplug(); camera->replug();
//   camera.reset();                // removed from the bus
//
// installInProcessFactory() lets LUMVEK_SIM_CAMERAS (camera descriptions separated
// by ';') create such cameras when the stand-in is first used; those live
// until the process ends.
#include <memory>
#include <string>

#include "sim/simulated_camera.h"

namespace lumvek::sim {

class InProcessCamera {
public:
    // nullptr with `error` set for a bad description, scene or serial ROM file, or a
    // path already present.
    [[nodiscard]] static std::unique_ptr<InProcessCamera> create(const std::string& description, std::string& error);
    [[nodiscard]] static std::unique_ptr<InProcessCamera> create(std::shared_ptr<SimulatedCamera> camera,
                                                                 std::string& error);
    ~InProcessCamera();
    InProcessCamera(const InProcessCamera&) = delete;
    InProcessCamera& operator=(const InProcessCamera&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] SimulatedCamera& device() { return *camera_; }

    // The path disappears and requests in flight fail / the path returns.
    void unplug();
    void replug();

private:
    explicit InProcessCamera(std::shared_ptr<SimulatedCamera> camera) : camera_(std::move(camera)) {}
    std::shared_ptr<SimulatedCamera> camera_;
    std::string path_;
    bool attached_ = false;
};

// Installs the LUMVEK_SIM_CAMERAS factory into the driver stand-in. Call once
// at load time; later calls are harmless.
void installInProcessFactory();

} // namespace lumvek::sim
