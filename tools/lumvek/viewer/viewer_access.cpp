// What the automation hook reads and does: the window's state, and its
// controls and buttons moved and pressed as by hand.
#include <string>

#include "viewer_controls.h"
#include "viewer_window.h"

namespace lumvek::viewer {

ViewerState ViewerWindow::state() const {
    ViewerState s;
    s.camera = link_.deviceName();
    s.number = link_.isOpen() ? link_.deviceNumber() : -1;
    s.previewing = link_.previewing();
    s.recording = recording_;
    s.frames = framesShown_;
    s.lost = lost_;
    s.rate = rate_;
    s.pictureMean = meanBrightness(picture_data_);
    s.histogramMean = picture_data_.histogram.mean();
    s.histogramSamples = picture_data_.histogram.samples;
    s.exposure = adjustmentInt(exposure_);
    s.exposureMin = static_cast<int>(gtk_adjustment_get_lower(exposure_));
    s.exposureMax = static_cast<int>(gtk_adjustment_get_upper(exposure_));
    s.exposureNominalMax = exposureLimits_.nominalMax;
    s.gain = adjustmentInt(gain_);
    s.gainMin = static_cast<int>(gtk_adjustment_get_lower(gain_));
    s.gainMax = static_cast<int>(gtk_adjustment_get_upper(gain_));
    if (window_ != nullptr) gtk_window_get_size(GTK_WINDOW(window_), &s.windowWidth, &s.windowHeight);
    GdkScreen* screen = window_ != nullptr ? gtk_widget_get_screen(window_) : nullptr;
    GdkMonitor* monitor = screen != nullptr ? gdk_display_get_monitor(gdk_screen_get_display(screen), 0) : nullptr;
    if (monitor != nullptr) {
        GdkRectangle area{};
        gdk_monitor_get_geometry(monitor, &area);
        s.screenWidth = area.width;
        s.screenHeight = area.height;
    }
    s.zoom = zoomPercent_ == 0 ? "fit" : std::to_string(zoomPercent_);
    s.status = gtk_label_get_text(GTK_LABEL(status_));
    s.message = messageText_;
    s.cameras = cameras_;
    return s;
}

bool ViewerWindow::setControl(const std::string& name, int value) {
    GtkAdjustment* adjustment = nullptr;
    if (name == "exposure") adjustment = exposure_;
    if (name == "gain") adjustment = gain_;
    if (name == "red") adjustment = balance_[0];
    if (name == "green") adjustment = balance_[1];
    if (name == "blue") adjustment = balance_[2];
    if (adjustment != nullptr) {
        gtk_adjustment_set_value(adjustment, value);
        return true;
    }
    if (name == "mirror-h" || name == "mirror-v") {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(name == "mirror-h" ? mirrorH_ : mirrorV_), value != 0);
        return true;
    }
    const auto pick = [&](GtkWidget* combo, const int* values, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (values[i] == value) {
                gtk_combo_box_set_active(GTK_COMBO_BOX(combo), static_cast<int>(i));
                return true;
            }
        }
        return false;
    };
    if (name == "colour-mode") return pick(colourMode_, kColourModes, std::size(kColourModes));
    if (name == "zoom") return pick(zoom_, kZoomPercents, std::size(kZoomPercents));
    return false;
}

bool ViewerWindow::press(const std::string& name) {
    GtkWidget* button = nullptr;
    if (name == "snapshot") button = snapshotButton_;
    if (name == "record") button = recordButton_;
    if (name == "camera") button = dialogButtons_[0];
    if (name == "image") button = dialogButtons_[1];
    if (name == "analog") button = dialogButtons_[2];
    if (button == nullptr) return false;
    gtk_button_clicked(GTK_BUTTON(button));
    return true;
}

bool ViewerWindow::select(int number) {
    for (size_t i = 0; i < cameras_.size(); ++i) {
        if (cameras_[i].number == number) {
            GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(cameraList_), static_cast<int>(i));
            g_signal_emit_by_name(cameraList_, "row-activated", row);
            return true;
        }
    }
    return false;
}

bool ViewerWindow::screenshot(const std::string& path) {
    if (window_ == nullptr) return false;
    GdkWindow* gdkWindow = gtk_widget_get_window(window_);
    if (gdkWindow == nullptr) return false;
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(gdkWindow, 0, 0, gdk_window_get_width(gdkWindow),
                                                   gdk_window_get_height(gdkWindow));
    if (pixbuf == nullptr) return false;
    const bool saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr) == TRUE;
    g_object_unref(pixbuf);
    return saved;
}

} // namespace lumvek::viewer
