#pragma once
// Drives a settings dialog box as a user would, from a second thread: the
// dialog export runs modally on the test's thread, the driver finds the box
// among that thread's windows and works its controls with window messages.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace lumvek::test {

inline std::wstring windowText(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, static_cast<int>(std::size(text)));
    return text;
}

inline std::wstring className(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    return name;
}

inline bool isDialogBox(HWND hwnd) {
    return className(hwnd) == L"#32770";
}

// The box: the frame and its pages (the child dialogs over its tab control).
struct Box {
    HWND frame = nullptr;
    DWORD thread = 0;

    [[nodiscard]] std::vector<HWND> pages() const {
        std::vector<HWND> found;
        for (HWND child = GetWindow(frame, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (isDialogBox(child)) {
                found.push_back(child);
            }
        }
        return found;
    }
    // The page holding a control with id marker (a page's own control).
    [[nodiscard]] HWND pageWith(int marker) const {
        for (HWND page : pages()) {
            if (GetDlgItem(page, marker) != nullptr) {
                return page;
            }
        }
        return nullptr;
    }
    // The control id on the frame or, failing that, on the first page that has it.
    [[nodiscard]] HWND item(int id) const {
        if (HWND hwnd = GetDlgItem(frame, id)) {
            return hwnd;
        }
        for (HWND page : pages()) {
            if (HWND hwnd = GetDlgItem(page, id)) {
                return hwnd;
            }
        }
        return nullptr;
    }
    [[nodiscard]] std::wstring text(int id) const { return windowText(item(id)); }
    [[nodiscard]] bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    [[nodiscard]] bool visible(int id) const { return IsWindowVisible(item(id)) != FALSE; }

    [[nodiscard]] std::vector<std::wstring> tabs() const {
        HWND tab = GetDlgItem(frame, 1001);
        std::vector<std::wstring> captions;
        const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[128] = {};
            TCITEMW tabItem{};
            tabItem.mask = TCIF_TEXT;
            tabItem.pszText = text;
            tabItem.cchTextMax = static_cast<int>(std::size(text));
            SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&tabItem));
            captions.emplace_back(text);
        }
        return captions;
    }
    [[nodiscard]] std::vector<std::wstring> comboItems(int id) const {
        HWND combo = item(id);
        std::vector<std::wstring> items;
        const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[128] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.emplace_back(text);
        }
        return items;
    }
    [[nodiscard]] int comboSelection(int id) const {
        return static_cast<int>(SendMessageW(item(id), CB_GETCURSEL, 0, 0));
    }
    [[nodiscard]] int trackbarPosition(int id) const {
        return static_cast<int>(SendMessageW(item(id), TBM_GETPOS, 0, 0));
    }
    [[nodiscard]] bool checked(HWND button) const { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

    // ---- What a user does ----
    // Drags trackbar id to position: the control moves and tells its dialog.
    void drag(int id, int position) const {
        HWND trackbar = item(id);
        SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
        SendMessageW(GetParent(trackbar), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(trackbar));
    }
    // Picks entry position of combo id.
    void choose(int id, int position) const {
        HWND combo = item(id);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }
    // Types text into edit id (the edit tells its dialog of the change).
    void type(int id, const wchar_t* text) const { SetWindowTextW(item(id), text); }
    void click(HWND button) const { SendMessageW(button, BM_CLICK, 0, 0); }
    void click(int id) const { click(item(id)); }
    // One step of up-down id (delta +1 or -1), as its arrow buttons report it.
    void step(int id, int delta) const {
        HWND upDown = item(id);
        NMUPDOWN change{};
        change.hdr.hwndFrom = upDown;
        change.hdr.idFrom = static_cast<UINT_PTR>(id);
        change.hdr.code = UDN_DELTAPOS;
        change.iPos = static_cast<int>(SendMessageW(upDown, UDM_GETPOS32, 0, 0));
        change.iDelta = delta;
        SendMessageW(GetParent(upDown), WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&change));
    }
    // Chooses tab index of the frame's tab control.
    void selectTab(int index) const {
        HWND tab = GetDlgItem(frame, 1001);
        SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        NMHDR header{tab, 1001, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(frame, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&header));
    }
    // Presses Escape in the control that has the keyboard focus.
    void escape() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr ? info.hwndFocus : frame;
        PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001));
    }
};

// Writes what the screen shows of window as a 24-bit BMP file (false when
// it could not be read or written).
inline bool saveScreenshot(HWND window, const std::string& path) {
    RECT r{};
    if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) {
        return false;
    }
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (picture != nullptr) {
        HGDIOBJ previous = SelectObject(memory, picture);
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(height);
        if (FILE* out = std::fopen(path.c_str(), "wb")) {
            saved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                    std::fwrite(bits, stride * static_cast<DWORD>(height), 1, out) == 1;
            saved = std::fclose(out) == 0 && saved;
        }
        SelectObject(memory, previous);
        DeleteObject(picture);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

// Keeps a picture of the box as it opened, named after the running test and
// the language, in LUMVEK_SCREENSHOT_DIR when the build names one.
inline void keepScreenshot(HWND frame) {
#ifdef LUMVEK_SCREENSHOT_DIR
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const char* japanese = std::getenv("LUMVEK_EXPECT_JAPANESE");
    const std::string language = japanese != nullptr && *japanese == '1' ? "ja" : "en";
    CreateDirectoryA(LUMVEK_SCREENSHOT_DIR, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the box paint itself
    const std::string path =
        std::string(LUMVEK_SCREENSHOT_DIR) + "/" + (test != nullptr ? test->name() : "dialog") + "_" + language + ".bmp";
    if (!saveScreenshot(frame, path)) {
        ADD_FAILURE() << "no screenshot written to " << path;
    }
#else
    (void)frame;
#endif
}

// Runs dialog() (a dialog export) on this thread while script(box) works
// the box from a second thread. Returns what dialog() returned; *appeared
// says whether a box showed up at all. A script that leaves the box open
// gets it closed with the close box after it returns.
inline int runDialog(const std::function<int()>& dialog, const std::function<void(const Box&)>& script,
                     bool* appeared = nullptr) {
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> returned{false};
    std::atomic<bool> found{false};
    std::thread driver([&] {
        Box box{nullptr, self};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (box.frame == nullptr && !returned && std::chrono::steady_clock::now() < deadline) {
            EnumThreadWindows(
                self,
                [](HWND hwnd, LPARAM context) -> BOOL {
                    if (isDialogBox(hwnd) && IsWindowVisible(hwnd)) {
                        *reinterpret_cast<HWND*>(context) = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&box.frame));
            if (box.frame == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        if (box.frame == nullptr) {
            return;
        }
        found = true;
        keepScreenshot(box.frame);
        script(box);
        const auto grace = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!returned && std::chrono::steady_clock::now() < grace) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!returned) {
            ADD_FAILURE() << "the dialog box stayed open after the script";
            PostMessageW(box.frame, WM_CLOSE, 0, 0);
        }
    });
    const int result = dialog();
    returned = true;
    driver.join();
    if (appeared != nullptr) {
        *appeared = found;
    }
    return result;
}

// Polls condition (on the driver's thread) for up to two seconds.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace lumvek::test
