// The controls of the dialog boxes, each bound to one control of the model:
// what a window shows comes from the model, what the user does goes to it.
#include "dialogs/win32/dialog_box_view.h"

#include <commctrl.h>

#include <algorithm>

#include "dialogs/image_dialog.h"

namespace lumvek::dialogs::win32 {

namespace {

constexpr int kEditLimit = 32;
constexpr int kDefaultPageStep = 10;

// The gray filter page repeats ids of the image page; the model tells them
// apart by an offset, the template does not.
int templateId(int modelId) {
    return modelId >= kGrayPageIdOffset ? modelId - kGrayPageIdOffset : modelId;
}

std::wstring textOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

void setText(HWND hwnd, const std::string& utf8) {
    const std::wstring wanted = widen(utf8);
    if (textOf(hwnd) != wanted) {
        SetWindowTextW(hwnd, wanted.c_str());
    }
}

// The caption a template puts right before a control (a static without an
// id); it is shown, hidden, enabled and disabled with the control.
HWND labelOf(HWND control) {
    HWND previous = GetWindow(control, GW_HWNDPREV);
    if (previous == nullptr) {
        return nullptr;
    }
    wchar_t className[16] = {};
    GetClassNameW(previous, className, static_cast<int>(std::size(className)));
    const int id = GetDlgCtrlID(previous);
    const bool anonymous = id == -1 || id == 0xFFFF;
    return anonymous && lstrcmpiW(className, L"Static") == 0 ? previous : nullptr;
}

void showState(HWND hwnd, const ControlState& c) {
    for (HWND window : {hwnd, c.kind == ControlKind::Label || c.kind == ControlKind::Button ? nullptr : labelOf(hwnd)}) {
        if (window == nullptr) {
            continue;
        }
        if ((IsWindowEnabled(window) != FALSE) != c.enabled) {
            EnableWindow(window, c.enabled ? TRUE : FALSE);
        }
        const bool shown = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown != c.visible) {
            ShowWindow(window, c.visible ? SW_SHOWNA : SW_HIDE);
        }
    }
}

void setComboItems(HWND combo, const ControlState& c) {
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    bool same = count == static_cast<LRESULT>(c.items.size());
    for (size_t i = 0; same && i < c.items.size(); ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
        same = text == widen(c.items[i]);
    }
    if (!same) {
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : c.items) {
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
        }
    }
    if (SendMessageW(combo, CB_GETCURSEL, 0, 0) != c.value) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(c.value), 0);
    }
}

void show(HWND hwnd, const ControlState& c, HWND except) {
    showState(hwnd, c);
    switch (c.kind) {
    case ControlKind::Trackbar:
        if (SendMessageW(hwnd, TBM_GETPOS, 0, 0) != c.value) {
            SendMessageW(hwnd, TBM_SETPOS, TRUE, c.value);
        }
        break;
    case ControlKind::UpDown:
        SendMessageW(hwnd, UDM_SETPOS32, 0, c.value);
        break;
    case ControlKind::Edit:
        if (hwnd != except) {
            setText(hwnd, c.text);
        }
        break;
    case ControlKind::Check:
    case ControlKind::Radio: {
        const WPARAM state = c.value != 0 ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)) != state) {
            SendMessageW(hwnd, BM_SETCHECK, state, 0);
        }
        break;
    }
    case ControlKind::Combo:
        setComboItems(hwnd, c);
        break;
    case ControlKind::Label:
    case ControlKind::Group:
        setText(hwnd, c.text);
        break;
    case ControlKind::Button:
        break;  // the template's caption
    }
}

// Runs a user action on the model; no exception may unwind through the
// system's window procedures, so one that escapes ends the dialog as Cancel.
template <typename Action>
void act(Session& session, HWND except, Action action) {
    try {
        action(*session.model);
    } catch (...) {
        cancel(session);
    }
    refresh(session, except);
    endIfClosed(session);
}

void bind(Session& session, int id, HWND hwnd) {
    session.windows[id] = hwnd;
    session.ids[hwnd] = id;
}

} // namespace

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    }
    return out;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    }
    return out;
}

void bindControls(Session& session) {
    DialogAutomation& model = *session.model;
    const std::vector<PageState> pages = model.pages();
    for (size_t p = 0; p < pages.size(); ++p) {
        // A dialog without page templates holds its one page on the frame.
        HWND host = p < session.pages.size() ? session.pages[p] : session.pages.empty() ? session.frame : nullptr;
        if (host == nullptr) {
            continue;
        }
        for (int id : pages[p].controls) {
            if (id <= 0) {
                continue;  // a caption the template holds as text
            }
            if (HWND hwnd = GetDlgItem(host, templateId(id))) {
                bind(session, id, hwnd);
            }
        }
    }
    for (int id : model.buttons()) {
        if (HWND hwnd = GetDlgItem(session.frame, id)) {
            bind(session, id, hwnd);
        }
    }
    for (const auto& [id, hwnd] : session.windows) {
        const ControlState* c = model.control(id);
        if (c == nullptr) {
            continue;
        }
        const int high = std::max(c->min, c->max);
        switch (c->kind) {
        case ControlKind::Trackbar:
            SendMessageW(hwnd, TBM_SETRANGEMIN, FALSE, c->min);
            SendMessageW(hwnd, TBM_SETRANGEMAX, TRUE, high);
            SendMessageW(hwnd, TBM_SETLINESIZE, 0, std::max(c->step, 1));
            SendMessageW(hwnd, TBM_SETPAGESIZE, 0, c->tick > 0 ? c->tick : kDefaultPageStep);
            if (c->tick > 0) {
                SendMessageW(hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(c->tick), 0);
            }
            break;
        case ControlKind::UpDown:
            SendMessageW(hwnd, UDM_SETRANGE32, static_cast<WPARAM>(c->min), high);
            break;
        case ControlKind::Edit:
            SendMessageW(hwnd, EM_LIMITTEXT, kEditLimit, 0);
            break;
        default:
            break;
        }
    }
}

void refresh(Session& session, HWND except) {
    const bool was = session.updating;
    session.updating = true;
    for (const auto& [id, hwnd] : session.windows) {
        if (const ControlState* c = session.model->control(id)) {
            show(hwnd, *c, except);
        }
    }
    if (session.message != nullptr) {
        setText(session.message, session.model->message());
    }
    session.updating = was;
}

bool handleControl(Session& session, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    HWND hwnd = nullptr;
    if (message == WM_NOTIFY) {
        hwnd = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    } else {
        hwnd = reinterpret_cast<HWND>(lParam);
    }
    const auto found = session.ids.find(hwnd);
    if (found == session.ids.end() || session.updating) {
        return false;
    }
    const int id = found->second;
    const ControlState* c = session.model->control(id);
    if (c == nullptr) {
        return false;
    }
    switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (c->kind == ControlKind::Trackbar) {
            const int position = static_cast<int>(SendMessageW(hwnd, TBM_GETPOS, 0, 0));
            act(session, nullptr, [&](DialogAutomation& m) { (void)m.setValue(id, position); });
            return true;
        }
        return false;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (c->kind == ControlKind::UpDown && header->code == UDN_DELTAPOS) {
            const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
            const int wanted = c->value + change->iDelta * std::max(c->step, 1);
            act(session, nullptr, [&](DialogAutomation& m) { (void)m.setValue(id, wanted); });
            result = TRUE;  // the position comes from the model, not from the control
            return true;
        }
        return false;
    }
    case WM_COMMAND: {
        const UINT code = HIWORD(wParam);
        switch (c->kind) {
        case ControlKind::Edit:
            if (code == EN_CHANGE) {
                const std::string text = narrow(textOf(hwnd));
                // What is being typed stays as typed; the model's own text shows once the edit is left.
                act(session, hwnd, [&](DialogAutomation& m) { (void)m.setText(id, text); });
                return true;
            }
            if (code == EN_KILLFOCUS) {
                refresh(session);
                return true;
            }
            return false;
        case ControlKind::Combo:
            if (code == CBN_SELCHANGE) {
                const int position = static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
                act(session, nullptr, [&](DialogAutomation& m) { (void)m.setValue(id, position); });
                return true;
            }
            return false;
        case ControlKind::Check:
        case ControlKind::Radio:
            if (code == BN_CLICKED) {
                const bool checked = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
                if (c->kind == ControlKind::Radio && !checked) {
                    return true;  // a radio button reports its own selection only
                }
                act(session, nullptr, [&](DialogAutomation& m) { (void)m.setValue(id, checked ? 1 : 0); });
                return true;
            }
            return false;
        case ControlKind::Button:
            if (code == BN_CLICKED) {
                act(session, nullptr, [&](DialogAutomation& m) { (void)m.press(id); });
                return true;
            }
            return false;
        default:
            return false;
        }
    }
    default:
        return false;
    }
}

} // namespace lumvek::dialogs::win32
