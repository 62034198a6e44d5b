"""The daemon, scenes and pipeline runner of the lumveksrc tests."""

import os
import shutil
import subprocess

import numpy as np
import pytest

import lumvek_sim
from lumvek_sim import Daemon, smooth_scene, write_pgm

WORK = lumvek_sim.isolate("lumvek-gsttest-")
# The plugin registry is a cache that gst-launch writes: our own.
os.environ["GST_REGISTRY"] = os.path.join(WORK, "gst-registry.bin")
WIDTH, HEIGHT = lumvek_sim.WIDTH, lumvek_sim.HEIGHT
PIPELINE_TIMEOUT_S = 180

SCENE8 = smooth_scene(255).astype(np.uint8)
SCENE16 = smooth_scene(1023).astype(np.uint16)


def colour_truth():
    """A coloured picture: red rising left to right, green level, blue falling
    top to bottom (blue, green, red planes)."""
    x = np.arange(WIDTH, dtype=np.int64)[None, :]
    y = np.arange(HEIGHT, dtype=np.int64)[:, None]
    red = np.broadcast_to(40 + 160 * x // (WIDTH - 1), (HEIGHT, WIDTH))
    green = np.full((HEIGHT, WIDTH), 120, dtype=np.int64)
    blue = np.broadcast_to(200 - 150 * y // (HEIGHT - 1), (HEIGHT, WIDTH))
    return np.stack([blue, green, red], axis=2)


def bggr_mosaic(truth):
    """What a sensor with a B G / G R filter sees of `truth`."""
    mosaic = truth[:, :, 1].copy()
    mosaic[0::2, 0::2] = truth[0::2, 0::2, 0]
    mosaic[1::2, 1::2] = truth[1::2, 1::2, 2]
    return mosaic.astype(np.uint8)


COLOUR_TRUTH = colour_truth()
COLOUR_MOSAIC = bggr_mosaic(COLOUR_TRUTH)
# Device numbers follow the order of discovery: the camera names sort that way.
CAMERAS = {
    "exact8": 0,
    "exact16": 1,
    "chart": 2,
    "unplug": 3,
}


@pytest.fixture(scope="session")
def daemon():
    daemon = Daemon([
        "product=0x3090,name=a-exact8,fps=40,scene=" + write_pgm(os.path.join(WORK, "scene8.pgm"), SCENE8, 255),
        "product=0x3090,name=b-exact16,fps=40,scene=" + write_pgm(os.path.join(WORK, "scene16.pgm"), SCENE16, 65535),
        "product=0x3090,name=c-chart,fps=40,pattern=chart",
        "product=0x3090,name=d-unplug,fps=40,pattern=ramp",
        "product=0x3090,name=e-colour,fps=40,scene=" + write_pgm(os.path.join(WORK, "colour.pgm"), COLOUR_MOSAIC, 255),
    ])
    yield daemon
    daemon.stop()


def launch(*elements, eos=False):
    """gst-launch-1.0 of a pipeline written as separate words."""
    args = ["gst-launch-1.0"] + (["-e"] if eos else []) + list(elements)
    return subprocess.run(args, capture_output=True, text=True, timeout=PIPELINE_TIMEOUT_S)


def out_path(name):
    return os.path.join(WORK, name)


def pytest_sessionfinish(session, exitstatus):
    """The daemon has stopped (session fixtures end first): remove the scenes,
    sockets and outputs."""
    shutil.rmtree(WORK, ignore_errors=True)
