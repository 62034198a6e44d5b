#include "instance/preview_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/convert/preview_scaler.h"
#include "platform/sync/clock.h"
#include "platform/window/drawing.h"
#include "platform/window/messages.h"
#include "platform/window/windows.h"

namespace lumvek {

namespace win = platform::window;

namespace {
constexpr const char* kChildTitle = "ActiveMovie Window";
constexpr const char* kTopLevelTitle = "Active Window";

win::BitmapView viewOf(const ImageBuffer& picture, bool bottomUp) {
    win::BitmapView view;
    view.pixels = picture.pixels();
    view.width = picture.width();
    view.height = picture.height();
    view.bitsPerPixel = picture.bitsPerPixel();
    view.strideBytes = picture.stride();
    view.bottomUp = bottomUp;
    return view;
}
} // namespace

PreviewWindow::PreviewWindow() = default;

PreviewWindow::~PreviewWindow() {
    destroy();
}

HWND PreviewWindow::window() const {
    platform::MutexLock hold(lock_);
    return hwnd_;
}

int PreviewWindow::scalingBufferAllocations() const {
    platform::MutexLock hold(lock_);
    return scalingAllocations_;
}

bool PreviewWindow::create(const void* owner, const PreviewPlacement& placement) {
    platform::MutexLock hold(lock_);
    char name[64];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner) & 0xFFFFFFFFu),
                  static_cast<unsigned>(platform::tickMs() + static_cast<uint32_t>(std::rand())));
    if (!win::registerClass(name)) {
        return false;
    }
    win::CreateWindowParams params;
    params.className = name;
    if (placement.parent != nullptr) {
        params.title = kChildTitle;
        params.style = kChildStyle;
        params.id = kChildId;
        params.parent = placement.parent;
        params.x = placement.left;
        params.y = placement.top;
        params.clientWidth = placement.right;  // the last two values are width and height
        params.clientHeight = placement.bottom;
    } else {
        params.title = kTopLevelTitle;
        params.style = kTopLevelStyle;
        params.clientWidth = placement.clientWidth;
        params.clientHeight = placement.clientHeight;
        const auto outer = win::outerSize(placement.clientWidth, placement.clientHeight, kTopLevelStyle);
        const auto corner = win::centredPosition(outer.width, outer.height);
        params.x = corner.x;
        params.y = corner.y;
    }
    HWND hwnd = win::createWindow(params);
    if (hwnd == nullptr) {
        (void)win::unregisterClass(name);
        return false;
    }
    (void)win::showWindow(hwnd, true);
    auto context = win::getDrawingContext(hwnd);
    if (!context) {
        win::destroyWindow(hwnd);
        (void)win::unregisterClass(name);
        return false;
    }
    if (hwnd_ != nullptr) {
        older_.push_back(Made{hwnd_, className_});
    }
    hwnd_ = hwnd;
    className_ = name;
    context_ = std::move(context);
    return true;
}

void PreviewWindow::destroyOne(const Made& made) {
    win::destroyWindow(made.hwnd);
    (void)win::unregisterClass(made.className);
}

void PreviewWindow::destroy() {
    platform::MutexLock hold(lock_);
    context_.reset();
    if (hwnd_ != nullptr) {
        destroyOne(Made{hwnd_, className_});
        hwnd_ = nullptr;
        className_.clear();
    }
    for (const Made& made : older_) {
        destroyOne(made);
    }
    older_.clear();
    scaling_.destroy();
    direct_.destroy();
    staged_ = Staged::None;
}

bool PreviewWindow::drawableLocked(int* width, int* height) const {
    return hwnd_ != nullptr && context_ && win::isWindowVisible(hwnd_) && win::getClientSize(hwnd_, width, height) &&
           *width > 0 && *height > 0;
}

bool PreviewWindow::drawable() const {
    platform::MutexLock hold(lock_);
    int width = 0;
    int height = 0;
    return drawableLocked(&width, &height);
}

void PreviewWindow::prepare(int bitsPerPixel) {
    platform::MutexLock hold(lock_);
    int width = 0;
    int height = 0;
    if (drawableLocked(&width, &height) &&
        (scaling_.width() != width || scaling_.height() != height || scaling_.bitsPerPixel() != bitsPerPixel)) {
        if (scaling_.create(width, height, bitsPerPixel)) {
            ++scalingAllocations_;
        }
    }
}

void PreviewWindow::stage(const ImageBuffer& picture, bool rowsFlipped, bool alwaysScale) {
    platform::MutexLock hold(lock_);
    staged_ = Staged::None;
    int width = 0;
    int height = 0;
    if (picture.empty() || !drawableLocked(&width, &height)) {
        return;
    }
    if (!alwaysScale && width == picture.width() && height == picture.height()) {
        if (direct_.width() != picture.width() || direct_.height() != picture.height() ||
            direct_.bitsPerPixel() != picture.bitsPerPixel()) {
            if (!direct_.createLike(picture)) {
                return;
            }
        }
        std::memcpy(direct_.pixels(), picture.pixels(), picture.sizeBytes());
        stagedBottomUp_ = rowsFlipped;
        staged_ = Staged::Direct;
        return;
    }
    if (scaling_.width() != width || scaling_.height() != height || scaling_.bitsPerPixel() != picture.bitsPerPixel()) {
        if (!scaling_.create(width, height, picture.bitsPerPixel())) {
            return;
        }
        ++scalingAllocations_;
    }
    const Rect whole{0, 0, width, height};
    const Rect source{0, 0, picture.width(), picture.height()};
    if (scaleNearest(scaling_, whole, picture, source, rowsFlipped ? ScaleRows::Flipped : ScaleRows::InOrder)) {
        stagedBottomUp_ = false;
        staged_ = Staged::Scaled;
    }
}

void PreviewWindow::present() {
    platform::MutexLock hold(lock_);
    if (staged_ == Staged::None || !context_) {
        return;
    }
    (void)context_->blit(viewOf(staged_ == Staged::Direct ? direct_ : scaling_, stagedBottomUp_));
    staged_ = Staged::None;
}

} // namespace lumvek
