/**
 * @file LumvekStream.h
 * @brief Per-frame metadata and stream statistics of an SDK instance.
 *
 * Companion calls to LumvekSdk.h, exported by the same library. They take
 * the handle of Lumvek_Initialize().
 *
 * Every record begins with its own size: set `size` to sizeof the record
 * your program was built with before the call. The library fills as many
 * bytes as both it and your program know (a record grown by a later library
 * keeps its old fields at their old offsets) and writes back in `size` the
 * bytes it filled.
 *
 * Results: 1 success; 0 failure with a code on the instance's error history
 * (LUMVEK_ERR_ARGUMENT for a null record or a size below 8, LUMVEK_ERR_FRAME
 * when no frame has been delivered yet); -1 for an unknown handle.
 */
#ifndef LUMVEK_STREAM_H
#define LUMVEK_STREAM_H

#include <stdint.h>

#include "LumvekSdk.h"

#ifdef __cplusplus
extern "C" {
#endif

/** LumvekFrameMetadata.flags: the frame number comes from the camera's
 * frame tag (else the transfer thread counted frames itself). */
#define LUMVEK_FRAME_NUMBER_FROM_CAMERA 0x1u

/** What the SDK knows of one delivered frame. Times are nanoseconds of the
 * host's CLOCK_MONOTONIC (…MonotonicNs) and CLOCK_REALTIME (…WallNs). */
typedef struct LumvekFrameMetadata {
    uint32_t size;                 /**< sizeof(LumvekFrameMetadata), set by the caller */
    uint32_t flags;                /**< LUMVEK_FRAME_NUMBER_FROM_CAMERA */
    uint64_t frameNumber;          /**< counts every frame the camera produced, from 1 */
    uint64_t headerMonotonicNs;    /**< the frame header arrived */
    uint64_t headerWallNs;
    uint64_t completeMonotonicNs;  /**< the last pixel byte arrived */
    uint64_t completeWallNs;
    uint64_t deliveredMonotonicNs; /**< the frame was handed to the application */
    int32_t exposure;              /**< exposure in force, 0.1 ms units */
    int32_t gain;                  /**< global gain in force */
    int32_t colorMode;             /**< bits per output pixel (8, 16, 24, 32, 48, 64) */
    int32_t windowLeft;            /**< capture window cut from the sensor */
    int32_t windowTop;
    int32_t windowWidth;
    int32_t windowHeight;
    uint32_t framesLostBefore;     /**< frames lost since the previous delivered frame */
} LumvekFrameMetadata;

/** Counters of an instance's stream since Lumvek_Initialize() (or the last
 * LumvekStream_ResetStatistics()). Each loss is counted where it happens. */
typedef struct LumvekStreamStatistics {
    uint32_t size;                 /**< sizeof(LumvekStreamStatistics), set by the caller */
    uint32_t reserved;
    uint64_t framesDelivered;      /**< handed to the application */
    uint64_t framesLostInTransfer; /**< never arrived whole: frame-tag gaps, failed frames */
    uint64_t framesFailed;         /**< header or data reads that failed and were retried */
    uint64_t transferResets;       /**< stream recoveries (reopen, pipe reset, FPGA pulse) */
    uint64_t framesOverwritten;    /**< arrived, overwritten in the ring before they were read */
    uint64_t framesNotDelivered;   /**< read, not delivered: the application was behind */
    uint64_t bytesDelivered;       /**< raw frame bytes of the delivered frames */
    double frameRate;              /**< delivered frames per second over the last second or so */
    uint64_t latencySamples;       /**< delivered frames whose latency was measured */
    uint64_t latencyMedianNs;      /**< frame complete to handed to the application */
    uint64_t latencyP99Ns;
} LumvekStreamStatistics;

/** The metadata of the frame most recently delivered: the frame of the
 * latest frame message (valid inside the frame handler), of the last
 * Lumvek_SnapShot() or of the picture the last Lumvek_GetImage() copied. */
LUMVEK_API int LumvekStream_GetFrameMetadata(int32_t handle, LumvekFrameMetadata* metadata);

/** The metadata of the frame whose frame message carried `record` as
 * wParam (still valid after later frames, as long as the record is).
 * LUMVEK_ERR_ARGUMENT when record is not one of the instance's. */
LUMVEK_API int LumvekStream_GetRecordMetadata(int32_t handle, const LumvekFrameInfo* record,
                                              LumvekFrameMetadata* metadata);

/** Lumvek_GetImage() that also gives the metadata of the picture it copied
 * (exact even while the frame loop delivers newer frames); metadata may be
 * null. Results and codes as Lumvek_GetImage(). */
LUMVEK_API int LumvekStream_GetImage(int32_t handle, void* buffer, int size, int topDown,
                                     LumvekFrameMetadata* metadata);

/** The stream statistics. */
LUMVEK_API int LumvekStream_GetStatistics(int32_t handle, LumvekStreamStatistics* statistics);

/** Starts the counters again from zero. */
LUMVEK_API int LumvekStream_ResetStatistics(int32_t handle);

#ifdef __cplusplus
}
#endif

#endif /* LUMVEK_STREAM_H */
