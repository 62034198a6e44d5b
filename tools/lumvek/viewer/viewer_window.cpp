#include "viewer_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "LumvekSdk.h"
#include "dialog_kinds.h"
#include "viewer_controls.h"

namespace lumvek::viewer {

namespace {

using Clock = std::chrono::steady_clock;

constexpr guint kPollMs = 30;
constexpr int kStatusEveryMs = 500;
constexpr int kRateWindowMs = 1000;
constexpr double kScreenShare = 0.9;  // of the monitor's work area the window takes at most
constexpr int kMaxWidth = 1600;
constexpr int kMaxHeight = 1000;
constexpr int kMaxRecordMs = 24 * 3600 * 1000;
constexpr double kExposureStep = 1.25;
constexpr double kGainStep = 1.1;
} // namespace

ViewerWindow::ViewerWindow(CameraLink& link, const Texts& texts) : link_(link), texts_(texts) {
    build();
}

ViewerWindow::~ViewerWindow() {
    if (pollSource_ != 0) g_source_remove(pollSource_);
    if (recording_) (void)Lumvek_Close(link_.handle());
    link_.stopPreview();
    if (window_ != nullptr) {
        g_signal_handlers_disconnect_by_data(window_, this);
        gtk_widget_destroy(window_);
    }
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

void ViewerWindow::build() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), texts_.title);
    GtkWidget* body = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(body), buildSidebar(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(body), gtk_separator_new(GTK_ORIENTATION_VERTICAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(body), buildPicture(), TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window_), body);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(onDestroy), this);
    fitToScreen();
}

void ViewerWindow::fitToScreen() {
    GdkDisplay* display = gtk_widget_get_display(window_);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    int width = kMaxWidth, height = kMaxHeight;
    if (monitor != nullptr) {
        GdkRectangle area{};
        gdk_monitor_get_workarea(monitor, &area);
        width = std::min(kMaxWidth, static_cast<int>(area.width * kScreenShare));
        height = std::min(kMaxHeight, static_cast<int>(area.height * kScreenShare));
    }
    gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
}

int ViewerWindow::run() {
    gtk_widget_show_all(window_);
    refreshCameraList();
    if (link_.isOpen()) {
        openCamera(link_.deviceNumber());
    } else {
        setMessage(texts_.chooseCamera);
    }
    // Below input and redrawing: a slow machine drops pictures, never keys
    // (nor the keys of a library dialog running its loop inside ours).
    pollSource_ = g_timeout_add_full(G_PRIORITY_LOW, kPollMs, onPoll, this, nullptr);
    running_ = true;
    while (running_) g_main_context_iteration(nullptr, TRUE);
    return 0;
}

void ViewerWindow::quit() {
    running_ = false;
    g_main_context_wakeup(nullptr);
}

void ViewerWindow::onDestroy(GtkWidget*, gpointer self) {
    auto* viewer = static_cast<ViewerWindow*>(self);
    viewer->window_ = nullptr;
    viewer->quit();
}

void ViewerWindow::refreshCameraList() {
    cameras_ = link_.cameras();
    GList* rows = gtk_container_get_children(GTK_CONTAINER(cameraList_));
    for (GList* it = rows; it != nullptr; it = it->next) gtk_widget_destroy(GTK_WIDGET(it->data));
    g_list_free(rows);
    for (const auto& camera : cameras_) {
        char text[300];
        std::snprintf(text, sizeof text, "%d  %s", camera.number, camera.name.c_str());
        GtkWidget* label = gtk_label_new(text);
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_list_box_insert(GTK_LIST_BOX(cameraList_), label, -1);
    }
    if (cameras_.empty()) {
        GtkWidget* label = gtk_label_new(texts_.noCamera);
        gtk_list_box_insert(GTK_LIST_BOX(cameraList_), label, -1);
    }
    gtk_widget_show_all(cameraList_);
    updateSensitivity();
    for (size_t i = 0; i < cameras_.size(); ++i) {
        if (link_.isOpen() && cameras_[i].number == link_.deviceNumber()) {
            gtk_list_box_select_row(GTK_LIST_BOX(cameraList_),
                                    gtk_list_box_get_row_at_index(GTK_LIST_BOX(cameraList_), static_cast<int>(i)));
        }
    }
}

void ViewerWindow::openCamera(int number) {
    if (dialogOpen_ || recording_) return;
    if (!link_.open(number)) {
        setMessage(texts_.cannotOpen + std::to_string(number));
        return;
    }
    char title[400];
    std::snprintf(title, sizeof title, "%s - %s", texts_.title, link_.deviceName().c_str());
    gtk_window_set_title(GTK_WINDOW(window_), title);
    // Probed before the preview starts: the probe changes the exposure for a moment.
    if (!tool::acceptedExposureRange(link_.handle(), exposureLimits_)) exposureLimits_ = {};
    link_.clearErrors();
    syncControls();
    startLive();
    refreshCameraList();
}

void ViewerWindow::updateSensitivity() {
    gtk_widget_set_sensitive(cameraControls_, link_.isOpen());
}

void ViewerWindow::startLive() {
    if (!link_.startPreview()) setMessage(texts_.cannotOpen + link_.deviceName());
    rateStart_ = Clock::now();
    framesInSecond_ = 0;
}

void ViewerWindow::cameraGone() {
    const std::string name = link_.deviceName();
    if (recording_) {
        (void)Lumvek_Close(link_.handle());
        recording_ = false;
        gtk_button_set_label(GTK_BUTTON(recordButton_), texts_.record);
    }
    link_.forget();
    if (surface_ != nullptr) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
    picture_data_ = {};
    rate_ = 0;
    gtk_window_set_title(GTK_WINDOW(window_), texts_.title);
    setMessage(texts_.cameraGone + name);
    refreshCameraList();
    gtk_widget_queue_draw(picture_);
    gtk_widget_queue_draw(histogram_);
}

// The controls show what the camera has now (after opening, a dialog, a key).
void ViewerWindow::syncControls() {
    if (!link_.isOpen()) return;
    const int32_t h = link_.handle();
    syncing_ = true;
    LumvekCameraInfo info{};
    info.size = sizeof info;
    if (Lumvek_GetCameraInfo(h, &info) == 1) {
        const int top = exposureLimits_.acceptedMax > 0 ? exposureLimits_.acceptedMax : info.exposureMax;
        gtk_adjustment_configure(exposure_, gtk_adjustment_get_value(exposure_), info.exposureMin, top, 1, 10, 0);
        gtk_adjustment_configure(gain_, gtk_adjustment_get_value(gain_), info.globalGainMin, info.globalGainMax, 1,
                                 10, 0);
        char text[160];
        std::snprintf(text, sizeof text, texts_.exposureRangeFormat, info.exposureMin, info.exposureMax, top);
        gtk_label_set_text(GTK_LABEL(exposureRange_), text);
    }
    int ok = 0;
    gtk_adjustment_set_value(exposure_, Lumvek_GetExposureTime(h, &ok));
    gtk_adjustment_set_value(gain_, Lumvek_GetGlobalGain(h, &ok));
    gtk_adjustment_set_value(balance_[0], Lumvek_GetBayerGainRed(h, &ok));
    gtk_adjustment_set_value(balance_[1], Lumvek_GetBayerGainGreen(h, &ok));
    gtk_adjustment_set_value(balance_[2], Lumvek_GetBayerGainBlue(h, &ok));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(autoBalance_), Lumvek_GetBayerGainAuto(h, &ok) == 1);
    const int autoMode = Lumvek_GetAutoIris(h, &ok);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(autoExposure_), autoMode == kAutoExposure);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(autoGain_), autoMode == kAutoGain);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(mirrorH_), Lumvek_GetMirrorH(h) == 1);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(mirrorV_), Lumvek_GetMirrorV(h) == 1);
    const int bits = Lumvek_GetColorMode(h);
    for (int i = 0; i < static_cast<int>(std::size(kColourModes)); ++i) {
        if (kColourModes[i] == bits) gtk_combo_box_set_active(GTK_COMBO_BOX(colourMode_), i);
    }
    int th = 0, ehs = 0, eh = 0, tv = 0, evs = 0, ev = 0;
    if (Lumvek_GetCaptureWindowEx(h, &th, &ehs, &eh, &tv, &evs, &ev) == 1) {
        const int values[] = {ehs, evs, eh, ev};
        for (int i = 0; i < 4; ++i) gtk_spin_button_set_value(GTK_SPIN_BUTTON(windowSpins_[i]), values[i]);
    }
    link_.clearErrors();
    syncing_ = false;
    updateStatus();
}

void ViewerWindow::applyCaptureWindow() {
    if (!link_.isOpen()) return;
    int values[4];
    for (int i = 0; i < 4; ++i) values[i] = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(windowSpins_[i]));
    int th = 0, tv = 0;
    (void)Lumvek_GetCaptureWindowEx(link_.handle(), &th, nullptr, nullptr, &tv, nullptr, nullptr);
    if (Lumvek_SetCaptureWindowEx(link_.handle(), th, values[0], values[2], tv, values[1], values[3]) != 1)
        setMessage(std::string(texts_.refused) + texts_.captureWindow);
    link_.clearErrors();
    syncControls();
}

void ViewerWindow::setMessage(const std::string& text) {
    messageText_ = text;
    gtk_label_set_text(GTK_LABEL(message_), text.c_str());
}

void ViewerWindow::updateStatus() {
    char text[512];
    if (recording_) {
        std::snprintf(text, sizeof text, "%s%s  |  %s", texts_.recording, recordPath_.c_str(), link_.deviceName().c_str());
    } else if (link_.isOpen()) {
        std::string identity = link_.deviceName();
        if (!picture_data_.pixels.empty()) {
            identity += "  |  " + std::to_string(picture_data_.width) + " x " + std::to_string(picture_data_.height);
        }
        int ok = 0;
        char settings[96];
        std::snprintf(settings, sizeof settings, texts_.settingsFormat, Lumvek_GetExposureTime(link_.handle(), &ok) / 10.0,
                      Lumvek_GetGlobalGain(link_.handle(), &ok));
        identity += std::string("  |  ") + settings;
        std::snprintf(text, sizeof text, texts_.statusFormat, rate_, lost_, identity.c_str());
    } else {
        std::snprintf(text, sizeof text, "%s", texts_.noCamera);
    }
    gtk_label_set_text(GTK_LABEL(status_), text);
}

gboolean ViewerWindow::onPoll(gpointer self) {
    auto* viewer = static_cast<ViewerWindow*>(self);
    const LinkEvents events = viewer->link_.poll();
    viewer->lost_ += events.lost;
    viewer->framesInSecond_ += events.frames;
    if (events.cameraLost) viewer->cameraGone();
    if (events.devicesChanged) {
        // A camera that left while not previewing is noticed here.
        const int number = viewer->link_.deviceNumber();
        viewer->refreshCameraList();
        const bool present = std::any_of(viewer->cameras_.begin(), viewer->cameras_.end(),
                                         [&](const CameraEntry& camera) { return camera.number == number; });
        if (viewer->link_.isOpen() && !present && !viewer->link_.previewing()) viewer->cameraGone();
        if (!viewer->link_.isOpen() && !viewer->cameras_.empty()) viewer->setMessage(viewer->texts_.cameraArrived);
    }
    // A new picture only once the last one has been drawn.
    if (events.newFrame && viewer->link_.isOpen() && viewer->pictureDrawn_) viewer->showFrame();
    const auto now = Clock::now();
    const auto sinceRate = std::chrono::duration_cast<std::chrono::milliseconds>(now - viewer->rateStart_).count();
    if (sinceRate >= kRateWindowMs) {
        viewer->rate_ = viewer->framesInSecond_ * 1000.0 / static_cast<double>(sinceRate);
        viewer->framesInSecond_ = 0;
        viewer->rateStart_ = now;
    }
    if (std::chrono::duration_cast<std::chrono::milliseconds>(now - viewer->lastStatus_).count() >= kStatusEveryMs) {
        viewer->updateStatus();
        viewer->lastStatus_ = now;
    }
    return G_SOURCE_CONTINUE;
}

void ViewerWindow::showFrame() {
    int width = 0, height = 0, bits = 0;
    if (!link_.copyLatest(frame_, width, height, bits)) return;
    if (!convertFrame(frame_.data(), frame_.size(), width, height, bits, picture_data_)) return;
    ++framesShown_;
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(picture_data_.pixels.data()),
                                                   CAIRO_FORMAT_RGB24, width, height, width * 4);
    if (zoomPercent_ != 0) applyZoom();
    pictureDrawn_ = !gtk_widget_is_drawable(picture_);  // nothing draws a hidden picture
    gtk_widget_queue_draw(picture_);
    gtk_widget_queue_draw(histogram_);
}

void ViewerWindow::applyZoom() {
    if (zoomPercent_ == 0 || picture_data_.width == 0) {
        gtk_widget_set_size_request(picture_, -1, -1);
    } else {
        gtk_widget_set_size_request(picture_, picture_data_.width * zoomPercent_ / 100,
                                    picture_data_.height * zoomPercent_ / 100);
    }
    gtk_widget_queue_draw(picture_);
}

gboolean ViewerWindow::onDrawPicture(GtkWidget* widget, cairo_t* cr, gpointer self) {
    auto* viewer = static_cast<ViewerWindow*>(self);
    const int areaWidth = gtk_widget_get_allocated_width(widget);
    const int areaHeight = gtk_widget_get_allocated_height(widget);
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.12);
    cairo_paint(cr);
    if (viewer->surface_ == nullptr) {
        cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
        cairo_move_to(cr, 20, 30);
        cairo_show_text(cr, viewer->link_.isOpen() ? "" : viewer->texts_.chooseCamera);
        return TRUE;
    }
    const double width = viewer->picture_data_.width;
    const double height = viewer->picture_data_.height;
    double scale = viewer->zoomPercent_ / 100.0;
    if (viewer->zoomPercent_ == 0) scale = std::min(areaWidth / width, areaHeight / height);
    const double left = std::max(0.0, (areaWidth - width * scale) / 2);
    const double top = std::max(0.0, (areaHeight - height * scale) / 2);
    viewer->pictureDrawn_ = true;
    cairo_translate(cr, left, top);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, viewer->surface_, 0, 0);
    // Bilinear: a box filter over a full frame costs more than the frame period.
    cairo_pattern_set_filter(cairo_get_source(cr), scale < 1 ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    return TRUE;
}

gboolean ViewerWindow::onDrawHistogram(GtkWidget* widget, cairo_t* cr, gpointer self) {
    auto* viewer = static_cast<ViewerWindow*>(self);
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_paint(cr);
    const Histogram& histogram = viewer->picture_data_.histogram;
    const uint32_t peak = *std::max_element(histogram.bins.begin(), histogram.bins.end());
    if (peak == 0) return TRUE;
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
    const double barWidth = static_cast<double>(width) / kHistogramBins;
    for (int i = 0; i < kHistogramBins; ++i) {
        const double bar = height * static_cast<double>(histogram.bins[static_cast<size_t>(i)]) / peak;
        cairo_rectangle(cr, i * barWidth, height - bar, std::max(barWidth, 1.0), bar);
    }
    cairo_fill(cr);
    return TRUE;
}

std::string ViewerWindow::nextName(const char* extension) {
    char text[32];
    std::snprintf(text, sizeof text, "view-%04d%s", ++files_, extension);
    return text;
}

void ViewerWindow::snapshot() {
    if (!link_.isOpen()) return;
    const std::string path = nextName(".png");
    if (Lumvek_SaveImage(link_.handle(), path.c_str(), LUMVEK_FILE_PNG) == 1) {
        setMessage(texts_.saved + path);
        std::printf("saved %s\n", path.c_str());
    } else {
        setMessage(texts_.cannotSave + path);
    }
    std::fflush(stdout);
    link_.clearErrors();
}

// A recording runs a capture of its own: the live picture pauses meanwhile.
void ViewerWindow::toggleRecording() {
    if (!link_.isOpen()) return;
    if (recording_) {
        (void)Lumvek_Close(link_.handle());  // finalises the file
        recording_ = false;
        gtk_button_set_label(GTK_BUTTON(recordButton_), texts_.record);
        setMessage(texts_.recorded + recordPath_);
        std::printf("recorded %s\n", recordPath_.c_str());
        std::fflush(stdout);
        startLive();
        return;
    }
    link_.stopPreview();
    recordPath_ = nextName(".avi");
    if (Lumvek_Record(link_.handle(), recordPath_.c_str(), kMaxRecordMs, 0) == 1) {
        recording_ = true;
        gtk_button_set_label(GTK_BUTTON(recordButton_), texts_.stopRecording);
        setMessage(texts_.recording + recordPath_);
    } else {
        setMessage(texts_.cannotRecord + recordPath_);
        startLive();
    }
    link_.clearErrors();
    updateStatus();
}

void ViewerWindow::openDialog(const char* kind) {
    const tool::DialogKind* dialog = tool::findDialog(kind);
    if (dialog == nullptr || dialogOpen_ || !link_.isOpen()) return;
    dialogOpen_ = true;
    // The dialog runs its own loop in GTK's default context: the picture goes on.
    const int result = dialog->open(link_.handle(), nullptr);
    dialogOpen_ = false;
    if (window_ == nullptr) return;  // closed meanwhile
    setMessage((result == 1 ? texts_.dialogClosed : texts_.dialogFailed) + std::string(kind));
    link_.clearErrors();
    syncControls();
}

void ViewerWindow::scaleExposure(double factor) {
    if (!link_.isOpen()) return;
    int ok = 0;
    if (Lumvek_GetAutoIris(link_.handle(), &ok) == kAutoExposure) (void)Lumvek_SetAutoIris(link_.handle(), 0);
    const int now = Lumvek_GetExposureTime(link_.handle(), &ok);
    const int next = std::max(1, static_cast<int>(now * factor + (factor > 1 ? 1 : 0)));
    (void)Lumvek_SetExposureTime(link_.handle(), next);  // out of range: the old value stays
    link_.clearErrors();
    syncControls();
}

void ViewerWindow::scaleGain(double factor) {
    if (!link_.isOpen()) return;
    int ok = 0;
    if (Lumvek_GetAutoIris(link_.handle(), &ok) == kAutoGain) (void)Lumvek_SetAutoIris(link_.handle(), 0);
    const int now = Lumvek_GetGlobalGain(link_.handle(), &ok);
    (void)Lumvek_SetGlobalGain(link_.handle(), std::max(1, static_cast<int>(now * factor + (factor > 1 ? 1 : 0))));
    link_.clearErrors();
    syncControls();
}

// The keys of the plain view; typing into a number field keeps its keys.
gboolean ViewerWindow::onKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* viewer = static_cast<ViewerWindow*>(self);
    if (event->keyval == GDK_KEY_Escape) {
        viewer->quit();
        return TRUE;
    }
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(viewer->window_));
    if (focus != nullptr && GTK_IS_ENTRY(focus)) return FALSE;
    switch (event->keyval) {
    case GDK_KEY_q: viewer->quit(); return TRUE;
    case GDK_KEY_s: viewer->snapshot(); return TRUE;
    case GDK_KEY_r: viewer->toggleRecording(); return TRUE;
    case GDK_KEY_plus:
    case GDK_KEY_equal:
    case GDK_KEY_KP_Add: viewer->scaleExposure(kExposureStep); return TRUE;
    case GDK_KEY_minus:
    case GDK_KEY_KP_Subtract: viewer->scaleExposure(1 / kExposureStep); return TRUE;
    case GDK_KEY_g: viewer->scaleGain(1 / kGainStep); return TRUE;
    case GDK_KEY_G: viewer->scaleGain(kGainStep); return TRUE;
    default: return FALSE;
    }
}

} // namespace lumvek::viewer
