/*
 * Lumvek SDK: the C interface of libLumvekSdk_R13_USB3_K7.
 *
 * Every call except Lumvek_Initialize and Lumvek_GetDllVersion names an
 * instance handle returned by Lumvek_Initialize. Results are 1 for success
 * and 0 for failure unless stated. On failure the instance pushes an error
 * code (LUMVEK_ERR_*) on its 20-deep history, read newest first with
 * Lumvek_GetLastError, and posts LUMVEK_WM_ERROR (lParam = code) to the
 * window given to Lumvek_Initialize. A handle that is not registered makes
 * every call return 0 (-1 for Lumvek_GetColorMode, Lumvek_GetSubSample and
 * Lumvek_GetWaitTime, 0.0 for the two double getters) and changes nothing.
 *
 * Strings: 8-bit strings are UTF-8; the ...W variants take UTF-16
 * (LUMVEK_WCHAR) and convert into 1024-byte buffers (failure: code 12).
 * Exposure is in units of 0.1 ms unless a name says otherwise.
 */
#ifndef LUMVEK_SDK_H
#define LUMVEK_SDK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef LUMVEK_HWND_DEFINED
#define LUMVEK_HWND_DEFINED
/* A window of the library's window layer (see LumvekWindow.h). */
typedef struct HWND__* HWND;
#endif

#ifdef __cplusplus
typedef char16_t LUMVEK_WCHAR;
#else
typedef uint16_t LUMVEK_WCHAR;
#endif

#if defined(__GNUC__)
#define LUMVEK_API __attribute__((visibility("default")))
#else
#define LUMVEK_API
#endif

#define LUMVEK_DLL_VERSION 33359136 /* 0x01FD0520 */

/* Window messages posted to the application. */
#define LUMVEK_WM_FRAME 0x8002        /* wParam: LumvekFrameInfo*, or lParam 5, 8, 13 */
#define LUMVEK_WM_ERROR 0x8003        /* lParam: error code */
#define LUMVEK_WM_DEVICECHANGE 0x0219 /* wParam 0x8000 arrival, 0x8004 removal */

/* Error codes. */
#define LUMVEK_ERR_NONE 0
#define LUMVEK_ERR_STATE 1         /* no camera device object, or conflicts with the capture state */
#define LUMVEK_ERR_NO_CAMERA 2     /* camera not present or not openable; index out of range */
#define LUMVEK_ERR_THREAD 3        /* worker thread or its event could not be created */
#define LUMVEK_ERR_WINDOW 4        /* preview window failed; no capture-window preset matches */
#define LUMVEK_ERR_MEMORY 5        /* buffers not allocated; caller's buffer or record too small */
#define LUMVEK_ERR_TRANSFER 6      /* register, FPGA or device request failed */
#define LUMVEK_ERR_WINDOW_SIZE 7   /* capture window invalid or refused */
#define LUMVEK_ERR_FRAME 8         /* a frame could not be read; preview could not start */
#define LUMVEK_ERR_ARGUMENT 9      /* value out of range, unknown selector, null pointer, ... */
#define LUMVEK_ERR_UNSUPPORTED 11  /* not supported by this camera */
#define LUMVEK_ERR_CONVERSION 12   /* UTF-16 conversion; UpdateMaskData kind; temperature read */
#define LUMVEK_ERR_DEVICE_LOST 13  /* transfer failed during preview; the frame loop ended */
#define LUMVEK_ERR_MASK_FILE 14    /* mask file unreadable, invalid or not writable */

/* File types of Lumvek_SaveImage. */
#define LUMVEK_FILE_BMP 0
#define LUMVEK_FILE_RAW 1
#define LUMVEK_FILE_JPEG100 2
#define LUMVEK_FILE_JPEG70 3
#define LUMVEK_FILE_JPEG20 4
#define LUMVEK_FILE_PNG 5
#define LUMVEK_FILE_TIFF 6

/* Camera information record: set `size` to the bytes you provide (36 or
 * more; 56 or more also fills the two doubles). Offset 36 is never written. */
typedef struct LumvekCameraInfo {
    int32_t size;
    int32_t fullWidth;
    int32_t fullHeight;
    int32_t globalGainMin;
    int32_t globalGainMax;
    int32_t colorGainMin;
    int32_t colorGainMax;
    int32_t exposureMin;
    int32_t exposureMax;
    int32_t reserved;
    double exposureMinSeconds;
    double exposureMaxSeconds;
} LumvekCameraInfo;

/* Frame information record: the wParam of each LUMVEK_WM_FRAME. Valid until
 * the next frame message. */
typedef struct LumvekFrameInfo {
    int32_t reserved;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t frameRateX10;
    int32_t padding;
    void* buffer;
} LumvekFrameInfo;

/* ---- Instance lifetime ---------------------------------------------------- */
LUMVEK_API int32_t Lumvek_Initialize(HWND notifyWindow);    /* new handle, 0 on failure */
LUMVEK_API int Lumvek_Release(int32_t handle);              /* 1 if it was registered */
LUMVEK_API int Lumvek_GetDllVersion(void);                  /* 33359136 */
LUMVEK_API int Lumvek_GetLastError(int32_t handle);         /* pops the newest code; 0 when empty */
LUMVEK_API int Lumvek_GetStatus(int32_t handle, int unused); /* always 0 */

/* ---- Camera selection and identity ---------------------------------------- */
LUMVEK_API int Lumvek_SetDeviceNumber(int32_t handle, int index);
LUMVEK_API int Lumvek_EnumDevice(int32_t handle, char names[10][256]);          /* number of cameras */
LUMVEK_API int Lumvek_EnumDeviceW(int32_t handle, LUMVEK_WCHAR names[10][256]); /* number of cameras */
LUMVEK_API int Lumvek_GetDeviceName(int32_t handle, int index, char* buffer, int size);
LUMVEK_API int Lumvek_GetDeviceNameW(int32_t handle, int index, LUMVEK_WCHAR* buffer, int size /* chars */);
LUMVEK_API int Lumvek_GetCameraInfo(int32_t handle, LumvekCameraInfo* record);

/* ---- Acquisition ----------------------------------------------------------- */
LUMVEK_API int Lumvek_Capture(int32_t handle);
LUMVEK_API int Lumvek_Preview(int32_t handle);
LUMVEK_API int Lumvek_StartPreview(int32_t handle);
LUMVEK_API int Lumvek_StopPreview(int32_t handle);
LUMVEK_API int Lumvek_Close(int32_t handle);
LUMVEK_API int Lumvek_SnapShot(int32_t handle, void* buffer, int size, int topDown);
LUMVEK_API int Lumvek_GetImage(int32_t handle, void* buffer, int size, int topDown);
LUMVEK_API int Lumvek_CallBackPreview(int32_t handle, HWND callbackWindow, void* buffer, int size, int topDown);
LUMVEK_API int Lumvek_SetPreviewWindow(int32_t handle, HWND parent, int left, int top, int right, int bottom);
LUMVEK_API int Lumvek_Width(int32_t handle);
LUMVEK_API int Lumvek_Height(int32_t handle);
LUMVEK_API int Lumvek_SetCaptureWindow(int32_t handle, int width, int height);
LUMVEK_API int Lumvek_SetCaptureWindowEx(int32_t handle, int th, int ehs, int eh, int tv, int evs, int ev);
LUMVEK_API int Lumvek_GetCaptureWindowEx(int32_t handle, int* th, int* ehs, int* eh, int* tv, int* evs, int* ev);
LUMVEK_API int Lumvek_SetColorMode(int32_t handle, int bitsPerPixel); /* 8, 16, 24, 32, 48, 64 */
LUMVEK_API int Lumvek_GetColorMode(int32_t handle);
LUMVEK_API int Lumvek_SetSubSample(int32_t handle, int mode);
LUMVEK_API int Lumvek_GetSubSample(int32_t handle);
LUMVEK_API int Lumvek_SetWaitTime(int32_t handle, int milliseconds);
LUMVEK_API int Lumvek_GetWaitTime(int32_t handle);

/* ---- Exposure, gain, mirrors ------------------------------------------------ */
LUMVEK_API int Lumvek_SetAutoIris(int32_t handle, int mode); /* 0 off, 1 exposure, 2 gain */
LUMVEK_API int Lumvek_GetAutoIris(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetMirrorH(int32_t handle, int on);
LUMVEK_API int Lumvek_SetMirrorV(int32_t handle, int on);
LUMVEK_API int Lumvek_GetMirrorH(int32_t handle);
LUMVEK_API int Lumvek_GetMirrorV(int32_t handle);
LUMVEK_API int Lumvek_SetExposureTimeEx(int32_t handle, double seconds);
LUMVEK_API double Lumvek_GetExposureTimeEx(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetRealExposureTime(int32_t handle, int microseconds);
LUMVEK_API int Lumvek_GetRealExposureTime(int32_t handle, int* ok);
LUMVEK_API double Lumvek_GetTemperatureEx(int32_t handle, int* ok);

/* ---- Registers, serial ROM, I/O port --------------------------------------- */
LUMVEK_API int Lumvek_ReadRegister(int32_t handle, int address, int* ok);
LUMVEK_API int Lumvek_ReadRegisterEx(int32_t handle, int address, int* ok);
LUMVEK_API int Lumvek_WriteRegister(int32_t handle, int address, int value);
LUMVEK_API int Lumvek_WriteRegisterEx(int32_t handle, int address, int value);
LUMVEK_API int Lumvek_Fpga_ReadRegister(int32_t handle, int address, int* ok);
LUMVEK_API int Lumvek_Fpga_WriteRegister(int32_t handle, int address, int value);
LUMVEK_API int Lumvek_GetIOPort(int32_t handle, unsigned char* value);
LUMVEK_API int Lumvek_SetIOPort(int32_t handle, unsigned char value);
LUMVEK_API int Lumvek_ReadSromID(int32_t handle, int address, int* ok);
LUMVEK_API int Lumvek_WriteSromID(int32_t handle, int address, int value);
LUMVEK_API int Lumvek_SetSamplingRate(int32_t handle, int rate);
LUMVEK_API int Lumvek_GetSamplingRate(int32_t handle, int* value); /* writes 0, returns 0 */
LUMVEK_API int Lumvek_GetVideoFormat(int32_t handle, int* value);  /* same entry point */

/* ---- Not supported by this camera ------------------------------------------ */
LUMVEK_API int Lumvek_SendText(int32_t handle, ...);    /* code 11, 0 */
LUMVEK_API int Lumvek_ReceiveText(int32_t handle, ...); /* same entry point */
LUMVEK_API int Lumvek_GetConfigFilter(int32_t handle);  /* code 11, -1 */
LUMVEK_API int Lumvek_SetConfigFilter(int32_t handle);  /* code 11, -1 */
/* One entry point: posts code 11 (not pushed), returns 0. */
LUMVEK_API int Lumvek_Fps(int32_t handle, ...);
LUMVEK_API int Lumvek_Trigger(int32_t handle, ...);
LUMVEK_API int Lumvek_GetHalfClock(int32_t handle, ...);
LUMVEK_API int Lumvek_SetHalfClock(int32_t handle, ...);
LUMVEK_API int Lumvek_GetInternalCorrection(int32_t handle, ...);
LUMVEK_API int Lumvek_SetInternalCorrection(int32_t handle, ...);
LUMVEK_API int Lumvek_SetCrossbar(int32_t handle, ...);

/* ---- Configuration file ------------------------------------------------------ */
/* Pairs of signed 32-bit integers; a trailing partial record is ignored. */
LUMVEK_API int Lumvek_LoadConfigFileA(int32_t handle, const char* path);
LUMVEK_API int Lumvek_LoadConfigFileW(int32_t handle, const LUMVEK_WCHAR* path);

/* ---- Files ----------------------------------------------------------------- */
LUMVEK_API int Lumvek_SaveImage(int32_t handle, const char* path, int fileType);
LUMVEK_API int Lumvek_SaveImageW(int32_t handle, const LUMVEK_WCHAR* path, int fileType);
LUMVEK_API int Lumvek_Record(int32_t handle, const char* path, int milliseconds, int showWindow);
LUMVEK_API int Lumvek_RecordW(int32_t handle, const LUMVEK_WCHAR* path, int milliseconds, int showWindow);
LUMVEK_API int Lumvek_SaveMaskFile(int32_t handle, const char* path);
LUMVEK_API int Lumvek_SaveMaskFileW(int32_t handle, const LUMVEK_WCHAR* path);
LUMVEK_API int Lumvek_LoadMaskFile(int32_t handle, const char* path);
LUMVEK_API int Lumvek_LoadMaskFileW(int32_t handle, const LUMVEK_WCHAR* path);
LUMVEK_API int Lumvek_UpdateMaskData(int32_t handle, int kind); /* 0 dark, 1 white */

/* ---- Settings dialogs ------------------------------------------------------
 * Modal property dialogs (camera: formats and capture-window presets; image:
 * software filter and gray-level correction; analog: gains, exposure, mirrors,
 * channel gains and offsets), in Japanese when LC_ALL, else LC_MESSAGES, else
 * LANG names Japanese, otherwise in English. They run on the calling thread
 * (GTK 3, from libLumvekDialogsGtk.so beside the library, loaded when first
 * needed) and return 1 once the dialog has closed, whatever closed it; a
 * dialog whose owner window is destroyed or whose X server goes away ends as
 * Cancel. Without an open camera: code 1, result 0. When no dialog can be
 * shown (no DISPLAY or WAYLAND_DISPLAY, the module or GTK missing, or the
 * display refused): code 4 (LUMVEK_ERR_WINDOW), result 0, nothing changed. */
LUMVEK_API int Lumvek_SetCameraDlg(int32_t handle, HWND owner);
LUMVEK_API int Lumvek_SetImageDlg(int32_t handle, HWND owner);
LUMVEK_API int Lumvek_SetAnalogDlg(int32_t handle, HWND owner);

/* ---- Filter selectors ---------------------------------------------------------
 * Lumvek_GetFilterValue returns the value and sets *ok to 1 (0 on failure);
 * Lumvek_SetFilterValue returns 1/0. Each named getter/setter below is that
 * call with its selector. Out of range: code 9, value unchanged. */
LUMVEK_API int Lumvek_GetFilterValue(int32_t handle, int selector, int* ok);
LUMVEK_API int Lumvek_SetFilterValue(int32_t handle, int selector, int value);

LUMVEK_API int Lumvek_GetBrightness(int32_t handle, int* ok);         /* 1: -255..255 */
LUMVEK_API int Lumvek_SetBrightness(int32_t handle, int value);
LUMVEK_API int Lumvek_GetContrast(int32_t handle, int* ok);           /* 2: -127..127 */
LUMVEK_API int Lumvek_SetContrast(int32_t handle, int value);
LUMVEK_API int Lumvek_GetHue(int32_t handle, int* ok);                /* 3: -360..360 */
LUMVEK_API int Lumvek_SetHue(int32_t handle, int value);
LUMVEK_API int Lumvek_GetSaturation(int32_t handle, int* ok);         /* 4: -255..255 */
LUMVEK_API int Lumvek_SetSaturation(int32_t handle, int value);
LUMVEK_API int Lumvek_GetSharpness(int32_t handle, int* ok);          /* 5: 0..30 */
LUMVEK_API int Lumvek_SetSharpness(int32_t handle, int value);
LUMVEK_API int Lumvek_GetBayerGainRGB(int32_t handle, int* ok);       /* 6: red bits 0-7, green 8-15, blue 16-23 */
LUMVEK_API int Lumvek_SetBayerGainRGB(int32_t handle, int value);
LUMVEK_API int Lumvek_GetBayerGainRed(int32_t handle, int* ok);       /* 7: 0..400 */
LUMVEK_API int Lumvek_SetBayerGainRed(int32_t handle, int value);
LUMVEK_API int Lumvek_GetBayerGainGreen(int32_t handle, int* ok);     /* 8: 0..400 */
LUMVEK_API int Lumvek_SetBayerGainGreen(int32_t handle, int value);
LUMVEK_API int Lumvek_GetBayerGainBlue(int32_t handle, int* ok);      /* 9: 0..400 */
LUMVEK_API int Lumvek_SetBayerGainBlue(int32_t handle, int value);
LUMVEK_API int Lumvek_GetBayerGainAuto(int32_t handle, int* ok);      /* 10: automatic white balance 0/1 */
LUMVEK_API int Lumvek_SetBayerGainAuto(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGamma(int32_t handle, int* ok);              /* 11: 0..200 */
LUMVEK_API int Lumvek_SetGamma(int32_t handle, int value);
LUMVEK_API int Lumvek_GetBayerMode(int32_t handle, int* ok);          /* 12: 0..3 */
LUMVEK_API int Lumvek_SetBayerMode(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGlobalGain(int32_t handle, int* ok);         /* 13: device range */
LUMVEK_API int Lumvek_SetGlobalGain(int32_t handle, int value);
LUMVEK_API int Lumvek_GetColorGainRed(int32_t handle, int* ok);       /* 14 */
LUMVEK_API int Lumvek_SetColorGainRed(int32_t handle, int value);
LUMVEK_API int Lumvek_GetColorGainGreen1(int32_t handle, int* ok);    /* 15 */
LUMVEK_API int Lumvek_SetColorGainGreen1(int32_t handle, int value);
LUMVEK_API int Lumvek_GetColorGainGreen2(int32_t handle, int* ok);    /* 16 */
LUMVEK_API int Lumvek_SetColorGainGreen2(int32_t handle, int value);
LUMVEK_API int Lumvek_GetColorGainBlue(int32_t handle, int* ok);      /* 17 */
LUMVEK_API int Lumvek_SetColorGainBlue(int32_t handle, int value);
LUMVEK_API int Lumvek_GetExposureTime(int32_t handle, int* ok);       /* 18: device range, 0.1 ms */
LUMVEK_API int Lumvek_SetExposureTime(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayMode(int32_t handle, int* ok);           /* 19: 0..2 */
LUMVEK_API int Lumvek_SetGrayMode(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayGainR(int32_t handle, int* ok);          /* 20..23: 0..255 */
LUMVEK_API int Lumvek_SetGrayGainR(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayGainG1(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetGrayGainG1(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayGainG2(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetGrayGainG2(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayGainB(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetGrayGainB(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayOffsetR(int32_t handle, int* ok);        /* 24..27: -255..255 */
LUMVEK_API int Lumvek_SetGrayOffsetR(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayOffsetG1(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetGrayOffsetG1(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayOffsetG2(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetGrayOffsetG2(int32_t handle, int value);
LUMVEK_API int Lumvek_GetGrayOffsetB(int32_t handle, int* ok);
LUMVEK_API int Lumvek_SetGrayOffsetB(int32_t handle, int value);
/* Channels 1..4 (selectors 29..32 gain, 33..36 offset); another channel
 * returns 0 and leaves *ok untouched. */
LUMVEK_API int Lumvek_GetChannelGain(int32_t handle, int channel, int* ok);
LUMVEK_API int Lumvek_SetChannelGain(int32_t handle, int channel, int value);
LUMVEK_API int Lumvek_GetChannelOffset(int32_t handle, int channel, int* ok);
LUMVEK_API int Lumvek_SetChannelOffset(int32_t handle, int channel, int value);
LUMVEK_API int Lumvek_GetPeltier(int32_t handle, int* ok);            /* 100: cooling */
LUMVEK_API int Lumvek_SetPeltier(int32_t handle, int value);
LUMVEK_API int Lumvek_GetTemperature(int32_t handle, int* ok);        /* 101: always code 11, -1 */
LUMVEK_API int Lumvek_GetDotFilter(int32_t handle, int* ok);          /* 102: 0..1 */
LUMVEK_API int Lumvek_SetDotFilter(int32_t handle, int value);
LUMVEK_API int Lumvek_GetMaskFilter(int32_t handle, int* ok);         /* 103: 0..1 */
LUMVEK_API int Lumvek_SetMaskFilter(int32_t handle, int value);

#ifdef __cplusplus
}
#endif

#endif /* LUMVEK_SDK_H */
