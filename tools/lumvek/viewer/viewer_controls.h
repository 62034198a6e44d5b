#pragma once
// What the viewer window's files share: the choices its controls offer and
// the small builders of its rows.
#include <gtk/gtk.h>

namespace lumvek::viewer {

inline constexpr int kAutoExposure = 1;  // Lumvek_SetAutoIris modes
inline constexpr int kAutoGain = 2;
inline constexpr int kBalanceMax = 400;  // software white-balance gains, 100 = 1.0
inline constexpr int kColourModes[] = {8, 16, 24, 32, 48, 64};
inline constexpr int kZoomPercents[] = {0, 25, 50, 100, 200};  // 0: fit to the window
inline constexpr int kSidebarWidth = 320;
inline constexpr int kHistogramHeight = 90;

// `child` in a frame with a caption.
[[nodiscard]] GtkWidget* framed(const char* caption, GtkWidget* child);
// A slider with its number beside it, both on one adjustment.
[[nodiscard]] GtkWidget* sliderRow(const char* caption, GtkAdjustment* adjustment);
[[nodiscard]] int adjustmentInt(GtkAdjustment* adjustment);

} // namespace lumvek::viewer
