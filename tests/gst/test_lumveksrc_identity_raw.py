"""lumveksrc: the camera by id, the raw mosaic as video/x-bayer (through
bayer2rgb next to the library's own interpolation), and capture windows
asked for by property or caps, refused with the rule they break."""

import subprocess

import numpy as np
import pytest

from conftest import (COLOUR_MOSAIC, COLOUR_TRUTH, HEIGHT, PIPELINE_TIMEOUT_S, SCENE8, WIDTH, launch, out_path)

# bayer2rgb's bilinear interpolation and the library's agree on this smooth
# picture to within one level (they round differently), edges included, and
# by 0.07 levels on average. A wrong Bayer order would swap red and blue, up to
# 160 levels apart here.
BORDER = 0
MAX_DIFFERENCE = 1
MAX_MEAN_DIFFERENCE = 0.1


def have_bayer2rgb():
    return subprocess.run(["gst-inspect-1.0", "bayer2rgb"], capture_output=True,
                          timeout=PIPELINE_TIMEOUT_S).returncode == 0


def frames_of(path, channels):
    data = np.fromfile(path, dtype=np.uint8)
    return data.reshape(-1, HEIGHT, WIDTH, channels) if channels > 1 else data.reshape(-1, HEIGHT, WIDTH)


def test_the_element_opens_a_camera_by_id(daemon):
    path = out_path("by-id.raw")
    result = launch("lumveksrc", "camera-id=a-exact8", "num-buffers=1", "!", "video/x-raw,format=GRAY8", "!",
                    "filesink", "location=" + path)
    assert result.returncode == 0, result.stdout + result.stderr
    assert np.array_equal(frames_of(path, 1)[0], SCENE8)
    missing = launch("lumveksrc", "camera-id=z-none", "num-buffers=1", "!", "fakesink")
    assert missing.returncode != 0
    assert "no camera has the id 'z-none' (present: a-exact8" in missing.stdout + missing.stderr


def test_video_x_bayer_is_the_mosaic_in_the_cameras_order(daemon):
    path = out_path("mosaic.raw")
    result = launch("-v", "lumveksrc", "camera-id=e-colour", "num-buffers=2", "!", "video/x-bayer", "!",
                    "filesink", "location=" + path)
    assert result.returncode == 0, result.stdout + result.stderr
    assert "video/x-bayer, format=(string)bggr" in result.stdout
    for frame in frames_of(path, 1):
        assert np.array_equal(frame, COLOUR_MOSAIC)
    other = launch("lumveksrc", "camera-id=e-colour", "num-buffers=1", "!", "video/x-bayer,format=rggb", "!",
                   "fakesink")
    assert other.returncode != 0


@pytest.mark.skipif(not have_bayer2rgb(), reason="bayer2rgb (gstreamer1.0-plugins-bad) is not installed")
def test_bayer2rgb_gives_the_picture_the_library_interpolates(daemon):
    theirs = out_path("bayer2rgb.raw")
    ours = out_path("library.raw")
    result = launch("lumveksrc", "camera-id=e-colour", "num-buffers=1", "!", "video/x-bayer", "!", "bayer2rgb",
                    "!", "video/x-raw,format=BGRx", "!", "filesink", "location=" + theirs)
    assert result.returncode == 0, result.stdout + result.stderr
    result = launch("lumveksrc", "camera-id=e-colour", "num-buffers=1", "!", "video/x-raw,format=BGRx", "!",
                    "filesink", "location=" + ours)
    assert result.returncode == 0, result.stdout + result.stderr
    inner = (slice(BORDER, HEIGHT - BORDER), slice(BORDER, WIDTH - BORDER))
    converted = frames_of(theirs, 4)[0][inner][:, :, :3].astype(np.int64)
    library = frames_of(ours, 4)[0][inner][:, :, :3].astype(np.int64)
    truth = COLOUR_TRUTH[inner]
    # Both see the colours that are there.
    for name, picture in (("bayer2rgb", converted), ("library", library)):
        error = np.abs(picture - truth)
        assert error.max() <= MAX_DIFFERENCE, "%s: off the true colours by %d" % (name, error.max())
    difference = np.abs(converted - library)
    assert difference.max() <= MAX_DIFFERENCE
    assert difference.mean() <= MAX_MEAN_DIFFERENCE


def test_a_window_property_the_camera_cannot_take_names_the_rule(daemon):
    result = launch("lumveksrc", "camera-id=c-chart", "window=640x480+100+100", "num-buffers=1", "!", "fakesink")
    assert result.returncode != 0
    text = result.stdout + result.stderr
    assert ("window property: capture window 640 x 480 at (100, 100) refused: this camera cannot narrow the "
            "width: width must be 2336 and x 0; accepted: width 2336 at x 0") in text, text
    full = launch("lumveksrc", "camera-id=c-chart", "window=2336x1752", "num-buffers=1", "!", "fakesink")
    assert full.returncode == 0, full.stdout + full.stderr
    bad = launch("lumveksrc", "camera-id=c-chart", "window=640", "num-buffers=1", "!", "fakesink")
    assert "is not WxH or WxH+X+Y" in bad.stdout + bad.stderr


def test_caps_of_another_size_ask_for_a_window_and_hear_the_rule(daemon):
    result = launch("lumveksrc", "camera-id=c-chart", "num-buffers=1", "!", "video/x-raw,width=640", "!",
                    "fakesink")
    assert result.returncode != 0
    text = result.stdout + result.stderr
    assert "caps ask for 640 x 1752: capture window 640 x 1752 at (0, 0) refused: this camera cannot narrow the width" \
        in text, text
