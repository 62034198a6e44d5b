#pragma once
// The Win32 view of a dialog model: a modal dialog box made from the
// library's templates (dialogs.rc), its pages child dialogs over the frame's
// tab control. Every control of a template whose id the model names mirrors
// that control of the model and sends the user's changes to it; the box ends
// when the model has closed. Runs on the thread that called the dialog.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/dialog_view.h"

namespace lumvek::dialogs::win32 {

// One modal run: the model, the windows showing it, and the owner watched.
struct Session {
    DialogAutomation* model = nullptr;
    HWND frame = nullptr;
    HWND tab = nullptr;
    HWND message = nullptr;                  // the line that shows the model's message
    std::vector<HWND> pages;                 // page windows, in the model's page order
    std::map<int, HWND> windows;             // model control id -> its window
    std::map<HWND, int> ids;                 // window -> model control id
    bool updating = false;                   // the view is copying the model into the windows
    bool abandoned = false;                  // the model failed to close: the box ends anyway
    bool shown = false;                      // the box and its pages were made
    // The application's window that owns the dialog; 0 when none.
    HWND owner = nullptr;
    bool ownerIsLibraryWindow = false;       // a window of the library's own window table
};

// Binds the windows of frame and pages to the model's control ids, and sets
// the ranges, tick frequencies and limits the model gives them.
void bindControls(Session& session);
// Copies every control's state from the model into its window; the edit
// except (being typed into) keeps its text.
void refresh(Session& session, HWND except = nullptr);
// A notification from a control window (WM_COMMAND, WM_HSCROLL, WM_NOTIFY);
// true when it was one of the model's controls. result: what the dialog
// procedure answers (WM_NOTIFY).
bool handleControl(Session& session, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
// Ends the box when the model has closed (or has been abandoned).
void endIfClosed(Session& session);
// Ends the model as Cancel (the view's way out of a model that throws).
void cancel(Session& session);

[[nodiscard]] std::wstring widen(const std::string& utf8);
[[nodiscard]] std::string narrow(const std::wstring& text);

// The view itself.
[[nodiscard]] std::unique_ptr<DialogView> makeDialogBoxView();

} // namespace lumvek::dialogs::win32
