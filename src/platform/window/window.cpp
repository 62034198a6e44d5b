#include "platform/window/window.h"

#include <algorithm>
#include <cstring>

namespace lumvek::platform::window {
namespace {

constexpr uint32_t kVisibleStyle = 0x10000000;  // WS_VISIBLE

void copyText(char (&out)[256], const std::string& text) {
    const size_t n = std::min(text.size(), sizeof out - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace

Window::Window(HWND handle, const WindowSpec& form)
    : handle_(handle), queue_(std::make_shared<MessageQueue>()), description_(form) {
    if (description_.kind != WindowKind::Message)
        surface_.assign(strideFor(description_.clientWidth) * static_cast<size_t>(description_.clientHeight), 0);
}

bool Window::alive() const {
    std::lock_guard lock(mutex_);
    return alive_;
}

void Window::markDestroyed() {
    std::shared_ptr<NativeWindow> native;
    {
        std::lock_guard lock(mutex_);
        alive_ = false;
        std::vector<uint8_t>().swap(surface_);
        native.swap(native_);
    }
    if (native)
        native->destroy();
    queue_->close();
}

void Window::attachNative(std::shared_ptr<NativeWindow> native) {
    std::lock_guard lock(mutex_);
    native_ = std::move(native);
}

std::shared_ptr<NativeWindow> Window::native() const {
    std::lock_guard lock(mutex_);
    return native_;
}

unsigned long Window::nativeId() const {
    if (const auto native = this->native())
        return native->nativeId();
    std::lock_guard lock(mutex_);
    return alive_ ? description_.nativeId : 0;
}

bool Window::withSurface(const std::function<bool(const uint8_t*, int, int, size_t)>& use) const {
    std::lock_guard lock(mutex_);
    if (!alive_ || description_.kind == WindowKind::Message)
        return false;
    return use(surface_.data(), description_.clientWidth, description_.clientHeight,
               strideFor(description_.clientWidth));
}

bool Window::shownFlag() const {
    std::lock_guard lock(mutex_);
    return alive_ && (description_.kind == WindowKind::Message || (description_.style & kVisibleStyle) != 0);
}

bool Window::setShown(bool shown) {
    std::shared_ptr<NativeWindow> native;
    {
        std::lock_guard lock(mutex_);
        if (!alive_ || description_.kind == WindowKind::Message)
            return false;
        description_.style = shown ? (description_.style | kVisibleStyle) : (description_.style & ~kVisibleStyle);
        native = native_;
    }
    if (native)
        native->shownChanged(shown);
    return true;
}

void Window::clientSize(int* width, int* height) const {
    std::lock_guard lock(mutex_);
    *width = description_.clientWidth;
    *height = description_.clientHeight;
}

bool Window::resize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxClientDimension || height > kMaxClientDimension)
        return false;
    // Allocate outside the lock so a drawing thread is held up only for the swap.
    std::vector<uint8_t> fresh;
    try {
        fresh.assign(strideFor(width) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::shared_ptr<NativeWindow> native;
    {
        std::lock_guard lock(mutex_);
        if (!alive_ || description_.kind == WindowKind::Message)
            return false;
        description_.clientWidth = width;
        description_.clientHeight = height;
        surface_.swap(fresh);
        native = native_;
    }
    if (native)
        native->sizeChanged(width, height);
    return true;
}

LumvekWndInfo Window::info() const {
    std::lock_guard lock(mutex_);
    LumvekWndInfo info {};
    info.parent = description_.parent;
    copyText(info.className, description_.className);
    copyText(info.title, description_.title);
    info.style = description_.style;
    info.id = description_.id;
    info.x = description_.x;
    info.y = description_.y;
    info.clientWidth = description_.clientWidth;
    info.clientHeight = description_.clientHeight;
    info.visible = (description_.kind == WindowKind::Message || (description_.style & kVisibleStyle) != 0) ? 1 : 0;
    return info;
}

bool Window::draw(const BitmapView& bitmap, int x, int y) {
    if (!isValidBitmap(bitmap))
        return false;
    std::shared_ptr<NativeWindow> native;
    if (!copyIn(bitmap, x, y, &native))
        return false;
    if (native)
        native->pictureChanged();
    return true;
}

bool Window::copyIn(const BitmapView& bitmap, int x, int y, std::shared_ptr<NativeWindow>* native) {
    std::lock_guard lock(mutex_);
    *native = native_;
    if (!alive_ || description_.kind == WindowKind::Message || (description_.style & kVisibleStyle) == 0)
        return false;
    // Clip the bitmap's rectangle to the client area (64-bit: x + width may
    // exceed int for hostile values).
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + bitmap.width, description_.clientWidth);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + bitmap.height, description_.clientHeight);
    if (left >= right || top >= bottom)
        return true;  // nothing of it falls inside: drawn, invisibly
    const size_t stride = strideFor(description_.clientWidth);
    const int count = static_cast<int>(right - left);
    const size_t bytesPerPixel = static_cast<size_t>(bitmap.bitsPerPixel / 8);
    for (int64_t row = top; row < bottom; ++row) {
        const int64_t pictureRow = row - y;  // row of the bitmap as shown, 0 = top
        const int64_t memoryRow = bitmap.bottomUp ? bitmap.height - 1 - pictureRow : pictureRow;
        const uint8_t* source = bitmap.pixels + static_cast<size_t>(memoryRow) * static_cast<size_t>(bitmap.strideBytes) +
                                static_cast<size_t>(left - x) * bytesPerPixel;
        uint8_t* destination = surface_.data() + static_cast<size_t>(row) * stride + static_cast<size_t>(left) * 3;
        convertRowToBgr(source, bitmap.bitsPerPixel, bitmap.palette, count, destination);
    }
    return true;
}

bool Window::readSurface(void* buffer, size_t size, int* width, int* height) const {
    std::lock_guard lock(mutex_);
    if (width)
        *width = description_.clientWidth;
    if (height)
        *height = description_.clientHeight;
    if (!alive_ || description_.kind == WindowKind::Message || buffer == nullptr || size < surface_.size())
        return false;
    if (!surface_.empty())
        std::memcpy(buffer, surface_.data(), surface_.size());
    return true;
}

} // namespace lumvek::platform::window
