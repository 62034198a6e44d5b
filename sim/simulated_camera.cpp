// The simulated camera's control side: vendor requests and the I2C bus.
// The frame stream (bulk endpoints) is in frame_stream.cpp.
#include "sim/simulated_camera.h"

#include <cstring>

#include "platform/fx3/fx3_driver.h"
#include "platform/log/log.h"
#include "sim/pgm_scene.h"
#include "sim/sensor_models.h"

namespace lumvek::sim {

namespace {
// I2C devices behind the controller, by their write address (a read sets bit 0).
constexpr uint8_t kFpgaAddress = i2c::kFpgaWrite;
constexpr uint8_t kSromAddress = i2c::kSromWrite;
constexpr uint8_t kAuxAddress = i2c::kAuxWrite;

constexpr size_t kInfoWordOffset = 24;
constexpr char kInfoText[] = "LUMVEK SIM FX3";

uint8_t expectedRequestType(uint8_t code) {
    switch (code) {
    case vendor::kI2cWrite: case vendor::kWriteSensorRegister32: case vendor::kWriteRegister16:
    case vendor::kWriteOutputMode: case vendor::kRestartStream:
        return fx3::kRequestTypeVendorOut;
    case vendor::kI2cRead: case vendor::kReadSensorRegister16: case vendor::kReadRegister16:
    case vendor::kReadOutputMode: case vendor::kReadDeviceInfo: case vendor::kReadDeviceInfoB1:
    case vendor::kReadReadyStatus:
        return fx3::kRequestTypeVendorIn;
    case vendor::kArmTransfer: case vendor::kEndpointRequestCC:
        return fx3::kRequestTypeVendorOutEndpoint;
    default:
        return 0xFF;
    }
}

void put16(std::span<uint8_t> out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
} // namespace

std::unique_ptr<SimulatedCamera> SimulatedCamera::create(const CameraDescription& description, std::string& error) {
    return create(description, makeSensorModel({.productId = description.productId,
                                             .sensorVersion = description.sensorVersion,
                                             .firmware = description.firmware}), error);
}

std::unique_ptr<SimulatedCamera> SimulatedCamera::create(const CameraDescription& description, std::unique_ptr<SensorModel> model,
                                                         std::string& error) {
    if (!model) {
        error = "no sensor model";
        return nullptr;
    }
    std::unique_ptr<Scene> scene;
    if (!description.scenePath.empty()) {
        scene = loadPgmScene(description.scenePath, error);
        if (!scene) {
            return nullptr;
        }
    } else {
        scene = makePatternScene(description.pattern);
    }
    std::unique_ptr<SimulatedCamera> camera(new SimulatedCamera(description, std::move(model), std::move(scene)));
    if (!description.sromPath.empty() && !camera->srom_.bindFile(description.sromPath, error)) {
        return nullptr;
    }
    for (const auto& [key, value] : description.faults) {
        if (!camera->faults_.set(key, value, error)) {
            return nullptr;
        }
    }
    if (description.startUnplugged) {
        camera->connected_ = false;
    }
    return camera;
}

SimulatedCamera::SimulatedCamera(const CameraDescription& description, std::unique_ptr<SensorModel> model,
                                 std::unique_ptr<Scene> scene)
    : description_(description), profile_(productProfile(description.productId)), infoWord_(description.infoWord),
      readyStatus_(description.readyStatus), model_(std::move(model)), scene_(std::move(scene)), start_(Clock::now()) {
    const uint8_t widthReg = profile_.alternateWindowRegisters ? fpga::kAltWidthLow : fpga::kWidthLow;
    const uint8_t heightReg = profile_.alternateWindowRegisters ? fpga::kAltHeightLow : fpga::kHeightLow;
    fpga_.set16(widthReg, static_cast<uint16_t>(profile_.fullWidth));
    fpga_.set16(heightReg, static_cast<uint16_t>(profile_.fullHeight));
    fpga_.set(fpga::kSampleDepth, 1);
}

SimulatedCamera::~SimulatedCamera() = default;

fx3::ControlResult SimulatedCamera::controlTransfer(const fx3::RequestHeader& header,
                                                    std::span<uint8_t, fx3::kControlDataBytes> data) {
    ControlRecord record;
    record.header = header;
    std::memcpy(record.data.data(), data.data(), data.size());
    fx3::ControlResult result;
    if (connected_ && !faults_.takeFailControl()) {
        std::lock_guard lock(stateMutex_);
        result.ok = handleControl(header, data, result.dataBytes);
    }
    record.ok = result.ok;
    log_.addRequest(record);
    if (!result.ok) {
        result.dataBytes = 0;
    }
    return result;
}

bool SimulatedCamera::handleControl(const fx3::RequestHeader& header, std::span<uint8_t, fx3::kControlDataBytes> data,
                                    uint32_t& dataBytes) {
    const uint8_t code = header.requestCode;
    if (header.requestType != expectedRequestType(code)) {
        return false;  // the device stalls a request it does not know
    }
    const bool deviceToHost = header.requestType == fx3::kRequestTypeVendorIn;
    if (deviceToHost) {
        std::memset(data.data(), 0, data.size());
        dataBytes = fx3::kControlDataBytes;
    }
    switch (code) {
    case vendor::kI2cWrite: {
        if (header.value > fx3::kControlDataBytes || (header.index & 1) != 0) {
            return false;
        }
        return i2cWrite(static_cast<uint8_t>(header.index), data.first(header.value));
    }
    case vendor::kI2cRead: {
        if (header.value > fx3::kControlDataBytes || (header.index & 1) == 0) {
            return false;
        }
        dataBytes = header.value;
        return i2cRead(static_cast<uint8_t>(header.index & 0xFE), data.first(header.value));
    }
    case vendor::kWriteSensorRegister32: {
        const auto address = static_cast<uint16_t>((header.value != 0 ? 0x8000 : 0) | (header.index & 0x7FFF));
        const uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
        log_.addAccess(Access::SensorWrite32, address, value);
        return model_->writeRegister32(address, value);
    }
    case vendor::kReadSensorRegister16: {
        const auto value = model_->readRegister16(header.index);
        log_.addAccess(Access::SensorRead16, header.index, value.value_or(0));
        if (!value) return false;
        put16(data, 0, *value);
        return true;
    }
    case vendor::kWriteRegister16: {
        const auto address = static_cast<uint16_t>((data[0] << 8) | data[1]);
        const auto value = static_cast<uint16_t>((data[2] << 8) | data[3]);
        log_.addAccess(Access::RegisterWrite16, address, value);
        return model_->writeRequestRegister16(address, value);
    }
    case vendor::kReadRegister16: {
        const auto value = model_->readRequestRegister16(header.value);
        log_.addAccess(Access::RegisterRead16, header.value, value.value_or(0));
        if (!value) return false;
        put16(data, 0, *value);
        return true;
    }
    case vendor::kWriteOutputMode:
        outputMode_ = data[0];
        return true;
    case vendor::kReadOutputMode:
        data[0] = outputMode_;
        return true;
    case vendor::kReadDeviceInfo:
    case vendor::kReadDeviceInfoB1:
        put16(data, 0, description_.productId);
        put16(data, 2, description_.vendorId);
        std::memcpy(data.data() + 4, kInfoText, sizeof kInfoText);
        if (code == vendor::kReadDeviceInfo) {
            put16(data, kInfoWordOffset, infoWord_);
        }
        return true;
    case vendor::kRestartStream:
        resetStreamLocked();
        return true;
    case vendor::kArmTransfer:
        // The frame is rendered now, so that the header read only waits for
        // the frame boundary, never for the rendering.
        phase_ = StreamPhase::HeaderPending;
        armedAt_ = Clock::now();
        prepareFrameLocked(sensorFrameIndexLocked(armedAt_) + 1);
        return true;
    case vendor::kReadReadyStatus:
        data[0] = readyStatus_;
        return true;
    case vendor::kEndpointRequestCC:
        return true;
    default:
        return false;
    }
}

bool SimulatedCamera::i2cWrite(uint8_t address, std::span<const uint8_t> bytes) {
    switch (address) {
    case kFpgaAddress:
        if (bytes.empty()) return false;
        fpgaPointer_ = bytes[0];
        if (bytes.size() >= 3) {
            writeFpga(bytes[0], bytes[2]);  // reg, 0, value
        }
        return true;
    case kSromAddress:
        if (bytes.size() < 2) return false;
        srom_.i2cWrite(bytes, [&](uint16_t at, uint8_t value) { log_.addAccess(Access::SromWrite, at, value); });
        return true;
    case kAuxAddress:
        if (bytes.empty()) return false;
        auxPointer_ = bytes[0];
        for (size_t i = 1; i < bytes.size(); ++i) {
            aux_[auxPointer_] = bytes[i];
            log_.addAccess(Access::AuxWrite, auxPointer_, bytes[i]);
            auxPointer_ = static_cast<uint8_t>(auxPointer_ + 1);
        }
        return true;
    default:
        if (!model_->ownsI2cAddress(address)) {
            return false;  // nobody acknowledges
        }
        log_.addAccess(Access::I2cWrite, address, static_cast<uint32_t>(bytes.size()));
        return model_->i2cWrite(address, bytes);
    }
}

bool SimulatedCamera::i2cRead(uint8_t address, std::span<uint8_t> bytes) {
    switch (address) {
    case kFpgaAddress: {
        // Two bytes: a zero high byte, then the register's value.
        const uint8_t value = readFpga(fpgaPointer_);
        if (bytes.size() >= 2) {
            bytes[1] = value;
        }
        log_.addAccess(Access::FpgaRead, fpgaPointer_, value);
        return true;
    }
    case kSromAddress:
        srom_.i2cRead(bytes, [&](uint16_t at, uint8_t value) { log_.addAccess(Access::SromRead, at, value); });
        return true;
    case kAuxAddress:
        for (auto& byte : bytes) {
            byte = model_->readAuxRegister(auxPointer_).value_or(aux_[auxPointer_]);
            log_.addAccess(Access::AuxRead, auxPointer_, byte);
            auxPointer_ = static_cast<uint8_t>(auxPointer_ + 1);
        }
        return true;
    default:
        if (!model_->ownsI2cAddress(address)) {
            return false;
        }
        log_.addAccess(Access::I2cRead, address, static_cast<uint32_t>(bytes.size()));
        return model_->i2cRead(address, bytes);
    }
}

void SimulatedCamera::writeFpga(uint8_t reg, uint8_t value) {
    log_.addAccess(Access::FpgaWrite, reg, value);
    fpga_.set(reg, value);
    if (reg == fpga::kHeaderReset && value != 0) {
        resetStreamLocked();
    }
    model_->fpgaRegisterWritten(reg, value);
}

uint8_t SimulatedCamera::readFpga(uint8_t reg) {
    if (const auto modelled = model_->readFpgaRegister(reg)) {
        return *modelled;
    }
    if (reg == fpga::kFrameTag) {
        return static_cast<uint8_t>(sensorFrameIndexLocked(Clock::now()));
    }
    return fpga_.get(reg);
}

uint8_t SimulatedCamera::fpgaRegister(uint8_t reg) const {
    std::lock_guard lock(stateMutex_);
    return fpga_.get(reg);
}

void SimulatedCamera::setFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(stateMutex_);
    fpga_.set(reg, value);
}

std::vector<uint8_t> SimulatedCamera::serialRom() const {
    std::lock_guard lock(stateMutex_);
    return {srom_.content().begin(), srom_.content().end()};
}

bool SimulatedCamera::connected() const {
    return connected_;
}

void SimulatedCamera::unplug() {
    connected_ = false;
    std::lock_guard lock(stateMutex_);
    resetStreamLocked();
}

void SimulatedCamera::replug() {
    std::lock_guard lock(stateMutex_);
    resetStreamLocked();
    connected_ = true;
}

uint32_t SimulatedCamera::linkSpeed() {
    return connected_ ? fx3::kLinkSpeedSuper : 0;
}

} // namespace lumvek::sim
