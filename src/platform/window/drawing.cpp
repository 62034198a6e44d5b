#include "platform/window/drawing.h"

#include <cstring>

#include "platform/window/window.h"
#include "platform/window/window_table.h"

namespace lumvek::platform::window {
namespace {

// Largest bitmap accepted in bytes: far above any frame of the family, low
// enough that no offset computation can overflow.
constexpr int64_t kMaxBitmapBytes = int64_t{1} << 34;

inline void paletteEntryToBgr(const uint8_t (*palette)[4], uint8_t index, uint8_t* out) {
    if (palette) {
        out[0] = palette[index][0];
        out[1] = palette[index][1];
        out[2] = palette[index][2];
    } else {
        out[0] = out[1] = out[2] = index;
    }
}

} // namespace

bool isValidBitmap(const BitmapView& bitmap) {
    if (bitmap.pixels == nullptr || bitmap.width <= 0 || bitmap.height <= 0)
        return false;
    if (bitmap.bitsPerPixel != 8 && bitmap.bitsPerPixel != 24 && bitmap.bitsPerPixel != 32)
        return false;
    const int64_t rowBytes = int64_t{bitmap.width} * (bitmap.bitsPerPixel / 8);
    return bitmap.strideBytes >= rowBytes && int64_t{bitmap.strideBytes} * bitmap.height <= kMaxBitmapBytes;
}

void convertRowToBgrReference(const uint8_t* source, int bitsPerPixel, const uint8_t (*palette)[4], int count,
                              uint8_t* destination) {
    for (int i = 0; i < count; ++i) {
        uint8_t* out = destination + 3 * i;
        switch (bitsPerPixel) {
        case 8:
            paletteEntryToBgr(palette, source[i], out);
            break;
        case 24:
            out[0] = source[3 * i];
            out[1] = source[3 * i + 1];
            out[2] = source[3 * i + 2];
            break;
        default:  // 32: B, G, R, unused
            out[0] = source[4 * i];
            out[1] = source[4 * i + 1];
            out[2] = source[4 * i + 2];
            break;
        }
    }
}

void convertRowToBgr(const uint8_t* source, int bitsPerPixel, const uint8_t (*palette)[4], int count,
                     uint8_t* destination) {
    if (count <= 0)
        return;
    if (bitsPerPixel == 24) {
        std::memcpy(destination, source, static_cast<size_t>(count) * 3);
        return;
    }
    if (bitsPerPixel == 32) {
        // Four pixels per step: a whole 12-byte group of output at a time.
        int i = 0;
        for (; i + 4 <= count; i += 4) {
            const uint8_t* s = source + 4 * i;
            uint8_t* d = destination + 3 * i;
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            d[3] = s[4], d[4] = s[5], d[5] = s[6];
            d[6] = s[8], d[7] = s[9], d[8] = s[10];
            d[9] = s[12], d[10] = s[13], d[11] = s[14];
        }
        convertRowToBgrReference(source + 4 * i, 32, palette, count - i, destination + 3 * i);
        return;
    }
    if (palette == nullptr) {
        for (int i = 0; i < count; ++i)
            std::memset(destination + 3 * i, source[i], 3);
        return;
    }
    for (int i = 0; i < count; ++i)
        std::memcpy(destination + 3 * i, palette[source[i]], 3);
}

DrawingContext::DrawingContext(std::shared_ptr<Window> window) : window_(std::move(window)) {}

DrawingContext::~DrawingContext() = default;

HWND DrawingContext::window() const {
    return window_->handle();
}

bool DrawingContext::blit(const BitmapView& bitmap, int x, int y) {
    // Drawing into a window whose parent is hidden shows nothing either.
    if (!WindowTable::instance().isVisible(window_->handle()))
        return false;
    return window_->draw(bitmap, x, y);
}

std::unique_ptr<DrawingContext> getDrawingContext(HWND hwnd) {
    std::shared_ptr<Window> window = WindowTable::instance().find(hwnd);
    if (!window || window->kind() == WindowKind::Message)
        return nullptr;
    return std::make_unique<DrawingContext>(std::move(window));
}

} // namespace lumvek::platform::window
