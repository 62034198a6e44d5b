"""lumveksrc for a colour camera: colour negotiated through videoconvert,
exposure and gain applied while playing, the settings store left as it was
unless persist asks otherwise, and the README's MP4 in I420."""

import json
import os
import shutil
import subprocess
import time

import numpy as np
import pytest

from conftest import CAMERAS, HEIGHT, PIPELINE_TIMEOUT_S, WIDTH, launch, out_path

# Frames pulled after a change before giving up on seeing it: the change
# reaches the sensor within a few frames.
FRAMES_FOR_A_CHANGE = 40
PULL_TIMEOUT_NS = 10 * 1000 * 1000 * 1000


def tool(*words):
    result = subprocess.run([os.environ["LUMVEK_TOOL"], *words], capture_output=True, text=True,
                            timeout=PIPELINE_TIMEOUT_S)
    assert result.returncode == 0, result.stderr
    return result.stdout.strip()


def stored(name):
    return int(tool("get", name, "-d", str(CAMERAS["chart"])))


def test_videoconvert_to_png_gives_a_colour_picture(daemon):
    png = out_path("colour.png")
    result = launch("lumveksrc", "device=%d" % CAMERAS["chart"], "num-buffers=1", "!", "videoconvert", "!",
                    "pngenc", "!", "filesink", "location=" + png)
    assert result.returncode == 0, result.stdout + result.stderr
    # Decoded by pngdec without conversion: a grey PNG cannot give RGB.
    raw = out_path("colour.rgb")
    result = launch("filesrc", "location=" + png, "!", "pngdec", "!", "video/x-raw,format=RGB", "!",
                    "filesink", "location=" + raw)
    assert result.returncode == 0, "the PNG is not RGB: " + result.stdout + result.stderr
    rgb = np.fromfile(raw, dtype=np.uint8)
    stride = (WIDTH * 3 + 3) & ~3
    rgb = rgb.reshape(HEIGHT, stride)[:, :WIDTH * 3].reshape(HEIGHT, WIDTH, 3).astype(int)
    # The chart's colour patches: red and blue differ strongly somewhere.
    assert np.abs(rgb[:, :, 0] - rgb[:, :, 2]).max() > 100
    assert np.abs(rgb[:, :, 1] - rgb[:, :, 0]).mean() > 5


@pytest.fixture
def gst():
    gi = pytest.importorskip("gi")
    gi.require_version("Gst", "1.0")
    gi.require_version("GstApp", "1.0")
    from gi.repository import Gst, GstApp  # noqa: F401
    Gst.init(None)
    return Gst


class Pipeline:
    """lumveksrc ! GRAY8 ! appsink in this process, pulled frame by frame."""

    def __init__(self, gst, *properties):
        self.gst = gst
        self.pipeline = gst.parse_launch(
            "lumveksrc name=src device=%d %s ! video/x-raw,format=GRAY8 ! appsink name=sink sync=false "
            "max-buffers=2 drop=true" % (CAMERAS["chart"], " ".join(properties)))
        self.src = self.pipeline.get_by_name("src")
        self.sink = self.pipeline.get_by_name("sink")
        assert self.pipeline.set_state(gst.State.PLAYING) != gst.StateChangeReturn.FAILURE

    def mean(self):
        sample = self.sink.try_pull_sample(PULL_TIMEOUT_NS)
        assert sample is not None, "no frame"
        buffer = sample.get_buffer()
        ok, info = buffer.map(self.gst.MapFlags.READ)
        assert ok
        try:
            return float(np.frombuffer(info.data, dtype=np.uint8).mean())
        finally:
            buffer.unmap(info)

    def settle(self, condition):
        """The mean of the first frame (within a bound) that meets condition."""
        for _ in range(FRAMES_FOR_A_CHANGE):
            value = self.mean()
            if condition(value):
                return value
        return None

    def stop(self):
        self.pipeline.set_state(self.gst.State.NULL)


def test_exposure_and_gain_change_while_playing_and_the_store_keeps_its_values(daemon, gst):
    before = (stored("exposure"), stored("global-gain"))
    highest_gain = stored_gain_range()[1]
    pipeline = Pipeline(gst, "exposure=200")
    try:
        bright = pipeline.settle(lambda mean: mean > 20)
        assert bright is not None, "no lit frame at exposure 200"
        pipeline.src.set_property("exposure", 20)
        dark = pipeline.settle(lambda mean: mean < bright * 0.6)
        assert dark is not None, "exposure 20 set while playing did not darken the frames (%.1f)" % bright
        assert pipeline.src.get_property("gain") == -1
        pipeline.src.set_property("gain", highest_gain)
        lifted = pipeline.settle(lambda mean: mean > dark * 1.3)
        assert lifted is not None, "gain raised while playing did not brighten the frames (%.1f)" % dark
    finally:
        pipeline.stop()
    assert (stored("exposure"), stored("global-gain")) == before


def test_persist_keeps_the_element_settings_in_the_store(daemon, gst):
    before = stored("exposure")
    wanted = 150 if before != 150 else 120
    pipeline = Pipeline(gst, "exposure=%d" % wanted, "persist=true")
    try:
        assert pipeline.settle(lambda mean: True) is not None
    finally:
        pipeline.stop()
    assert stored("exposure") == wanted
    tool("set", "exposure", str(before), "-d", str(CAMERAS["chart"]))


def test_frames_passed_over_by_a_slow_pipeline_are_posted_as_dropped(daemon, gst):
    # A blocking appsink holds the source back; the camera goes on, and each
    # frame the source gets is the newest, several frame numbers on.
    pipeline = gst.parse_launch(
        "lumveksrc device=%d ! video/x-raw,format=GRAY8 ! appsink name=sink sync=false max-buffers=1 drop=false"
        % CAMERAS["chart"])
    sink = pipeline.get_by_name("sink")
    bus = pipeline.get_bus()
    assert pipeline.set_state(gst.State.PLAYING) != gst.StateChangeReturn.FAILURE
    try:
        numbers = []
        for _ in range(6):
            sample = sink.try_pull_sample(PULL_TIMEOUT_NS)
            assert sample is not None, "no frame"
            numbers.append(sample.get_buffer().offset)  # the frame number
            time.sleep(0.3)
        dropped_by_buffer = {}
        while True:
            message = bus.pop_filtered(gst.MessageType.QOS)
            if message is None:
                break
            _, processed, dropped = message.parse_qos_stats()
            dropped_by_buffer[processed] = dropped
    finally:
        pipeline.set_state(gst.State.NULL)
    # The first few were already on their way through the pipeline.
    gaps = [later - earlier - 1 for earlier, later in zip(numbers, numbers[1:])]
    assert gaps[-1] > 0 and gaps[-2] > 0, numbers
    assert dropped_by_buffer.get(len(numbers)) == sum(gaps), (numbers, dropped_by_buffer)


def stored_gain_range():
    """The camera's global-gain range as lumvek info --json tells it."""
    info = json.loads(tool("info", "--json", "-d", str(CAMERAS["chart"])))
    gain = info["ranges"]["globalGain"]
    return gain["min"], gain["max"]


@pytest.mark.skipif(shutil.which("ffprobe") is None, reason="ffprobe (Debian ffmpeg) is not installed")
def test_the_readme_mp4_pipeline_gives_yuv420p(daemon):
    path = out_path("browser.mp4")
    result = launch("lumveksrc", "device=%d" % CAMERAS["chart"], "num-buffers=5", "!", "videoconvert", "!",
                    "video/x-raw,format=I420", "!", "x264enc", "speed-preset=ultrafast", "!", "mp4mux", "!",
                    "filesink", "location=" + path, eos=True)
    assert result.returncode == 0, result.stdout + result.stderr
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=codec_name,pix_fmt,profile", "-of", "default=noprint_wrappers=1", path],
                           capture_output=True, text=True, timeout=PIPELINE_TIMEOUT_S)
    assert probe.returncode == 0, probe.stderr
    fields = dict(line.split("=", 1) for line in probe.stdout.split("\n") if "=" in line)
    assert fields["codec_name"] == "h264"
    assert fields["pix_fmt"] == "yuv420p"
    assert "4:4:4" not in fields["profile"]
