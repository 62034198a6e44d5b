#pragma once
// The viewer driven by lines on standard input, for tests and scripts; each
// line gets one answer line on standard output:
//   report                      the window's state as one JSON object
//   set NAME VALUE              a control, as if moved by hand (exposure,
//                               gain, red, green, blue, mirror-h, mirror-v,
//                               colour-mode, zoom)
//   press NAME                  a button (snapshot, record, camera, image,
//                               analog); a dialog answers once it has closed
//   select N                    camera N in the list
//   screenshot FILE.png         what the window shows
//   quit
#include <gtk/gtk.h>

#include <string>

#include "viewer_window.h"

namespace lumvek::viewer {

class ViewerAutomation {
public:
    explicit ViewerAutomation(ViewerWindow& window);
    ~ViewerAutomation();
    ViewerAutomation(const ViewerAutomation&) = delete;
    ViewerAutomation& operator=(const ViewerAutomation&) = delete;

    // One command line; the answer line (without its newline).
    [[nodiscard]] std::string answer(const std::string& line);

private:
    static gboolean onInput(GIOChannel* channel, GIOCondition condition, gpointer self);

    ViewerWindow& window_;
    GIOChannel* channel_ = nullptr;
    guint watch_ = 0;
};

// The state as the JSON object `report` answers.
[[nodiscard]] std::string stateJson(const ViewerState& state);

} // namespace lumvek::viewer
