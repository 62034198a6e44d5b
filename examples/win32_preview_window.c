/*
 * win32_preview_window: a Windows application on the SDK. Its own window
 * class and window procedure receive the frame messages (0x8002) of a
 * callback preview, the preview is shown as a child of its window, and
 * after a few frames it stops, saves the last picture as a BMP file and
 * keeps the frame it was handed in memory as a second file to compare.
 * The gain it sets is saved with the camera's settings in the registry.
 *
 *   win32_preview_window FOLDER
 *
 * Writes FOLDER\picture.bmp (Lumvek_SaveImage) and FOLDER\frame.bgr (the
 * callback buffer of the last frame message: 24-bit BGR, top line first)
 * and prints "frame W H BITS" and "preview W H" lines. Exit status 0 when
 * all went well, 3 when no window could be made (no desktop), else 1 or 2.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "LumvekSdk.h"

#define FRAMES_WANTED 5
#define PREVIEW_LEFT 8
#define PREVIEW_TOP 8
#define PREVIEW_WIDTH 584
#define PREVIEW_HEIGHT 438
#define GAIN_SAVED 345
#define FRAME_TIMEOUT_MS 30000

struct Application {
    int frames;           /* frame messages with a record */
    int failures;         /* frame messages without one (lParam: the reason) */
    LumvekFrameInfo last; /* record of the last frame message */
    unsigned char* kept;  /* the last frame, copied while it was ours to read */
    size_t keptBytes;
};

static struct Application app;

static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LUMVEK_WM_FRAME:
        if (wParam == 0) {
            ++app.failures;
            fprintf(stderr, "frame message without a frame: reason %ld\n", (long)lParam);
        } else if (app.frames < FRAMES_WANTED) {
            const LumvekFrameInfo* info = (const LumvekFrameInfo*)wParam;
            const size_t bytes = (size_t)info->width * (size_t)info->height * (size_t)(info->bitsPerPixel / 8);
            app.last = *info;
            if (info->buffer != NULL && bytes <= app.keptBytes)
                memcpy(app.kept, info->buffer, bytes);
            if (++app.frames == FRAMES_WANTED)
                PostQuitMessage(0);
        }
        return 0;
    case LUMVEK_WM_ERROR:
        fprintf(stderr, "error message: code %ld\n", (long)lParam);
        return 0;
    case WM_TIMER:
        PostQuitMessage(1); /* no frames in time */
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

static HWND createMainWindow(void) {
    WNDCLASSEXA windowClass;
    RECT outer = {0, 0, PREVIEW_LEFT * 2 + PREVIEW_WIDTH, PREVIEW_TOP * 2 + PREVIEW_HEIGHT};
    HWND hwnd;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    windowClass.lpszClassName = "LumvekPreviewExample";
    if (!RegisterClassExA(&windowClass))
        return NULL;
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
    hwnd = CreateWindowExA(0, windowClass.lpszClassName, "Lumvek preview example",
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                           outer.right - outer.left, outer.bottom - outer.top, NULL, NULL, windowClass.hInstance, NULL);
    if (hwnd != NULL) {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

static int writeFile(const char* path, const void* data, size_t bytes) {
    FILE* file = fopen(path, "wb");
    int ok;
    if (file == NULL)
        return 0;
    ok = fwrite(data, 1, bytes, file) == bytes;
    return fclose(file) == 0 && ok;
}

/* The preview child the SDK made in our window; prints its client size. */
static int reportPreview(HWND parent) {
    HWND child = FindWindowExA(parent, NULL, NULL, "ActiveMovie Window");
    RECT client;
    if (child == NULL || !GetClientRect(child, &client)) {
        fprintf(stderr, "no preview window in the application's window\n");
        return 0;
    }
    printf("preview %ld %ld\n", (long)client.right, (long)client.bottom);
    return 1;
}

int main(int argc, char** argv) {
    char picturePath[MAX_PATH];
    char framePath[MAX_PATH];
    HWND hwnd;
    int32_t camera;
    void* buffer;
    const int bufferBytes = 2336 * 1752 * 3;
    int result = 1;
    MSG msg;

    if (argc != 2) {
        fprintf(stderr, "usage: win32_preview_window FOLDER\n");
        return 2;
    }
    snprintf(picturePath, sizeof picturePath, "%s\\picture.bmp", argv[1]);
    snprintf(framePath, sizeof framePath, "%s\\frame.bgr", argv[1]);
    hwnd = createMainWindow();
    if (hwnd == NULL) {
        fprintf(stderr, "no window (is there a desktop?)\n");
        return 3;
    }
    buffer = malloc((size_t)bufferBytes);
    app.kept = malloc((size_t)bufferBytes);
    app.keptBytes = (size_t)bufferBytes;
    camera = Lumvek_Initialize(hwnd);
    if (camera == 0 || buffer == NULL || app.kept == NULL) {
        fprintf(stderr, "the SDK could not make an instance\n");
        return 1;
    }
    if (!Lumvek_SetColorMode(camera, LUMVEK_COLOR_MODE_BGR24) || !Lumvek_SetGlobalGain(camera, GAIN_SAVED) ||
        !Lumvek_SetPreviewWindow(camera, hwnd, PREVIEW_LEFT, PREVIEW_TOP, PREVIEW_WIDTH, PREVIEW_HEIGHT) ||
        !Lumvek_CallBackPreview(camera, hwnd, buffer, bufferBytes, 1)) {
        fprintf(stderr, "no preview (error %d)\n", Lumvek_GetLastError(camera));
    } else {
        const int previewShown = reportPreview(hwnd);
        SetTimer(hwnd, 1, FRAME_TIMEOUT_MS, NULL);
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        KillTimer(hwnd, 1);
        Lumvek_StopPreview(camera);
        if (app.frames < FRAMES_WANTED) {
            fprintf(stderr, "%d frame messages in %d ms\n", app.frames, FRAME_TIMEOUT_MS);
        } else if (!Lumvek_SaveImage(camera, picturePath, LUMVEK_FILE_BMP)) {
            fprintf(stderr, "cannot save %s (error %d)\n", picturePath, Lumvek_GetLastError(camera));
        } else if (!writeFile(framePath, app.kept,
                              (size_t)app.last.width * (size_t)app.last.height * (size_t)(app.last.bitsPerPixel / 8))) {
            fprintf(stderr, "cannot write %s\n", framePath);
        } else {
            printf("frame %d %d %d\n", app.last.width, app.last.height, app.last.bitsPerPixel);
            result = previewShown && app.failures == 0 && app.last.buffer == buffer ? 0 : 1;
        }
    }
    /* Release saves the camera's settings (the gain among them). */
    Lumvek_Release(camera);
    DestroyWindow(hwnd);
    free(buffer);
    free(app.kept);
    return result;
}
