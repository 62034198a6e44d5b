// CLumvekU3K7Base: the sensor operations the device object forwards with no
// behaviour of its own. Each goes unchanged to the sensor driver's
// operation of the same role, under the device object's lock; without a
// driver the result is 0 (-1 for the second-mode getter, as the drivers
// report a missing feature).
#include "camera/lumvek_u3k7_base.h"

#include "sensors/sensor_base.h"

namespace lumvek {

#define LUMVEK_FORWARD(expression) return withSensor([&](CSensorBase& s) { return s.expression; })

int CLumvekU3K7Base::SetExposureLines(int lines) { LUMVEK_FORWARD(SetExposureLines(lines)); }
int CLumvekU3K7Base::GetExposureLines(int* lines) { LUMVEK_FORWARD(GetExposureLines(lines)); }
int CLumvekU3K7Base::GetExposureLinesMin(int* v) { LUMVEK_FORWARD(GetExposureLinesMin(v)); }
int CLumvekU3K7Base::GetExposureLinesMax(int* v) { LUMVEK_FORWARD(GetExposureLinesMax(v)); }
int CLumvekU3K7Base::GetExposureLinesDefault(int* v) { LUMVEK_FORWARD(GetExposureLinesDefault(v)); }
int CLumvekU3K7Base::IsGainStageAvailable() { LUMVEK_FORWARD(IsGainStageAvailable()); }
int CLumvekU3K7Base::SetGainStage(int index) { LUMVEK_FORWARD(SetGainStage(index)); }
int CLumvekU3K7Base::GetGainStage(int* index) { LUMVEK_FORWARD(GetGainStage(index)); }
int CLumvekU3K7Base::ReadGainStage(int* index) { LUMVEK_FORWARD(ReadGainStage(index)); }
int CLumvekU3K7Base::GetGainStageMin(int* v) { LUMVEK_FORWARD(GetGainStageMin(v)); }
int CLumvekU3K7Base::GetGainStageMax(int* v) { LUMVEK_FORWARD(GetGainStageMax(v)); }
int CLumvekU3K7Base::GetGainStageDefault(int* v) { LUMVEK_FORWARD(GetGainStageDefault(v)); }
int CLumvekU3K7Base::GetGainStageLabel(int index, char* text, size_t capacity) {
    LUMVEK_FORWARD(GetGainStageLabel(index, text, capacity));
}
int CLumvekU3K7Base::GetClockMode(int* mode) { LUMVEK_FORWARD(GetClockMode(mode)); }
int CLumvekU3K7Base::SetReadoutMode(int mode) { LUMVEK_FORWARD(SetReadoutMode(mode)); }
int CLumvekU3K7Base::GetReadoutMode(int* mode) { LUMVEK_FORWARD(GetReadoutMode(mode)); }
int CLumvekU3K7Base::GetSensorTriggerMode(int* mode) { LUMVEK_FORWARD(GetTriggerMode(mode)); }
int CLumvekU3K7Base::SetTransferBits(int sixteenBits) { LUMVEK_FORWARD(SetTransferBits(sixteenBits)); }
int CLumvekU3K7Base::SetAuxMode(int mode) { LUMVEK_FORWARD(SetAuxMode(mode)); }
int CLumvekU3K7Base::IsAuxOutputAvailable() { LUMVEK_FORWARD(IsAuxOutputAvailable()); }
int CLumvekU3K7Base::GetAuxOutput(int* on) { LUMVEK_FORWARD(GetAuxOutput(on)); }
int CLumvekU3K7Base::SetAuxOutput(int on) { LUMVEK_FORWARD(SetAuxOutput(on)); }
int CLumvekU3K7Base::IsExtUnitPresent(int* present) { LUMVEK_FORWARD(IsExtUnitPresent(present)); }
int CLumvekU3K7Base::IsTemperatureControlAvailable() { LUMVEK_FORWARD(IsTemperatureControlAvailable()); }
int CLumvekU3K7Base::GetSensorTemperature(int* celsius) { LUMVEK_FORWARD(GetSensorTemperature(celsius)); }
int CLumvekU3K7Base::SetTargetTemperature(int celsius) { LUMVEK_FORWARD(SetTargetTemperature(celsius)); }
int CLumvekU3K7Base::IsInfoRecordAvailable() { LUMVEK_FORWARD(IsInfoRecordAvailable()); }
int CLumvekU3K7Base::GetInfoRecord(int* a, uint16_t* b, uint8_t* c, uint8_t* d) {
    LUMVEK_FORWARD(GetInfoRecord(a, b, c, d));
}
int CLumvekU3K7Base::IsSecondModeAvailable() { LUMVEK_FORWARD(IsSecondModeAvailable()); }
int CLumvekU3K7Base::GetSecondMode() { return withSensor([&](CSensorBase& s) { return s.GetSecondMode(); }, -1); }
int CLumvekU3K7Base::SetSecondMode(int mode) { LUMVEK_FORWARD(SetSecondMode(mode)); }
int CLumvekU3K7Base::WriteRegisterWhenIdle(int address, int value) {
    LUMVEK_FORWARD(WriteRegisterWhenIdle(static_cast<uint32_t>(address), static_cast<uint32_t>(value)));
}
int CLumvekU3K7Base::ReadRegisterWhenIdle(int address, int* ok) {
    uint32_t value = 0;
    const int success = withSensor(
        [&](CSensorBase& s) { return s.ReadRegisterWhenIdle(static_cast<uint32_t>(address), &value); });
    if (ok) *ok = success ? 1 : 0;
    return success ? static_cast<int>(value) : 0;
}
int CLumvekU3K7Base::GetChannelGainDefault() {
    int value = 0;
    return withSensor([&](CSensorBase& s) { return s.GetChannelGainDefault(&value); }) ? value : 0;
}
int CLumvekU3K7Base::GetChannelOffsetDefault() {
    int value = 0;
    return withSensor([&](CSensorBase& s) { return s.GetChannelOffsetDefault(&value); }) ? value : 0;
}
int CLumvekU3K7Base::GetBlackLevelMin(int* v) { LUMVEK_FORWARD(GetBlackLevelMin(v)); }
int CLumvekU3K7Base::GetBlackLevelMax(int* v) { LUMVEK_FORWARD(GetBlackLevelMax(v)); }
int CLumvekU3K7Base::GetMirrorHDefault() { LUMVEK_FORWARD(GetMirrorHDefault()); }
int CLumvekU3K7Base::GetMirrorVDefault() { LUMVEK_FORWARD(GetMirrorVDefault()); }
int CLumvekU3K7Base::GetDefaultWidth() { LUMVEK_FORWARD(descriptor().defaultWidth); }
int CLumvekU3K7Base::GetDefaultHeight() { LUMVEK_FORWARD(descriptor().defaultHeight); }
int CLumvekU3K7Base::GetLineLength() { LUMVEK_FORWARD(descriptor().lineLength); }
int CLumvekU3K7Base::GetFrameLength() { LUMVEK_FORWARD(descriptor().frameLength); }
int CLumvekU3K7Base::GetSensorInfo(SensorDescriptor* out) { LUMVEK_FORWARD(GetSensorInfo(out)); }
int CLumvekU3K7Base::KickSensorStream() {
    return withSensor([](CSensorBase& s) {
        s.KickSensorStream();
        return 1;
    });
}
int CLumvekU3K7Base::PulseSensorReset() { LUMVEK_FORWARD(PulseSensorReset()); }
int CLumvekU3K7Base::HasFirmwareFeature() { LUMVEK_FORWARD(HasFirmwareFeature()); }

#undef LUMVEK_FORWARD

} // namespace lumvek
