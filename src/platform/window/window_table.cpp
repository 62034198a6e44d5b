#include "platform/window/window_table.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "platform/window/system_window.h"

namespace lumvek::platform::window {
namespace {
// Handles step by 4 like the system's, so the low bits of a bogus value never match.
constexpr uintptr_t kHandleStep = 4;
} // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

WindowTable& WindowTable::instance() {
    // Never destroyed: windows may be destroyed from static destructors of
    // the application or the library.
    static WindowTable* const table = new WindowTable;
    return *table;
}

HWND WindowTable::create(const WindowSpec& form) {
    std::lock_guard lock(mutex_);
    if (form.parent != nullptr && windows_.count(reinterpret_cast<uintptr_t>(form.parent)) == 0 &&
        !isSystemWindow(form.parent))
        return nullptr;
    const uintptr_t value = nextHandle_;
    const HWND hwnd = reinterpret_cast<HWND>(value);
    try {
        windows_.emplace(value, std::make_shared<Window>(hwnd, form));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    nextHandle_ += kHandleStep;
    return hwnd;
}

std::shared_ptr<Window> WindowTable::find(HWND hwnd) const {
    std::lock_guard lock(mutex_);
    const auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Window>> WindowTable::removeTree(HWND hwnd) {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Window>> removed;
    const auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows_.end())
        return removed;
    removed.push_back(it->second);
    windows_.erase(it);
    // Breadth-first over the removed set: children of anything removed go too.
    for (size_t i = 0; i < removed.size(); ++i) {
        const HWND parent = removed[i]->handle();
        for (auto child = windows_.begin(); child != windows_.end();) {
            if (child->second->parent() == parent) {
                removed.push_back(child->second);
                child = windows_.erase(child);
            } else {
                ++child;
            }
        }
    }
    return removed;
}

std::vector<HWND> WindowTable::children(HWND parent) const {
    std::lock_guard lock(mutex_);
    std::vector<HWND> found;
    for (const auto& [value, window] : windows_) {
        if (window->parent() != parent)
            continue;
        if (parent == nullptr && window->kind() == WindowKind::Message)
            continue;
        found.push_back(window->handle());
    }
    return found;
}

size_t WindowTable::countOfClass(std::string_view className) const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(windows_.begin(), windows_.end(), [&](const auto& entry) {
        return entry.second->kind() != WindowKind::Message && sameName(entry.second->className(), className);
    }));
}

bool WindowTable::isVisible(HWND hwnd) const {
    std::lock_guard lock(mutex_);
    // Parents always precede their children in handle order and no cycle can
    // form (a parent must exist when the child is made), so this terminates.
    while (hwnd != nullptr) {
        const auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
        if (it == windows_.end())
            return isSystemWindowVisible(hwnd);  // false for a dead handle
        if (!it->second->shownFlag())
            return false;
        hwnd = it->second->parent();
    }
    return true;
}

} // namespace lumvek::platform::window
