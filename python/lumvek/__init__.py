"""Lumvek USB3 industrial cameras from Python.

    import lumvek
    print(lumvek.list_cameras())
    with lumvek.Camera() as camera:          # or Camera(index=1), Camera(id="cam0")
        camera.color_mode = 24
        camera.exposure = 500                # 0.1 ms units
        picture = camera.snap()              # (H, W, 3) uint8, BGR, first row on top
        for frame in camera.stream(count=5):
            print(frame.mean())
        camera.dialog("analog")              # the library's dialog; returns 1 once closed

Frames are lumvek.Frame arrays: frame.metadata.frame_number, host times,
settings in force, frames_lost_before (see lumvek.frame_metadata);
camera.statistics: frames delivered and lost (where), rate, delivery latency.
Every failed SDK call raises lumvek.Error; its .code is the SDK's error code.
camera.record(path, ms) returns a lumvek.Recording: the frames written (an
int), with .skipped, the frames the disk could not keep up with; a full disk
raises lumvek.Error (code 12) and keeps the frames recorded so far.
Settings are attributes named as `lumvek get/set` names them, '-' read as '_'
(camera.gain_red, camera.mirror_h), and by name with get()/set().
"""

from ._lumvek import COLOR_MODES, Camera, Error, FrameStream, RawFrame, Recording, camera_ids, list_cameras
from .frame_metadata import Frame

__all__ = ["COLOR_MODES", "Camera", "Error", "Frame", "FrameStream", "RawFrame", "Recording", "camera_ids", "list_cameras"]
