/**
 * @file LumvekWindow.h
 * @brief The window layer: message windows the SDK posts to, and the
 * windows it draws into.
 *
 * The stand-in for the window manager's messages and windows that the SDK
 * posts to and draws into.
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

/** @cond LUMVEK_INTERNAL */
#ifndef LUMVEK_HWND_DEFINED
#define LUMVEK_HWND_DEFINED
typedef struct HWND__* HWND;
#endif
/** @endcond */

/** @cond LUMVEK_INTERNAL */
#if defined(_WIN32)
#if defined(LUMVEK_SDK_BUILD)
#define LUMVEK_WND_API __declspec(dllexport)
#else
#define LUMVEK_WND_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define LUMVEK_WND_API __attribute__((visibility("default")))
#else
#define LUMVEK_WND_API
#endif
/** @endcond */

/** Posted to a preview window shown on an X server: the user closed it (or
 * its parent window went); it is hidden and no longer drawn. */
#define LUMVEK_WM_CLOSE 0x0010
/** Posted to a preview window shown on an X server: wParam LUMVEK_VK_ESCAPE. */
#define LUMVEK_WM_KEYDOWN 0x0100
/** Posted to a preview window shown on an X server: wParam the character typed (Latin-1). */
#define LUMVEK_WM_CHAR 0x0102
/** The Escape key in LUMVEK_WM_KEYDOWN. */
#define LUMVEK_VK_ESCAPE 0x1B

/** One posted message. */
typedef struct LumvekMsg {
    HWND hwnd;          /**< the window it was posted to */
    uint32_t message;   /**< LUMVEK_WM_FRAME, LUMVEK_WM_ERROR, LUMVEK_WM_DEVICECHANGE or the application's own */
    uintptr_t wParam;   /**< first parameter (for LUMVEK_WM_FRAME: a LumvekFrameInfo pointer or 0) */
    intptr_t lParam;    /**< second parameter (an error code for LUMVEK_WM_ERROR) */
    uint32_t time;      /**< the library's millisecond clock when posted */
} LumvekMsg;

/** A message handler; called on the window's dispatcher thread, never on
 * the thread that posted, one message at a time in posting order. */
typedef void (*LumvekMsgHandler)(void* context, const LumvekMsg* msg);

/** @return a new message window, or NULL. Any thread. */
LUMVEK_WND_API HWND LumvekWnd_CreateMessageWindow(void);
/** Destroys a window. @return 1, or 0 for a handle that is not a live window. */
LUMVEK_WND_API int LumvekWnd_DestroyWindow(HWND hwnd);
/** Queues a message without waiting for it to be handled.
 * @return 1, or 0 when @p hwnd is not a live window. */
LUMVEK_WND_API int LumvekWnd_PostMessage(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);
/** Takes the oldest queued message of @p hwnd into @p msg, waiting up to
 * @p timeout_ms (0: do not wait; -1: wait for ever).
 * @return 1 taken, 0 none in time, -1 not a window. */
LUMVEK_WND_API int LumvekWnd_GetMessage(HWND hwnd, LumvekMsg* msg, int timeout_ms);
/** Has @p handler called with @p context for each message instead of
 * queueing it; NULL returns to queueing. @return 1 / 0. */
LUMVEK_WND_API int LumvekWnd_SetMessageHandler(HWND hwnd, LumvekMsgHandler handler, void* context);

/** What LumvekWnd_GetInfo() reports about a window. */
typedef struct LumvekWndInfo {
    HWND parent;          /**< parent window, NULL for a top-level window */
    char className[256];  /**< window class name */
    char title[256];      /**< window title */
    uint32_t style;       /**< window style bits */
    uint32_t id;          /**< child identifier */
    int x;                /**< left edge in the parent (or on the screen) */
    int y;                /**< top edge in the parent (or on the screen) */
    int clientWidth;      /**< drawable width in pixels */
    int clientHeight;     /**< drawable height in pixels */
    int visible;          /**< 1 when shown */
} LumvekWndInfo;

/** Children of @p parent, or top-level windows when @p parent is NULL;
 * writes at most @p max handles to @p out. @return how many exist. */
LUMVEK_WND_API int LumvekWnd_EnumWindows(HWND parent, HWND* out, int max);
/** Fills @p info about @p hwnd. @return 1 / 0. */
LUMVEK_WND_API int LumvekWnd_GetInfo(HWND hwnd, LumvekWndInfo* info);
/** Copies the last drawn client area into @p buffer (@p size bytes) as
 * 24-bit BGR, rows top-down, stride width x 3 rounded up to 4, and its size
 * into @p width and @p height. @return 1 / 0. */
LUMVEK_WND_API int LumvekWnd_ReadSurface(HWND hwnd, void* buffer, int size, int* width, int* height);
/** Shows (@p visible non-zero) or hides a window. @return 1 / 0. */
LUMVEK_WND_API int LumvekWnd_Show(HWND hwnd, int visible);
/** Resizes a window's client area. @return 1 / 0. */
LUMVEK_WND_API int LumvekWnd_Resize(HWND hwnd, int clientWidth, int clientHeight);
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
