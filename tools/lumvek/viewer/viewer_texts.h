#pragma once
// The viewer's words in English and Japanese, chosen from the locale the
// process runs in (LC_ALL, LC_MESSAGES, LANG: "ja..." is Japanese).
#include <string>

namespace lumvek::viewer {

struct Texts {
    const char* title;
    const char* cameras;
    const char* noCamera;
    const char* chooseCamera;
    const char* colourMode;
    const char* colourModeFormat;  // %d bits
    const char* mono;
    const char* settingsFormat;    // exposure in ms, gain
    const char* captureWindow;
    const char* apply;
    const char* exposure;
    const char* exposureRangeFormat;  // %d..%d (%d)
    const char* gain;
    const char* autoExposure;
    const char* autoGain;
    const char* whiteBalance;
    const char* red;
    const char* green;
    const char* blue;
    const char* whiteBalanceAuto;
    const char* mirrors;
    const char* mirrorH;
    const char* mirrorV;
    const char* dialogs;
    const char* cameraDialog;
    const char* imageDialog;
    const char* analogDialog;
    const char* snapshot;
    const char* record;
    const char* stopRecording;
    const char* zoom;
    const char* fit;
    const char* histogram;
    const char* statusFormat;   // rate, lost, name
    const char* saved;          // + path
    const char* cannotSave;     // + path
    const char* recording;      // + path
    const char* recorded;       // + path
    const char* cannotRecord;   // + path
    const char* cameraGone;     // + name
    const char* cameraArrived;
    const char* cannotOpen;     // + name
    const char* dialogClosed;   // + dialog name
    const char* dialogFailed;   // + dialog name
    const char* refused;        // + what
};

[[nodiscard]] const Texts& textsForLocale();
[[nodiscard]] bool japaneseLocale();

} // namespace lumvek::viewer
