#ifdef LUMVEK_HAVE_X11
#include "platform/window/x11/x11_picture.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/window/x11/x11_errors.h"

namespace lumvek::platform::window::x11 {
namespace {

constexpr unsigned long kRedMask = 0xFF0000;
constexpr unsigned long kGreenMask = 0x00FF00;
constexpr unsigned long kBlueMask = 0x0000FF;
constexpr int kShmPermissions = 0600;

bool isFastLayout(const XImage* image) {
    return image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == kRedMask &&
           image->green_mask == kGreenMask && image->blue_mask == kBlueMask;
}

// Places an 8-bit channel value under a colour mask of any width and shift.
unsigned long channel(uint8_t value, unsigned long mask) {
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    int bits = 0;
    while (((mask >> (shift + bits)) & 1) != 0)
        ++bits;
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
    return (scaled << shift) & mask;
}

} // namespace

void bgrToBgrxRow(const uint8_t* source, int count, uint8_t* destination) {
    // Four pixels per step: three 32-bit loads, four 32-bit stores.
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        uint32_t in[3];
        std::memcpy(in, source + 3 * i, sizeof in);
        const uint32_t out[4] = {in[0] & 0xFFFFFF, (in[0] >> 24) | ((in[1] & 0xFFFF) << 8),
                                 (in[1] >> 16) | ((in[2] & 0xFF) << 16), in[2] >> 8};
        std::memcpy(destination + 4 * i, out, sizeof out);
    }
    bgrToBgrxRowReference(source + 3 * i, count - i, destination + 4 * i);
}

void bgrToBgrxRowReference(const uint8_t* source, int count, uint8_t* destination) {
    for (int i = 0; i < count; ++i) {
        destination[4 * i] = source[3 * i];
        destination[4 * i + 1] = source[3 * i + 1];
        destination[4 * i + 2] = source[3 * i + 2];
        destination[4 * i + 3] = 0;
    }
}

Picture::~Picture() {
    // Memory only: this may run on any thread, and the server forgets the
    // segment with the connection (it is already marked for removal).
    if (image_ == nullptr)
        return;
#ifdef LUMVEK_HAVE_XSHM
    if (shared_) {
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
#endif
    XDestroyImage(image_);
}

void Picture::release() {
    if (image_ == nullptr)
        return;
#ifdef LUMVEK_HAVE_XSHM
    if (shared_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);  // the server lets go before the memory goes
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
        segment_ = {};
    }
#endif
    XDestroyImage(image_);  // frees a plain image's data too
    image_ = nullptr;
    shared_ = false;
}

bool Picture::ensure(Display* display, Visual* visual, int depth, int width, int height, bool tryShm,
                     ErrorLog& errors) {
    if (image_ != nullptr && image_->width == width && image_->height == height)
        return true;
    release();
    display_ = display;
    if (width <= 0 || height <= 0)
        return false;
    if (tryShm && makeShared(visual, depth, width, height, errors))
        return true;
    return makePlain(visual, depth, width, height);
}

bool Picture::makeShared(Visual* visual, int depth, int width, int height, ErrorLog& errors) {
#ifdef LUMVEK_HAVE_XSHM
    XImage* image = XShmCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment_,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr)
        return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | kShmPermissions);
    if (segment_.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    segment_.shmaddr = image->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
    if (segment_.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(segment_.shmid, IPC_RMID, nullptr);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    segment_.readOnly = True;
    const unsigned long before = errors.count;
    const bool attached = XShmAttach(display_, &segment_) != 0;
    XSync(display_, False);
    // Marked for removal now: the segment goes when both sides detach, even
    // if this process dies.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (!attached || errors.count != before) {  // e.g. a server on another machine
        shmdt(segment_.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        segment_ = {};
        return false;
    }
    image_ = image;
    shared_ = true;
    return true;
#else
    (void)visual, (void)depth, (void)width, (void)height, (void)errors;
    return false;
#endif
}

bool Picture::makePlain(Visual* visual, int depth, int width, int height) {
    XImage* image = XCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image == nullptr)
        return false;
    image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(height)));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return false;
    }
    image_ = image;
    shared_ = false;
    return true;
}

void Picture::fill(const uint8_t* surface, int width, int height, size_t stride) {
    if (image_ == nullptr || surface == nullptr)
        return;
    const int columns = std::min(width, image_->width);
    const int rows = std::min(height, image_->height);
    if (isFastLayout(image_)) {
        for (int y = 0; y < rows; ++y)
            bgrToBgrxRow(surface + static_cast<size_t>(y) * stride, columns,
                         reinterpret_cast<uint8_t*>(image_->data) + static_cast<size_t>(y) * image_->bytes_per_line);
        return;
    }
    for (int y = 0; y < rows; ++y) {
        const uint8_t* row = surface + static_cast<size_t>(y) * stride;
        for (int x = 0; x < columns; ++x) {
            const uint8_t* bgr = row + 3 * x;
            XPutPixel(image_, x, y,
                      channel(bgr[2], image_->red_mask) | channel(bgr[1], image_->green_mask) |
                          channel(bgr[0], image_->blue_mask));
        }
    }
}

void Picture::put(Drawable drawable, GC gc) {
    if (image_ == nullptr)
        return;
#ifdef LUMVEK_HAVE_XSHM
    if (shared_) {
        XShmPutImage(display_, drawable, gc, image_, 0, 0, 0, 0, static_cast<unsigned>(image_->width),
                     static_cast<unsigned>(image_->height), False);
        return;
    }
#endif
    XPutImage(display_, drawable, gc, image_, 0, 0, 0, 0, static_cast<unsigned>(image_->width),
              static_cast<unsigned>(image_->height));
}

} // namespace lumvek::platform::window::x11
#endif
