/**
 * @file LumvekSdk.h
 * @brief The C interface of libLumvekSdk_R13_USB3_K7.
 *
 * @section sdk_conventions Conventions
 * Every call except Lumvek_Initialize() and Lumvek_GetDllVersion() names an
 * instance handle returned by Lumvek_Initialize(). Results are 1 for success
 * and 0 for failure unless stated. On failure the instance pushes an error
 * code (@ref sdk_errors "LUMVEK_ERR_*") on its 20-deep history, read newest
 * first with Lumvek_GetLastError(), and posts #LUMVEK_WM_ERROR (lParam = code)
 * to the window given to Lumvek_Initialize(). A handle that is not
 * registered makes every call return 0 (-1 for Lumvek_GetColorMode(),
 * Lumvek_GetSubSample() and Lumvek_GetWaitTime(), 0.0 for the two double
 * getters) and changes nothing.
 *
 * Strings: 8-bit strings are UTF-8; the ...W variants take UTF-16
 * (#LUMVEK_WCHAR) and convert into 1024-byte buffers (failure: code 12).
 * Exposure is in units of 0.1 ms unless a name says otherwise.
 *
 * @section sdk_buffers Frame buffers
 * Lumvek_SnapShot(), Lumvek_GetImage() and Lumvek_CallBackPreview() copy the
 * processed frame of the capture window (Lumvek_Width() x Lumvek_Height()
 * pixels) into the caller's buffer. Each row takes width x bytes per pixel
 * rounded up to a multiple of 4 bytes (the stride); the buffer must hold
 * stride x height bytes, else nothing is copied and code 5 is recorded.
 *
 * | Colour mode (bits) | Bytes per pixel | Samples of one pixel |
 * |---|---|---|
 * | 8  | 1 | grey, 8 bits |
 * | 16 | 2 | grey, 16-bit little-endian (the sensor's 10 bits, not scaled) |
 * | 24 | 3 | blue, green, red, 8 bits each |
 * | 32 | 4 | blue, green, red, fourth byte, 8 bits each |
 * | 48 | 6 | blue, green, red, 16-bit little-endian each |
 * | 64 | 8 | blue, green, red, fourth sample, 16-bit little-endian each |
 *
 * Example: a full 2336 x 1752 frame in mode 24 has a stride of 7008 bytes
 * and needs 12278016 bytes. @p topDown non-zero puts the top line of the
 * picture first in the buffer (as a top-down DIB or an image library
 * expects); 0 puts it last (a bottom-up DIB).
 *
 * @section sdk_threads Threads
 * Any application thread may call any function, with two exceptions:
 * Lumvek_Initialize() and Lumvek_Release() must not run at the same time as
 * any other call, and a handle must not be used after its release. The
 * library's own threads (the frame loop of a preview, the recorder) never
 * call into the application: they post window messages (LumvekWindow.h),
 * so an application may call Lumvek_StopPreview() from its handler of a
 * frame message. Calls that wait say so below; none waits longer than
 * stated.
 */
#ifndef LUMVEK_SDK_H
#define LUMVEK_SDK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef LUMVEK_HWND_DEFINED
/** Guards the one HWND typedef that both public headers carry. */
#define LUMVEK_HWND_DEFINED
/** A window of the library's window layer (see LumvekWindow.h). On Windows
 * this is the system's own HWND: <windows.h> (STRICT, its default) declares
 * the same type, before or after this header. */
typedef struct HWND__* HWND;
#endif

#if defined(_WIN32)
#include <stddef.h>
typedef wchar_t LUMVEK_WCHAR; /**< One UTF-16 code unit of the ...W functions (the system's WCHAR). */
#elif defined(__cplusplus)
typedef char16_t LUMVEK_WCHAR; /**< One UTF-16 code unit of the ...W functions. */
#else
typedef uint16_t LUMVEK_WCHAR; /**< One UTF-16 code unit of the ...W functions. */
#endif

/** @cond LUMVEK_INTERNAL */
#if defined(_WIN32)
/* LumvekSdk_R13_USB3_K7.dll exports the functions; applications import them. */
#if defined(LUMVEK_SDK_BUILD)
#define LUMVEK_API __declspec(dllexport)
#else
#define LUMVEK_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define LUMVEK_API __attribute__((visibility("default")))
#else
#define LUMVEK_API
#endif
/** @endcond */

/** What Lumvek_GetDllVersion() returns (0x01FD0520). */
#define LUMVEK_DLL_VERSION 33359136

/**
 * @defgroup sdk_messages Window messages posted to the application
 * @{
 */
/** Per frame of a callback preview, to its callback window. wParam: the
 * #LumvekFrameInfo of the frame; or wParam 0 and lParam 5 (callback buffer
 * too small), 8 (frame not read) or 13 (camera lost: the preview ended). */
#define LUMVEK_WM_FRAME 0x8002
/** Every reported error, to the window given to Lumvek_Initialize(); lParam: the code. */
#define LUMVEK_WM_ERROR 0x8003
/** A camera arrived (wParam 0x8000) or left (wParam 0x8004). */
#define LUMVEK_WM_DEVICECHANGE 0x0219
/** @} */

/**
 * @defgroup sdk_errors Error codes
 * Pushed on the instance's error history (Lumvek_GetLastError()) and posted
 * as #LUMVEK_WM_ERROR. Codes 10 and above 14 are never produced.
 * @{
 */
#define LUMVEK_ERR_NONE 0          /**< no error (also reported after good reads of a few optional features) */
#define LUMVEK_ERR_STATE 1         /**< no camera device object, or conflicts with the capture state */
#define LUMVEK_ERR_NO_CAMERA 2     /**< camera not present or not openable; index out of range */
#define LUMVEK_ERR_THREAD 3        /**< worker thread or its event could not be created */
#define LUMVEK_ERR_WINDOW 4        /**< preview window failed; no capture-window preset matches */
#define LUMVEK_ERR_MEMORY 5        /**< buffers not allocated; caller's buffer or record too small */
#define LUMVEK_ERR_TRANSFER 6      /**< register, FPGA or device request failed */
#define LUMVEK_ERR_WINDOW_SIZE 7   /**< capture window invalid or refused */
#define LUMVEK_ERR_FRAME 8         /**< a frame could not be read; preview could not start */
#define LUMVEK_ERR_ARGUMENT 9      /**< value out of range, unknown selector, null pointer, ... */
#define LUMVEK_ERR_UNSUPPORTED 11  /**< not supported by this camera */
#define LUMVEK_ERR_CONVERSION 12   /**< UTF-16 conversion; UpdateMaskData kind; temperature read; record start */
#define LUMVEK_ERR_DEVICE_LOST 13  /**< transfer failed during preview; the frame loop ended */
#define LUMVEK_ERR_MASK_FILE 14    /**< mask file unreadable, invalid or not writable */
/** @} */

/** Depth of each instance's error history: after this many
 * Lumvek_GetLastError() calls it reads 0, whatever was pushed. */
#define LUMVEK_ERROR_HISTORY_DEPTH 20
/** Entries of the name table of Lumvek_EnumDevice(). */
#define LUMVEK_MAX_DEVICE_NAMES 10
/** Bytes of each name of Lumvek_EnumDevice(), terminator included. */
#define LUMVEK_DEVICE_NAME_BYTES 256

/**
 * @defgroup sdk_color_modes Colour modes
 * Bits per output pixel, as Lumvek_SetColorMode() takes them and
 * #LumvekFrameInfo reports them (layouts in @ref sdk_buffers).
 * @{
 */
#define LUMVEK_COLOR_MODE_MONO8 8    /**< monochrome, one byte per pixel */
#define LUMVEK_COLOR_MODE_MONO16 16  /**< monochrome, one 16-bit sample per pixel */
#define LUMVEK_COLOR_MODE_BGR24 24   /**< blue, green, red bytes */
#define LUMVEK_COLOR_MODE_BGRX32 32  /**< blue, green, red and a fourth byte */
#define LUMVEK_COLOR_MODE_BGR48 48   /**< blue, green, red 16-bit samples */
#define LUMVEK_COLOR_MODE_BGRX64 64  /**< blue, green, red and a fourth 16-bit sample */
#define LUMVEK_COLOR_MODE_COUNT 6    /**< how many modes there are */
/** @} */

/**
 * @defgroup sdk_filter_selectors Filter selector numbers
 * The @p selector of Lumvek_GetFilterValue() and Lumvek_SetFilterValue()
 * (see @ref sdk_filters for what each does), and the ranges the software
 * settings accept. The camera settings' ranges are the camera's
 * (#LumvekCameraInfo); switches take #LUMVEK_SWITCH_OFF or #LUMVEK_SWITCH_ON.
 * @{
 */
#define LUMVEK_SWITCH_OFF 0 /**< a switch off */
#define LUMVEK_SWITCH_ON 1 /**< a switch on */
#define LUMVEK_FILTER_BRIGHTNESS 1 /**< brightness */
#define LUMVEK_FILTER_BRIGHTNESS_MIN (-255) /**< least value of brightness */
#define LUMVEK_FILTER_BRIGHTNESS_MAX 255 /**< greatest value of brightness */
#define LUMVEK_FILTER_CONTRAST 2 /**< contrast */
#define LUMVEK_FILTER_CONTRAST_MIN (-127) /**< least value of contrast */
#define LUMVEK_FILTER_CONTRAST_MAX 127 /**< greatest value of contrast */
#define LUMVEK_FILTER_HUE 3 /**< hue */
#define LUMVEK_FILTER_HUE_MIN (-360) /**< least value of hue */
#define LUMVEK_FILTER_HUE_MAX 360 /**< greatest value of hue */
#define LUMVEK_FILTER_SATURATION 4 /**< saturation */
#define LUMVEK_FILTER_SATURATION_MIN (-255) /**< least value of saturation */
#define LUMVEK_FILTER_SATURATION_MAX 255 /**< greatest value of saturation */
#define LUMVEK_FILTER_SHARPNESS 5 /**< sharpness */
#define LUMVEK_FILTER_SHARPNESS_MIN 0 /**< least value of sharpness */
#define LUMVEK_FILTER_SHARPNESS_MAX 30 /**< greatest value of sharpness */
#define LUMVEK_FILTER_BAYER_GAIN_RGB 6     /**< red bits 0-7, green 8-15, blue 16-23 */
#define LUMVEK_FILTER_BAYER_GAIN_RED 7 /**< bayer gain red */
#define LUMVEK_FILTER_BAYER_GAIN_GREEN 8 /**< bayer gain green */
#define LUMVEK_FILTER_BAYER_GAIN_BLUE 9 /**< bayer gain blue */
#define LUMVEK_FILTER_BAYER_GAIN_MIN 0     /**< selectors 7 to 9; 100 = 1.0 */
#define LUMVEK_FILTER_BAYER_GAIN_MAX 400 /**< greatest value of bayer gain */
#define LUMVEK_FILTER_BAYER_GAIN_AUTO 10   /**< switch */
#define LUMVEK_FILTER_GAMMA 11 /**< gamma */
#define LUMVEK_FILTER_GAMMA_MIN 0          /**< 100 = 1.0 */
#define LUMVEK_FILTER_GAMMA_MAX 200 /**< greatest value of gamma */
#define LUMVEK_FILTER_BAYER_MODE 12 /**< bayer mode */
#define LUMVEK_FILTER_BAYER_MODE_MIN 0 /**< least value of bayer mode */
#define LUMVEK_FILTER_BAYER_MODE_MAX 3 /**< greatest value of bayer mode */
#define LUMVEK_FILTER_GLOBAL_GAIN 13 /**< global gain */
#define LUMVEK_FILTER_COLOR_GAIN_RED 14 /**< color gain red */
#define LUMVEK_FILTER_COLOR_GAIN_GREEN1 15 /**< color gain green1 */
#define LUMVEK_FILTER_COLOR_GAIN_GREEN2 16 /**< color gain green2 */
#define LUMVEK_FILTER_COLOR_GAIN_BLUE 17 /**< color gain blue */
#define LUMVEK_FILTER_EXPOSURE_TIME 18 /**< exposure time */
#define LUMVEK_FILTER_GRAY_MODE 19 /**< gray mode */
#define LUMVEK_FILTER_GRAY_MODE_MIN 0 /**< least value of gray mode */
#define LUMVEK_FILTER_GRAY_MODE_MAX 2 /**< greatest value of gray mode */
#define LUMVEK_FILTER_GRAY_GAIN_R 20 /**< gray gain r */
#define LUMVEK_FILTER_GRAY_GAIN_G1 21 /**< gray gain g1 */
#define LUMVEK_FILTER_GRAY_GAIN_G2 22 /**< gray gain g2 */
#define LUMVEK_FILTER_GRAY_GAIN_B 23 /**< gray gain b */
#define LUMVEK_FILTER_GRAY_GAIN_MIN 0      /**< selectors 20 to 23 */
#define LUMVEK_FILTER_GRAY_GAIN_MAX 255 /**< greatest value of gray gain */
#define LUMVEK_FILTER_GRAY_OFFSET_R 24 /**< gray offset r */
#define LUMVEK_FILTER_GRAY_OFFSET_G1 25 /**< gray offset g1 */
#define LUMVEK_FILTER_GRAY_OFFSET_G2 26 /**< gray offset g2 */
#define LUMVEK_FILTER_GRAY_OFFSET_B 27 /**< gray offset b */
#define LUMVEK_FILTER_GRAY_OFFSET_MIN (-255) /**< selectors 24 to 27 */
#define LUMVEK_FILTER_GRAY_OFFSET_MAX 255 /**< greatest value of gray offset */
#define LUMVEK_FILTER_GRAY_MEASURE 28      /**< switch, write only: measure on the next frame */
#define LUMVEK_FILTER_CHANNEL_GAIN_1 29    /**< channels 2 to 4: 30 to 32 */
#define LUMVEK_FILTER_CHANNEL_OFFSET_1 33  /**< channels 2 to 4: 34 to 36 */
#define LUMVEK_CHANNELS 4                  /**< sensor channels of the channel gains and offsets */
#define LUMVEK_FILTER_PELTIER 100 /**< peltier */
#define LUMVEK_FILTER_TEMPERATURE 101      /**< read only */
#define LUMVEK_FILTER_DOT_FILTER 102       /**< switch */
#define LUMVEK_FILTER_MASK_FILTER 103      /**< switch */
#define LUMVEK_FILTER_GAIN_MODE 104 /**< gain mode */
#define LUMVEK_FILTER_SHORT_EXPOSURE 105   /**< switch */
#define LUMVEK_FILTER_BLACK_LEVEL 106 /**< black level */
/** @} */

/**
 * @defgroup sdk_file_types File types of Lumvek_SaveImage()
 * The type alone chooses the format; the file name is not inspected.
 * @{
 */
#define LUMVEK_FILE_BMP 0     /**< Windows bitmap (8-bit modes with a grey colour table) */
#define LUMVEK_FILE_RAW 1     /**< the output buffer's bytes as they are, rows padded to 4 bytes */
#define LUMVEK_FILE_JPEG100 2 /**< JPEG, quality 100 (16-bit samples: their high byte) */
#define LUMVEK_FILE_JPEG70 3  /**< JPEG, quality 70 */
#define LUMVEK_FILE_JPEG20 4  /**< JPEG, quality 20 */
#define LUMVEK_FILE_PNG 5     /**< PNG, 8 or 16 bits per sample as the colour mode has them */
#define LUMVEK_FILE_TIFF 6    /**< TIFF, 8 or 16 bits per sample as the colour mode has them */
/** @} */

/** Camera information record of Lumvek_GetCameraInfo(). */
typedef struct LumvekCameraInfo {
    int32_t size;               /**< set by the caller: bytes provided (36 or more; 56 or more fills the doubles) */
    int32_t fullWidth;          /**< sensor width in pixels (2336) */
    int32_t fullHeight;         /**< sensor height in pixels (1752) */
    int32_t globalGainMin;      /**< range of Lumvek_SetGlobalGain() */
    int32_t globalGainMax;      /**< range of Lumvek_SetGlobalGain() */
    int32_t colorGainMin;       /**< range of the Lumvek_SetColorGain...() calls */
    int32_t colorGainMax;       /**< range of the Lumvek_SetColorGain...() calls */
    int32_t exposureMin;        /**< range of Lumvek_SetExposureTime(), 0.1 ms */
    int32_t exposureMax;        /**< range of Lumvek_SetExposureTime(), 0.1 ms */
    int32_t reserved;           /**< never written */
    double exposureMinSeconds;  /**< range of Lumvek_SetExposureTimeEx(), seconds */
    double exposureMaxSeconds;  /**< range of Lumvek_SetExposureTimeEx(), seconds */
} LumvekCameraInfo;

/** Frame information record: the wParam of each #LUMVEK_WM_FRAME. The
 * library rewrites it for every frame: it is valid only until the next
 * frame message, so copy what you need in the handler. */
typedef struct LumvekFrameInfo {
    int32_t reserved;      /**< always 0 */
    int32_t width;         /**< frame width in pixels */
    int32_t height;        /**< frame height in pixels */
    int32_t bitsPerPixel;  /**< colour mode: 8, 16, 24, 32, 48, 64 */
    int32_t frameRateX10;  /**< frames per second x 10, measured over each second; 0 in the first second */
    int32_t padding;       /**< unused */
    void* buffer;          /**< the callback buffer that received the frame, NULL when none */
} LumvekFrameInfo;

/**
 * @defgroup sdk_lifetime Instance lifetime
 * @{
 */
/** Creates an SDK instance and, when exactly one camera of this model is
 * present, opens it; with none or several, no camera is open until
 * Lumvek_SetDeviceNumber() (check with Lumvek_EnumDevice()).
 * @param notifyWindow message window (LumvekWnd_CreateMessageWindow()) that
 *        receives #LUMVEK_WM_ERROR for every reported error; may be NULL.
 * @return the new handle; 0 when no instance could be made. The handle is
 *         returned even when opening the camera failed.
 * Threads: must not run at the same time as any other call. Blocks while
 * the camera is opened and its settings restored. */
LUMVEK_API int32_t Lumvek_Initialize(HWND notifyWindow);
/** Stops preview and recording, saves the camera's settings (settings
 * store and the camera's serial ROM), closes the camera and frees the
 * instance. @return 1 if the handle was registered, else 0.
 * Threads: must not run at the same time as any other call; waits for the
 * frame loop and the recorder to end (up to about 3 s). */
LUMVEK_API int Lumvek_Release(int32_t handle);
/** @return #LUMVEK_DLL_VERSION; needs no handle. */
LUMVEK_API int Lumvek_GetDllVersion(void);
/** Pops the newest code of the instance's 20-deep error history.
 * @return the code (@ref sdk_errors), 0 when the history is empty. */
LUMVEK_API int Lumvek_GetLastError(int32_t handle);
/** @return always 0; @p unused is ignored. */
LUMVEK_API int Lumvek_GetStatus(int32_t handle, int unused);
/** @} */

/**
 * @defgroup sdk_selection Camera selection and identity
 * @{
 */
/** Opens camera @p index (a device number, as Lumvek_GetDeviceName() takes
 * it), after saving the settings of the camera in use, and restores the
 * instance's gains, exposure and mirrors to it.
 * Errors: 1 no device object; 2 not present or cannot be opened.
 * Blocks while the camera is opened. Not during preview or capture. */
LUMVEK_API int Lumvek_SetDeviceNumber(int32_t handle, int index);
/** Names the openable cameras of this model ("LumvekR13-USB3-K7_01",
 * "_02", ... numbered consecutively) into @p names; unused entries become
 * empty strings. @return the number of cameras (at most 10). Error 1: no
 * device object. */
LUMVEK_API int Lumvek_EnumDevice(int32_t handle, char names[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES]);
/** Lumvek_EnumDevice() into UTF-16 names. @return the number of cameras. */
LUMVEK_API int Lumvek_EnumDeviceW(int32_t handle, LUMVEK_WCHAR names[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES]);
/** The name of device number @p index (product name, '_', index + 1 as two
 * digits) into @p buffer of @p size bytes (at least 18).
 * Errors: 1 no device object; 9 size 17 or less; 2 no such camera. */
LUMVEK_API int Lumvek_GetDeviceName(int32_t handle, int index, char* buffer, int size);
/** Lumvek_GetDeviceName() in UTF-16; @p size counts characters.
 * Error 12: the buffer cannot hold the name and its terminator. */
LUMVEK_API int Lumvek_GetDeviceNameW(int32_t handle, int index, LUMVEK_WCHAR* buffer, int size /* chars */);
/** Fills @p record (set its size first) with the sensor size and the gain
 * and exposure ranges of the open camera.
 * Errors: 1 no device object; 9 NULL record; 5 size below 36. */
LUMVEK_API int Lumvek_GetCameraInfo(int32_t handle, LumvekCameraInfo* record);
/** @} */

/**
 * @defgroup sdk_acquisition Acquisition
 * The capture state is idle, capture (Lumvek_Capture(): frames on demand)
 * or preview (a frame loop on the library's worker thread). Buffers are
 * laid out as @ref sdk_buffers "Frame buffers" describes.
 * @{
 */
/** Configures buffers and camera for frames on demand (state capture).
 * Errors: 1 no device object or previewing; 2 camera gone; 5 no memory;
 * 7 capture window invalid. */
LUMVEK_API int Lumvek_Capture(int32_t handle);
/** Starts a preview into the library's preview window (see
 * Lumvek_SetPreviewWindow()). Errors: 4 window failed; 8 preview could not
 * start (with the code of the cause before it). */
LUMVEK_API int Lumvek_Preview(int32_t handle);
/** Starts the frame loop without changing window or callback settings;
 * 1 at once if already previewing. Errors: 1 in capture state or no device
 * object; 2, 5, 7 as Lumvek_Capture(); 6 transfer start failed; 3 thread. */
LUMVEK_API int Lumvek_StartPreview(int32_t handle);
/** Stops preview or capture (state idle). Waits for the frame loop's
 * current turn to end: at most the wait time plus 3000 ms plus one frame's
 * processing. Also stops a recording. Error 1: no device object. */
LUMVEK_API int Lumvek_StopPreview(int32_t handle);
/** Destroys the preview window and stops preview or capture as
 * Lumvek_StopPreview() does; Lumvek_SaveImage() then needs a new frame. */
LUMVEK_API int Lumvek_Close(int32_t handle);
/** Takes one frame, processes it and copies it into @p buffer (@p size
 * bytes; stride x height needed; @p topDown as in @ref sdk_buffers). In idle
 * state it configures the camera first and stops it again afterwards.
 * Blocks until the frame is in: at most 3000 ms for the frame plus its
 * processing. Errors: 1 previewing or no device object; 8 no frame within
 * 3000 ms; 5 buffer too small; those of Lumvek_Capture(). */
LUMVEK_API int Lumvek_SnapShot(int32_t handle, void* buffer, int size, int topDown);
/** Copies the last processed frame (of a preview or snapshot) into
 * @p buffer without touching the camera; waits only while a frame is being
 * processed. Error 5: no frame processed yet, NULL buffer or too small. */
LUMVEK_API int Lumvek_GetImage(int32_t handle, void* buffer, int size, int topDown);
/** Starts a preview that copies every processed frame into @p buffer
 * (@p size bytes, @p topDown as in @ref sdk_buffers; NULL and 0: no copy,
 * read frames with Lumvek_GetImage()) and then posts #LUMVEK_WM_FRAME to
 * @p callbackWindow. The buffer is written on the worker thread until
 * Lumvek_StopPreview(): read it in the frame message's handler, before
 * the next frame overwrites it. A preview window is made too unless
 * Lumvek_SetPreviewWindow(h, NULL, 0, 0, 0, 0) turned it off.
 * Errors: as Lumvek_Preview(). */
LUMVEK_API int Lumvek_CallBackPreview(int32_t handle, HWND callbackWindow, void* buffer, int size, int topDown);
/** Places the preview window of the next Lumvek_Preview(),
 * Lumvek_CallBackPreview() or Lumvek_Record(): with @p parent, a child at
 * (@p left, @p top) of size @p right x @p bottom; without, a centred
 * top-level window; NULL and four zeros: no preview window. Error 1: no
 * device object. */
LUMVEK_API int Lumvek_SetPreviewWindow(int32_t handle, HWND parent, int left, int top, int right, int bottom);
/** @return the capture window's width in pixels (the frames' width). */
LUMVEK_API int Lumvek_Width(int32_t handle);
/** @return the capture window's height in pixels (the frames' height). */
LUMVEK_API int Lumvek_Height(int32_t handle);
/** Selects the first capture-window preset of the settings store with this
 * @p width and @p height. Errors: 1 no device object; 4 no such preset; 7
 * the preset is invalid (the full frame is set instead, result 1). */
LUMVEK_API int Lumvek_SetCaptureWindow(int32_t handle, int width, int height);
/** Sets the capture window: effective start @p ehs, @p evs and size @p eh x
 * @p ev within the totals @p th x @p tv, in sensor pixels. A camera without
 * free window sizes takes only the full width and height. Errors: 1 no
 * device object; 9 size the camera cannot take; 7 window outside the
 * sensor. While acquiring, the camera is stopped, reconfigured and
 * restarted. */
LUMVEK_API int Lumvek_SetCaptureWindowEx(int32_t handle, int th, int ehs, int eh, int tv, int evs, int ev);
/** Reads the capture window (see Lumvek_SetCaptureWindowEx()); NULL
 * pointers are skipped. @return 1. */
LUMVEK_API int Lumvek_GetCaptureWindowEx(int32_t handle, int* th, int* ehs, int* eh, int* tv, int* evs, int* ev);
/** Sets the colour mode, in bits per output pixel: 8 or 16 (mono), 24, 32,
 * 48 or 64 (colour; layouts in @ref sdk_buffers). Takes effect at the next
 * configuration (a running preview is reconfigured). Error 9: another value. */
LUMVEK_API int Lumvek_SetColorMode(int32_t handle, int bitsPerPixel); /* 8, 16, 24, 32, 48, 64 */
/** @return the colour mode in bits per pixel. */
LUMVEK_API int Lumvek_GetColorMode(int32_t handle);
/** Sub-sampling: only mode 0 (none) is accepted; another returns 0 without
 * an error code. */
LUMVEK_API int Lumvek_SetSubSample(int32_t handle, int mode);
/** @return the sub-sample mode (0). */
LUMVEK_API int Lumvek_GetSubSample(int32_t handle);
/** Sets the frame loop's pause before each frame, in milliseconds (default
 * 10, at most 60000). A negative or larger value returns 0 without an error
 * code and keeps the pause as it was. */
LUMVEK_API int Lumvek_SetWaitTime(int32_t handle, int milliseconds);
/** @return the frame loop's pause in milliseconds. */
LUMVEK_API int Lumvek_GetWaitTime(int32_t handle);
/** @} */

/**
 * @defgroup sdk_exposure Exposure, gain, mirrors
 * @{
 */
/** Automatic exposure or gain, adjusted once per processed frame from five
 * windows of the raw frame: @p mode 0 off, 1 exposure, 2 gain. Mode 3 or
 * more: code 9 posted (not pushed), 0. */
LUMVEK_API int Lumvek_SetAutoIris(int32_t handle, int mode); /* 0 off, 1 exposure, 2 gain */
/** @return the automatic mode; writes 1 to @p ok when it is not NULL. */
LUMVEK_API int Lumvek_GetAutoIris(int32_t handle, int* ok);
/** Mirrors the picture left to right (@p on non-zero), in the camera. @return 1. */
LUMVEK_API int Lumvek_SetMirrorH(int32_t handle, int on);
/** Mirrors the picture top to bottom (@p on non-zero), in the camera. @return 1;
 * without a device object code 1 is posted (not pushed). */
LUMVEK_API int Lumvek_SetMirrorV(int32_t handle, int on);
/** @return the horizontal mirror flag, 0 or 1. */
LUMVEK_API int Lumvek_GetMirrorH(int32_t handle);
/** @return the vertical mirror flag, 0 or 1. */
LUMVEK_API int Lumvek_GetMirrorV(int32_t handle);
/** Sets the exposure in @p seconds, where the camera supports seconds.
 * Errors: 11 not supported; 6 the camera refused. */
LUMVEK_API int Lumvek_SetExposureTimeEx(int32_t handle, double seconds);
/** @return the exposure in seconds (-1.0 and error 11 when the camera has
 * no seconds); @p ok receives the read's result. */
LUMVEK_API double Lumvek_GetExposureTimeEx(int32_t handle, int* ok);
/** Sets the exposure in @p microseconds (truncated to 0.1 ms units).
 * Error 9: outside the camera's exposure range. */
LUMVEK_API int Lumvek_SetRealExposureTime(int32_t handle, int microseconds);
/** @return the exposure in microseconds; writes 1 to @p ok. */
LUMVEK_API int Lumvek_GetRealExposureTime(int32_t handle, int* ok);
/** @return the sensor temperature in degrees Celsius where the camera has
 * a sensor for it (error 11 and 0.0 otherwise; 12 a failed read); @p ok
 * receives the read's result. */
LUMVEK_API double Lumvek_GetTemperatureEx(int32_t handle, int* ok);
/** @} */

/**
 * @defgroup sdk_registers Registers, serial ROM, I/O port
 * Direct access for diagnosis; each call is one request to the camera and
 * blocks for it (at most 3000 ms). Error 6: the request failed.
 * @{
 */
/** @return sensor register @p address (low 8 bits); @p ok receives 1/0. */
LUMVEK_API int Lumvek_ReadRegister(int32_t handle, int address, int* ok);
/** @return sensor register @p address (full width); @p ok receives 1/0. */
LUMVEK_API int Lumvek_ReadRegisterEx(int32_t handle, int address, int* ok);
/** Writes the low 16 bits of @p value to sensor register @p address (low 8 bits). */
LUMVEK_API int Lumvek_WriteRegister(int32_t handle, int address, int value);
/** Writes @p value to sensor register @p address (full width). */
LUMVEK_API int Lumvek_WriteRegisterEx(int32_t handle, int address, int value);
/** @return FPGA register @p address (low 8 bits) as an unsigned 16-bit
 * value; on failure @p ok receives 0 (it is not written on success). */
LUMVEK_API int Lumvek_Fpga_ReadRegister(int32_t handle, int address, int* ok);
/** Writes the low 16 bits of @p value to FPGA register @p address (low 8 bits). */
LUMVEK_API int Lumvek_Fpga_WriteRegister(int32_t handle, int address, int value);
/** Reads the camera's I/O port (FPGA register 7) into @p value; a NULL
 * pointer or failed read posts code 9 (not pushed). */
LUMVEK_API int Lumvek_GetIOPort(int32_t handle, unsigned char* value);
/** Writes @p value to the camera's I/O port (FPGA register 7). */
LUMVEK_API int Lumvek_SetIOPort(int32_t handle, unsigned char value);
/** @return one byte of the camera's serial ROM at @p address (low 12
 * bits); @p ok receives 1/0; a failure posts code 1 (not pushed). */
LUMVEK_API int Lumvek_ReadSromID(int32_t handle, int address, int* ok);
/** Writes one byte to the serial ROM at @p address (low 12 bits) and reads
 * it back, rewriting up to 10 times while it differs (about 14 ms per
 * write). @return 1 once the first write succeeded. */
LUMVEK_API int Lumvek_WriteSromID(int32_t handle, int address, int value);
/** Passes @p rate to the camera's sampling-rate setting. @return its result. */
LUMVEK_API int Lumvek_SetSamplingRate(int32_t handle, int rate);
/** Writes 0 to @p value when not NULL. @return 0. */
LUMVEK_API int Lumvek_GetSamplingRate(int32_t handle, int* value); /* writes 0, returns 0 */
/** The same entry point as Lumvek_GetSamplingRate(). */
LUMVEK_API int Lumvek_GetVideoFormat(int32_t handle, int* value);  /* same entry point */
/** @} */

/**
 * @defgroup sdk_unsupported Not supported by this camera
 * Kept so that applications written for the camera family link.
 * @{
 */
/** Records code 11. @return 0. */
LUMVEK_API int Lumvek_SendText(int32_t handle, ...);    /* code 11, 0 */
/** The same entry point as Lumvek_SendText(). */
LUMVEK_API int Lumvek_ReceiveText(int32_t handle, ...); /* same entry point */
/** Records code 11. @return -1. */
LUMVEK_API int Lumvek_GetConfigFilter(int32_t handle);  /* code 11, -1 */
/** Records code 11. @return -1. */
LUMVEK_API int Lumvek_SetConfigFilter(int32_t handle);  /* code 11, -1 */
/** Posts code 11 (not pushed). @return 0. One entry point with the next six. */
LUMVEK_API int Lumvek_Fps(int32_t handle, ...);
/** As Lumvek_Fps(). */
LUMVEK_API int Lumvek_Trigger(int32_t handle, ...);
/** As Lumvek_Fps(). */
LUMVEK_API int Lumvek_GetHalfClock(int32_t handle, ...);
/** As Lumvek_Fps(). */
LUMVEK_API int Lumvek_SetHalfClock(int32_t handle, ...);
/** As Lumvek_Fps(). */
LUMVEK_API int Lumvek_GetInternalCorrection(int32_t handle, ...);
/** As Lumvek_Fps(). */
LUMVEK_API int Lumvek_SetInternalCorrection(int32_t handle, ...);
/** As Lumvek_Fps(). */
LUMVEK_API int Lumvek_SetCrossbar(int32_t handle, ...);
/** @} */

/**
 * @defgroup sdk_config Configuration file
 * @{
 */
/** Reads @p path as pairs of signed 32-bit little-endian integers (a
 * trailing partial pair is ignored) into the instance's configuration list;
 * waits for the frame being processed. @return 1 if the file could be read. */
LUMVEK_API int Lumvek_LoadConfigFileA(int32_t handle, const char* path);
/** Lumvek_LoadConfigFileA() with a UTF-16 path (error 12: conversion). */
LUMVEK_API int Lumvek_LoadConfigFileW(int32_t handle, const LUMVEK_WCHAR* path);
/** @} */

/**
 * @defgroup sdk_files Files
 * @{
 */
/** Writes the last processed frame to @p path as @p fileType
 * (@ref sdk_file_types), top line first whatever the format stores; waits
 * for the frame being processed, then writes on the calling thread (a PNG
 * of a full frame takes over a second). Errors: 1 no frame since the
 * capture was last closed; 5 no memory. A path that cannot be written, a
 * library error or an unknown type return 0 without a code. */
LUMVEK_API int Lumvek_SaveImage(int32_t handle, const char* path, int fileType);
/** Lumvek_SaveImage() with a UTF-16 path (error 12: conversion). */
LUMVEK_API int Lumvek_SaveImageW(int32_t handle, const LUMVEK_WCHAR* path, int fileType);
/** Starts recording the processed frames of a preview (started if needed)
 * into an uncompressed AVI file (24-bit frames) for @p milliseconds,
 * counted from the first frame; with @p showWindow non-zero also into a
 * preview window. Returns at once: the recorder thread finalises the file
 * (frame rate measured) when the time is up or the capture stops. Errors: 9
 * empty path; 4 window; 12 the capture or the file could not start; 3 thread. */
LUMVEK_API int Lumvek_Record(int32_t handle, const char* path, int milliseconds, int showWindow);
/** Lumvek_Record() with a UTF-16 path (error 12: conversion). */
LUMVEK_API int Lumvek_RecordW(int32_t handle, const LUMVEK_WCHAR* path, int milliseconds, int showWindow);
/** Writes the dark and white reference frames (8 and 16 bits) to a mask
 * file ("QUELRO MASK1000"). Error 14: not writable. */
LUMVEK_API int Lumvek_SaveMaskFile(int32_t handle, const char* path);
/** Lumvek_SaveMaskFile() with a UTF-16 path (error 12: conversion). */
LUMVEK_API int Lumvek_SaveMaskFileW(int32_t handle, const LUMVEK_WCHAR* path);
/** Reads the reference frames from a mask file and rebuilds the defect
 * masks. Error 14: unreadable or invalid, including a file shorter than its
 * header says (the references stay as they were). */
LUMVEK_API int Lumvek_LoadMaskFile(int32_t handle, const char* path);
/** Lumvek_LoadMaskFile() with a UTF-16 path (error 12: conversion). */
LUMVEK_API int Lumvek_LoadMaskFileW(int32_t handle, const LUMVEK_WCHAR* path);
/** Takes the last processed full-size raw frame as the dark (@p kind 0,
 * lens covered) or white (1, even bright field) reference and rebuilds its
 * defect mask; a smaller frame changes nothing. Error 12: another kind. */
LUMVEK_API int Lumvek_UpdateMaskData(int32_t handle, int kind); /* 0 dark, 1 white */
/** @} */

/**
 * @defgroup sdk_dialogs Settings dialogs
 * Modal property dialogs (camera: formats and capture-window presets; image:
 * software filter and gray-level correction; analog: gains, exposure, mirrors,
 * channel gains and offsets), in Japanese when LC_ALL, else LC_MESSAGES, else
 * LANG names Japanese, otherwise in English. They run on the calling thread
 * (GTK 3, from libLumvekDialogsGtk.so beside the library, loaded when first
 * needed) and return 1 once the dialog has closed, whatever closed it; a
 * dialog whose owner handle is destroyed or whose X server goes away ends as
 * Cancel. An owner made with LumvekWnd_FromX11Window makes the dialog
 * transient for that X11 window (WM_TRANSIENT_FOR), so the window manager
 * keeps it above the application's window; an id the X server does not know
 * is ignored. Without an open camera: code 1, result 0. When no dialog can be
 * shown (no DISPLAY or WAYLAND_DISPLAY, the module or GTK missing, or the
 * display refused): code 4 (LUMVEK_ERR_WINDOW), result 0, nothing changed.
 * @{
 */
/** The camera dialog (frame format, window presets) owned by @p owner. */
LUMVEK_API int Lumvek_SetCameraDlg(int32_t handle, HWND owner);
/** The image dialog (software filters, gray-level correction) owned by @p owner. */
LUMVEK_API int Lumvek_SetImageDlg(int32_t handle, HWND owner);
/** The analog dialog (gains, exposure, mirrors, channels) owned by @p owner. */
LUMVEK_API int Lumvek_SetAnalogDlg(int32_t handle, HWND owner);
/** @} */

/**
 * @defgroup sdk_filters Filter selectors
 * Lumvek_GetFilterValue() returns the value and sets *ok to 1 (0 on
 * failure); Lumvek_SetFilterValue() returns 1/0. Each named getter/setter
 * below is that call with its selector, given first in its comment.
 * Software settings take effect on the next processed frame; camera
 * settings (13 to 18, 29 to 36) are sent to the camera at once (one
 * request, blocking up to 3000 ms). Errors: 1 no device object; 9 unknown
 * selector or out of range (the value stays unchanged); 6 the camera
 * refused; 11 the camera lacks the feature.
 * @{
 */
/** @return the value of @p selector; @p ok receives 1/0. */
LUMVEK_API int Lumvek_GetFilterValue(int32_t handle, int selector, int* ok);
/** Sets @p selector to @p value. */
LUMVEK_API int Lumvek_SetFilterValue(int32_t handle, int selector, int value);

LUMVEK_API int Lumvek_GetBrightness(int32_t handle, int* ok); /**< 1: brightness added to every sample, -255..255 */
LUMVEK_API int Lumvek_SetBrightness(int32_t handle, int value); /**< 1: brightness added to every sample, -255..255 */
LUMVEK_API int Lumvek_GetContrast(int32_t handle, int* ok); /**< 2: contrast, -127..127 */
LUMVEK_API int Lumvek_SetContrast(int32_t handle, int value); /**< 2: contrast, -127..127 */
LUMVEK_API int Lumvek_GetHue(int32_t handle, int* ok); /**< 3: hue rotation in degrees, -360..360 */
LUMVEK_API int Lumvek_SetHue(int32_t handle, int value); /**< 3: hue rotation in degrees, -360..360 */
LUMVEK_API int Lumvek_GetSaturation(int32_t handle, int* ok); /**< 4: colour saturation, -255..255 */
LUMVEK_API int Lumvek_SetSaturation(int32_t handle, int value); /**< 4: colour saturation, -255..255 */
LUMVEK_API int Lumvek_GetSharpness(int32_t handle, int* ok); /**< 5: sharpening strength, 0..30 */
LUMVEK_API int Lumvek_SetSharpness(int32_t handle, int value); /**< 5: sharpening strength, 0..30 */
LUMVEK_API int Lumvek_GetBayerGainRGB(int32_t handle, int* ok); /**< 6: the three white-balance gains packed: red bits 0-7, green 8-15, blue 16-23 (set: no range check) */
LUMVEK_API int Lumvek_SetBayerGainRGB(int32_t handle, int value); /**< 6: the three white-balance gains packed: red bits 0-7, green 8-15, blue 16-23 (set: no range check) */
LUMVEK_API int Lumvek_GetBayerGainRed(int32_t handle, int* ok); /**< 7: software white-balance gain, red, 0..400 (100 = 1.0) */
LUMVEK_API int Lumvek_SetBayerGainRed(int32_t handle, int value); /**< 7: software white-balance gain, red, 0..400 (100 = 1.0) */
LUMVEK_API int Lumvek_GetBayerGainGreen(int32_t handle, int* ok); /**< 8: software white-balance gain, green, 0..400 */
LUMVEK_API int Lumvek_SetBayerGainGreen(int32_t handle, int value); /**< 8: software white-balance gain, green, 0..400 */
LUMVEK_API int Lumvek_GetBayerGainBlue(int32_t handle, int* ok); /**< 9: software white-balance gain, blue, 0..400 */
LUMVEK_API int Lumvek_SetBayerGainBlue(int32_t handle, int value); /**< 9: software white-balance gain, blue, 0..400 */
LUMVEK_API int Lumvek_GetBayerGainAuto(int32_t handle, int* ok); /**< 10: automatic white balance, 0/1 */
LUMVEK_API int Lumvek_SetBayerGainAuto(int32_t handle, int value); /**< 10: automatic white balance, 0/1 */
LUMVEK_API int Lumvek_GetGamma(int32_t handle, int* ok); /**< 11: gamma, 0..200 (100 = 1.0) */
LUMVEK_API int Lumvek_SetGamma(int32_t handle, int value); /**< 11: gamma, 0..200 (100 = 1.0) */
LUMVEK_API int Lumvek_GetBayerMode(int32_t handle, int* ok); /**< 12: Bayer phase of the sensor's first pixel, 0..3 */
LUMVEK_API int Lumvek_SetBayerMode(int32_t handle, int value); /**< 12: Bayer phase of the sensor's first pixel, 0..3 */
LUMVEK_API int Lumvek_GetGlobalGain(int32_t handle, int* ok); /**< 13: analog gain of all colours, camera range (LumvekCameraInfo); set also sets the four colour gains */
LUMVEK_API int Lumvek_SetGlobalGain(int32_t handle, int value); /**< 13: analog gain of all colours, camera range (LumvekCameraInfo); set also sets the four colour gains */
LUMVEK_API int Lumvek_GetColorGainRed(int32_t handle, int* ok); /**< 14: analog gain, red, camera colour-gain range */
LUMVEK_API int Lumvek_SetColorGainRed(int32_t handle, int value); /**< 14: analog gain, red, camera colour-gain range */
LUMVEK_API int Lumvek_GetColorGainGreen1(int32_t handle, int* ok); /**< 15: analog gain, green 1, camera colour-gain range */
LUMVEK_API int Lumvek_SetColorGainGreen1(int32_t handle, int value); /**< 15: analog gain, green 1, camera colour-gain range */
LUMVEK_API int Lumvek_GetColorGainGreen2(int32_t handle, int* ok); /**< 16: analog gain, green 2, camera colour-gain range */
LUMVEK_API int Lumvek_SetColorGainGreen2(int32_t handle, int value); /**< 16: analog gain, green 2, camera colour-gain range */
LUMVEK_API int Lumvek_GetColorGainBlue(int32_t handle, int* ok); /**< 17: analog gain, blue, camera colour-gain range */
LUMVEK_API int Lumvek_SetColorGainBlue(int32_t handle, int value); /**< 17: analog gain, blue, camera colour-gain range */
LUMVEK_API int Lumvek_GetExposureTime(int32_t handle, int* ok); /**< 18: exposure in 0.1 ms, camera range (LumvekCameraInfo); the sensor may shorten it (the R13 to 232): read it back */
LUMVEK_API int Lumvek_SetExposureTime(int32_t handle, int value); /**< 18: exposure in 0.1 ms, camera range (LumvekCameraInfo); the sensor may shorten it (the R13 to 232): read it back */
LUMVEK_API int Lumvek_GetGrayMode(int32_t handle, int* ok); /**< 19: gray-level correction of the mono modes, 0..2 */
LUMVEK_API int Lumvek_SetGrayMode(int32_t handle, int value); /**< 19: gray-level correction of the mono modes, 0..2 */
LUMVEK_API int Lumvek_GetGrayGainR(int32_t handle, int* ok); /**< 20: gray-level gain, red cell, 0..255 */
LUMVEK_API int Lumvek_SetGrayGainR(int32_t handle, int value); /**< 20: gray-level gain, red cell, 0..255 */
LUMVEK_API int Lumvek_GetGrayGainG1(int32_t handle, int* ok); /**< 21: gray-level gain, green 1 cell, 0..255 */
LUMVEK_API int Lumvek_SetGrayGainG1(int32_t handle, int value); /**< 21: gray-level gain, green 1 cell, 0..255 */
LUMVEK_API int Lumvek_GetGrayGainG2(int32_t handle, int* ok); /**< 22: gray-level gain, green 2 cell, 0..255 */
LUMVEK_API int Lumvek_SetGrayGainG2(int32_t handle, int value); /**< 22: gray-level gain, green 2 cell, 0..255 */
LUMVEK_API int Lumvek_GetGrayGainB(int32_t handle, int* ok); /**< 23: gray-level gain, blue cell, 0..255 */
LUMVEK_API int Lumvek_SetGrayGainB(int32_t handle, int value); /**< 23: gray-level gain, blue cell, 0..255 */
LUMVEK_API int Lumvek_GetGrayOffsetR(int32_t handle, int* ok); /**< 24: gray-level offset, red cell, -255..255 */
LUMVEK_API int Lumvek_SetGrayOffsetR(int32_t handle, int value); /**< 24: gray-level offset, red cell, -255..255 */
LUMVEK_API int Lumvek_GetGrayOffsetG1(int32_t handle, int* ok); /**< 25: gray-level offset, green 1 cell, -255..255 */
LUMVEK_API int Lumvek_SetGrayOffsetG1(int32_t handle, int value); /**< 25: gray-level offset, green 1 cell, -255..255 */
LUMVEK_API int Lumvek_GetGrayOffsetG2(int32_t handle, int* ok); /**< 26: gray-level offset, green 2 cell, -255..255 */
LUMVEK_API int Lumvek_SetGrayOffsetG2(int32_t handle, int value); /**< 26: gray-level offset, green 2 cell, -255..255 */
LUMVEK_API int Lumvek_GetGrayOffsetB(int32_t handle, int* ok); /**< 27: gray-level offset, blue cell, -255..255 */
LUMVEK_API int Lumvek_SetGrayOffsetB(int32_t handle, int value); /**< 27: gray-level offset, blue cell, -255..255 */
/** 29..32: gain of sensor channel @p channel (1..4), camera range, kept in
 * the camera's serial ROM; another channel returns 0 and leaves *ok as it was. */
LUMVEK_API int Lumvek_GetChannelGain(int32_t handle, int channel, int* ok);
/** 29..32: sets the gain of sensor channel @p channel (1..4); another channel returns 0. */
LUMVEK_API int Lumvek_SetChannelGain(int32_t handle, int channel, int value);
/** 33..36: offset of sensor channel @p channel (1..4), as Lumvek_GetChannelGain(). */
LUMVEK_API int Lumvek_GetChannelOffset(int32_t handle, int channel, int* ok);
/** 33..36: sets the offset of sensor channel @p channel (1..4); another channel returns 0. */
LUMVEK_API int Lumvek_SetChannelOffset(int32_t handle, int channel, int value);
LUMVEK_API int Lumvek_GetPeltier(int32_t handle, int* ok); /**< 100: cooling on/off where the camera has it (else 11, -1) */
LUMVEK_API int Lumvek_SetPeltier(int32_t handle, int value); /**< 100: cooling on/off where the camera has it (else 11) */
LUMVEK_API int Lumvek_GetTemperature(int32_t handle, int* ok); /**< 101: always code 11, -1 (see Lumvek_GetTemperatureEx()) */
LUMVEK_API int Lumvek_GetDotFilter(int32_t handle, int* ok); /**< 102: defect-pixel (dot) filter, 0/1 */
LUMVEK_API int Lumvek_SetDotFilter(int32_t handle, int value); /**< 102: defect-pixel (dot) filter, 0/1 */
LUMVEK_API int Lumvek_GetMaskFilter(int32_t handle, int* ok); /**< 103: flat-field correction from the mask references, 0/1 */
LUMVEK_API int Lumvek_SetMaskFilter(int32_t handle, int value); /**< 103: flat-field correction from the mask references, 0/1 */
/** @} */

#ifdef __cplusplus
}
#endif

#endif /* LUMVEK_SDK_H */
