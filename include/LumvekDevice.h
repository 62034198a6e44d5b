/**
 * @file LumvekDevice.h
 * @brief Companion calls beside LumvekSdk.h: a camera's stable id, the
 * capture-window rule in words, and the Bayer order of raw frames.
 *
 * A camera's id is the instance part of its device path: the USB
 * serial-number string where the camera has one, else its bus and port
 * path ("usb2-1.4"), and for a simulated camera its name. The device number
 * that Lumvek_SetDeviceNumber() takes is the order in which the open-device
 * table first met the cameras; it changes when another camera is plugged in
 * or started first, the id does not:
 *
 *     int number = LumvekDevice_FindNumber("SN4711");
 *     if (number >= 0) Lumvek_SetDeviceNumber(handle, number);
 *
 * The settings store keeps its values per device number, not per id: after
 * cameras change places, the values stored for number 0 belong to whichever
 * camera now has number 0.
 */
#ifndef LUMVEK_DEVICE_H
#define LUMVEK_DEVICE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** @cond LUMVEK_INTERNAL */
#if defined(_WIN32)
/* The SDK's companion DLL exports the functions; applications import them. */
#if defined(LUMVEK_SDK_BUILD)
#define LUMVEK_DEVICE_API __declspec(dllexport)
#else
#define LUMVEK_DEVICE_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define LUMVEK_DEVICE_API __attribute__((visibility("default")))
#else
#define LUMVEK_DEVICE_API
#endif
/** @endcond */

/** Bytes an id takes at most, terminator included. */
#define LUMVEK_DEVICE_ID_BYTES 260

/** Bayer orders of LumvekDevice_GetRawBayerOrder(): the colours of the
 * top-left 2 x 2 block, row 0 first. */
#define LUMVEK_BAYER_GBRG 0 /**< G B / R G */
#define LUMVEK_BAYER_RGGB 1 /**< R G / G B */
#define LUMVEK_BAYER_BGGR 2 /**< B G / G R (the stored default, mode 2) */
#define LUMVEK_BAYER_GRBG 3 /**< G R / B G */

/** The id of R13 camera @p deviceNumber (as Lumvek_SetDeviceNumber() takes
 * it), NUL-terminated into @p buffer of @p size bytes. Enumerates first.
 * @return 1; 0 when there is no such camera, @p buffer is NULL or the id
 * does not fit (LUMVEK_DEVICE_ID_BYTES always suffices). */
LUMVEK_DEVICE_API int LumvekDevice_GetId(int deviceNumber, char* buffer, int size);

/** The device number of the R13 camera whose id is @p id (exact match).
 * @return 0..31; -1 when no R13 camera in the open-device table has it. */
LUMVEK_DEVICE_API int LumvekDevice_FindNumber(const char* id);

/** The id of open-device table entry @p entry (any product; entries in the
 * order of Lumvek_EnumDevice()), as LumvekDevice_GetId().
 * @return 1, or 0 for a free entry or a buffer too small. */
LUMVEK_DEVICE_API int LumvekDevice_GetEntryId(int entry, char* buffer, int size);

/** Checks a capture window against the camera of @p handle: @p x, @p y are
 * Lumvek_SetCaptureWindowEx()'s EHS and EVS, @p width, @p height its EH and
 * EV. A refusal writes one line naming the broken rule and what would be
 * accepted ("capture window 640 x 480 at (100, 100) refused: this camera
 * cannot narrow the width: ...; accepted: ...") into @p reason (may be NULL;
 * cut to @p size bytes, terminated).
 * @return 1 accepted; 0 refused; -1 unknown handle. */
LUMVEK_DEVICE_API int LumvekDevice_CheckCaptureWindow(int32_t handle, int x, int y, int width, int height,
                                                      char* reason, int size);

/** The Bayer order (LUMVEK_BAYER_*) of the raw frames the instance delivers
 * in colour modes 8 and 16: the stored Bayer mode (Lumvek_SetBayerMode())
 * moved by the mirrors in force. The colour modes 24 to 64 interpolate with
 * the same order.
 * @return 0..3; -1 unknown handle. */
LUMVEK_DEVICE_API int LumvekDevice_GetRawBayerOrder(int32_t handle);

#ifdef __cplusplus
}
#endif

#endif /* LUMVEK_DEVICE_H */
