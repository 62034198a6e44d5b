#include "platform/window/windows.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/window/display_backend.h"
#include "platform/window/messages.h"
#include "platform/window/system_window.h"
#include "platform/window/window_table.h"

namespace lumvek::platform::window {
namespace {

constexpr ScreenSize kDefaultScreen{1920, 1080};
constexpr int kMaxScreenDimension = 65535;

// Registered class names. Lock order: this lock, then the window table's.
struct ClassRegistry {
    std::mutex mutex;  // guards names
    std::vector<std::string> names;

    static ClassRegistry& instance() {
        static ClassRegistry* const registry = new ClassRegistry;
        return *registry;
    }
    [[nodiscard]] std::vector<std::string>::iterator find(std::string_view name) {
        return std::find_if(names.begin(), names.end(), [&](const std::string& n) { return sameName(n, name); });
    }
};

bool parseDimension(std::string_view text, int* value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && *value >= 1 &&
           *value <= kMaxScreenDimension;
}

// Gives a new drawn window its counterpart on the display, when there is a
// display and (for a child) the parent has a display id. False when the
// display refused it: the window is destroyed again.
bool showOnDisplay(HWND hwnd, const WindowSpec& form) {
    const auto window = WindowTable::instance().find(hwnd);
    if (!window)
        return false;
    NativeWindowRequest request;
    request.child = form.kind == WindowKind::Child;
    if (request.child) {
        const auto parent = WindowTable::instance().find(form.parent);
        request.parentId = parent ? parent->nativeId() : systemWindowId(form.parent);
        if (request.parentId == 0)
            return true;  // an off-screen parent: the child stays off screen
    }
    request.className = form.className;
    request.title = form.title;
    request.style = form.style;
    request.id = form.id;
    request.shown = (form.style & WS_VISIBLE) != 0;
    request.x = form.x;
    request.y = form.y;
    request.clientWidth = form.clientWidth;
    request.clientHeight = form.clientHeight;
    bool failed = false;
    auto native = createNativeWindow(window, request, &failed);
    if (native) {
        window->attachNative(std::move(native));
    } else if (failed) {
        (void)destroyWindow(hwnd);
        return false;
    }
    return true;
}

} // namespace

bool registerClass(std::string_view className) {
    if (className.empty() || className.size() > kMaxClassNameChars)
        return false;
    ClassRegistry& classes = ClassRegistry::instance();
    std::lock_guard lock(classes.mutex);
    if (classes.find(className) != classes.names.end())
        return false;
    classes.names.emplace_back(className);
    return true;
}

bool unregisterClass(std::string_view className) {
    ClassRegistry& classes = ClassRegistry::instance();
    std::lock_guard lock(classes.mutex);
    const auto it = classes.find(className);
    if (it == classes.names.end() || WindowTable::instance().countOfClass(className) != 0)
        return false;
    classes.names.erase(it);
    return true;
}

HWND createWindow(const CreateWindowParams& params) {
    const bool child = (params.style & WS_CHILD) != 0;
    if (child != (params.parent != nullptr))
        return nullptr;
    if (params.clientWidth < 0 || params.clientHeight < 0 || params.clientWidth > kMaxClientDimension ||
        params.clientHeight > kMaxClientDimension)
        return nullptr;
    WindowSpec form;
    form.kind = child ? WindowKind::Child : WindowKind::TopLevel;
    form.parent = params.parent;
    form.title = params.title;
    form.style = params.style;
    form.id = params.id;
    form.x = params.x;
    form.y = params.y;
    form.clientWidth = params.clientWidth;
    form.clientHeight = params.clientHeight;
    HWND hwnd = nullptr;
    {
        ClassRegistry& classes = ClassRegistry::instance();
        std::lock_guard lock(classes.mutex);  // the class cannot go away meanwhile
        const auto it = classes.find(params.className);
        if (it == classes.names.end())
            return nullptr;
        form.className = *it;
        hwnd = WindowTable::instance().create(form);
    }
    // Outside the class lock: the display may take a while to answer.
    if (hwnd == nullptr || !showOnDisplay(hwnd, form))
        return nullptr;
    return hwnd;
}

bool showWindow(HWND hwnd, bool visible) {
    const auto window = WindowTable::instance().find(hwnd);
    return window && window->setShown(visible);
}

bool isWindowVisible(HWND hwnd) {
    return WindowTable::instance().isVisible(hwnd);
}

bool getClientSize(HWND hwnd, int* width, int* height) {
    const auto window = WindowTable::instance().find(hwnd);
    if (!window || width == nullptr || height == nullptr)
        return false;
    window->clientSize(width, height);
    return true;
}

bool resizeClient(HWND hwnd, int width, int height) {
    const auto window = WindowTable::instance().find(hwnd);
    return window && window->resize(width, height);
}

bool getWindowInfo(HWND hwnd, LumvekWndInfo* info) {
    const auto window = WindowTable::instance().find(hwnd);
    if (!window || info == nullptr)
        return false;
    *info = window->info();
    info->visible = isWindowVisible(hwnd) ? 1 : 0;
    return true;
}

int enumWindows(HWND parent, HWND* out, int max) {
    if (parent != nullptr && !WindowTable::instance().find(parent) && !isSystemWindow(parent))
        return 0;
    const std::vector<HWND> found = WindowTable::instance().children(parent);
    if (out != nullptr && max > 0)
        std::copy_n(found.begin(), std::min<size_t>(found.size(), static_cast<size_t>(max)), out);
    return static_cast<int>(found.size());
}

bool readSurface(HWND hwnd, void* buffer, size_t size, int* width, int* height) {
    const auto window = WindowTable::instance().find(hwnd);
    return window && window->readSurface(buffer, size, width, height);
}

HWND wrapNativeWindow(unsigned long id) {
    if (id == 0 || !displayConnected())
        return nullptr;
    WindowSpec form;
    form.kind = WindowKind::Message;
    form.className = "LumvekMessageWindow";
    form.nativeId = id;
    return WindowTable::instance().create(form);
}

unsigned long nativeWindowId(HWND hwnd) {
    const auto window = WindowTable::instance().find(hwnd);
    return window ? window->nativeId() : 0;
}

ScreenSize screenSize() {
    const char* text = std::getenv("LUMVEK_SCREEN");
    if (text == nullptr) {
        ScreenSize shown{};
        return displayScreenSize(&shown) ? shown : kDefaultScreen;
    }
    const std::string_view value(text);
    const size_t cut = value.find_first_of("xX");
    ScreenSize size{};
    if (cut == std::string_view::npos || !parseDimension(value.substr(0, cut), &size.width) ||
        !parseDimension(value.substr(cut + 1), &size.height))
        return kDefaultScreen;
    return size;
}

ScreenSize outerSize(int clientWidth, int clientHeight, uint32_t style) {
    return displayOuterSize(clientWidth, clientHeight, style);
}

ScreenPoint centredPosition(int width, int height) {
    const ScreenSize screen = screenSize();
    return {std::max(0, (screen.width - width) / 2), std::max(0, (screen.height - height) / 2)};
}

} // namespace lumvek::platform::window
