// The Win32 view: runs a dialog model as a modal dialog box from the
// library's own templates, in the model's language. The box is owned by the
// application's window when that is a real window; an owner that goes away
// while the box is open ends it as Cancel.
#include "dialogs/win32/dialog_box_view.h"

#include <commctrl.h>

#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/image_dialog.h"
#include "dialogs/win32/dialog_resources.h"
#include "dialogs/win32/library_window.h"

namespace lumvek::dialogs {

namespace win32 {

namespace {

constexpr UINT_PTR kOwnerTimer = 1;
constexpr UINT kOwnerPollMs = 200;

// The templates of one dialog: the frame and, in model page order, the pages
// that sit on its tab control (none: the frame holds the controls itself).
struct Templates {
    int frame = 0;
    std::vector<int> pages;
};

bool templatesFor(const DialogAutomation& model, Templates& out) {
    const auto* concrete = dynamic_cast<const DialogModel*>(&model);
    if (concrete == nullptr) {
        return false;
    }
    const bool ja = concrete->language() == Language::Japanese;
    if (dynamic_cast<const CameraDialog*>(&model) != nullptr) {
        out = {ja ? LUMVEK_DLG_CAMERA_JA : LUMVEK_DLG_CAMERA_EN, {}};
    } else if (dynamic_cast<const ImageDialog*>(&model) != nullptr) {
        out = {ja ? LUMVEK_DLG_IMAGE_JA : LUMVEK_DLG_IMAGE_EN,
               {ja ? LUMVEK_DLG_FILTER_PAGE_JA : LUMVEK_DLG_FILTER_PAGE_EN,
                ja ? LUMVEK_DLG_GRAY_PAGE_JA : LUMVEK_DLG_GRAY_PAGE_EN}};
    } else if (dynamic_cast<const AnalogDialog*>(&model) != nullptr) {
        out = {ja ? LUMVEK_DLG_ANALOG_JA : LUMVEK_DLG_ANALOG_EN,
               {ja ? LUMVEK_DLG_ANALOG_PAGE_JA : LUMVEK_DLG_ANALOG_PAGE_EN,
                ja ? LUMVEK_DLG_CHANNEL_PAGE_JA : LUMVEK_DLG_CHANNEL_PAGE_EN}};
    } else {
        return false;
    }
    return true;
}

// The module whose resources hold the templates: the one this code is linked into.
HMODULE ownModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&makeDialogBoxView), &module)) {
        return nullptr;
    }
    return module;
}

bool hasTemplate(HMODULE module, int id) {
    constexpr WORD kDialogResourceType = 5;  // RT_DIALOG
    return FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kDialogResourceType)) != nullptr;
}

Session* sessionOf(HWND hwnd) {
    return reinterpret_cast<Session*>(GetWindowLongPtrW(hwnd, DWLP_USER));
}

bool ownerAlive(const Session& session) {
    if (session.owner == nullptr) {
        return true;
    }
    return session.ownerIsLibraryWindow ? isLibraryWindow(session.owner) : IsWindow(session.owner) != FALSE;
}

void showPage(Session& session, int selected) {
    for (size_t i = 0; i < session.pages.size(); ++i) {
        ShowWindow(session.pages[i], static_cast<int>(i) == selected ? SW_SHOW : SW_HIDE);
    }
}

INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the model's pages on the tab control: one tab per page, and each
// page's template as a child dialog over the tab's display area.
bool createPages(Session& session, HMODULE module, const Templates& templates) {
    const std::vector<PageState> pages = session.model->pages();
    for (size_t i = 0; i < pages.size(); ++i) {
        std::wstring caption = widen(pages[i].caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(session.tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    if (templates.pages.empty()) {
        return true;
    }
    RECT area{};
    GetWindowRect(session.tab, &area);
    MapWindowPoints(nullptr, session.frame, reinterpret_cast<POINT*>(&area), 2);
    SendMessageW(session.tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (size_t i = 0; i < pages.size() && i < templates.pages.size(); ++i) {
        HWND page = CreateDialogParamW(module, MAKEINTRESOURCEW(templates.pages[i]), session.frame, pageProc,
                                       reinterpret_cast<LPARAM>(&session));
        if (page == nullptr) {
            return false;
        }
        SetWindowPos(page, HWND_TOP, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        session.pages.push_back(page);
    }
    showPage(session, 0);
    return true;
}

// The tab captions are drawn by the dialog: centred, on the button face.
void drawTab(const Session& session, const DRAWITEMSTRUCT& item) {
    wchar_t text[128] = {};
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(session.tab, TCM_GETITEMW, item.itemID, reinterpret_cast<LPARAM>(&tab));
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(session.tab, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(item.hDC, font) : nullptr;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item.hDC, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (previous != nullptr) {
        SelectObject(item.hDC, previous);
    }
}

BOOL initFrame(HWND frame, Session& session, HMODULE module, const Templates& templates) {
    session.frame = frame;
    session.tab = GetDlgItem(frame, LUMVEK_IDC_TAB);
    session.message = GetDlgItem(frame, LUMVEK_IDC_MESSAGE);
    SetWindowTextW(frame, widen(session.model->title()).c_str());
    if (session.tab == nullptr || !createPages(session, module, templates)) {
        return FALSE;
    }
    bindControls(session);
    refresh(session);
    if (session.owner != nullptr) {
        SetTimer(frame, kOwnerTimer, kOwnerPollMs, nullptr);
    }
    session.shown = true;
    return TRUE;
}

// What frameProc needs at WM_INITDIALOG.
struct Start {
    Session* session;
    HMODULE module;
    const Templates* templates;
};

INT_PTR CALLBACK frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* start = reinterpret_cast<const Start*>(lParam);
        SetWindowLongPtrW(frame, DWLP_USER, reinterpret_cast<LONG_PTR>(start->session));
        if (!initFrame(frame, *start->session, start->module, *start->templates)) {
            EndDialog(frame, -1);
        }
        return TRUE;  // the first control takes the focus
    }
    Session* session = sessionOf(frame);
    if (session == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND: {
        LRESULT result = 0;
        if (handleControl(*session, message, wParam, lParam, result)) {
            return TRUE;
        }
        // Escape, Enter and the close box come as IDCANCEL / IDOK without a button's notification.
        const int id = LOWORD(wParam);
        if ((id == IDOK || id == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) {
            if (id == IDCANCEL) {
                cancel(*session);
            } else {
                try {
                    (void)session->model->press(id);
                } catch (...) {
                    cancel(*session);
                }
            }
            refresh(*session);
            endIfClosed(*session);
            return TRUE;
        }
        return FALSE;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        LRESULT result = 0;
        return handleControl(*session, message, wParam, lParam, result) ? TRUE : FALSE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == session->tab && header->code == TCN_SELCHANGE) {
            showPage(*session, static_cast<int>(SendMessageW(session->tab, TCM_GETCURSEL, 0, 0)));
            return TRUE;
        }
        LRESULT result = 0;
        if (handleControl(*session, message, wParam, lParam, result)) {
            SetWindowLongPtrW(frame, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem == session->tab) {
            drawTab(*session, *item);
            return TRUE;
        }
        return FALSE;
    }
    case WM_TIMER:
        if (wParam == kOwnerTimer && !ownerAlive(*session)) {
            cancel(*session);
            endIfClosed(*session);
        }
        return TRUE;
    case WM_DESTROY:
        KillTimer(frame, kOwnerTimer);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(page, DWLP_USER, lParam);
        return FALSE;  // the frame keeps the focus
    }
    Session* session = sessionOf(page);
    if (session == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND: {
        LRESULT result = 0;
        if (handleControl(*session, message, wParam, lParam, result)) {
            return TRUE;
        }
        const int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            SendMessageW(session->frame, WM_COMMAND, wParam, lParam);  // the frame's buttons
            return TRUE;
        }
        return FALSE;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        LRESULT result = 0;
        return handleControl(*session, message, wParam, lParam, result) ? TRUE : FALSE;
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (handleControl(*session, message, wParam, lParam, result)) {
            SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

// The window that owns the box: the real window behind one of the library's
// windows, or a real window the application made itself; none otherwise.
HWND ownerWindow(Session& session, HWND given) {
    if (given == nullptr) {
        return nullptr;
    }
    if (isLibraryWindow(given)) {
        session.owner = given;
        session.ownerIsLibraryWindow = true;
        const auto native = reinterpret_cast<HWND>(systemWindowOf(given));
        return native != nullptr && IsWindow(native) ? native : nullptr;
    }
    if (IsWindow(given)) {
        session.owner = given;
        return given;
    }
    return nullptr;  // a window that is gone: the box has no owner
}

class DialogBoxView final : public DialogView {
public:
    bool run(DialogAutomation& model, HWND owner) override {
        Templates templates;
        HMODULE module = ownModule();
        if (module == nullptr || !templatesFor(model, templates) || !hasTemplate(module, templates.frame)) {
            return false;
        }
        // The trackbar, up-down and tab classes (comctl32 5 has them; the rest are user32's own).
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
        InitCommonControlsEx(&classes);
        Session session;
        session.model = &model;
        HWND parent = ownerWindow(session, owner);
        Start start{&session, module, &templates};
        (void)DialogBoxParamW(module, MAKEINTRESOURCEW(templates.frame), parent, frameProc,
                              reinterpret_cast<LPARAM>(&start));
        // Not shown when the box could not be made (no display, a template
        // missing). A box destroyed with its owner returns with the model
        // still open: the caller ends it as Cancel.
        return session.shown;
    }
};

} // namespace

void cancel(Session& session) {
    try {
        if (!session.model->closed()) {
            (void)session.model->press(kIdCancel);
        }
    } catch (...) {
        session.abandoned = true;  // the model cannot close itself: the view lets go of it
    }
    if (!session.model->closed()) {
        session.abandoned = true;
    }
}

void endIfClosed(Session& session) {
    if (session.frame != nullptr && (session.model->closed() || session.abandoned)) {
        KillTimer(session.frame, kOwnerTimer);
        EndDialog(session.frame, session.model->closed() ? session.model->result() : kResultCancel);
    }
}

std::unique_ptr<DialogView> makeDialogBoxView() {
    return std::make_unique<DialogBoxView>();
}

} // namespace win32

std::unique_ptr<DialogView> systemView() {
    return win32::makeDialogBoxView();
}

} // namespace lumvek::dialogs
