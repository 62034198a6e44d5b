#pragma once
// A simulated camera at the USB level: the device side of the driver
// stand-in (fx3::UsbDevice). It answers the controller's vendor requests,
// carries the I2C bus (FPGA register file 0x40/0x41, serial ROM 0xA2/0xA3,
// auxiliary device 0x5A/0x5B, the sensor's own addresses), and streams frames
// on bulk endpoint 0x81 (a 64-byte header after each arm request, then the
// pixel data) or, for product 0x3042, whole frames on 0x83.
//
// Usage (in-process; see in_process_camera.h to make it visible to the stand-in):
//   std::string error;
//   CameraDescription description;
//   (void)parseCameraDescription("product=0x3090,name=cam0,pattern=ramp", description, error);
//   auto camera = SimulatedCamera::create(description, error);   // nullptr + error on a bad scene/srom
//   camera->log().accesses(Access::FpgaWrite);            // what the controller did
//   camera->faults().set("drop-headers", "2", error);
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fx3/usb_device.h"
#include "sim/camera_description.h"
#include "sim/faults.h"
#include "sim/fpga_register_file.h"
#include "sim/product_profile.h"
#include "sim/register_log.h"
#include "sim/scene.h"
#include "sim/sensor_model.h"
#include "sim/serial_rom.h"
#include "usb/controller_protocol.h"

namespace lumvek::sim {

// What an oversize fault announces: more than any buffer can hold.
inline constexpr uint32_t kOversizeByteCount = 0xFFFFFF00u;

class SimulatedCamera final : public fx3::UsbDevice {
public:
    [[nodiscard]] static std::unique_ptr<SimulatedCamera> create(const CameraDescription& description, std::string& error);
    // For tests: a camera with a sensor model of the caller's choosing.
    [[nodiscard]] static std::unique_ptr<SimulatedCamera> create(const CameraDescription& description,
                                                                 std::unique_ptr<SensorModel> model,
                                                                 std::string& error);
    ~SimulatedCamera() override;

    // fx3::UsbDevice
    fx3::ControlResult controlTransfer(const fx3::RequestHeader& header,
                                       std::span<uint8_t, fx3::kControlDataBytes> data) override;
    fx3::BulkResult bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                             const fx3::CancelToken& cancel) override;
    bool resetPipe(uint8_t endpoint) override;
    bool resetPort() override;
    uint32_t linkSpeed() override;
    bool connected() const override;

    // Unplugged: every request fails, reads in flight end with "not connected".
    void unplug();
    void replug();

    [[nodiscard]] const CameraDescription& description() const { return description_; }
    [[nodiscard]] Faults& faults() { return faults_; }
    [[nodiscard]] RegisterLog& log() { return log_; }
    [[nodiscard]] uint8_t fpgaRegister(uint8_t reg) const;
    void setFpgaRegister(uint8_t reg, uint8_t value);
    [[nodiscard]] std::vector<uint8_t> serialRom() const;
    // The word at offset 24 of the 0xB0 block and the 0xC3 status byte
    // (start values from the description), changeable while running.
    void setDeviceInfoWord(uint16_t word) { infoWord_ = word; }
    void setReadyStatus(uint8_t status) { readyStatus_ = status; }
    // The geometry the next frame will have, from the window and depth registers.
    [[nodiscard]] FrameGeometry currentGeometry() const;
    [[nodiscard]] double framePeriodMs() const;
    // Processor time this camera's own work has taken on the threads that
    // called it: rendering frames and copying them into bulk reads (what a
    // real camera and the host's USB controller do). A benchmark subtracts
    // it to find the reader's own cost.
    [[nodiscard]] double workCpuSeconds() const;

private:
    SimulatedCamera(const CameraDescription& description, std::unique_ptr<SensorModel> model, std::unique_ptr<Scene> scene);

    using Clock = std::chrono::steady_clock;
    enum class StreamPhase { Idle, HeaderPending, Data };

    // Control-request handlers; called with stateMutex_ held.
    bool handleControl(const fx3::RequestHeader& header, std::span<uint8_t, fx3::kControlDataBytes> data,
                       uint32_t& dataBytes);
    bool i2cWrite(uint8_t address, std::span<const uint8_t> bytes);
    bool i2cRead(uint8_t address, std::span<uint8_t> bytes);
    void writeFpga(uint8_t reg, uint8_t value);
    uint8_t readFpga(uint8_t reg);
    FrameGeometry geometryLocked() const;
    double periodMsLocked() const;
    uint32_t sensorFrameIndexLocked(Clock::time_point at) const;
    void prepareFrameLocked(uint32_t frameIndex);
    void resetStreamLocked();

    fx3::BulkResult readHeadered(std::span<uint8_t> buffer, uint32_t timeoutMs, const fx3::CancelToken& cancel);
    fx3::BulkResult readWholeFrame(std::span<uint8_t> buffer, uint32_t timeoutMs, const fx3::CancelToken& cancel);
    // Waits for the rate cap; false when cancelled or unplugged meanwhile.
    bool paceDataLocked(std::unique_lock<std::mutex>& lock, size_t bytes, const fx3::CancelToken& cancel);

    const CameraDescription description_;
    const ProductProfile profile_;
    Faults faults_;
    RegisterLog log_;
    std::atomic<bool> connected_{true};
    std::atomic<uint16_t> infoWord_;
    std::atomic<uint8_t> readyStatus_;

    mutable std::mutex stateMutex_;  // guards everything below
    std::unique_ptr<SensorModel> model_;
    std::unique_ptr<Scene> scene_;
    FpgaRegisterFile fpga_;
    uint8_t fpgaPointer_ = 0;
    SerialRom srom_;
    std::array<uint8_t, 256> aux_{};
    uint8_t auxPointer_ = 0;
    uint8_t outputMode_ = 0;
    const Clock::time_point start_;
    StreamPhase phase_ = StreamPhase::Idle;
    Clock::time_point armedAt_{};
    std::vector<uint8_t> frame_;       // pixel data of the frame being delivered
    std::array<uint8_t, kFrameHeaderBytes> header_{};
    size_t dataOffset_ = 0;            // next pixel byte to deliver
    size_t dataEnd_ = 0;               // bytes that will actually be delivered
    Clock::time_point rateClock_{};    // earliest time the next data may leave (rate cap)
    std::atomic<int64_t> workNanoseconds_{0};  // see workCpuSeconds()
};

} // namespace lumvek::sim
