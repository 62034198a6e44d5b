"""The daemon and scenes of the lumvek package's tests."""

import os
import shutil

import numpy as np
import pytest

import lumvek_sim
from lumvek_sim import Daemon, smooth_scene, write_pgm

WORK = lumvek_sim.isolate("lumvek-pytest-")
WIDTH, HEIGHT = lumvek_sim.WIDTH, lumvek_sim.HEIGHT

SCENE8 = smooth_scene(255).astype(np.uint8)
SCENE16 = smooth_scene(1023).astype(np.uint16)
# Device numbers follow the order of discovery: the camera names sort that way.
CAMERAS = {
    "exact8": 0,
    "exact16": 1,
    "chart": 2,
}


@pytest.fixture(scope="session")
def daemon():
    daemon = Daemon([
        "product=0x3090,name=a-exact8,fps=40,scene=" + write_pgm(os.path.join(WORK, "scene8.pgm"), SCENE8, 255),
        "product=0x3090,name=b-exact16,fps=40,scene=" + write_pgm(os.path.join(WORK, "scene16.pgm"), SCENE16, 65535),
        "product=0x3090,name=c-chart,fps=40,pattern=chart",
    ])
    yield daemon
    daemon.stop()


def run_python(code, env_extra):
    return lumvek_sim.run_python(code, env_extra, WORK)


def pytest_sessionfinish(session, exitstatus):
    """The daemon has stopped (session fixtures end first): remove the scenes,
    sockets and outputs."""
    shutil.rmtree(WORK, ignore_errors=True)
