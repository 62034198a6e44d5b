// The viewer window's controls: the sidebar with the camera list and the
// camera's settings, and the picture with the status lines.
#include <cstdio>
#include <cstring>

#include "LumvekSdk.h"
#include "viewer_controls.h"
#include "viewer_window.h"

namespace lumvek::viewer {

GtkWidget* framed(const char* caption, GtkWidget* child) {
    GtkWidget* frame = gtk_frame_new(caption);
    GtkWidget* inner = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(inner), 4);
    gtk_box_pack_start(GTK_BOX(inner), child, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(frame), inner);
    return frame;
}

GtkWidget* sliderRow(const char* caption, GtkAdjustment* adjustment) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    if (caption != nullptr) {
        GtkWidget* label = gtk_label_new(caption);
        gtk_label_set_width_chars(GTK_LABEL(label), 5);
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
    }
    GtkWidget* scale = gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, adjustment);
    gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
    gtk_box_pack_start(GTK_BOX(row), scale, TRUE, TRUE, 0);
    GtkWidget* spin = gtk_spin_button_new(adjustment, 1, 0);
    gtk_box_pack_start(GTK_BOX(row), spin, FALSE, FALSE, 0);
    return row;
}

int adjustmentInt(GtkAdjustment* adjustment) {
    return static_cast<int>(gtk_adjustment_get_value(adjustment) + 0.5);
}

GtkWidget* ViewerWindow::buildSidebar() {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 6);

    cameraList_ = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(cameraList_), GTK_SELECTION_SINGLE);
    g_signal_connect(cameraList_, "row-activated", G_CALLBACK(+[](GtkListBox*, GtkListBoxRow* row, gpointer self) {
                         auto* viewer = static_cast<ViewerWindow*>(self);
                         const int index = gtk_list_box_row_get_index(row);
                         if (index >= 0 && static_cast<size_t>(index) < viewer->cameras_.size())
                             viewer->openCamera(viewer->cameras_[static_cast<size_t>(index)].number);
                     }),
                     this);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.cameras, cameraList_), FALSE, FALSE, 0);
    GtkWidget* const sidebar = box;
    cameraControls_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_box_pack_start(GTK_BOX(sidebar), cameraControls_, FALSE, FALSE, 0);
    box = cameraControls_;

    colourMode_ = gtk_combo_box_text_new();
    for (const int bits : kColourModes) {
        char text[32];
        std::snprintf(text, sizeof text, texts_.colourModeFormat, bits);
        if (bits <= 16) std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "%s", texts_.mono);
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(colourMode_), text);
    }
    g_signal_connect(colourMode_, "changed", G_CALLBACK(+[](GtkComboBox* combo, gpointer self) {
                         auto* viewer = static_cast<ViewerWindow*>(self);
                         const int active = gtk_combo_box_get_active(combo);
                         if (viewer->syncing_ || active < 0) return;
                         if (Lumvek_SetColorMode(viewer->link_.handle(), kColourModes[active]) != 1)
                             viewer->setMessage(std::string(viewer->texts_.refused) + viewer->texts_.colourMode);
                         viewer->link_.clearErrors();
                     }),
                     this);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.colourMode, colourMode_), FALSE, FALSE, 0);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 4);
    const char* names[] = {"x", "y", "w", "h"};
    for (int i = 0; i < 4; ++i) {
        windowSpins_[i] = gtk_spin_button_new_with_range(0, 1 << 16, 1);
        gtk_grid_attach(GTK_GRID(grid), gtk_label_new(names[i]), (i % 2) * 2, i / 2, 1, 1);
        gtk_grid_attach(GTK_GRID(grid), windowSpins_[i], (i % 2) * 2 + 1, i / 2, 1, 1);
    }
    GtkWidget* apply = gtk_button_new_with_label(texts_.apply);
    g_signal_connect_swapped(apply, "clicked", G_CALLBACK(+[](gpointer self) {
                                 static_cast<ViewerWindow*>(self)->applyCaptureWindow();
                             }),
                             this);
    gtk_grid_attach(GTK_GRID(grid), apply, 0, 2, 4, 1);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.captureWindow, grid), FALSE, FALSE, 0);

    GtkWidget* exposureBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    exposure_ = gtk_adjustment_new(1, 1, 2, 1, 10, 0);
    gtk_box_pack_start(GTK_BOX(exposureBox), sliderRow(nullptr, exposure_), FALSE, FALSE, 0);
    exposureRange_ = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(exposureRange_), 0);
    gtk_box_pack_start(GTK_BOX(exposureBox), exposureRange_, FALSE, FALSE, 0);
    autoExposure_ = gtk_check_button_new_with_label(texts_.autoExposure);
    gtk_box_pack_start(GTK_BOX(exposureBox), autoExposure_, FALSE, FALSE, 0);
    g_signal_connect(exposure_, "value-changed", G_CALLBACK(+[](GtkAdjustment* adjustment, gpointer self) {
                         auto* viewer = static_cast<ViewerWindow*>(self);
                         if (viewer->syncing_) return;
                         (void)Lumvek_SetExposureTime(viewer->link_.handle(), adjustmentInt(adjustment));
                         viewer->link_.clearErrors();
                         viewer->updateStatus();
                     }),
                     this);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.exposure, exposureBox), FALSE, FALSE, 0);

    GtkWidget* gainBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    gain_ = gtk_adjustment_new(1, 1, 2, 1, 10, 0);
    gtk_box_pack_start(GTK_BOX(gainBox), sliderRow(nullptr, gain_), FALSE, FALSE, 0);
    autoGain_ = gtk_check_button_new_with_label(texts_.autoGain);
    gtk_box_pack_start(GTK_BOX(gainBox), autoGain_, FALSE, FALSE, 0);
    g_signal_connect(gain_, "value-changed", G_CALLBACK(+[](GtkAdjustment* adjustment, gpointer self) {
                         auto* viewer = static_cast<ViewerWindow*>(self);
                         if (viewer->syncing_) return;
                         (void)Lumvek_SetGlobalGain(viewer->link_.handle(), adjustmentInt(adjustment));
                         viewer->link_.clearErrors();
                         viewer->updateStatus();
                     }),
                     this);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.gain, gainBox), FALSE, FALSE, 0);
    // Automatic exposure and automatic gain are one mode of the library: one at a time.
    auto onAuto = +[](GtkToggleButton*, gpointer self) {
        auto* viewer = static_cast<ViewerWindow*>(self);
        if (viewer->syncing_) return;
        const bool exposure = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(viewer->autoExposure_));
        const bool gain = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(viewer->autoGain_));
        int ok = 0;
        const int was = Lumvek_GetAutoIris(viewer->link_.handle(), &ok);
        int mode = 0;
        if (exposure && gain) mode = was == kAutoExposure ? kAutoGain : kAutoExposure;  // the one just ticked
        else if (exposure) mode = kAutoExposure;
        else if (gain) mode = kAutoGain;
        (void)Lumvek_SetAutoIris(viewer->link_.handle(), mode);
        viewer->link_.clearErrors();
        viewer->syncControls();
    };
    g_signal_connect(autoExposure_, "toggled", G_CALLBACK(onAuto), this);
    g_signal_connect(autoGain_, "toggled", G_CALLBACK(onAuto), this);

    GtkWidget* balanceBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    const char* colours[] = {texts_.red, texts_.green, texts_.blue};
    for (int i = 0; i < 3; ++i) {
        balance_[i] = gtk_adjustment_new(100, 0, kBalanceMax, 1, 10, 0);
        gtk_box_pack_start(GTK_BOX(balanceBox), sliderRow(colours[i], balance_[i]), FALSE, FALSE, 0);
        g_signal_connect(balance_[i], "value-changed", G_CALLBACK(+[](GtkAdjustment*, gpointer self) {
                             auto* viewer = static_cast<ViewerWindow*>(self);
                             if (viewer->syncing_) return;
                             const int32_t h = viewer->link_.handle();
                             (void)Lumvek_SetBayerGainRed(h, adjustmentInt(viewer->balance_[0]));
                             (void)Lumvek_SetBayerGainGreen(h, adjustmentInt(viewer->balance_[1]));
                             (void)Lumvek_SetBayerGainBlue(h, adjustmentInt(viewer->balance_[2]));
                             viewer->link_.clearErrors();
                         }),
                         this);
    }
    autoBalance_ = gtk_check_button_new_with_label(texts_.whiteBalanceAuto);
    g_signal_connect(autoBalance_, "toggled", G_CALLBACK(+[](GtkToggleButton* button, gpointer self) {
                         auto* viewer = static_cast<ViewerWindow*>(self);
                         if (viewer->syncing_) return;
                         (void)Lumvek_SetBayerGainAuto(viewer->link_.handle(),
                                                       gtk_toggle_button_get_active(button) ? 1 : 0);
                         viewer->link_.clearErrors();
                     }),
                     this);
    gtk_box_pack_start(GTK_BOX(balanceBox), autoBalance_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.whiteBalance, balanceBox), FALSE, FALSE, 0);

    GtkWidget* mirrors = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    mirrorH_ = gtk_check_button_new_with_label(texts_.mirrorH);
    mirrorV_ = gtk_check_button_new_with_label(texts_.mirrorV);
    auto onMirror = +[](GtkToggleButton*, gpointer self) {
        auto* viewer = static_cast<ViewerWindow*>(self);
        if (viewer->syncing_) return;
        (void)Lumvek_SetMirrorH(viewer->link_.handle(), gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(viewer->mirrorH_)));
        (void)Lumvek_SetMirrorV(viewer->link_.handle(), gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(viewer->mirrorV_)));
        viewer->link_.clearErrors();
    };
    g_signal_connect(mirrorH_, "toggled", G_CALLBACK(onMirror), this);
    g_signal_connect(mirrorV_, "toggled", G_CALLBACK(onMirror), this);
    gtk_box_pack_start(GTK_BOX(mirrors), mirrorH_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(mirrors), mirrorV_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.mirrors, mirrors), FALSE, FALSE, 0);

    GtkWidget* dialogs = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    const char* captions[] = {texts_.cameraDialog, texts_.imageDialog, texts_.analogDialog};
    static const char* const kinds[] = {"camera", "image", "analog"};
    for (int i = 0; i < 3; ++i) {
        dialogButtons_[i] = gtk_button_new_with_label(captions[i]);
        g_object_set_data(G_OBJECT(dialogButtons_[i]), "kind", const_cast<char*>(kinds[i]));
        g_signal_connect(dialogButtons_[i], "clicked", G_CALLBACK(+[](GtkButton* button, gpointer self) {
                             static_cast<ViewerWindow*>(self)->openDialog(
                                 static_cast<const char*>(g_object_get_data(G_OBJECT(button), "kind")));
                         }),
                         this);
        gtk_box_pack_start(GTK_BOX(dialogs), dialogButtons_[i], TRUE, TRUE, 0);
    }
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.dialogs, dialogs), FALSE, FALSE, 0);

    GtkWidget* actions = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    snapshotButton_ = gtk_button_new_with_label(texts_.snapshot);
    g_signal_connect_swapped(snapshotButton_, "clicked",
                             G_CALLBACK(+[](gpointer self) { static_cast<ViewerWindow*>(self)->snapshot(); }), this);
    recordButton_ = gtk_button_new_with_label(texts_.record);
    g_signal_connect_swapped(recordButton_, "clicked",
                             G_CALLBACK(+[](gpointer self) { static_cast<ViewerWindow*>(self)->toggleRecording(); }),
                             this);
    gtk_box_pack_start(GTK_BOX(actions), snapshotButton_, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(actions), recordButton_, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), actions, FALSE, FALSE, 0);

    GtkWidget* zoomRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_box_pack_start(GTK_BOX(zoomRow), gtk_label_new(texts_.zoom), FALSE, FALSE, 0);
    zoom_ = gtk_combo_box_text_new();
    for (const int percent : kZoomPercents) {
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", percent);
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(zoom_), percent == 0 ? texts_.fit : text);
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(zoom_), 0);
    g_signal_connect(zoom_, "changed", G_CALLBACK(+[](GtkComboBox* combo, gpointer self) {
                         auto* viewer = static_cast<ViewerWindow*>(self);
                         const int active = gtk_combo_box_get_active(combo);
                         viewer->zoomPercent_ = active >= 0 ? kZoomPercents[active] : 0;
                         viewer->applyZoom();
                     }),
                     this);
    gtk_box_pack_start(GTK_BOX(zoomRow), zoom_, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), zoomRow, FALSE, FALSE, 0);

    histogram_ = gtk_drawing_area_new();
    gtk_widget_set_size_request(histogram_, -1, kHistogramHeight);
    g_signal_connect(histogram_, "draw", G_CALLBACK(onDrawHistogram), this);
    gtk_box_pack_start(GTK_BOX(box), framed(texts_.histogram, histogram_), FALSE, FALSE, 0);

    // The controls scroll when the screen is lower than they are tall.
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_widget_set_size_request(scroll, kSidebarWidth, -1);
    gtk_container_add(GTK_CONTAINER(scroll), sidebar);
    return scroll;
}

GtkWidget* ViewerWindow::buildPicture() {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    pictureScroll_ = gtk_scrolled_window_new(nullptr, nullptr);
    picture_ = gtk_drawing_area_new();
    g_signal_connect(picture_, "draw", G_CALLBACK(onDrawPicture), this);
    gtk_container_add(GTK_CONTAINER(pictureScroll_), picture_);
    gtk_box_pack_start(GTK_BOX(box), pictureScroll_, TRUE, TRUE, 0);
    message_ = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(message_), 0);
    gtk_label_set_ellipsize(GTK_LABEL(message_), PANGO_ELLIPSIZE_MIDDLE);
    status_ = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(status_), 0);
    gtk_label_set_ellipsize(GTK_LABEL(status_), PANGO_ELLIPSIZE_END);
    GtkWidget* lines = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    gtk_container_set_border_width(GTK_CONTAINER(lines), 4);
    gtk_box_pack_start(GTK_BOX(lines), message_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(lines), status_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), lines, FALSE, FALSE, 0);
    return box;
}

// The window opens within the monitor's work area, the picture scaled to fit

} // namespace lumvek::viewer
