"""camera.dialog(): the library's settings dialogs from Python, on a private
Xvfb server, closed with the Escape key as a person would."""

import os
import subprocess
import sys
import tempfile

import pytest

import x_session
from conftest import WORK

DIALOG_TIMEOUT_S = 60

OPEN_ALL = """
import lumvek
with lumvek.Camera() as camera:
    gain = camera.global_gain
    for kind in ("analog", "image", "camera"):
        print(kind, camera.dialog(kind), flush=True)
    print("gain kept", camera.global_gain == gain)
"""

REFUSED = """
import lumvek
with lumvek.Camera() as camera:
    try:
        camera.dialog("colour")
    except lumvek.Error as error:
        print("refused", error.code, error)
    try:
        camera.dialog("analog")
    except lumvek.Error as error:
        print("no display", error.code, error)
"""


def child(code, display):
    """A fresh interpreter with an in-process simulated camera of its own."""
    work = tempfile.mkdtemp(prefix="dialog-", dir=WORK)
    env = dict(os.environ)
    env.update({
        "LUMVEK_REGISTRY_FILE": os.path.join(work, "registry.sqlite3"),
        "LUMVEK_SHM_NAME": "/lumvek-dialog-%d-%s" % (os.getpid(), os.path.basename(work)),
        "LUMVEK_DEVICE_DIR": os.path.join(work, "devices"),
        "LUMVEK_SIM_CAMERAS": "product=0x3090,name=dialog0,fps=40",
        "LC_ALL": "C.UTF-8",
    })
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    os.makedirs(env["LUMVEK_DEVICE_DIR"])
    return subprocess.Popen([sys.executable, "-c", code], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)


@pytest.mark.skipif(not x_session.available(), reason="Xvfb, libX11 or libXtst is missing")
def test_each_dialog_returns_1_after_escape_and_cancel_keeps_the_gain():
    server = x_session.Xvfb()
    keyboard = x_session.Keyboard(server.display)
    process = child(OPEN_ALL, server.display)
    try:
        lines = []
        for kind in ("analog", "image", "camera"):
            window = keyboard.wait_for("Property", DIALOG_TIMEOUT_S)
            assert window, "no %s dialog window appeared" % kind
            assert keyboard.close_with_escape(window, DIALOG_TIMEOUT_S), "the %s dialog stayed open" % kind
            # The call returns once the dialog has closed: then the next opens.
            lines.append(process.stdout.readline().strip())
        # Read through the same buffer as readline (communicate() would not).
        out = "\n".join(lines) + "\n" + process.stdout.read()
        err = process.stderr.read()
        process.wait(timeout=DIALOG_TIMEOUT_S)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        keyboard.close()
        server.stop()
    assert process.returncode == 0, err
    assert out.split("\n")[:4] == ["analog 1", "image 1", "camera 1", "gain kept True"], out + err


def test_an_unknown_dialog_and_no_display_raise_errors():
    process = child(REFUSED, None)
    out, err = process.communicate(timeout=DIALOG_TIMEOUT_S)
    assert process.returncode == 0, err
    assert "refused" in out and "camera, image or analog" in out, out
    assert "no display" in out and "could not be opened" in out, out
