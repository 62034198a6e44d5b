#pragma once
// The table of live windows: every HWND this layer hands out is a key here
// and is never dereferenced. Handles are not reused, so a stale handle stays
// dead for the life of the process.
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "LumvekWindow.h"
#include "platform/window/window.h"

namespace lumvek::platform::window {

class WindowTable {
public:
    static WindowTable& instance();

    // Adds a window made from form; null when the parent is given but is
    // neither a live window of the table nor one of the system, or on
    // allocation failure.
    [[nodiscard]] HWND create(const WindowSpec& form);
    [[nodiscard]] std::shared_ptr<Window> find(HWND hwnd) const;
    // Removes the window and all its descendants from the table and returns
    // them (the caller closes them outside the table lock); empty when hwnd
    // is not a live window.
    [[nodiscard]] std::vector<std::shared_ptr<Window>> removeTree(HWND hwnd);
    // Children of parent in creation order; with a null parent the top-level
    // drawn windows (message windows are not listed).
    [[nodiscard]] std::vector<HWND> children(HWND parent) const;
    // Live windows created with the class (names compare ignoring ASCII case).
    [[nodiscard]] size_t countOfClass(std::string_view className) const;
    // The window and every parent are shown (a parent of the system's as the
    // system sees it).
    [[nodiscard]] bool isVisible(HWND hwnd) const;

private:
    WindowTable() = default;

    mutable std::mutex mutex_;  // guards windows_ and nextHandle_
    std::map<uintptr_t, std::shared_ptr<Window>> windows_;  // ordered by handle = creation order
#ifdef _WIN32
    // Above the system's window handles (32 significant bits, sign-extended),
    // so a window of the application never has the value of one of ours.
    uintptr_t nextHandle_ = (uintptr_t{1} << 40) + 0x10010;
#else
    uintptr_t nextHandle_ = 0x10010;
#endif
};

// ASCII case-insensitive equality, the rule for class names.
[[nodiscard]] bool sameName(std::string_view a, std::string_view b);

} // namespace lumvek::platform::window
