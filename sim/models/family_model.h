#pragma once
// The sensors of the family's products other than the R13, the MT9 chips
// and the CCDs, as the simulator carries them. One model serves them all,
// configured per product: it holds the sensor's 8-bit registers behind the
// serial bridge (or the converter's single-byte registers), answers the
// drivers' probes (R05 link register 0xFF, R08/R12 I2C device 95 and FPGA
// register 187, GLUX9701 FPGA register 33, the serial-bridge reset bit in
// FPGA register 129, the idle register 2, the firmware word 0x10/0x11),
// models the temperature registers each driver reads, speaks the R05 head's
// text protocol over register 0 of its bridge, and streams the scene in the
// product's raw orientation at the rate its line length, frame length and
// clock give.
//
// Tests make one with makeFamilyModel, keep the pointer and hand the
// unique_ptr to SimulatedCamera::create; the model's own log then shows the
// sensor-register writes and the text commands it received.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sim/sensor_model.h"

namespace lumvek::sim {

class FamilyModel;
// Null for a product this model does not serve.
[[nodiscard]] std::unique_ptr<FamilyModel> makeFamilyModel(const SensorModelConfig& config);

class FamilyModel final : public SensorModel {
public:
    enum class Kind { Bridge, FpgaHead, TextHead, Converter };
    struct Profile {
        uint16_t productId = 0;
        Kind kind = Kind::Bridge;
        uint8_t i2cAddress = 0;  // 8-bit write address of the sensor (0: none)
        int orientation = kOrientationAsRead;
        uint32_t clockKHz = 0;
        bool alternateWindowRegisters = false;
        bool device95 = false;     // R08, R12
        bool readyRegister187 = false;  // R12
        bool bootRegister33 = false;    // GLUX9701
    };
    static constexpr uint16_t kDefaultFirmware = 300;

    FamilyModel(const Profile& profile, uint16_t firmware);

    [[nodiscard]] bool ownsI2cAddress(uint8_t writeAddress) const override;
    bool i2cWrite(uint8_t writeAddress, std::span<const uint8_t> bytes) override;
    bool i2cRead(uint8_t writeAddress, std::span<uint8_t> bytes) override;
    std::optional<uint8_t> readFpgaRegister(uint8_t reg) override;
    void fpgaRegisterWritten(uint8_t reg, uint8_t value) override;
    [[nodiscard]] int rawOrientation() const override { return profile_.orientation; }
    [[nodiscard]] SensorTiming timing() const override;
    void render(const RenderContext& context, std::span<uint8_t> pixels) override;

    // ---- what tests read and set (thread-safe) ----
    // Every sensor-register write, in order: (address, value).
    [[nodiscard]] std::vector<std::pair<uint16_t, uint8_t>> registerWrites() const;
    [[nodiscard]] uint8_t sensorRegister(uint16_t address) const;
    void setSensorRegister(uint16_t address, uint8_t value);
    // R05: the commands received, each without its terminating zero byte.
    [[nodiscard]] std::vector<std::string> textCommands() const;
    [[nodiscard]] uint8_t headFpgaRegister(uint8_t reg) const;  // set by "q -w"
    [[nodiscard]] bool debugMode() const;
    // R05: the reply never ends (no line end is ever sent).
    void setEndlessReply(bool endless);
    // Device 95: its status byte, or no answer at all.
    void setDevice95(bool answers, uint8_t status);
    // The raw word the FPGA measures (169/170) and R03's sample (0x98/0x99).
    void setFpgaTemperatureRaw(uint16_t raw);
    void setTemperatureSample(uint16_t sample);

private:
    void textByte(uint8_t byte);       // guarded by mutex_
    std::string answer(const std::string& command);  // guarded by mutex_

    const Profile profile_;
    mutable std::mutex mutex_;  // guards everything below
    uint16_t firmware_;
    std::map<uint16_t, uint8_t> registers_;
    std::vector<std::pair<uint16_t, uint8_t>> writes_;
    uint16_t pointer_ = 0;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint8_t linkRegister_ = 0;
    uint8_t bridgeReset_ = 0;
    bool bridgeResetPulsed_ = false;
    std::map<uint8_t, uint8_t> mirrored_;  // FPGA 89, 90, 96 after writes to 217, 218, 224
    bool device95Answers_ = true;
    uint8_t device95Status_ = 0;
    // FPGA 187 (ready), 33 (boot state) and the idle flag as a healthy
    // camera reports them; no fault changes them.
    static constexpr bool kReady187 = true;
    static constexpr uint8_t kBoot33 = 3;
    uint16_t fpgaTemperatureRaw_ = 0;
    uint16_t temperatureSample_ = 0;
    static constexpr bool kIdle = true;
    // R05 text link.
    std::string command_;
    std::deque<char> reply_;
    std::vector<std::string> commands_;
    std::map<uint8_t, uint8_t> headFpga_;
    bool debug_ = false;
    bool endlessReply_ = false;
};

} // namespace lumvek::sim
