#pragma once
// Drawing into the windows of this layer: what the preview needs of a device
// context. A DrawingContext is obtained for a window and kept for the
// window's life; it copies bitmaps 1:1 into the window's client area, whose
// pixels the surface keeps as 24-bit BGR so they can be read back.
#include <cstdint>
#include <memory>

#include "LumvekWindow.h"

namespace lumvek::platform::window {

class Window;

// A bitmap in memory as a DIB describes it: 8 (palette), 24 (BGR) or 32
// (BGRX) bits per pixel, rows strideBytes apart. bottomUp: the first row in
// memory is the bottom row of the picture (the DIB default); otherwise the
// first row in memory is shown at the top.
struct BitmapView {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    int strideBytes = 0;
    bool bottomUp = true;
    // 256 entries of B, G, R, reserved for 8-bit bitmaps; null: gray ramp.
    const uint8_t (*palette)[4] = nullptr;
};

// Checks sizes, depth and stride (the stride must hold a row; 32-bit
// arithmetic never overflows for accepted views).
[[nodiscard]] bool isValidBitmap(const BitmapView& bitmap);

class DrawingContext {
public:
    explicit DrawingContext(std::shared_ptr<Window> window);
    ~DrawingContext();
    DrawingContext(const DrawingContext&) = delete;
    DrawingContext& operator=(const DrawingContext&) = delete;

    [[nodiscard]] HWND window() const;
    // Copies the bitmap 1:1 with its top-left corner at (x, y) of the client
    // area, clipped to it. False (nothing drawn) for a destroyed window, a
    // hidden one or an invalid bitmap.
    bool blit(const BitmapView& bitmap, int x = 0, int y = 0);

private:
    std::shared_ptr<Window> window_;
};

// A context for a live window that draws (not a message window); null otherwise.
[[nodiscard]] std::unique_ptr<DrawingContext> getDrawingContext(HWND hwnd);

// Row conversion into 24-bit BGR: the plain per-pixel reference and the
// path the surface uses; both give identical bytes.
void convertRowToBgrReference(const uint8_t* source, int bitsPerPixel, const uint8_t (*palette)[4], int count,
                              uint8_t* destination);
void convertRowToBgr(const uint8_t* source, int bitsPerPixel, const uint8_t (*palette)[4], int count,
                     uint8_t* destination);

} // namespace lumvek::platform::window
