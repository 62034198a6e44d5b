#pragma once
// The viewer's window: the camera list, the live picture (fit to the window
// or zoomed), the camera's controls, the library's three settings dialogs,
// snapshot and recording, a histogram of the live picture and a status line
// with the measured rate, the frames lost and the camera's name. Runs on the
// thread that made it, in GTK's default main context.
#include <gtk/gtk.h>

#include <chrono>
#include <string>
#include <vector>

#include "accepted_range.h"
#include "camera_link.h"
#include "frame_picture.h"
#include "viewer_texts.h"

namespace lumvek::viewer {

// What the automation hook reads (one consistent look at the window).
struct ViewerState {
    std::string camera;
    int number = -1;
    bool previewing = false;
    bool recording = false;
    long frames = 0;   // frames shown since the viewer started
    long lost = 0;
    double rate = 0;
    double pictureMean = 0;    // of the picture shown, every pixel
    double histogramMean = 0;  // of the histogram shown
    uint64_t histogramSamples = 0;
    int exposure = 0;
    int exposureMin = 0;
    int exposureMax = 0;  // what the control reaches: the camera's accepted maximum
    int exposureNominalMax = 0;
    int gain = 0;
    int gainMin = 0;
    int gainMax = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    std::string zoom;
    std::string status;
    std::string message;
    std::vector<CameraEntry> cameras;
};

class ViewerWindow {
public:
    ViewerWindow(CameraLink& link, const Texts& texts);
    ~ViewerWindow();
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // Shows the window and runs until it is closed (q, Escape, close button
    // or quit()). Returns the tool's exit code.
    int run();
    void quit();

    [[nodiscard]] ViewerState state() const;
    // The controls by name, for the automation hook: exposure, gain,
    // red/green/blue, mirror-h/v (0/1), colour-mode (bits), zoom (0 fit,
    // else per cent). False for an unknown name.
    bool setControl(const std::string& name, int value);
    // The buttons by name: snapshot, record, camera, image, analog.
    bool press(const std::string& name);
    // Selects camera `number` in the list (opens it).
    bool select(int number);
    // Saves what the window shows as PNG.
    bool screenshot(const std::string& path);

private:
    void build();
    GtkWidget* buildSidebar();
    GtkWidget* buildPicture();
    void fitToScreen();
    void refreshCameraList();
    void openCamera(int number);
    void cameraGone();
    void startLive();
    void syncControls();
    // The camera's controls and buttons take input only while a camera is open.
    void updateSensitivity();
    void setMessage(const std::string& text);
    void updateStatus();
    void showFrame();
    void snapshot();
    void toggleRecording();
    void openDialog(const char* kind);
    void applyZoom();
    void applyCaptureWindow();
    void scaleExposure(double factor);
    void scaleGain(double factor);
    [[nodiscard]] std::string nextName(const char* extension);

    static gboolean onPoll(gpointer self);
    static gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean onDrawPicture(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean onDrawHistogram(GtkWidget* widget, cairo_t* cr, gpointer self);
    static void onDestroy(GtkWidget*, gpointer self);

    CameraLink& link_;
    const Texts& texts_;
    GtkWidget* window_ = nullptr;
    GtkWidget* cameraList_ = nullptr;
    GtkWidget* colourMode_ = nullptr;
    GtkWidget* windowSpins_[4] = {};  // x, y, width, height
    GtkAdjustment* exposure_ = nullptr;
    GtkWidget* exposureRange_ = nullptr;
    GtkWidget* autoExposure_ = nullptr;
    GtkAdjustment* gain_ = nullptr;
    GtkWidget* autoGain_ = nullptr;
    GtkAdjustment* balance_[3] = {};  // red, green, blue
    GtkWidget* autoBalance_ = nullptr;
    GtkWidget* mirrorH_ = nullptr;
    GtkWidget* mirrorV_ = nullptr;
    GtkWidget* dialogButtons_[3] = {};
    GtkWidget* snapshotButton_ = nullptr;
    GtkWidget* recordButton_ = nullptr;
    GtkWidget* zoom_ = nullptr;
    GtkWidget* histogram_ = nullptr;
    GtkWidget* pictureScroll_ = nullptr;
    GtkWidget* picture_ = nullptr;
    GtkWidget* status_ = nullptr;
    GtkWidget* cameraControls_ = nullptr;  // everything below the camera list
    GtkWidget* message_ = nullptr;

    guint pollSource_ = 0;
    bool syncing_ = false;     // controls being set from the camera: no calls back
    bool dialogOpen_ = false;  // a library dialog runs its own loop inside ours
    bool recording_ = false;
    bool running_ = false;
    bool pictureDrawn_ = true;  // the picture shown has been drawn: the next may come
    std::string recordPath_;
    int files_ = 0;
    int zoomPercent_ = 0;  // 0: fit
    tool::AcceptedRange exposureLimits_;

    std::vector<uint8_t> frame_;
    Picture picture_data_;
    cairo_surface_t* surface_ = nullptr;
    long framesShown_ = 0;
    long lost_ = 0;
    long framesInSecond_ = 0;
    double rate_ = 0;
    std::chrono::steady_clock::time_point rateStart_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastStatus_ = std::chrono::steady_clock::now();
    std::string messageText_;
    std::vector<CameraEntry> cameras_;
};

} // namespace lumvek::viewer
