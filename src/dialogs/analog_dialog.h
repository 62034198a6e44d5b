#pragma once
// The analog dialog: the camera's gains, exposure, mirrors, black level,
// cooling, short exposure and gain modes (page "Analog Gain") and the
// per-channel gains and offsets (page "Channel"). Every change is sent to
// the camera at once; Cancel sends back the gains, exposure and mirrors the
// camera had when the dialog opened (channel values, black level, cooling and
// the modes stay as set).
#include <array>
#include <functional>

#include "camera/camera_device.h"
#include "dialogs/dialog_model.h"
#include "settings/settings_records.h"

namespace lumvek::dialogs {

// What the analog dialog edits in the instance.
struct AnalogRecords {
    GainSettings gain;
    std::array<int32_t, 4> channelGain{};
    std::array<int32_t, 4> channelOffset{};
    int32_t cooling = 0;
    int32_t shortExposure = 0;
};

// Runs fn on the camera device object under the instance's device lock.
using WithDevice = std::function<void(const std::function<void(CameraDevice&)>& fn)>;
// Stores the records in the instance (called after every change).
using StoreAnalog = std::function<void(const AnalogRecords&)>;

inline constexpr int kIdGlobalGainEdit = 1015;
inline constexpr int kIdExposureTrackbar = 1026;
inline constexpr int kIdExposureEdit = 1027;
inline constexpr int kIdAutoIrisGain = 1036;
inline constexpr int kIdAutoIrisExposure = 1037;
inline constexpr int kIdMirrorV = 1028;
inline constexpr int kIdMirrorH = 1029;
inline constexpr int kIdExposureMs = 1049;
inline constexpr int kIdExposureExEdit = 2131;
inline constexpr int kIdExposureUnitCombo = 2132;
inline constexpr int kIdExposureRange = 2133;
inline constexpr int kIdExposureExLabel = 2134;
inline constexpr int kIdCooling = 2124;
inline constexpr int kIdShortExposure = 2125;
inline constexpr int kIdGainMode = 2126;
inline constexpr int kIdBlackLevelLabel = 2127;
inline constexpr int kIdBlackLevelEdit = 2129;
// Channel page: gain edit of channel c (1..4) and offset edit.
[[nodiscard]] constexpr int channelGainEdit(int channel) { return 1050 + 2 * (channel - 1); }
[[nodiscard]] constexpr int channelOffsetEdit(int channel) { return 1058 + 2 * (channel - 1); }

// The unit the seconds-based exposure x is shown in: 0 ns, 1 microseconds, 2 ms, 3 sec.
[[nodiscard]] int exposureUnitOf(double seconds);
[[nodiscard]] const char* exposureUnitName(int unit);
// x seconds in unit (x 1e9, 1e6, 1e3 or 1).
[[nodiscard]] double toUnit(double seconds, int unit);
// "%.3f" when the fraction is at least 0.001, "%.6f" when at least 0.000001, else "%d".
[[nodiscard]] std::string formatExposureNumber(double value);

class AnalogDialog final : public DialogModel {
public:
    AnalogDialog(Language language, WithDevice withDevice, AnalogRecords records, StoreAnalog store);

    [[nodiscard]] const AnalogRecords& records() const { return records_; }

protected:
    void onChange(int id, int value) override;
    void onButton(int id) override;
    bool onText(int id, const std::string& text) override;

private:
    // What the camera had when the dialog opened (Cancel sends it back).
    struct Snapshot {
        int global = 0, g1 = 0, r = 0, b = 0, g2 = 0, exposure = 0, mirrorV = 0, mirrorH = 0;
        bool exposureExAvailable = false;
        double exposureEx = 0.0;
    };
    void buildAnalogPage(CameraDevice& device);
    void buildChannelPage(CameraDevice& device);
    void showExposureEx();
    void showExposureMs();
    void readBackExposure(CameraDevice& device);
    void restoreSnapshot();
    void setDefaults();
    void stored() { store_(records_); }

    WithDevice withDevice_;
    AnalogRecords records_;
    AnalogRecords openedRecords_;
    StoreAnalog store_;
    Snapshot snapshot_;
    bool exposureEx_ = false;
    double exposureExMin_ = 0.0;
    double exposureExMax_ = 0.0;
    int firstUnit_ = 0;  // the unit of combo entry 0
};

} // namespace lumvek::dialogs
