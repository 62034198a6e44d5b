/*
 * Lumvek window layer: the stand-in for the window manager's messages and
 * windows that the SDK posts to and draws into.
 *
 * Message windows: an application creates one, passes it to
 * Lumvek_Initialize or Lumvek_CallBackPreview, and reads what the library
 * posts (LUMVEK_WM_FRAME, LUMVEK_WM_ERROR, LUMVEK_WM_DEVICECHANGE) with
 * LumvekWnd_GetMessage, or has a handler called on a dispatcher thread, in
 * posting order and never on the posting thread. Messages are posted, never
 * sent; a post to a handle that is not a live window returns 0.
 *
 * Windows the library creates (the preview) can be found, inspected, shown,
 * resized and read back with the LumvekWnd_EnumWindows family.
 *
 * With an X server (the library built with Xlib and DISPLAY naming a server
 * that answers), the preview windows are real X11 windows as well: the
 * top-level form a window of its own, the child form a child of the X11
 * window the application hands over with LumvekWnd_FromX11Window. Keys typed
 * into a preview window and its close button are posted to the preview
 * window's own queue (LUMVEK_WM_CHAR, LUMVEK_WM_KEYDOWN, LUMVEK_WM_CLOSE);
 * after a close the window is hidden and no longer drawn. Without a server
 * everything stays off screen and behaves the same otherwise.
 */
#ifndef LUMVEK_WINDOW_H
#define LUMVEK_WINDOW_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef LUMVEK_HWND_DEFINED
#define LUMVEK_HWND_DEFINED
typedef struct HWND__* HWND;
#endif

#if defined(__GNUC__)
#define LUMVEK_WND_API __attribute__((visibility("default")))
#else
#define LUMVEK_WND_API
#endif

/** Posted to a preview window shown on an X server: the user closed it (or
 * its parent window went); it is hidden and no longer drawn. */
#define LUMVEK_WM_CLOSE 0x0010
/** Posted to a preview window shown on an X server: wParam LUMVEK_VK_ESCAPE. */
#define LUMVEK_WM_KEYDOWN 0x0100
/** Posted to a preview window shown on an X server: wParam the character typed (Latin-1). */
#define LUMVEK_WM_CHAR 0x0102
/** The Escape key in LUMVEK_WM_KEYDOWN. */
#define LUMVEK_VK_ESCAPE 0x1B

typedef struct LumvekMsg {
    HWND hwnd;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    uint32_t time; /* the library's millisecond clock when posted */
} LumvekMsg;

typedef void (*LumvekMsgHandler)(void* context, const LumvekMsg* msg);

LUMVEK_WND_API HWND LumvekWnd_CreateMessageWindow(void);
LUMVEK_WND_API int LumvekWnd_DestroyWindow(HWND hwnd); /* 1 / 0 */
LUMVEK_WND_API int LumvekWnd_PostMessage(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam); /* 1 / 0 */
/* 1 taken, 0 none in time, -1 not a window; timeout -1 waits forever. */
LUMVEK_WND_API int LumvekWnd_GetMessage(HWND hwnd, LumvekMsg* msg, int timeout_ms);
/* 1 / 0; a NULL handler returns to queueing. */
LUMVEK_WND_API int LumvekWnd_SetMessageHandler(HWND hwnd, LumvekMsgHandler handler, void* context);

typedef struct LumvekWndInfo {
    HWND parent;
    char className[256];
    char title[256];
    uint32_t style;
    uint32_t id;
    int x, y, clientWidth, clientHeight;
    int visible;
} LumvekWndInfo;

/* Children of parent, or top-level windows when parent is NULL; writes at
 * most max handles and returns how many exist. */
LUMVEK_WND_API int LumvekWnd_EnumWindows(HWND parent, HWND* out, int max);
LUMVEK_WND_API int LumvekWnd_GetInfo(HWND hwnd, LumvekWndInfo* info); /* 1 / 0 */
/* Last drawn client area as 24-bit BGR, rows top-down, stride width*3
 * rounded up to 4; 1 / 0. */
LUMVEK_WND_API int LumvekWnd_ReadSurface(HWND hwnd, void* buffer, int size, int* width, int* height);
LUMVEK_WND_API int LumvekWnd_Show(HWND hwnd, int visible);                          /* 1 / 0 */
LUMVEK_WND_API int LumvekWnd_Resize(HWND hwnd, int clientWidth, int clientHeight);  /* 1 / 0 */
/** The screen size in pixels: $LUMVEK_SCREEN (WxH) when set, else the X
 * server's screen when one is connected, else 1920 x 1080. @return 1. */
LUMVEK_WND_API int LumvekWnd_GetScreenSize(int* width, int* height);

/** Wraps an X11 window that the application owns (and keeps alive) as a
 * parent for Lumvek_SetPreviewWindow: the child preview becomes an X11 child
 * window of it. The handle takes messages like a message window; destroying
 * it never destroys the X11 window. A window id the server does not know
 * makes the preview's creation fail (error 4).
 * @return the handle, or NULL when no X server is connected or @p window is 0. */
LUMVEK_WND_API HWND LumvekWnd_FromX11Window(unsigned long window);
/** @return the X11 window behind a library window (or the one a handle
 * wraps); 0 for none: no X server, a message window, or a window closed by
 * the user. */
LUMVEK_WND_API unsigned long LumvekWnd_X11Window(HWND hwnd);

#ifdef __cplusplus
}
#endif

#endif /* LUMVEK_WINDOW_H */
