"""Shared by the Python test suites (tests/python, tests/gst): isolation of
the test process and the lumvek-camsim daemon.

The library reads its settings store, shared-memory name and device folder
from the environment, so isolate() must run before the first SDK call.
"""

import os
import subprocess
import sys
import tempfile

import numpy as np

WIDTH, HEIGHT = 2336, 1752
STOP_TIMEOUT_S = 60


def isolate(prefix):
    """Gives this process its own settings store, shared-memory name and
    device folder; returns its working folder."""
    work = tempfile.mkdtemp(prefix=prefix)
    os.environ["LUMVEK_REGISTRY_FILE"] = os.path.join(work, "registry.sqlite3")
    os.environ["LUMVEK_SHM_NAME"] = "/%s%d" % (prefix, os.getpid())
    os.environ["LUMVEK_DEVICE_DIR"] = os.path.join(work, "devices")
    os.environ.pop("LUMVEK_SIM_CAMERAS", None)
    os.makedirs(os.environ["LUMVEK_DEVICE_DIR"])
    return work


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


class Daemon:
    """lumvek-camsim serving `descriptions` (camera descriptions) in this process's
    device folder, ready when constructed."""

    def __init__(self, descriptions):
        camsim = os.environ.get("LUMVEK_CAMSIM")
        if not camsim:
            raise RuntimeError("LUMVEK_CAMSIM (the lumvek-camsim program) is not set")
        self.camsim = camsim
        self.dir = os.environ["LUMVEK_DEVICE_DIR"]
        args = [camsim, "--dir", self.dir]
        for description in descriptions:
            args += ["--camera", description]
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        # readline returns at "ready" or when the daemon ends.
        line = self.process.stdout.readline()
        if line.strip() != "ready":
            self.stop()
            raise RuntimeError("lumvek-camsim did not say ready: %r" % line)

    def ctl(self, *words):
        return subprocess.run([self.camsim, "ctl", "--dir", self.dir, *words], capture_output=True, text=True,
                              timeout=STOP_TIMEOUT_S)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=STOP_TIMEOUT_S)


def run_python(code, env_extra, parent_work, timeout=120):
    """Runs code in a fresh interpreter with its own isolation."""
    work = tempfile.mkdtemp(prefix="child-", dir=parent_work)
    env = dict(os.environ)
    env.update({
        "LUMVEK_REGISTRY_FILE": os.path.join(work, "registry.sqlite3"),
        "LUMVEK_SHM_NAME": "/lumvek-child-%d-%s" % (os.getpid(), os.path.basename(work)),
        "LUMVEK_DEVICE_DIR": os.path.join(work, "devices"),
    })
    env.update(env_extra)
    os.makedirs(env["LUMVEK_DEVICE_DIR"])
    return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, timeout=timeout)
