#include "sim/in_process_camera.h"

#include <mutex>
#include <sstream>
#include <vector>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/in_process_bus.h"
#include "platform/log/log.h"

namespace lumvek::sim {

std::unique_ptr<InProcessCamera> InProcessCamera::create(const std::string& specText, std::string& error) {
    CameraDescription description;
    if (!parseCameraDescription(specText, description, error)) {
        return nullptr;
    }
    std::shared_ptr<SimulatedCamera> camera = SimulatedCamera::create(description, error);
    if (!camera) {
        return nullptr;
    }
    return create(std::move(camera), error);
}

std::unique_ptr<InProcessCamera> InProcessCamera::create(std::shared_ptr<SimulatedCamera> camera,
                                                         std::string& error) {
    std::unique_ptr<InProcessCamera> handle(new InProcessCamera(std::move(camera)));
    const CameraDescription& description = handle->camera_->description();
    handle->path_ = fx3::formatDevicePath(description.vendorId, description.productId, description.name);
    if (handle->camera_->connected()) {
        if (fx3::InProcessBus::instance().attach(handle->camera_, description.vendorId, description.productId, description.name).empty()) {
            error = "a camera named '" + description.name + "' of this product is already present";
            return nullptr;
        }
        handle->attached_ = true;
    }
    return handle;
}

InProcessCamera::~InProcessCamera() {
    if (attached_) {
        fx3::InProcessBus::instance().detach(path_);
    }
    camera_->unplug();
}

void InProcessCamera::unplug() {
    camera_->unplug();
    if (attached_) {
        fx3::InProcessBus::instance().detach(path_);
        attached_ = false;
    }
}

void InProcessCamera::replug() {
    camera_->replug();
    if (!attached_) {
        const CameraDescription& description = camera_->description();
        attached_ = !fx3::InProcessBus::instance().attach(camera_, description.vendorId, description.productId, description.name).empty();
    }
}

namespace {
// Cameras made from LUMVEK_SIM_CAMERAS: kept until the process ends.
std::vector<std::unique_ptr<InProcessCamera>>& environmentCameras() {
    static std::vector<std::unique_ptr<InProcessCamera>> cameras;
    return cameras;
}

void createFromSpecs(const std::string& descriptions) {
    std::stringstream list(descriptions);
    std::string description;
    while (std::getline(list, description, ';')) {
        if (description.empty()) {
            continue;
        }
        std::string error;
        auto camera = InProcessCamera::create(description, error);
        if (!camera) {
            platform::logf(platform::LogCategory::Sim, "LUMVEK_SIM_CAMERAS: %s", error.c_str());
            continue;
        }
        environmentCameras().push_back(std::move(camera));
    }
}
} // namespace

void installInProcessFactory() {
    static std::once_flag once;
    std::call_once(once, [] { fx3::InProcessBus::instance().setCameraFactory(createFromSpecs); });
}

} // namespace lumvek::sim
