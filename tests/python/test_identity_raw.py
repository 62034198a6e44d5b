"""Cameras by id, the raw mosaic with its Bayer order in every mirror
setting, and capture windows refused with the rule they break."""

import numpy as np
import pytest

import lumvek
from conftest import CAMERAS, SCENE8, SCENE16

# Mode 2, the stored default: B G / G R at the first pixel.
STORED_ORDER = "bggr"


def flipped(order, horizontal, vertical):
    """The order after mirroring an even-sized mosaic: a vertical flip swaps
    the two rows of the 2 x 2 block, a horizontal one its columns."""
    rows = [order[0:2], order[2:4]]
    if vertical:
        rows.reverse()
    if horizontal:
        rows = [row[::-1] for row in rows]
    return "".join(rows)


def test_cameras_are_listed_and_opened_by_id(daemon):
    ids = lumvek.camera_ids()
    assert ids == [(0, "a-exact8"), (1, "b-exact16"), (2, "c-chart")]
    with lumvek.Camera(id="c-chart") as camera:
        assert camera.number == CAMERAS["chart"]
        assert camera.id == "c-chart"
    with lumvek.Camera(CAMERAS["exact16"]) as camera:
        assert camera.id == "b-exact16"


def test_an_unknown_id_is_refused_with_the_ids_present(daemon):
    with pytest.raises(lumvek.Error) as failure:
        lumvek.Camera(id="z-missing")
    assert failure.value.code == 2
    assert "no camera has the id 'z-missing' (present: a-exact8, b-exact16, c-chart)" in str(failure.value)
    with pytest.raises(lumvek.Error, match="give index or id, not both"):
        lumvek.Camera(0, id="a-exact8")


@pytest.mark.parametrize("horizontal,vertical", [(0, 0), (1, 0), (0, 1), (1, 1)])
def test_the_raw_mosaic_is_the_scene_mirrored_with_its_bayer_order(daemon, horizontal, vertical):
    with lumvek.Camera(id="a-exact8") as camera:
        camera.color_mode = 24
        camera.mirror_h = horizontal
        camera.mirror_v = vertical
        try:
            raw = camera.snap(raw=True)
            assert camera.color_mode == 24, "the colour mode is put back"
            assert camera.bayer_order == raw.bayer
        finally:
            camera.mirror_h = 0
            camera.mirror_v = 0
    expected = SCENE8
    if horizontal:
        expected = expected[:, ::-1]
    if vertical:
        expected = expected[::-1, :]
    assert isinstance(raw, lumvek.RawFrame)
    assert raw.pixels.dtype == np.uint8 and raw.bits == 8
    assert np.array_equal(raw.pixels, expected), "mismatching samples: %d" % np.count_nonzero(raw.pixels != expected)
    assert raw.bayer == flipped(STORED_ORDER, horizontal, vertical)


def test_a_sixteen_bit_mode_gives_the_sixteen_bit_mosaic(daemon):
    with lumvek.Camera(id="b-exact16") as camera:
        camera.color_mode = 48
        raw = camera.snap(raw=True)
        assert camera.color_mode == 48
    assert raw.pixels.dtype == np.uint16 and raw.bits == 16
    assert np.array_equal(raw.pixels, SCENE16)
    assert raw.bayer == STORED_ORDER


def test_a_raw_stream_delivers_the_mosaic(daemon):
    with lumvek.Camera(id="a-exact8") as camera:
        camera.color_mode = 24
        with camera.stream(count=2, raw=True) as frames:
            for frame in frames:
                assert frame.dtype == np.uint8 and np.array_equal(frame, SCENE8)
        assert camera.bayer_order == STORED_ORDER


def test_a_window_the_camera_cannot_take_is_refused_with_the_rule(daemon):
    with lumvek.Camera(id="c-chart") as camera:
        with pytest.raises(lumvek.Error) as failure:
            camera.window = (100, 100, 640, 480)
        text = str(failure.value)
        assert failure.value.code == 9
        assert text.startswith("capture window 640 x 480 at (100, 100) refused: this camera cannot narrow the width")
        assert "accepted: width 2336 at x 0 (the camera reads out whole rows)" in text
        assert camera.window == (0, 0, 2336, 1752)
        camera.window = (0, 0, 2336, 1752)
