#!/usr/bin/env python3
"""Runs the win32_preview_window example under Wine against a simulated
camera and checks what it left behind: the BMP file it saved is the frame
its window procedure was handed (size and every pixel), the preview child
had the size it asked for, and `reg query` finds the gain it set among the
camera's saved settings.

    check_preview_example.py EXAMPLE.exe
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 2336, 1752
PREVIEW = (584, 438)
GAIN = 345
SETTINGS = r"Software\Quelro\LumvekR13K7Sdk"
NO_DESKTOP = 3  # the example's exit status when it cannot make its window
SKIPPED = 77    # ctest's SKIP_RETURN_CODE


def wine(*args, env=None, timeout=120):
    return subprocess.run(["wine", *args], env=env, capture_output=True, text=True, timeout=timeout)


def windows_path(path):
    # Wine maps the Unix root to drive Z:.
    return "Z:" + path.replace("/", "\\")


def read_bmp(path):
    """(width, height, bits, rows): rows top line first, each packed BGR."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        return None
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    stride = (width * bits // 8 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        stored = abs(height) - 1 - y if height > 0 else y  # positive height: bottom line first
        start = offset + stored * stride
        rows.append(data[start:start + width * bits // 8])
    return width, abs(height), bits, rows


def main():
    example = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory(prefix="lumvek-example-") as folder:
        root = r"Software\LumvekTests\example-%d" % os.getpid()
        env = dict(os.environ)
        env["LUMVEK_SIM_CAMERAS"] = "product=0x3090,name=example,fps=30,pattern=chart"
        env["LUMVEK_REGISTRY_ROOT"] = root
        try:
            run = wine(example, windows_path(folder), env=env)
            print(run.stdout, end="")
            print(run.stderr, end="", file=sys.stderr)
            if run.returncode == NO_DESKTOP:
                print("no desktop for windows (under Wine: run with xvfb-run)")
                return SKIPPED
            if run.returncode != 0:
                failures.append("the example ended with %d" % run.returncode)
            if not re.search(r"^frame %d %d 24\r?$" % (WIDTH, HEIGHT), run.stdout, re.M):
                failures.append("no full 24-bit frame record")
            if not re.search(r"^preview %d %d\r?$" % PREVIEW, run.stdout, re.M):
                failures.append("the preview child did not have the size asked for")

            picture_path = os.path.join(folder, "picture.bmp")
            frame_path = os.path.join(folder, "frame.bgr")
            if os.path.exists(picture_path) and os.path.exists(frame_path):
                picture = read_bmp(picture_path)
                if picture is None or picture[:3] != (WIDTH, HEIGHT, 24):
                    failures.append("picture.bmp is not a %d x %d 24-bit bitmap: %s" %
                                    (WIDTH, HEIGHT, picture and picture[:3]))
                else:
                    with open(frame_path, "rb") as f:
                        frame = f.read()
                    row_bytes = WIDTH * 3
                    differing = sum(1 for y, row in enumerate(picture[3])
                                    if row != frame[y * row_bytes:(y + 1) * row_bytes])
                    if differing:
                        failures.append("%d lines of picture.bmp differ from the frame handed over" % differing)
                    if len(set(picture[3][HEIGHT // 2][::3])) < 8:
                        failures.append("the picture is nearly uniform: no chart")
            else:
                failures.append("picture.bmp or frame.bgr missing")

            query = wine("reg", "query", "HKCU\\%s\\%s" % (root, SETTINGS), "/s")
            if query.returncode != 0:
                failures.append("reg query found no settings: %s" % query.stderr.strip())
            elif not re.search(r"\bGlobal\s+REG_DWORD\s+0x%x\b" % GAIN, query.stdout, re.I):
                failures.append("no saved gain 0x%x in:\n%s" % (GAIN, query.stdout))
        finally:
            wine("reg", "delete", "HKCU\\%s" % root, "/f")
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
