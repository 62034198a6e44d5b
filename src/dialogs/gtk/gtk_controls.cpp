// The widgets of the dialog pages, each bound to one control of the model.
#include <cmath>

#include "dialogs/gtk/gtk_view.h"

namespace lumvek::dialogs::gtk {

namespace {

constexpr int kSliderWidth = 220;
constexpr int kPageBorder = 12;

// What a signal handler needs: the view and the control id.
struct Binding {
    View* view;
    int id;
};

Binding* bind(View& view, int id, GtkWidget* widget) {
    auto* binding = new Binding{&view, id};
    g_object_set_data_full(G_OBJECT(widget), "lumvek-binding", binding,
                           [](gpointer data) { delete static_cast<Binding*>(data); });
    view.widgets[id] = widget;
    return binding;
}

// Runs a user action on the model; no exception may unwind through GTK's C
// frames, so one that escapes ends the dialog as Cancel.
template <typename Action>
void act(View& view, Action action) {
    try {
        action(*view.model);
    } catch (...) {
        try {
            (void)view.model->press(kIdCancel);
        } catch (...) {
            view.abandoned = true;
        }
    }
    // The model may have changed other controls too.
    refresh(view);
}

void onScale(GtkRange* range, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    if (!b->view->updating) {
        const int value = static_cast<int>(std::lround(gtk_range_get_value(range)));
        act(*b->view, [&](DialogAutomation& m) { (void)m.setValue(b->id, value); });
    }
}

void onSpin(GtkSpinButton* spin, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    if (!b->view->updating) {
        const int value = gtk_spin_button_get_value_as_int(spin);
        act(*b->view, [&](DialogAutomation& m) { (void)m.setText(b->id, std::to_string(value)); });
    }
}

void onEntry(GtkEntry* entry, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    if (!b->view->updating) {
        const char* text = gtk_entry_get_text(entry);
        act(*b->view, [&](DialogAutomation& m) { (void)m.setText(b->id, text); });
    }
}

gboolean onEntryFocusOut(GtkWidget* widget, GdkEvent*, gpointer data) {
    onEntry(GTK_ENTRY(widget), data);
    return FALSE;
}

void onToggle(GtkToggleButton* toggle, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    if (b->view->updating) {
        return;
    }
    const bool active = gtk_toggle_button_get_active(toggle) != 0;
    // A radio button reports its own selection only (the others follow).
    if (GTK_IS_RADIO_BUTTON(toggle) && !active) {
        return;
    }
    act(*b->view, [&](DialogAutomation& m) { (void)m.setValue(b->id, active ? 1 : 0); });
}

void onCombo(GtkComboBox* combo, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    if (!b->view->updating) {
        const int position = gtk_combo_box_get_active(combo);
        act(*b->view, [&](DialogAutomation& m) { (void)m.setValue(b->id, position); });
    }
}

void onButton(GtkButton*, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    act(*b->view, [&](DialogAutomation& m) { (void)m.press(b->id); });
}

GtkWidget* spinFor(View& view, const ControlState& edit) {
    GtkWidget* spin = gtk_spin_button_new_with_range(edit.min, std::max(edit.min, edit.max), 1);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
    gtk_spin_button_set_update_policy(GTK_SPIN_BUTTON(spin), GTK_UPDATE_IF_VALID);
    g_signal_connect(spin, "value-changed", G_CALLBACK(onSpin), bind(view, edit.id, spin));
    return spin;
}

GtkWidget* rowLabel(const std::string& text) {
    GtkWidget* label = gtk_label_new_with_mnemonic(mnemonic(text).c_str());
    gtk_widget_set_halign(label, GTK_ALIGN_START);
    return label;
}

// One control (and, for a triple, its partners) on row `row` of grid.
void place(View& view, GtkGrid* grid, int& row, const ControlState& c, std::map<int, GSList*>& radioGroups) {
    DialogAutomation& model = *view.model;
    switch (c.kind) {
    case ControlKind::Trackbar: {
        GtkWidget* scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, c.min, std::max(c.min + 1, c.max), 1);
        gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
        gtk_widget_set_size_request(scale, kSliderWidth, -1);
        for (int tick = c.min; c.tick > 0 && tick <= c.max; tick += c.tick) {
            gtk_scale_add_mark(GTK_SCALE(scale), tick, GTK_POS_BOTTOM, nullptr);
        }
        g_signal_connect(scale, "value-changed", G_CALLBACK(onScale), bind(view, c.id, scale));
        GtkWidget* label = rowLabel(c.label);
        g_object_set_data(G_OBJECT(scale), "lumvek-label", label);
        gtk_grid_attach(grid, label, 0, row, 1, 1);
        gtk_grid_attach(grid, scale, 1, row, 1, 1);
        if (const ControlState* edit = model.control(c.edit)) {
            gtk_grid_attach(grid, spinFor(view, *edit), 2, row, 1, 1);
        }
        ++row;
        break;
    }
    case ControlKind::UpDown:
        break;  // its edit's spin button stands for both
    case ControlKind::Edit: {
        if (c.trackbar != 0) {
            break;  // placed with its trackbar
        }
        GtkWidget* label = rowLabel(c.label);
        GtkWidget* widget = nullptr;
        if (c.edit != 0) {
            widget = spinFor(view, c);
        } else {
            // Free text (the seconds-based exposure): sent on Enter or leaving the field.
            widget = gtk_entry_new();
            Binding* b = bind(view, c.id, widget);
            g_signal_connect(widget, "activate", G_CALLBACK(onEntry), b);
            g_signal_connect(widget, "focus-out-event", G_CALLBACK(onEntryFocusOut), b);
        }
        g_object_set_data(G_OBJECT(widget), "lumvek-label", label);
        gtk_grid_attach(grid, label, 0, row, 1, 1);
        gtk_grid_attach(grid, widget, 1, row, 2, 1);
        ++row;
        break;
    }
    case ControlKind::Check: {
        GtkWidget* check = gtk_check_button_new_with_mnemonic(mnemonic(c.text).c_str());
        g_signal_connect(check, "toggled", G_CALLBACK(onToggle), bind(view, c.id, check));
        gtk_grid_attach(grid, check, 0, row++, 3, 1);
        break;
    }
    case ControlKind::Radio: {
        GSList*& group = radioGroups[c.group];
        GtkWidget* radio = gtk_radio_button_new_with_mnemonic(group, mnemonic(c.text).c_str());
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radio));
        g_signal_connect(radio, "toggled", G_CALLBACK(onToggle), bind(view, c.id, radio));
        gtk_grid_attach(grid, radio, 0, row++, 3, 1);
        break;
    }
    case ControlKind::Combo: {
        GtkWidget* combo = gtk_combo_box_text_new();
        g_signal_connect(combo, "changed", G_CALLBACK(onCombo), bind(view, c.id, combo));
        GtkWidget* label = rowLabel(c.label);
        g_object_set_data(G_OBJECT(combo), "lumvek-label", label);
        gtk_grid_attach(grid, label, 0, row, 1, 1);
        gtk_grid_attach(grid, combo, 1, row, 2, 1);
        ++row;
        break;
    }
    case ControlKind::Button: {
        GtkWidget* button = gtk_button_new_with_mnemonic(mnemonic(c.text).c_str());
        g_signal_connect(button, "clicked", G_CALLBACK(onButton), bind(view, c.id, button));
        gtk_widget_set_halign(button, GTK_ALIGN_START);
        gtk_grid_attach(grid, button, 0, row++, 3, 1);
        break;
    }
    case ControlKind::Label:
    case ControlKind::Group: {
        GtkWidget* label = gtk_label_new(c.text.c_str());
        gtk_widget_set_halign(label, GTK_ALIGN_START);
        view.widgets[c.id] = label;
        gtk_grid_attach(grid, label, 0, row++, 3, 1);
        break;
    }
    }
}

void setCombo(GtkWidget* widget, const ControlState& c) {
    GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
    const int count = gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), nullptr);
    bool same = count == static_cast<int>(c.items.size());
    for (int i = 0; same && i < count; ++i) {
        GtkTreeIter iter;
        gchar* text = nullptr;
        GtkTreeModel* store = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
        gtk_tree_model_iter_nth_child(store, &iter, nullptr, i);
        gtk_tree_model_get(store, &iter, 0, &text, -1);
        same = text != nullptr && c.items[static_cast<size_t>(i)] == text;
        g_free(text);
    }
    if (!same) {
        gtk_combo_box_text_remove_all(combo);
        for (const std::string& item : c.items) {
            gtk_combo_box_text_append_text(combo, item.c_str());
        }
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), c.value);
}

} // namespace

std::string mnemonic(const std::string& caption) {
    std::string out;
    for (char ch : caption) {
        if (ch == '_') {
            out += "__";
        } else if (ch == '&') {
            out += '_';
        } else {
            out += ch;
        }
    }
    return out;
}

GtkWidget* buildPages(View& view) {
    GtkWidget* notebook = gtk_notebook_new();
    for (const PageState& page : view.model->pages()) {
        GtkWidget* grid = gtk_grid_new();
        gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
        gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
        gtk_container_set_border_width(GTK_CONTAINER(grid), kPageBorder);
        int row = 0;
        std::map<int, GSList*> radioGroups;
        for (int id : page.controls) {
            if (const ControlState* c = view.model->control(id)) {
                place(view, GTK_GRID(grid), row, *c, radioGroups);
            }
        }
        GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
        gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroll), TRUE);
        gtk_container_add(GTK_CONTAINER(scroll), grid);
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook), scroll, gtk_label_new(page.caption.c_str()));
    }
    return notebook;
}

void refresh(View& view) {
    view.updating = true;
    for (const auto& [id, widget] : view.widgets) {
        const ControlState* c = view.model->control(id);
        if (c == nullptr) {
            continue;
        }
        gtk_widget_set_sensitive(widget, c->enabled);
        gtk_widget_set_visible(widget, c->visible);
        if (auto* label = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(widget), "lumvek-label"))) {
            gtk_widget_set_visible(label, c->visible);
        }
        if (GTK_IS_RANGE(widget) && !GTK_IS_SPIN_BUTTON(widget)) {
            gtk_range_set_value(GTK_RANGE(widget), c->value);
        } else if (GTK_IS_SPIN_BUTTON(widget)) {
            gtk_spin_button_set_value(GTK_SPIN_BUTTON(widget), c->value);
        } else if (GTK_IS_COMBO_BOX_TEXT(widget)) {
            setCombo(widget, *c);
        } else if (GTK_IS_TOGGLE_BUTTON(widget)) {
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), c->value != 0);
        } else if (GTK_IS_ENTRY(widget)) {
            if (!gtk_widget_has_focus(widget)) {
                gtk_entry_set_text(GTK_ENTRY(widget), c->text.c_str());
            }
        } else if (GTK_IS_LABEL(widget)) {
            gtk_label_set_text(GTK_LABEL(widget), c->text.c_str());
        }
    }
    if (view.message != nullptr) {
        gtk_label_set_text(GTK_LABEL(view.message), view.model->message().c_str());
    }
    view.shownRevision = view.model->revision();
    view.updating = false;
}

} // namespace lumvek::dialogs::gtk
