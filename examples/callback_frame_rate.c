/*
 * callback_frame_rate: runs a callback preview into our own buffer, counts
 * the frame messages the SDK posts to a message window and prints the rate
 * measured from their time stamps beside the SDK's own figure.
 *
 *   callback_frame_rate [FRAMES]       (default: 20)
 */
#include <stdio.h>
#include <stdlib.h>

#include "LumvekSdk.h"
#include "LumvekWindow.h"

/* Generous: a slow machine may take seconds to process a full colour frame. */
enum { kFrameWaitMs = 20000 };

int main(int argc, char** argv) {
    const int wanted = argc > 1 ? atoi(argv[1]) : 20;
    int32_t camera;
    HWND window;
    unsigned char* buffer = NULL;
    int stride, size, frames = 0, sdkRateX10 = 0, result = 1;
    uint32_t firstTime = 0, lastTime = 0;
    LumvekMsg msg;

    if (wanted < 2) {
        fprintf(stderr, "callback_frame_rate: count at least 2 frames\n");
        return 2;
    }
    window = LumvekWnd_CreateMessageWindow();
    camera = Lumvek_Initialize(NULL);
    if (window == NULL || camera == 0) {
        fprintf(stderr, "callback_frame_rate: the SDK could not make an instance\n");
        return 1;
    }
    if (!Lumvek_SetDeviceNumber(camera, 0) || !Lumvek_SetColorMode(camera, 24)) {
        fprintf(stderr, "callback_frame_rate: cannot open camera 0 (error %d)\n", Lumvek_GetLastError(camera));
        goto done;
    }
    /* No preview window: frames go only to our buffer and message window. */
    Lumvek_SetPreviewWindow(camera, NULL, 0, 0, 0, 0);
    stride = (Lumvek_Width(camera) * 3 + 3) & ~3;
    size = stride * Lumvek_Height(camera);
    buffer = malloc((size_t)size);
    if (buffer == NULL || !Lumvek_CallBackPreview(camera, window, buffer, size, 1)) {
        fprintf(stderr, "callback_frame_rate: preview did not start (error %d)\n", Lumvek_GetLastError(camera));
        goto done;
    }
    while (frames < wanted) {
        if (LumvekWnd_GetMessage(window, &msg, kFrameWaitMs) != 1) {
            fprintf(stderr, "callback_frame_rate: no frame within %d ms\n", kFrameWaitMs);
            goto done;
        }
        if (msg.message != LUMVEK_WM_FRAME) continue;
        if (msg.wParam == 0) {
            fprintf(stderr, "callback_frame_rate: the SDK reports error %d\n", (int)msg.lParam);
            goto done;
        }
        /* The record is valid until the next frame message. */
        sdkRateX10 = ((const LumvekFrameInfo*)msg.wParam)->frameRateX10;
        if (frames == 0) firstTime = msg.time;
        lastTime = msg.time;
        ++frames;
    }
    if (lastTime == firstTime) {
        fprintf(stderr, "callback_frame_rate: frames arrived too fast to time\n");
        goto done;
    }
    printf("%d frames, measured %.2f frames/s, SDK reports %.1f frames/s\n", frames,
           (frames - 1) * 1000.0 / (double)(lastTime - firstTime), sdkRateX10 / 10.0);
    result = 0;
done:
    Lumvek_Close(camera);
    Lumvek_Release(camera);
    LumvekWnd_DestroyWindow(window);
    free(buffer);
    return result;
}
