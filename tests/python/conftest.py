"""Isolation and the simulator daemon for the lumvek package's tests.

The library reads its settings store, shared-memory name and device folder
from the environment, so they are set here, before lumvek is imported.
"""

import os
import subprocess
import sys
import tempfile

import numpy as np
import pytest

WIDTH, HEIGHT = 2336, 1752
READY_TIMEOUT_S = 60

_work = tempfile.mkdtemp(prefix="lumvek-pytest-")
os.environ["LUMVEK_REGISTRY_FILE"] = os.path.join(_work, "registry.sqlite3")
os.environ["LUMVEK_SHM_NAME"] = "/lumvek-pytest-%d" % os.getpid()
os.environ["LUMVEK_DEVICE_DIR"] = os.path.join(_work, "devices")
os.environ.pop("LUMVEK_SIM_CAMERAS", None)
os.makedirs(os.environ["LUMVEK_DEVICE_DIR"])


def smooth_scene(maxval):
    """Rising along both axes (a turned row or column shows) and smooth (the
    always-on spike filter finds nothing to repair)."""
    x = np.arange(WIDTH, dtype=np.int64)[None, :]
    y = np.arange(HEIGHT, dtype=np.int64)[:, None]
    return (x * maxval // (WIDTH - 1) + y * maxval // (HEIGHT - 1)) // 2


def write_pgm(path, samples, maxval):
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n%d\n" % (samples.shape[1], samples.shape[0], maxval))
        f.write(samples.astype(">u2" if maxval > 255 else "u1").tobytes())
    return path


# Device numbers follow the order of discovery: the camera names sort that way.
SCENE8 = smooth_scene(255).astype(np.uint8)
SCENE16 = smooth_scene(1023).astype(np.uint16)
CAMERAS = {
    "exact8": 0,
    "exact16": 1,
    "chart": 2,
}


@pytest.fixture(scope="session")
def daemon():
    camsim = os.environ.get("LUMVEK_CAMSIM")
    if not camsim:
        pytest.skip("LUMVEK_CAMSIM (the lumvek-camsim program) is not set")
    specs = [
        "name=a-exact8,fps=40,scene=" + write_pgm(os.path.join(_work, "scene8.pgm"), SCENE8, 255),
        "name=b-exact16,fps=40,scene=" + write_pgm(os.path.join(_work, "scene16.pgm"), SCENE16, 65535),
        "name=c-chart,fps=40,pattern=chart",
    ]
    args = [camsim, "--dir", os.environ["LUMVEK_DEVICE_DIR"]]
    for spec in specs:
        args += ["--camera", "product=0x3090," + spec]
    process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
    try:
        # readline returns at "ready" or when the daemon ends.
        line = process.stdout.readline()
        if line.strip() != "ready":
            pytest.fail("lumvek-camsim did not say ready: %r" % line)
        yield process
    finally:
        process.terminate()
        process.wait(timeout=READY_TIMEOUT_S)


def run_python(code, env_extra, timeout=120):
    """Runs code in a fresh interpreter with its own isolation."""
    work = tempfile.mkdtemp(prefix="lumvek-pytest-child-", dir=_work)
    env = dict(os.environ)
    env.update({
        "LUMVEK_REGISTRY_FILE": os.path.join(work, "registry.sqlite3"),
        "LUMVEK_SHM_NAME": "/lumvek-pytest-child-%d-%s" % (os.getpid(), os.path.basename(work)),
        "LUMVEK_DEVICE_DIR": os.path.join(work, "devices"),
    })
    env.update(env_extra)
    os.makedirs(env["LUMVEK_DEVICE_DIR"])
    return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, timeout=timeout)
