"""lumvek.Frame: the NumPy arrays that snap() and stream() return.

A Frame is an ndarray like any other (every NumPy operation takes it); its
.metadata, None for arrays made from it by arithmetic, tells of the frame:

    frame_number              counts every frame the camera produced, from 1
    frame_number_from_camera  the number comes from the camera's frame tag
    header_monotonic_ns       host CLOCK_MONOTONIC (time.monotonic_ns) when the header came
    header_wall_ns            the same on the wall clock (time.time_ns)
    complete_monotonic_ns     when the last pixel byte came, and complete_wall_ns
    delivered_monotonic_ns    when the SDK handed it over
    exposure, gain            in force (exposure in 0.1 ms)
    color_mode                bits per output pixel
    window                    (left, top, width, height) cut from the sensor
    frames_lost_before        frames lost since the previous frame delivered; in
                              stream() since the stream's previous frame, so the
                              frames it passed over to give the newest count too
"""

import numpy as np


class Frame(np.ndarray):
    """A frame's pixels with its .metadata."""

    metadata = None

    def __array_finalize__(self, obj):
        # Views and slices of a frame keep its metadata; results of
        # arithmetic are new pictures and carry none.
        if obj is not None and isinstance(obj, Frame):
            self.metadata = obj.metadata
