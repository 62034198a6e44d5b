#pragma once
// The client-side image one X11 window is drawn from: a shared-memory XImage
// when the server offers MIT-SHM (the server reads the pixels in place), a
// plain XImage sent with XPutImage otherwise. Filled from a window surface
// (24-bit BGR, rows top-down). Used on the connection thread only.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstddef>
#include <cstdint>

#ifdef LUMVEK_HAVE_XSHM
#include <X11/extensions/XShm.h>
#endif

namespace lumvek::platform::window::x11 {

struct ErrorLog;

class Picture {
public:
    Picture() = default;
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // (Re)allocates for width x height when the size differs; false when no
    // image can be made (nothing is then drawn).
    [[nodiscard]] bool ensure(Display* display, Visual* visual, int depth, int width, int height, bool tryShm,
                              ErrorLog& errors);
    void release();
    [[nodiscard]] int width() const { return image_ ? image_->width : 0; }
    [[nodiscard]] int height() const { return image_ ? image_->height : 0; }
    [[nodiscard]] bool shared() const { return shared_; }

    // Copies the top-left part of a surface that fits.
    void fill(const uint8_t* surface, int width, int height, size_t stride);
    // Sends the image to drawable at (0, 0).
    void put(Drawable drawable, GC gc);

private:
    [[nodiscard]] bool makeShared(Visual* visual, int depth, int width, int height, ErrorLog& errors);
    [[nodiscard]] bool makePlain(Visual* visual, int depth, int width, int height);

    Display* display_ = nullptr;
    XImage* image_ = nullptr;
    bool shared_ = false;
#ifdef LUMVEK_HAVE_XSHM
    XShmSegmentInfo segment_{};
#endif
};

// Row conversion into the common 32-bit TrueColor layout (B, G, R, 0 in
// memory, little-endian): the plain reference and the path drawing uses;
// both give identical bytes.
void bgrToBgrxRowReference(const uint8_t* source, int count, uint8_t* destination);
void bgrToBgrxRow(const uint8_t* source, int count, uint8_t* destination);

} // namespace lumvek::platform::window::x11
