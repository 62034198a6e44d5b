#pragma once
// The GTK 3 view of a dialog model: one window with a notebook of pages and
// a row of buttons; every widget mirrors one control of the model and sends
// the user's changes to it. Runs on the thread that called the dialog.
#include <gtk/gtk.h>

#include <map>
#include <string>

#include "dialogs/dialog_automation.h"

namespace lumvek::dialogs::gtk {

struct View {
    DialogAutomation* model = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* message = nullptr;              // the model's message line
    std::map<int, GtkWidget*> widgets;         // control id -> the widget showing it
    bool updating = false;                     // true while the view copies the model into widgets
    bool abandoned = false;                    // the model failed to close: the view ends anyway
    uint64_t shownRevision = 0;
};

// Builds the notebook of the model's pages into view.
[[nodiscard]] GtkWidget* buildPages(View& view);
// Copies every control's state from the model into its widget.
void refresh(View& view);
// Turns a template caption ("&Brightness", "Apply(&A)") into a GTK mnemonic.
[[nodiscard]] std::string mnemonic(const std::string& caption);

} // namespace lumvek::dialogs::gtk
