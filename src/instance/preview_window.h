#pragma once
// The instance's own preview window: a child of an application window at a
// given place and size, or a top-level window centred on the screen with the
// capture window as its client area. The frame loop draws every processed
// frame into it, 1:1 when the sizes agree, else scaled nearest-neighbour
// through a scaling buffer the size of the client area.
//
// Created and destroyed by application threads, drawn by the frame loop; the
// instance serialises all three with its frame lock.
#include <memory>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "imaging/image_buffer.h"

namespace lumvek {

namespace platform::window {
class DrawingContext;
}

struct PreviewPlacement {
    HWND parent = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    int clientWidth = 0;   // of the top-level form
    int clientHeight = 0;

    // No parent and an all-zero rectangle: no window at all.
    [[nodiscard]] bool wantsWindow() const { return parent != nullptr || left || top || right || bottom; }
};

class PreviewWindow {
public:
    static constexpr uint32_t kChildStyle = 0x52000000;     // child, visible, clip children
    static constexpr uint32_t kTopLevelStyle = 0x16CF0000;  // overlapped window, visible, clip both
    static constexpr uint32_t kChildId = 6540;

    PreviewWindow();
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Registers a class of its own and creates the window with its drawing
    // context; false (nothing left behind) when any step fails. An earlier
    // window stays until destroy() but is no longer drawn.
    [[nodiscard]] bool create(const void* owner, const PreviewPlacement& placement);
    // Destroys every window this object made and unregisters their classes.
    void destroy();
    [[nodiscard]] HWND window() const { return hwnd_; }
    // A window exists, is shown and has a client area worth drawing.
    [[nodiscard]] bool drawable() const;
    // Sizes the scaling buffer to the client area ahead of the first frame.
    void prepare(int bitsPerPixel);

    // Draws picture (8- or 24-bit). rowsFlipped: the picture's row 0 is the
    // bottom line (as the 16-bit monochrome conversion leaves it).
    // alwaysScale: never take the 1:1 path. Hidden or empty windows are skipped.
    void draw(const ImageBuffer& picture, bool rowsFlipped, bool alwaysScale);

    // The scaling buffer (re)made when the client size changes; for tests.
    [[nodiscard]] int scalingBufferAllocations() const { return scalingAllocations_; }

private:
    struct Made {
        HWND hwnd;
        std::string className;
    };
    void destroyOne(const Made& made);

    HWND hwnd_ = nullptr;
    std::string className_;
    std::unique_ptr<platform::window::DrawingContext> context_;
    std::vector<Made> older_;  // windows of earlier creations, destroyed by destroy()
    ImageBuffer scaling_;
    int scalingAllocations_ = 0;
};

} // namespace lumvek
