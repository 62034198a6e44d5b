#pragma once
// The one interface between a dialog model and whatever shows it: the GTK
// view module (loaded at run time), the tests, or a script. It is an abstract
// class with no out-of-line code, so the view module needs no symbol of the
// library: every call is a virtual call into the model.
//
// Controls are addressed by the ids of the dialog templates (1 OK, 2 Cancel,
// 3 Default, 1002 Apply, 1009 the colour combo, ...). Text is UTF-8.
#include <cstdint>
#include <string>
#include <vector>

namespace lumvek::dialogs {

enum class ControlKind : uint8_t {
    Label,     // a caption or a static text the dialog may change
    Trackbar,  // slider: value in [min, max], step, tick frequency
    UpDown,    // spin button; the edit of the same triple is its buddy
    Edit,      // numeric edit box (text); a triple's edit carries its range
    Check,     // check box: value 0/1
    Radio,     // radio button: value 0/1; group gives its set
    Combo,     // drop-down list: items, value = selected position (-1 none)
    Button,    // push button (OK, Cancel, Apply, Default, "Once")
    Group,     // group box caption
};

struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    std::string text;   // caption, or the edit's contents
    std::string label;  // the caption of the row a slider, edit or combo stands on
    int value = 0;
    int min = 0;
    int max = 0;
    int step = 1;
    int tick = 0;
    bool enabled = true;
    bool visible = true;
    // The trackbar or spin button and edit that show the same number
    // (0: none); a view lays a triple out on one row.
    int trackbar = 0;
    int upDown = 0;
    int edit = 0;
    int group = 0;  // radio set, or the row a label belongs to (its control id)
    std::vector<std::string> items;  // combo entries
};

struct PageState {
    std::string caption;
    std::vector<int> controls;  // ids, in layout order
};

// What an automation call did.
enum class Outcome : uint8_t {
    Done,
    Refused,      // not a number, or not allowed now (a message says why)
    NoControl,    // no such id, or the id does not take this call
    Disabled,     // the control is disabled or hidden
    Closed,       // the dialog has already ended
};

class DialogAutomation {
public:
    virtual ~DialogAutomation() = default;

    [[nodiscard]] virtual std::string title() const = 0;
    [[nodiscard]] virtual std::vector<PageState> pages() const = 0;
    // The buttons along the bottom of the frame (ids), left to right.
    [[nodiscard]] virtual std::vector<int> buttons() const = 0;
    // Null when id names no control of the dialog.
    [[nodiscard]] virtual const ControlState* control(int id) const = 0;

    // A trackbar, up-down, check box, radio button (1 selects it) or combo
    // (selected position); out-of-range numbers are clamped.
    virtual Outcome setValue(int id, int value) = 0;
    // What the user typed into an edit: numbers are clamped to the range,
    // anything else is refused and the edit keeps its value.
    virtual Outcome setText(int id, const std::string& text) = 0;
    // OK, Cancel, Apply, Default, or a page's push button.
    virtual Outcome press(int id) = 0;

    // Whether the dialog has ended, and the result (1 OK, 2 Cancel).
    [[nodiscard]] virtual bool closed() const = 0;
    [[nodiscard]] virtual int result() const = 0;
    // The last message the dialog wants shown to the user (empty: none).
    [[nodiscard]] virtual std::string message() const = 0;
    // Bumped on every change a view must redraw.
    [[nodiscard]] virtual uint64_t revision() const = 0;
};

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdDefault = 3;
inline constexpr int kIdApply = 1002;
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;

} // namespace lumvek::dialogs
