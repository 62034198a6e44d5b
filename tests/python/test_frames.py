"""Frames as NumPy arrays: exact scenes, the shapes of every colour mode and
a stream from a callback preview."""

import numpy as np
import pytest

import lumvek
from conftest import CAMERAS, HEIGHT, SCENE8, SCENE16, WIDTH

SHAPES = {
    8: ((HEIGHT, WIDTH), np.uint8),
    16: ((HEIGHT, WIDTH), np.uint16),
    24: ((HEIGHT, WIDTH, 3), np.uint8),
    32: ((HEIGHT, WIDTH, 4), np.uint8),
    48: ((HEIGHT, WIDTH, 3), np.uint16),
    64: ((HEIGHT, WIDTH, 4), np.uint16),
}


def test_an_exact_eight_bit_scene_comes_back_sample_for_sample(daemon):
    with lumvek.Camera(CAMERAS["exact8"]) as camera:
        camera.color_mode = 8
        frame = camera.snap()
    assert frame.dtype == np.uint8 and frame.shape == SCENE8.shape
    assert frame.flags["C_CONTIGUOUS"]
    # First row on top: the scene's first row, not its last.
    assert np.array_equal(frame, SCENE8), "mismatching samples: %d" % np.count_nonzero(frame != SCENE8)


def test_an_exact_sixteen_bit_scene_comes_back_in_mode_16(daemon):
    with lumvek.Camera(CAMERAS["exact16"]) as camera:
        camera.color_mode = 16
        frame = camera.snap()
    assert frame.dtype == np.uint16 and frame.flags["C_CONTIGUOUS"]
    assert np.array_equal(frame, SCENE16), "mismatching samples: %d" % np.count_nonzero(frame != SCENE16)


@pytest.mark.parametrize("bits", [8, 16, 24, 32, 48, 64])
def test_every_colour_mode_has_its_shape_and_sample_type(daemon, bits):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = bits
        assert camera.color_mode == bits
        frame = camera.snap()
    shape, dtype = SHAPES[bits]
    assert frame.shape == shape and frame.dtype == dtype
    assert frame.flags["C_CONTIGUOUS"] and frame.flags["OWNDATA"]
    assert frame.max() > frame.min(), "the chart is not one flat level"


def test_colour_frames_keep_blue_green_red_order_of_the_eight_and_sixteen_bit_modes(daemon):
    # The grey scene through the colour pipeline: every colour mode agrees
    # with the others on the first three samples of each pixel (48 and 64
    # bits hold the same picture at 16 bits).
    with lumvek.Camera(CAMERAS["exact8"]) as camera:
        camera.color_mode = 24
        bgr = camera.snap()
        camera.color_mode = 32
        bgrx = camera.snap()
    assert np.array_equal(bgrx[:, :, :3], bgr)


def test_a_stream_gives_five_distinct_frames_and_stops(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 8
        frames = list(camera.stream(count=5))
        # The preview has stopped: a snapshot is allowed again.
        assert camera.snap().shape == (HEIGHT, WIDTH)
    assert len(frames) == 5
    for frame in frames:
        assert frame.shape == (HEIGHT, WIDTH) and frame.dtype == np.uint8
    # The chart's bright square moves from frame to frame: no frame twice.
    for earlier, later in zip(frames, frames[1:]):
        assert not np.array_equal(earlier, later)


def test_a_stream_of_colour_frames_can_be_closed_early(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 24
        stream = camera.stream()
        first = next(stream)
        assert first.shape == (HEIGHT, WIDTH, 3)
        stream.close()
        with pytest.raises(StopIteration):
            next(stream)
        assert camera.snap().shape == (HEIGHT, WIDTH, 3)


def test_a_stream_of_zero_frames_is_empty(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        assert list(camera.stream(count=0)) == []


def test_a_stream_follows_a_colour_mode_changed_while_it_runs(daemon):
    with lumvek.Camera(CAMERAS["exact8"]) as camera:
        camera.color_mode = 8
        stream = camera.stream(count=3)
        assert next(stream).shape == (HEIGHT, WIDTH)
        camera.color_mode = 24
        # A frame already processed in mode 8 may still come first.
        shapes = [frame.shape for frame in stream]
        assert shapes[-1] == (HEIGHT, WIDTH, 3)


def test_a_stream_of_a_closed_camera_says_so(daemon):
    camera = lumvek.Camera(CAMERAS["chart"])
    stream = camera.stream(count=3)
    next(stream)
    camera.close()
    with pytest.raises(lumvek.Error) as closed:
        next(stream)
    assert closed.value.code == 1
