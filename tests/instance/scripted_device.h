#pragma once
// A camera device object scripted for the instance's tests: R13-like ranges,
// a serial ROM and register files in memory, switchable optional features
// and a log of the calls that reach it. It stands in for the device layer
// only where a test checks what the instance does with a device.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_device.h"

namespace lumvek::test {

class ScriptedDevice : public CameraDevice {
public:
    // Features and answers the test sets.
    int camerasPresent = 1;       // device numbers 0..camerasPresent-1 are present
    int absentNumber = -1;        // one of them unplugged (it keeps its number)
    bool sromDropsWrites = false; // ROM writes report success but never land
    bool openFails = false;
    bool blackLevel = false, cooling = false, shortExposure = false, gainMode = false, temperature = false,
         seconds = false;
    bool failWrites = false;      // every setter reports a failed transfer
    double temperatureCelsius = 21.5;
    std::map<uint16_t, uint8_t> srom;
    std::map<int, int> sensorRegisters;
    std::map<int, int> fpga;
    // "Name(args)" in order; shared so a test can read it after the instance
    // (and with it this device) is gone.
    std::shared_ptr<std::vector<std::string>> calls = std::make_shared<std::vector<std::string>>();

    int global = 350, colorR = 0, colorG1 = 0, colorG2 = 0, colorB = 0, exposure = 774;
    int mirrorH = 0, mirrorV = 0, black = 0, coolingOn = 0, shortMode = 0, gainModeValue = 0;
    int channelGain[4] = {}, channelOffset[4] = {};
    double exposureSeconds = 0.0774;
    int openNumber = -1;

    int SetProductId(int id) override { product_ = id; log("SetProductId", id); return 1; }
    int GetProductId() override { return product_; }
    int CreateController(const fx3::Guid*) override { log("CreateController"); return 1; }
    int Release() override { log("Release"); return 1; }
    int CreateSensor(int n) override {
        log("CreateSensor", n);
        if (openFails || n >= camerasPresent) return 0;
        openNumber = n;
        return 1;
    }
    int IsDeviceNumberPresent(int n) override { return n >= 0 && n < camerasPresent && n != absentNumber ? 1 : 0; }
    int CountDevices(int) override { return camerasPresent - (absentNumber >= 0 && absentNumber < camerasPresent); }
    int GetOpenDeviceNumber() override { return openNumber < 0 ? 0 : openNumber; }
    int GetMaxDevices() override { return 32; }

    int StartAcquisition(int mode) override { log("StartAcquisition", mode); return 1; }
    int StopAcquisition() override { log("StopAcquisition"); return 1; }
    int WaitFrame(int) override { return 2; }
    int GetLatestFrame(uint8_t*, size_t, int) override { return 1; }
    int SetFrameTimeout(int) override { return 1; }

    int SetColorMode(int) override { return 1; }
    int SetCaptureWindow(int, int, int, int, int) override { return 1; }
    int GetCaptureWindow(int*, int*, int*, int*, int*) override { return 1; }
    int SetTriggerMode(int, int) override { return 1; }
    int GetFreeWidthFlag() override { return 0; }
    int GetFreeHeightFlag() override { return 0; }
    int GetFullWidth() override { return 2336; }
    int GetFullHeight() override { return 1752; }
    int SetMirrorH(int on) override { log("SetMirrorH", on); mirrorH = on; return ok(); }
    int SetMirrorV(int on) override { log("SetMirrorV", on); mirrorV = on; return ok(); }
    int GetMirrorH() override { return mirrorH; }
    int GetMirrorV() override { return mirrorV; }
    int IsMirrorHInSensor() override { return 1; }
    int IsMirrorVInSensor() override { return 1; }

    int SetGlobalGain(int v) override { log("SetGlobalGain", v); return set(global, v); }
    int GetGlobalGain() override { return global; }
    int GetGlobalGainMin() override { return 15; }
    int GetGlobalGainMax() override { return 1023; }
    int GetGlobalGainDefault() override { return 350; }
    int SetColorGainRed(int v) override { log("SetColorGainRed", v); return set(colorR, v); }
    int SetColorGainGreen1(int v) override { log("SetColorGainGreen1", v); return set(colorG1, v); }
    int SetColorGainGreen2(int v) override { log("SetColorGainGreen2", v); return set(colorG2, v); }
    int SetColorGainBlue(int v) override { log("SetColorGainBlue", v); return set(colorB, v); }
    int GetColorGainRed() override { return colorR; }
    int GetColorGainGreen1() override { return colorG1; }
    int GetColorGainGreen2() override { return colorG2; }
    int GetColorGainBlue() override { return colorB; }
    int GetColorGainMin() override { return 0; }
    int GetColorGainMax() override { return 63; }
    int GetColorGainDefault() override { return 8; }
    int SetExposure(int v) override { log("SetExposure", v); return set(exposure, v); }
    int GetExposure() override { return exposure; }
    int GetExposureMin() override { return 1; }
    int GetExposureMax() override { return 8191; }
    int GetExposureDefault() override { return 774; }
    int IsExposureTimeExAvailable() override { return seconds ? 1 : 0; }
    int SetExposureSeconds(double s) override {
        log("SetExposureSeconds", static_cast<int>(s * 1e6));
        if (!seconds || failWrites) return 0;
        exposureSeconds = s;
        return 1;
    }
    int GetExposureTimeEx(double* s) override { *s = exposureSeconds; return seconds ? 1 : 0; }
    int GetExposureTimeExMin(double* s) override { *s = 0.0001; return seconds ? 1 : 0; }
    int GetExposureTimeExMax(double* s) override { *s = 3600.0; return seconds ? 1 : 0; }
    int GetExposureTimeExDefault(double* s) override { *s = 0.05; return seconds ? 1 : 0; }
    int SetChannelGain(int c, int v) override { log("SetChannelGain", c, v); return set(channelGain[c - 1], v); }
    int GetChannelGain(int c, int* v) override { *v = channelGain[c - 1]; return 1; }
    int GetChannelGainMin() override { return 0; }
    int GetChannelGainMax() override { return 4095; }
    int SetChannelOffset(int c, int v) override { log("SetChannelOffset", c, v); return set(channelOffset[c - 1], v); }
    int GetChannelOffset(int c, int* v) override { *v = channelOffset[c - 1]; return 1; }
    int GetChannelOffsetMin() override { return 0; }
    int GetChannelOffsetMax() override { return 1023; }

    int IsBlackLevelAvailable() override { return blackLevel ? 1 : 0; }
    int SetBlackLevel(int v) override { log("SetBlackLevel", v); return set(black, v); }
    int GetBlackLevel(int* v) override { *v = black; return blackLevel ? 1 : 0; }
    int GetBlackLevelDefault(int* v) override { *v = 0; return blackLevel ? 1 : 0; }
    int IsCoolingSupported() override { return cooling ? 1 : 0; }
    int GetCooling() override { return coolingOn; }
    int SetCooling(int on) override { log("SetCooling", on); return cooling ? set(coolingOn, on) : 0; }
    int IsTemperatureAvailable() override { return temperature ? 1 : 0; }
    int GetTemperature(double* c) override { *c = temperatureCelsius; return failWrites ? 0 : 1; }
    int IsShortExposureModeAvailable() override { return shortExposure ? 1 : 0; }
    int GetShortExposureMode(int* on) override { *on = shortMode; return failWrites ? 0 : 1; }
    int SetShortExposureMode(int on) override { log("SetShortExposureMode", on); return set(shortMode, on); }
    int IsGainModeAvailable() override { return gainMode ? 1 : 0; }
    int GetGainMode() override { return gainMode ? gainModeValue : -1; }
    int SetGainMode(int m) override { log("SetGainMode", m); return gainMode ? set(gainModeValue, m) : 0; }
    int IsExtUnitAvailable() override { return 0; }
    int SetExtUnitMode(int) override { return 0; }
    int RestartSensorStream() override { return 1; }

    int WriteRegister(int, int address, int value) override {
        if (failWrites) return 0;
        sensorRegisters[address] = value;
        return 1;
    }
    int ReadRegister(int, int address, int* okOut) override {
        auto it = sensorRegisters.find(address);
        *okOut = it != sensorRegisters.end() ? 1 : 0;
        return it != sensorRegisters.end() ? it->second : 0;
    }
    int WriteFpgaRegister(int reg, int value) override {
        if (failWrites) return 0;
        fpga[reg] = value & 0xFF;
        return 1;
    }
    int ReadFpgaRegister(int reg, int* okOut) override {
        auto it = fpga.find(reg);
        *okOut = it != fpga.end() ? 1 : 0;
        return it != fpga.end() ? it->second : 0;
    }
    int WriteSromByte(uint16_t address, uint8_t value) override {
        log("WriteSromByte", address, value);
        if (failWrites) return 0;
        if (!sromDropsWrites) srom[address] = value;
        return 1;
    }
    int ReadSromByte(uint16_t address, uint8_t* value) override {
        auto it = srom.find(address);
        if (it == srom.end()) return 0;
        *value = it->second;
        return 1;
    }
    int SetSamplingRate(int index, int mode, int* value) override {
        log("SetSamplingRate", index, mode, *value);
        return 1;
    }

    // Names of the logged calls, in order, that start with prefix.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : *calls) {
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        }
        return out;
    }

private:
    int ok() const { return failWrites ? 0 : 1; }
    int set(int& field, int value) {
        if (failWrites) return 0;
        field = value;
        return 1;
    }
    template <typename... Args>
    void log(const char* name, Args... args) {
        std::string entry = std::string(name) + "(";
        bool first = true;
        ((entry += (first ? "" : ",") + std::to_string(args), first = false), ...);
        calls->push_back(entry + ")");
    }

    int product_ = -1;
};

} // namespace lumvek::test
