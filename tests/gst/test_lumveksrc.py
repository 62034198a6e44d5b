"""lumveksrc: the element, exact raw frames, an H.264 MP4, timestamps, and a
camera lost while streaming."""

import re
import shutil
import subprocess
import time

import numpy as np
import pytest

from conftest import CAMERAS, HEIGHT, PIPELINE_TIMEOUT_S, SCENE8, SCENE16, WIDTH, launch, out_path

UNPLUG_WAIT_S = 60


def test_gst_inspect_describes_the_element():
    result = subprocess.run(["gst-inspect-1.0", "lumveksrc"], capture_output=True, text=True,
                            timeout=PIPELINE_TIMEOUT_S)
    assert result.returncode == 0, result.stderr
    for text in ("GstPushSrc", "device", "exposure", "gain", "num-buffers", "GRAY8", "GRAY16_LE", "BGR", "BGRx"):
        assert text in result.stdout, text


def test_gray8_frames_equal_the_exact_scene(daemon):
    path = out_path("gray8.raw")
    result = launch("lumveksrc", "device=%d" % CAMERAS["exact8"], "num-buffers=5", "!",
                    "video/x-raw,format=GRAY8", "!", "filesink", "location=" + path)
    assert result.returncode == 0, result.stdout + result.stderr
    frames = np.fromfile(path, dtype=np.uint8)
    assert frames.size == 5 * WIDTH * HEIGHT
    for index, frame in enumerate(frames.reshape(5, HEIGHT, WIDTH)):
        assert np.array_equal(frame, SCENE8), "frame %d differs in %d samples" % (index, np.count_nonzero(frame != SCENE8))


def test_gray16_frames_equal_the_exact_scene(daemon):
    path = out_path("gray16.raw")
    result = launch("lumveksrc", "device=%d" % CAMERAS["exact16"], "num-buffers=2", "!",
                    "video/x-raw,format=GRAY16_LE", "!", "filesink", "location=" + path)
    assert result.returncode == 0, result.stdout + result.stderr
    frames = np.fromfile(path, dtype="<u2")
    assert frames.size == 2 * WIDTH * HEIGHT
    for frame in frames.reshape(2, HEIGHT, WIDTH):
        assert np.array_equal(frame, SCENE16)


@pytest.mark.parametrize("video_format,bytes_per_pixel", [("BGR", 3), ("BGRx", 4)])
def test_colour_formats_give_whole_frames(daemon, video_format, bytes_per_pixel):
    path = out_path("colour-%s.raw" % video_format)
    result = launch("lumveksrc", "device=%d" % CAMERAS["chart"], "num-buffers=2", "!",
                    "video/x-raw,format=" + video_format, "!", "filesink", "location=" + path)
    assert result.returncode == 0, result.stdout + result.stderr
    frames = np.fromfile(path, dtype=np.uint8).reshape(2, HEIGHT, WIDTH, bytes_per_pixel)
    assert frames[:, :, :, :3].max() > frames[:, :, :, :3].min()


@pytest.mark.skipif(shutil.which("ffprobe") is None, reason="ffprobe (Debian ffmpeg) is not installed")
def test_an_h264_mp4_that_ffprobe_reads(daemon):
    path = out_path("clip.mp4")
    result = launch("lumveksrc", "device=%d" % CAMERAS["chart"], "num-buffers=10", "!", "videoconvert", "!",
                    "x264enc", "speed-preset=ultrafast", "!", "mp4mux", "!", "filesink", "location=" + path,
                    eos=True)
    assert result.returncode == 0, result.stdout + result.stderr
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                            "stream=codec_name,width,height,nb_read_frames", "-of", "default=noprint_wrappers=1",
                            path], capture_output=True, text=True, timeout=PIPELINE_TIMEOUT_S)
    assert probe.returncode == 0, probe.stderr
    fields = dict(line.split("=", 1) for line in probe.stdout.split())
    assert fields == {"codec_name": "h264", "width": str(WIDTH), "height": str(HEIGHT), "nb_read_frames": "10"}


def test_buffers_carry_rising_frame_times_and_the_measured_rate(daemon):
    result = launch("-v", "lumveksrc", "device=%d" % CAMERAS["chart"], "num-buffers=6", "!",
                    "video/x-raw,format=GRAY8", "!", "identity", "silent=false", "!", "fakesink")
    assert result.returncode == 0, result.stdout + result.stderr
    rate = re.search(r"framerate=\(fraction\)(\d+)/(\d+)", result.stdout)
    assert rate, result.stdout
    # The simulated camera sends 40 frames/s; a loaded machine may drop some.
    assert 5 <= int(rate.group(1)) / int(rate.group(2)) <= 60
    stamps = [int(h) * 3600 + int(m) * 60 + float(s)
              for h, m, s in re.findall(r"chain.*?pts: (\d+):(\d+):([\d.]+)", result.stdout)]
    assert len(stamps) == 6, result.stdout
    assert all(later > earlier for earlier, later in zip(stamps, stamps[1:])), stamps


def test_several_cameras_and_no_device_say_how_to_choose(daemon):
    result = launch("lumveksrc", "num-buffers=1", "!", "fakesink")
    assert result.returncode != 0
    assert "5 cameras found; choose one with device=N or camera-id=ID" in result.stdout + result.stderr


def test_a_lost_camera_posts_an_error_and_ends_the_stream(daemon):
    pipeline = subprocess.Popen(["gst-launch-1.0", "-v", "lumveksrc", "device=%d" % CAMERAS["unplug"], "!",
                                 "video/x-raw,format=GRAY8", "!", "identity", "silent=false", "!", "fakesink"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    output = []
    try:
        # Unplug once frames flow.
        for line in pipeline.stdout:
            output.append(line)
            if "chain" in line:
                break
        assert any("chain" in line for line in output), "".join(output)
        assert daemon.ctl("unplug", "d-unplug").returncode == 0
        rest, _ = pipeline.communicate(timeout=UNPLUG_WAIT_S)
        output.append(rest)
    finally:
        if pipeline.poll() is None:
            pipeline.kill()
            pipeline.wait()
        daemon.ctl("replug", "d-unplug")
    text = "".join(output)
    assert pipeline.returncode != 0, text
    assert "the camera was lost" in text and "SDK error 13" in text, text


def test_buffers_carry_frame_numbers_as_offsets_and_the_frame_times(daemon):
    result = launch("-v", "lumveksrc", "device=%d" % CAMERAS["chart"], "num-buffers=8", "!",
                    "video/x-raw,format=GRAY8", "!", "identity", "silent=false", "!", "fakesink")
    assert result.returncode == 0, result.stdout + result.stderr
    chains = re.findall(r"chain.*?dts: ([\d:.]+|none), pts: ([\d:.]+|none).*?offset:\s*(\d+), offset_end:\s*(\d+)",
                        result.stdout)
    assert len(chains) == 8, result.stdout
    offsets = [int(offset) for _, _, offset, _ in chains]
    assert all(later > earlier for earlier, later in zip(offsets, offsets[1:])), offsets
    assert all(int(end) == int(offset) + 1 for _, _, offset, end in chains)
    assert all(dts == pts and pts != "none" for dts, pts, _, _ in chains), chains
    assert result.stdout.count("GstReferenceTimestampMeta") >= 8, "the wall-clock time of each frame"


def test_the_stats_property_is_a_read_only_structure():
    result = subprocess.run(["gst-inspect-1.0", "lumveksrc"], capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, result.stderr
    stats = result.stdout[result.stdout.index("  stats "):]
    assert "readable" in stats.split("\n")[1] + stats.split("\n")[2]
    assert "Boxed pointer of type \"GstStructure\"" in stats.split("\n\n")[0] or "GstStructure" in stats
