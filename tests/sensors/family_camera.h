#pragma once
// A camera device object opened on a simulated camera of any product of the
// family, with a handle on the simulator's sensor model (for the family
// heads) and on its register log.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camera/lumvek_usb3k7_simple_sdk.h"
#include "sim/in_process_camera.h"
#include "sim/models/family_model.h"
#include "sim/sensor_models.h"

namespace lumvek::test {

struct FamilyCamera {
    std::unique_ptr<sim::InProcessCamera> camera;
    sim::FamilyModel* model = nullptr;  // null for the MT9, CCD and R13 products
    std::unique_ptr<CLumvekUSB3K7SimpleSdk> device;
    int opened = 0;

    sim::SimulatedCamera& sim() { return camera->device(); }
    CSensorBase* sensor() { return device->sensor(); }
    // FPGA writes the camera saw of one register, in order.
    std::vector<uint8_t> fpgaWrites(uint8_t reg) {
        std::vector<uint8_t> values;
        for (const auto& a : sim().log().accesses(sim::Access::FpgaWrite)) {
            if (a.address == reg) values.push_back(static_cast<uint8_t>(a.value));
        }
        return values;
    }
    // Bridge-register writes of one address, in order.
    std::vector<uint8_t> registerWrites(uint16_t address) {
        std::vector<uint8_t> values;
        if (!model) return values;
        for (const auto& [at, value] : model->registerWrites()) {
            if (at == address) values.push_back(value);
        }
        return values;
    }
    // The little-endian value of `bytes` bridge registers from `address`.
    uint32_t wide(uint16_t address, int bytes = 2) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= uint32_t{model->sensorRegister(static_cast<uint16_t>(address + i))} << (8 * i);
        }
        return value;
    }
    // An FPGA value written low byte first over `bytes` registers, as the camera holds it.
    uint32_t fpgaWide(uint8_t reg, int bytes = 2) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= uint32_t{sim().fpgaRegister(static_cast<uint8_t>(reg + i))} << (8 * i);
        return value;
    }
};

// `extra` is appended to the camera description ("firmware=7", ...).
inline FamilyCamera openFamilyCamera(int productId, const std::string& name, const std::string& extra = "") {
    FamilyCamera c;
    char product[16];
    std::snprintf(product, sizeof product, "0x%04X", productId);
    std::string text = std::string("product=") + product + ",name=" + name;
    if (extra.find("scene=") == std::string::npos) text += ",pattern=ramp";
    if (!extra.empty()) text += "," + extra;
    sim::CameraDescription description;
    std::string error;
    EXPECT_TRUE(sim::parseCameraDescription(text, description, error)) << error;
    const sim::SensorModelConfig config{.productId = description.productId,
                                        .sensorVersion = description.sensorVersion,
                                        .firmware = description.firmware};
    std::unique_ptr<sim::SensorModel> model;
    if (auto family = sim::makeFamilyModel(config)) {
        c.model = family.get();
        model = std::move(family);
    } else {
        model = sim::makeSensorModel(config);
    }
    std::shared_ptr<sim::SimulatedCamera> camera = sim::SimulatedCamera::create(description, std::move(model), error);
    EXPECT_TRUE(camera) << error;
    if (!camera) return c;
    c.camera = sim::InProcessCamera::create(camera, error);
    EXPECT_TRUE(c.camera) << error;
    c.device = std::make_unique<CLumvekUSB3K7SimpleSdk>();
    c.device->SetProductId(productId);
    c.device->CreateController(nullptr);
    c.opened = c.device->CreateSensor(0);
    return c;
}

// Streams until one new frame is in the ring (bounded); true when one came.
inline bool takeOneFrame(CLumvekU3K7Base& device, std::vector<uint8_t>& frame) {
    if (!device.StartAcquisition(0)) return false;
    int result = 2;
    for (int i = 0; i < 40 && result == 2; ++i) result = device.WaitFrame(500);
    if (result == 3) {
        frame.assign(static_cast<size_t>(device.frameByteCount()), 0);
        result = device.GetLatestFrame(frame.data(), frame.size(), 1) == 0 ? 3 : 1;
    }
    device.StopAcquisition();
    return result == 3;
}

} // namespace lumvek::test
