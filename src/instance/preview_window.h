#pragma once
// The instance's own preview window: a child of an application window at a
// given place and size, or a top-level window centred on the screen with the
// capture window as its client area. The frame loop draws every processed
// frame into it, 1:1 when the sizes agree, else scaled nearest-neighbour
// through a scaling buffer the size of the client area.
//
// Created and destroyed by application threads, drawn by the frame loop; its
// own lock serialises the three. The frame loop stages each picture (a copy,
// or the scaled picture: memory work only) while it holds the frame lock, and
// presents it to the window after releasing that lock, so no display round
// trip ever happens under the frame lock.
#include <memory>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "imaging/image_buffer.h"
#include "platform/sync/thread_annotations.h"

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
    [[nodiscard]] bool create(const void* owner, const PreviewPlacement& placement) EXCLUDES(lock_);
    // Destroys every window this object made and unregisters their classes.
    void destroy() EXCLUDES(lock_);
    [[nodiscard]] HWND window() const EXCLUDES(lock_);
    // A window exists, is shown and has a client area worth drawing.
    [[nodiscard]] bool drawable() const EXCLUDES(lock_);
    // Sizes the scaling buffer to the client area ahead of the first frame.
    void prepare(int bitsPerPixel) EXCLUDES(lock_);

    // Takes picture (8- or 24-bit) for the next present(): copied when the
    // client area has its size, else scaled into the scaling buffer.
    // rowsFlipped: the picture's row 0 is the bottom line (as the 16-bit
    // monochrome conversion leaves it). alwaysScale: never take the 1:1 path.
    // Hidden or empty windows are skipped.
    void stage(const ImageBuffer& picture, bool rowsFlipped, bool alwaysScale) EXCLUDES(lock_);
    // Draws what stage() took into the window (once).
    void present() EXCLUDES(lock_);

    // The scaling buffer (re)made when the client size changes; for tests.
    [[nodiscard]] int scalingBufferAllocations() const EXCLUDES(lock_);

private:
    struct Made {
        HWND hwnd;
        std::string className;
    };
    void destroyOne(const Made& made);
    [[nodiscard]] bool drawableLocked(int* width, int* height) const REQUIRES(lock_);

    mutable platform::Mutex lock_;
    HWND hwnd_ GUARDED_BY(lock_) = nullptr;
    std::string className_ GUARDED_BY(lock_);
    std::unique_ptr<platform::window::DrawingContext> context_ GUARDED_BY(lock_);
    std::vector<Made> older_ GUARDED_BY(lock_);  // windows of earlier creations, destroyed by destroy()
    ImageBuffer scaling_ GUARDED_BY(lock_);
    ImageBuffer direct_ GUARDED_BY(lock_);  // a picture staged 1:1
    enum class Staged { None, Direct, Scaled };
    Staged staged_ GUARDED_BY(lock_) = Staged::None;
    bool stagedBottomUp_ GUARDED_BY(lock_) = false;
    int scalingAllocations_ GUARDED_BY(lock_) = 0;
};

} // namespace lumvek
