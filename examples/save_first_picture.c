/*
 * save_first_picture: opens the first camera, takes one colour picture
 * through the SDK's image pipeline and saves it as a BMP file.
 *
 *   save_first_picture [FILE.bmp]      (default: picture.bmp)
 */
#include <stdio.h>

#include "LumvekSdk.h"

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "picture.bmp";
    char names[10][256];
    int32_t camera;
    int result = 1;

    camera = Lumvek_Initialize(NULL);
    if (camera == 0) {
        fprintf(stderr, "save_first_picture: the SDK could not make an instance\n");
        return 1;
    }
    if (Lumvek_EnumDevice(camera, names) < 1) {
        fprintf(stderr, "save_first_picture: no camera found\n");
    } else if (!Lumvek_SetDeviceNumber(camera, 0)) {
        fprintf(stderr, "save_first_picture: cannot open %s (error %d)\n", names[0], Lumvek_GetLastError(camera));
    } else if (!Lumvek_SetColorMode(camera, 24) || !Lumvek_SnapShot(camera, NULL, 0, 1)) {
        fprintf(stderr, "save_first_picture: no picture (error %d)\n", Lumvek_GetLastError(camera));
    } else if (!Lumvek_SaveImage(camera, path, LUMVEK_FILE_BMP)) {
        fprintf(stderr, "save_first_picture: cannot write %s\n", path);
    } else {
        printf("saved %s: %d x %d from %s\n", path, Lumvek_Width(camera), Lumvek_Height(camera), names[0]);
        result = 0;
    }
    Lumvek_Release(camera);
    return result;
}
